// Test side of the line: a bench that drives the device on a simulated clock,
// and a small host that plays whole dialogues the way the updater does.
#pragma once

#include "emulator/device.h"
#include "emulator/hex_text.h"
#include "emulator/svf_reader.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vz::emu::test {

class Bench {
public:
    explicit Bench(const DeviceConfig& config = {}, const DeviceMemory& memory = {});

    Device& device() { return *device_; }
    Micros now() const { return now_; }
    // Sends bytes now; returns what the device answered (time stands still).
    std::string send(std::string_view bytes, int hostBaud = 0);
    // Lets time pass through the device's deadlines; returns what it said meanwhile.
    std::string wait(Micros duration);
    // Answers the loader's call and passes the type check of the configured model;
    // returns the sync answer and the identification reply.
    std::string connect();
    // Speed of each piece of output since the last send or wait.
    const std::vector<Emission>& emissions() const { return emissions_; }

private:
    std::string collect();

    DeviceConfig config_;
    Micros now_ = 0;
    std::unique_ptr<Device> device_;
    std::vector<Emission> emissions_;
};

std::string RecordText(std::uint8_t type, std::uint16_t address, const Bytes& data);
// Record + CR LF, as the host sends it.
std::string Line(std::uint8_t type, std::uint16_t address, const Bytes& data);
std::string ChecksumLine(std::uint16_t sum);
// The host's view of a HEX file: 0xFF image, data records up to the end record.
std::uint16_t ImageSum(const std::vector<std::string>& lines, std::uint32_t first, std::uint32_t last);
// Removes what the host would skip or lose: zero bytes and stray lower-case letters.
std::string Clean(std::string_view answer);

struct EncodedCommand {
    std::string record; // without line end
    std::string block;  // data block, or empty
};
EncodedCommand EncodeCommand(const JtagCommand& command);
// Hex text of a TDO answer up to ESC "." with the escapes undone; empty when the
// end mark is missing or the sum is wrong.
std::optional<Bytes> DecodeTdoAnswer(std::string_view answer);

class MiniHost {
public:
    explicit MiniHost(Bench& bench) : bench_(bench) {}
    // "PB" or "P0".."P7" with the file lines; "." on success, else what went wrong.
    std::string programFlash(const std::string& command, const std::vector<std::string>& lines,
                             std::uint32_t first, std::uint32_t last);
    // "P8"/"P9" (after "S8"/"S9" when slow) with the Effect file lines; "." on success.
    std::string playEffect(char prom, const std::vector<std::string>& lines, bool slow = false);
    int resends() const { return resends_; }

private:
    Bench& bench_;
    int resends_ = 0;
};

} // namespace vz::emu::test
