#include "foundation/TextUtilities.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace zestrel {
namespace {

using platform::Value;
using Rule = FloatingPointRoundingRule;

TEST(KeyValueLinesTest, OneLinePerEntryInKeyOrderWithPlainDescriptions) {
    OrderedDictionary<std::string, Value> info;
    info.set("b", Value(2));
    info.set("a", Value("x"));
    EXPECT_EQ(keyValueLines(info), "b: 2\na: x");
    info.set("c", Value(std::optional<std::string>("y")));
    info.set("d", Value(std::optional<int>()));
    info.set("e", Value(1.5));
    EXPECT_EQ(keyValueLines(info), "b: 2\na: x\nc: Optional(\"y\")\nd: nil\ne: 1.5");
    EXPECT_EQ(keyValueLines(OrderedDictionary<std::string, Value>()), "");
    EXPECT_EQ(keyValueLines(Value::Dictionary{{"k", true}}), "k: true");
}

TEST(MergeTest, TheIncomingValueWins) {
    Value::Dictionary userInfo{{"file", "a.swift"}, {"line", 1}};
    merge(userInfo, Value::Dictionary{{"line", 2}, {"fileLine", "a.swift:2"}});
    EXPECT_EQ(userInfo,
              (Value::Dictionary{{"file", "a.swift"}, {"line", 2}, {"fileLine", "a.swift:2"}}));
}

TEST(SizeTextTest, WholeNumbersHaveNoFraction) {
    EXPECT_EQ(sizeText({1920, 1080}), "1920×1080");
    EXPECT_EQ(sizeText({10.0, 20.5}), "10×20.5");
    EXPECT_EQ(sizeText({0.1, -3}), "0.1×-3");
}

TEST(RoundedTest, FollowsTheDoubleArithmeticOfTheScaledValue) {
    // 1.005 * 100 is just below 100.5; 2.675 * 100 is exactly 267.5.
    EXPECT_EQ(rounded(1.005, 2, Rule::toNearestOrAwayFromZero), 1.0);
    EXPECT_EQ(rounded(2.675, 2, Rule::toNearestOrAwayFromZero), 2.68);
    EXPECT_EQ(rounded(1.23456, -1, Rule::up), 1.23456);
    EXPECT_EQ(rounded(2.5, 0, Rule::toNearestOrAwayFromZero), 3.0);
    EXPECT_EQ(rounded(-2.5, 0, Rule::toNearestOrAwayFromZero), -3.0);
}

TEST(RoundedTest, EveryRule) {
    struct Case {
        double value;
        Rule rule;
        double expected;
    };
    const Case cases[] = {
        {2.5, Rule::toNearestOrEven, 2.0},
        {3.5, Rule::toNearestOrEven, 4.0},
        {-2.5, Rule::toNearestOrEven, -2.0},
        {2.6, Rule::toNearestOrEven, 3.0},
        {2.1, Rule::up, 3.0},
        {-2.1, Rule::up, -2.0},
        {2.9, Rule::down, 2.0},
        {-2.1, Rule::down, -3.0},
        {-2.9, Rule::towardZero, -2.0},
        {2.9, Rule::towardZero, 2.0},
        {2.1, Rule::awayFromZero, 3.0},
        {-2.1, Rule::awayFromZero, -3.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rounded(c.value, 0, c.rule), c.expected) << c.value << " rule " << int(c.rule);
    }
    EXPECT_EQ(rounded(0.125, 2, Rule::toNearestOrEven), 0.12);
}

TEST(EpochTest, IsNoughtSecondsSince1970) {
    EXPECT_EQ(epoch().timeIntervalSince1970(), 0.0);
}

} // namespace
} // namespace zestrel
