#pragma once

#include <cstdint>
#include <string_view>

namespace zestrel {

// The FNV-1a 64-bit hash of the text's UTF-8 bytes. Unlike `std::hash`, it is the same in
// every run and on every machine, so it can stand for a text in logs and error codes.
std::uint64_t fnv1aHash(std::string_view text);

} // namespace zestrel
