#include "platform/PropertyList.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zestrel::platform {
namespace {

Value roundTrip(const Value& value) {
    return PropertyList::decode(PropertyList::encodeBinary(value));
}

TEST(PropertyList, ScalarsKeepTheirKinds) {
    const Value::Array values = {
        true,
        false,
        Value(1),
        Value(0),
        Value(-1),
        Value(std::numeric_limits<std::int64_t>::min()),
        Value(std::numeric_limits<std::int64_t>::max()),
        Value(std::numeric_limits<std::uint64_t>::max()),
        Value(std::uint64_t{9223372036854775808ull}),
        0.1,
        -2.5e300,
        "",
        "Grüße, 世界 🦅",
        Data{0, 1, 2, 255},
        Data{},
    };
    const Value decoded = roundTrip(Value(values));
    ASSERT_NE(decoded.asArray(), nullptr);
    const auto& array = *decoded.asArray();
    ASSERT_EQ(array.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(array[i], values[i]) << i << ": " << values[i].debugDescribe();
        EXPECT_EQ(array[i].kind() == Value::Kind::boolean, values[i].kind() == Value::Kind::boolean)
            << i;
    }
    EXPECT_EQ(array[7].kind(), Value::Kind::unsignedInteger);
    EXPECT_EQ(array[4].kind(), Value::Kind::integer);
}

TEST(PropertyList, DatesKeepTheirExactSeconds) {
    for (const double seconds :
         {0.0, 123456789.123457, 789456123.000001, -0.5, -4.75, -978307200.000001, 1e-6}) {
        const Value decoded = roundTrip(Value::Dictionary{{"d", Date{seconds}}});
        const Value& date = decoded.asDictionary()->at("d");
        ASSERT_TRUE(date.asDate()) << seconds;
        EXPECT_EQ(date.asDate()->timeIntervalSinceReferenceDate, seconds);
    }
}

TEST(PropertyList, NestedCollections) {
    const Value nested = Value::Dictionary{
        {"list", Value::Array{1, Value::Array{"a", Value::Dictionary{{"x", 2.5}}}, Value::Array{}}},
        {"empty", Value::Dictionary{}},
        {"ключ", Value::Dictionary{{"inner", Value::Array{true, Date{10.25}}}}},
    };
    EXPECT_EQ(roundTrip(nested), nested);
}

TEST(PropertyList, OnlyPropertyListValuesAreValid) {
    EXPECT_TRUE(PropertyList::isValid(Value::some(3)));
    EXPECT_FALSE(PropertyList::isValid(Value()));
    EXPECT_FALSE(PropertyList::isValid(Value::null()));
    EXPECT_FALSE(PropertyList::isValid(*URL::parse("https://example.com/")));
    EXPECT_FALSE(PropertyList::isValid(UUID{}));
    EXPECT_FALSE(PropertyList::isValid(Value::Array{1, Value::Dictionary{{"u", UUID{}}}}));

    try {
        PropertyList::encodeBinary(Value::Dictionary{{"u", *URL::parse("file:///tmp")}});
        FAIL() << "a URL was encoded";
    } catch (const Error& error) {
        EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), 3851);
    }
}

TEST(PropertyList, GarbageIsACorruptList) {
    for (const Data& bytes : {Data{}, Data{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3},
                              Data{'h', 'e', 'l', 'l', 'o'}}) {
        try {
            PropertyList::decode(bytes);
            FAIL() << "garbage was decoded";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), 3840);
        }
    }
}

TEST(PropertyList, ReadsTheTextForm) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>flag</key><true/><key>n</key><integer>-3</integer></dict></plist>)";
    const Value decoded = PropertyList::decode(Data(xml.begin(), xml.end()));
    EXPECT_EQ(decoded, Value(Value::Dictionary{{"flag", true}, {"n", -3}}));
}

} // namespace
} // namespace zestrel::platform
