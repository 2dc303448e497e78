// Cutting script lines apart without ever reading past their end.
#pragma once

#include <cstddef>
#include <string_view>

namespace vz {

// The text without its first `count` characters; empty when it has no more.
inline std::string_view DropFront(std::string_view text, std::size_t count) {
    return count < text.size() ? text.substr(count) : std::string_view();
}

} // namespace vz
