#include "foundation/StableHash.h"

namespace zestrel {

std::uint64_t fnv1aHash(std::string_view text) {
    constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t hash = kOffsetBasis;
    for (const char character : text) {
        hash ^= static_cast<std::uint8_t>(character);
        hash *= kPrime;
    }
    return hash;
}

} // namespace zestrel
