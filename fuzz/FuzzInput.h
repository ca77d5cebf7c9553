#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zestrel::fuzz {

// The fuzzer's bytes as text, without copying.
inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline platform::Data bytes(const std::uint8_t* data, std::size_t size) {
    return platform::Data(data, data + size);
}

} // namespace zestrel::fuzz
