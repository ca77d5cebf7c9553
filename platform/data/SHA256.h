#pragma once

#include "platform/base/Value.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zestrel::platform {

// The SHA-256 digest (FIPS 180-4) of some bytes, as the platform's crypto kit gives it.
using SHA256Digest = std::array<std::uint8_t, 32>;

SHA256Digest sha256(const Data& bytes);
SHA256Digest sha256(std::string_view bytes);

} // namespace zestrel::platform
