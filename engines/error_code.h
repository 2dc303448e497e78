// What kind of fault ended an engine's line or a run, for programs that read the
// outcome: the texts are for people and may say more, these words stay the same.
#pragma once

#include <cstdint>
#include <string_view>

namespace vz {

enum class TErrorCode : std::uint8_t {
    none,              // no fault
    wrong_model,       // the device refused the type number (or was silent): not the chosen model
    no_answer,         // the device did not answer within the time allowed
    refused,           // the device does not know or refuses a command ("I", "X" to a command)
    write_error,       // the device failed to erase or write a memory, or to store a text
    read_error,        // the device failed to read back what was asked (a version number)
    checksum_mismatch, // a memory's checksum differs, or a checksum on a script line is malformed
    too_many_resends,  // the device asked for more retransmissions than a file is allowed
    file_not_found,    // a script or data file is missing, unreadable or empty
    syntax_error,      // a script line or an Effect file line cannot be understood
    effect_error,      // a JTAG statement failed or its TDO answer differs from the expected one
    restarted,         // the device started again mid-run: its boot loader calls
    port_lost,         // the port went away during the run
    port_unusable,     // the port could not be opened or set up
    internal,          // a fault of the updater itself
};

// The code's stable lower-case word, as programs read it ("none" for none).
std::string_view ErrorCodeName(TErrorCode code);

} // namespace vz
