#include "foundation/CollectionUtilities.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::CGPoint;
using platform::CGRect;

TEST(OptionalUtilitiesTest, FallbacksForAbsentValues) {
    EXPECT_TRUE(isNilOrEmpty(std::optional<std::vector<int>>()));
    EXPECT_TRUE(isNilOrEmpty(std::optional<std::string>("")));
    EXPECT_FALSE(isNilOrEmpty(std::optional<std::string>("a")));
    EXPECT_EQ(orZero(std::optional<double>()), 0.0);
    EXPECT_EQ(orZero(std::optional<int>(4)), 4);
    EXPECT_EQ(orEmpty(std::nullopt), "");
    int calls = 0;
    EXPECT_EQ(orElse(std::optional<int>(1), [&] { return ++calls; }), 1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(orElse(std::optional<int>(), [&] { return ++calls + 10; }), 11);
}

TEST(NilIfTest, SentinelsBecomeNothing) {
    EXPECT_EQ(nilIfZero(0), std::nullopt);
    EXPECT_EQ(nilIfZero(0.5), 0.5);
    EXPECT_EQ(nilIfMinusOne(-1), std::nullopt);
    EXPECT_EQ(nilIfMinusOne(std::int64_t{3}), 3);
    // An unsigned value is never -1, not even its maximum.
    EXPECT_EQ(nilIfMinusOne(static_cast<std::uint32_t>(-1)), 0xFFFFFFFFu);
    EXPECT_EQ(nilIfEmpty(std::string()), std::nullopt);
    EXPECT_EQ(nilIfEmpty(std::string("a")), "a");
    EXPECT_EQ(nilIfZero(CGPoint{}), std::nullopt);
    EXPECT_TRUE(nilIfZero(CGPoint{0, 1}));
    EXPECT_EQ(nilIfZero(CGRect::zero()), std::nullopt);
    EXPECT_TRUE(nilIfZero(CGRect(0, 0, 0, 1)));
}

TEST(CollectionUtilitiesTest, OnlyElementOffsetsAndAllSatisfy) {
    EXPECT_EQ(onlyElement(std::vector<int>{7}), 7);
    EXPECT_EQ(onlyElement(std::vector<int>{}), std::nullopt);
    EXPECT_EQ(onlyElement(std::list<int>{1, 2}), std::nullopt);
    const std::list<char> letters{'a', 'b', 'c'};
    EXPECT_EQ(*indexAtOffset(letters, 2), 'c');
    EXPECT_TRUE(allSatisfyOrTrueWhenEmpty(std::vector<int>{}, [](int) { return false; }));
    EXPECT_FALSE(allSatisfyOrTrueWhenEmpty(std::vector<int>{1, -1}, [](int v) { return v > 0; }));
}

} // namespace
} // namespace zestrel
