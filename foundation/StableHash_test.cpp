#include "foundation/StableHash.h"

#include <bit>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

TEST(StableHash, MatchesThePublishedFnv1a64Vectors) {
    EXPECT_EQ(fnv1aHash(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv1aHash("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(fnv1aHash("foobar"), 0x85944171f73967e8ULL);
    EXPECT_EQ(std::bit_cast<std::int64_t>(fnv1aHash("a")), -5808556873153909620LL);
}

TEST(StableHash, HashesTheUtf8BytesNotCharacters) {
    // "é" is two bytes in UTF-8; a sign-extended char would give a different hash.
    const std::uint64_t expected =
        ((0xcbf29ce484222325ULL ^ 0xC3) * 0x100000001b3ULL ^ 0xA9) * 0x100000001b3ULL;
    EXPECT_EQ(fnv1aHash("é"), expected);
}

} // namespace
} // namespace zestrel
