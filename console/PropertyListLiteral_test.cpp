#include "console/PropertyListLiteral.h"

#include "console/ScriptCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::console {
namespace {

using platform::Value;
using ::testing::HasSubstr;

TEST(PropertyListLiteralTest, ReadsEachKindAndWritesItBackTheSameWay) {
    for (const char* text : {"true", "false", "42", "-7", "0.5", "-1000.0", "\"hello\"",
                             "\"a \\\"quoted\\\" word\\n\"", "\"tab\\tand return\\r\"", "()",
                             "(1, \"two\", (true, 3.25))"}) {
        EXPECT_EQ(propertyListLiteral(parsePropertyListLiteral(text)), text) << text;
    }
    EXPECT_EQ(parsePropertyListLiteral("  +5 ").kind(), Value::Kind::integer);
    EXPECT_EQ(parsePropertyListLiteral("1e3").asDouble(), 1000.0);
    EXPECT_EQ(parsePropertyListLiteral("(1,2 , 3)").asArray()->size(), 3u);
}

TEST(PropertyListLiteralTest, RefusesWhatIsNoValueWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "a value is missing"},        {"yes", "needs double quotes"},
        {"\"open", "no closing quote"},    {"(1, 2", "no closing parenthesis"},
        {"(1 2)", "expected “,” or “)”"},  {"12abc", "is not a number"},
        {"true false", "after the value"}, {"\"\\q\"", "unknown escape"},
        {"1e999", "is not a number"},
    };
    for (const auto& [text, why] : cases) {
        try {
            parsePropertyListLiteral(text);
            ADD_FAILURE() << text;
        } catch (const CommandError& error) {
            EXPECT_THAT(error.what(), HasSubstr(why)) << text;
        }
    }
}

TEST(PropertyListLiteralTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '(') +
               std::string(static_cast<std::size_t>(depth), ')');
    };
    EXPECT_EQ(propertyListLiteral(parsePropertyListLiteral(nested(kDeepestNesting))),
              nested(kDeepestNesting));
    for (const int depth : {kDeepestNesting + 1, 50'000}) {
        try {
            parsePropertyListLiteral(nested(depth));
            ADD_FAILURE() << depth;
        } catch (const CommandError& error) {
            const std::string message = error.what();
            EXPECT_THAT(message, HasSubstr("arrays nest deeper than 100 levels"));
            // Named by its start, not written out whole.
            EXPECT_THAT(message, HasSubstr("“" + std::string(40, '(') + "…”"));
            EXPECT_LT(message.size(), 300u);
        }
    }
}

TEST(PropertyListLiteralTest, WritesDictionariesDataAndUnsignedNumbers) {
    EXPECT_EQ(propertyListLiteral(Value(Value::Dictionary{{"b", Value(1)}, {"a", Value("x")}})),
              "{\"a\" = \"x\"; \"b\" = 1; }");
    EXPECT_EQ(propertyListLiteral(Value(platform::Data{0x0a, 0xff})), "<0aff>");
    EXPECT_EQ(propertyListLiteral(Value(std::uint64_t{18446744073709551615u})),
              "18446744073709551615");
    EXPECT_EQ(propertyListLiteral(Value()), "<absent>");
}

} // namespace
} // namespace zestrel::console
