#include "engines/error_code.h"

namespace vz {

std::string_view ErrorCodeName(TErrorCode code) {
    switch (code) {
    case TErrorCode::none:
        return "none";
    case TErrorCode::wrong_model:
        return "wrong_model";
    case TErrorCode::no_answer:
        return "no_answer";
    case TErrorCode::refused:
        return "refused";
    case TErrorCode::write_error:
        return "write_error";
    case TErrorCode::read_error:
        return "read_error";
    case TErrorCode::checksum_mismatch:
        return "checksum_mismatch";
    case TErrorCode::too_many_resends:
        return "too_many_resends";
    case TErrorCode::file_not_found:
        return "file_not_found";
    case TErrorCode::syntax_error:
        return "syntax_error";
    case TErrorCode::effect_error:
        return "effect_error";
    case TErrorCode::restarted:
        return "restarted";
    case TErrorCode::port_lost:
        return "port_lost";
    case TErrorCode::port_unusable:
        return "port_unusable";
    case TErrorCode::internal:
        return "internal";
    }
    // Only a value cast from outside the enumeration gets here.
    return "internal";
}

} // namespace vz
