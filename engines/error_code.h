// Why a run ended in error, as a stable word programs may read.
#pragma once

#include <cstdint>
#include <string_view>

namespace vz {

enum class TErrorCode : std::uint8_t {
    None,
    WrongModel,
    NoAnswer,
    Refused,
    WriteError,
    ChecksumMismatch,
    TooManyResends,
    FileNotFound,
    SyntaxError,
    EffectError,
    PortLost,
    PortUnusable,
    Internal,
};

std::string_view ErrorCodeName(TErrorCode code);

} // namespace vz
