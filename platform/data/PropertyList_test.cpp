#include "platform/data/PropertyList.h"

#include "platform/base/Error.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

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

// A binary list of the given objects (object 0 is the top), one-byte offsets and references.
Data binaryList(const std::vector<Data>& objects) {
    Data bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    Data offsets;
    for (const Data& object : objects) {
        offsets.push_back(static_cast<std::uint8_t>(bytes.size()));
        bytes.insert(bytes.end(), object.begin(), object.end());
    }
    const auto tableOffset = static_cast<std::uint8_t>(bytes.size());
    bytes.insert(bytes.end(), offsets.begin(), offsets.end());
    const Data trailer{
        0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(objects.size()),
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, tableOffset};
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

// Found by fuzzing: such lists aborted the process inside the property-list library, or
// read as text our own writer could not write back.
TEST(PropertyList, MalformedTextIsACorruptList) {
    const Data keyWithNUL = binaryList({{0xD1, 1, 2}, {0x53, 'a', 0, 'b'}, {0x10, 1}});
    const Data utf16KeyWithNUL = binaryList({{0xD1, 1, 2}, {0x61, 0, 0}, {0x10, 1}});
    const Data notUTF8 = binaryList({{0xA1, 1}, {0x51, 0xEC}});
    const Data keyNotUTF8 = binaryList({{0xD1, 1, 2}, {0x51, 0x81}, {0x10, 1}});
    for (const Data& bytes : {keyWithNUL, utf16KeyWithNUL, notUTF8, keyNotUTF8}) {
        try {
            PropertyList::decode(bytes);
            FAIL() << "malformed text was decoded";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), 3840);
        }
    }
    // A string value holding a NUL (here in UTF-16) reads as text; the library may stop
    // it at the NUL.
    const Value decoded = PropertyList::decode(binaryList({{0xA1, 1}, {0x62, 0, 'a', 0, 0}}));
    ASSERT_NE(decoded.asArray(), nullptr);
    ASSERT_NE(decoded.asArray()->at(0).asString(), nullptr);
    EXPECT_EQ(decoded.asArray()->at(0).asString()->substr(0, 1), "a");
}

TEST(PropertyList, ReadsTheTextForm) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>flag</key><true/><key>n</key><integer>-3</integer></dict></plist>)";
    const Value decoded = PropertyList::decode(Data(xml.begin(), xml.end()));
    EXPECT_EQ(decoded, Value(Value::Dictionary{{"flag", true}, {"n", -3}}));
}

} // namespace
} // namespace zestrel::platform
