#include "platform/data/JSON.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zestrel::platform {
namespace {

class JSONTest : public ::testing::Test {
protected:
    testing::TestEnvironment environment;
};

Error readFailure(std::string_view text, JSONReadingOptions options = {}) {
    try {
        JSONSerialization::jsonObject(text, options);
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "read succeeded: " << text;
    return NSError::make("none", 0);
}

Error writeFailure(const Value& value) {
    try {
        JSONSerialization::string(value);
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "write succeeded: " << value.debugDescribe();
    return NSError::make("none", 0);
}

std::string debugDescription(const Error& error) {
    const auto& userInfo = error.nsError()->userInfo();
    const auto it = userInfo.find(NSDebugDescriptionErrorKey);
    return it == userInfo.end() ? "" : *it->second.asString();
}

TEST_F(JSONTest, NumbersKeepTheirKind) {
    struct Case {
        const char* text;
        Value::Kind kind;
        Value value;
    };
    const Case cases[] = {
        {"42", Value::Kind::integer, Value(42)},
        {"-7", Value::Kind::integer, Value(-7)},
        {"42.0", Value::Kind::real, Value(42.0)},
        {"4.2e1", Value::Kind::real, Value(42.0)},
        {"1E2", Value::Kind::real, Value(100.0)},
        {"9223372036854775807", Value::Kind::integer, Value(INT64_MAX)},
        {"-9223372036854775808", Value::Kind::integer, Value(INT64_MIN)},
        {"9223372036854775808", Value::Kind::unsignedInteger, Value(9223372036854775808ull)},
        {"18446744073709551615", Value::Kind::unsignedInteger, Value(UINT64_MAX)},
        {"18446744073709551616", Value::Kind::real, Value(18446744073709551616.0)},
        {"-9223372036854775809", Value::Kind::real, Value(-9223372036854775809.0)},
        {"0.1", Value::Kind::real, Value(0.1)},
    };
    for (const Case& c : cases) {
        const Value parsed = JSONSerialization::jsonObject(c.text, {.allowFragments = true});
        EXPECT_EQ(parsed.kind(), c.kind) << c.text;
        EXPECT_EQ(parsed, c.value) << c.text;
    }
}

TEST_F(JSONTest, ParsesNestedContainers) {
    const Value parsed = JSONSerialization::jsonObject(
        R"( {"a": [1, true, null, "x\u00e9\/"], "b": {}, "c": [] } )");
    const Value expected(Value::Dictionary{
        {"a", Value(Value::Array{Value(1), Value(true), Value::null(), Value("xé/")})},
        {"b", Value(Value::Dictionary{})},
        {"c", Value(Value::Array{})},
    });
    EXPECT_EQ(parsed, expected);
    EXPECT_EQ(parsed.asDictionary()->at("a").asArray()->at(1).kind(), Value::Kind::boolean);
}

TEST_F(JSONTest, LastOfDuplicateKeysWins) {
    EXPECT_EQ(JSONSerialization::jsonObject(R"({"k": 1, "k": 2})"),
              Value(Value::Dictionary{{"k", Value(2)}}));
}

TEST_F(JSONTest, FragmentsNeedTheOption) {
    for (const char* text : {"42", "\"text\"", "true", "null"}) {
        const Error error = readFailure(text);
        EXPECT_EQ(debugDescription(error), "JSON text did not start with array or object and "
                                           "option to allow fragments not set.")
            << text;
    }
    EXPECT_EQ(JSONSerialization::jsonObject("\"text\"", {.allowFragments = true}), Value("text"));
    EXPECT_EQ(JSONSerialization::jsonObject("null", {.allowFragments = true}), Value::null());
}

TEST_F(JSONTest, InvalidTextIsAReadError) {
    const char* invalid[] = {
        "",          "{",       "[1,]",      "{\"a\":1,}",    "[1] x",      "[1][2]",   "{'a': 1}",
        "[01]",      "[1.]",    "[.5]",      "[NaN]",         "[Infinity]", "[\"\t\"]", "// c\n[]",
        "[\"\\x\"]", "[1e400]", "{\"a\" 1}", "[\"\\ud800\"]", "[\"\xff\"]", "[tru]",    "[+1]",
    };
    for (const char* text : invalid) {
        const Error error = readFailure(text, {.allowFragments = true});
        EXPECT_EQ(error.domain(), NSCocoaErrorDomain) << text;
        EXPECT_EQ(error.code(), 3840) << text;
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn’t be read because it isn’t in the correct format.")
            << text;
    }
    EXPECT_EQ(debugDescription(readFailure("[1] x")), "Garbage at end.");
    EXPECT_EQ(debugDescription(readFailure("[1, x]")), "Invalid value around character 4.");
}

TEST_F(JSONTest, DeepNestingIsRefusedNotOverflowed) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(debugDescription(readFailure(deep)), "Too many nested arrays or dictionaries.");
    const std::string allowed = std::string(512, '[') + std::string(512, ']');
    EXPECT_NO_THROW(JSONSerialization::jsonObject(allowed));
}

TEST_F(JSONTest, WritesCompactTextByDefault) {
    struct Case {
        Value value;
        const char* text;
    };
    const Case cases[] = {
        {Value::null(), "null"},
        {Value(true), "true"},
        {Value(false), "false"},
        {Value(0), "0"},
        {Value(-12), "-12"},
        {Value(INT64_MIN), "-9223372036854775808"},
        {Value(UINT64_MAX), "18446744073709551615"},
        {Value(2.0), "2"},
        {Value(0.1), "0.1"},
        {Value(1.5), "1.5"},
        {Value(-2.25), "-2.25"},
        {Value(1e15), "1000000000000000"},
        {Value(1e16), "1e+16"},
        {Value(1e-5), "1e-05"},
        {Value(0.0001), "0.0001"},
        {Value(123456.789), "123456.789"},
        {Value(std::numeric_limits<double>::max()), "1.7976931348623157e+308"},
        {Value(""), "\"\""},
        {Value("a/b"), "\"a\\/b\""},
        {Value("q\"b\\"), "\"q\\\"b\\\\\""},
        {Value("\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\""},
        {Value(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\x7f\""},
        {Value(std::string("\0", 1)), "\"\\u0000\""},
        {Value("héllo ✓"), "\"héllo ✓\""},
        {Value(Value::Array{}), "[]"},
        {Value(Value::Dictionary{}), "{}"},
        {Value(Value::Array{Value(1), Value("x"), Value::null()}), "[1,\"x\",null]"},
        {Value(Value::Dictionary{{"b", Value(1)}, {"a", Value(Value::Array{Value(true)})}}),
         "{\"a\":[true],\"b\":1}"},
        {Value::some(Value(3)), "3"},
        {Value(Value::Array{Value::some(Value("x"))}), "[\"x\"]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JSONSerialization::string(c.value), c.text) << c.value.debugDescribe();
    }
}

TEST_F(JSONTest, NegativeZeroReadsBackAsItself) {
    const std::string text = JSONSerialization::string(Value(Value::Array{-0.0, 0.0}));
    EXPECT_EQ(text, "[-0.0,0]");
    const Value read = JSONSerialization::jsonObject(text);
    const Value& zero = read.asArray()->at(0);
    ASSERT_EQ(zero.kind(), Value::Kind::real);
    EXPECT_TRUE(std::signbit(*zero.asDouble()));
    EXPECT_EQ(JSONSerialization::string(read), text);
}

TEST_F(JSONTest, SortedKeysFollowCodePointOrder) {
    const Value value(Value::Dictionary{{"b", Value(1)},
                                        {"a", Value(2)},
                                        {"B", Value(3)},
                                        {"é", Value(4)},
                                        {"Z", Value(5)},
                                        {"aa", Value(6)}});
    const std::string expected = R"({"B":3,"Z":5,"a":2,"aa":6,"b":1,"é":4})";
    EXPECT_EQ(JSONSerialization::string(value, {.sortedKeys = true}), expected);
    EXPECT_EQ(JSONSerialization::string(value), expected);
}

TEST_F(JSONTest, PrettyPrintedLayout) {
    const Value value(Value::Dictionary{
        {"list", Value(Value::Array{Value(1), Value(Value::Dictionary{{"k", Value("v")}})})},
        {"empty", Value(Value::Array{})},
        {"none", Value(Value::Dictionary{})},
        {"n", Value(0.5)},
    });
    EXPECT_EQ(JSONSerialization::string(value, {.prettyPrinted = true, .sortedKeys = true}),
              "{\n"
              "  \"empty\" : [],\n"
              "  \"list\" : [\n"
              "    1,\n"
              "    {\n"
              "      \"k\" : \"v\"\n"
              "    }\n"
              "  ],\n"
              "  \"n\" : 0.5,\n"
              "  \"none\" : {}\n"
              "}");
    EXPECT_EQ(JSONSerialization::string(Value(7), {.prettyPrinted = true}), "7");
}

TEST_F(JSONTest, SlashesCanBeLeftUnescaped) {
    EXPECT_EQ(JSONSerialization::string(Value("https://x.io/a"), {.withoutEscapingSlashes = true}),
              "\"https://x.io/a\"");
    EXPECT_EQ(JSONSerialization::string(Value("https://x.io/a")), R"("https:\/\/x.io\/a")");
}

TEST_F(JSONTest, NonFiniteNumbersAndForeignValuesCannotBeWritten) {
    struct Case {
        Value value;
        const char* debugDescription;
    };
    const Case cases[] = {
        {Value(std::numeric_limits<double>::infinity()),
         "Unable to encode Double.infinity directly in JSON."},
        {Value(Value::Array{Value(-std::numeric_limits<double>::infinity())}),
         "Unable to encode -Double.infinity directly in JSON."},
        {Value(Value::Dictionary{{"x", Value(std::nan(""))}}),
         "Unable to encode Double.nan directly in JSON."},
        {Value(Date{0}), "Invalid type in JSON write (Date)."},
        {Value(Data{1, 2}), "Invalid type in JSON write (Data)."},
        {Value(UUID{}), "Invalid type in JSON write (UUID)."},
        {Value(), "Invalid type in JSON write (Optional<Any>)."},
    };
    for (const Case& c : cases) {
        const Error error = writeFailure(c.value);
        EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), 4866);
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn’t be written because it isn’t in the correct format.");
        EXPECT_EQ(debugDescription(error), c.debugDescription);
    }
}

TEST_F(JSONTest, WrittenTextReadsBackEqual) {
    const Value value(Value::Dictionary{
        {"s", Value("a/\"\\\n\x01é")},
        {"d", Value(0.1)},
        {"i", Value(-3)},
        {"u", Value(UINT64_MAX)},
        {"l", Value(Value::Array{Value(false), Value::null(), Value(1e300)})},
    });
    for (const bool pretty : {false, true}) {
        const Data data = JSONSerialization::data(value, {.prettyPrinted = pretty});
        EXPECT_EQ(JSONSerialization::jsonObject(data), value);
    }
}

} // namespace
} // namespace zestrel::platform
