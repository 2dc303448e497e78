#include "engines/error_code.h"

namespace vz {

std::string_view ErrorCodeName(TErrorCode code) {
    switch (code) {
    case TErrorCode::None:
        return "none";
    case TErrorCode::WrongModel:
        return "wrong_model";
    case TErrorCode::NoAnswer:
        return "no_answer";
    case TErrorCode::Refused:
        return "refused";
    case TErrorCode::WriteError:
        return "write_error";
    case TErrorCode::ChecksumMismatch:
        return "checksum_mismatch";
    case TErrorCode::TooManyResends:
        return "too_many_resends";
    case TErrorCode::FileNotFound:
        return "file_not_found";
    case TErrorCode::SyntaxError:
        return "syntax_error";
    case TErrorCode::EffectError:
        return "effect_error";
    case TErrorCode::PortLost:
        return "port_lost";
    case TErrorCode::PortUnusable:
        return "port_unusable";
    case TErrorCode::Internal:
        break;
    }
    return "internal";
}

} // namespace vz
