#include "platform/data/PropertyList.h"

#include "platform/base/Error.h"
#include "platform/testing/CraftedPropertyList.h"

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

Error decodeFailure(const Data& bytes) {
    try {
        PropertyList::decode(bytes);
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "decoded";
    return NSError::make("none", 0);
}

Error encodeFailure(const Value& value) {
    try {
        PropertyList::encodeBinary(value);
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "encoded " << value.debugDescribe();
    return NSError::make("none", 0);
}

// A list of one string, as single bytes, and of a dictionary with that string as its key.
Data listWithString(const std::string& text) {
    Data string{static_cast<std::uint8_t>(0x50 | text.size())};
    string.insert(string.end(), text.begin(), text.end());
    return binaryList({{0xA1, 1}, string});
}
Data listWithKey(const std::string& text) {
    Data key{static_cast<std::uint8_t>(0x50 | text.size())};
    key.insert(key.end(), text.begin(), text.end());
    return binaryList({{0xD1, 1, 2}, key, {0x10, 1}});
}

// Found by fuzzing: such lists aborted the process inside the property-list library, or
// read as text our own writer could not write back.
TEST(PropertyList, TextWithNULIsNeitherReadNorWritten) {
    const Data lists[] = {
        listWithKey(std::string("a\0b", 3)),
        binaryList({{0xD1, 1, 2}, {0x61, 0, 0}, {0x10, 1}}), // UTF-16 key
        listWithString(std::string("a\0b", 3)),
        binaryList({{0xA1, 1}, {0x62, 0, 'a', 0, 0}}), // UTF-16 string
    };
    for (const Data& bytes : lists) {
        EXPECT_EQ(decodeFailure(bytes).code(), 3840);
    }
    const std::string withNUL("a\0b", 3);
    for (const Value& value : {Value(withNUL), Value(Value::Array{withNUL}),
                               Value(Value::Dictionary{{withNUL, 1}, {"a", 2}})}) {
        EXPECT_FALSE(PropertyList::isValid(value)) << value.debugDescribe();
        EXPECT_EQ(encodeFailure(value).code(), 3851);
    }
}

TEST(PropertyList, TextMustBeWellFormedUTF8) {
    const std::string refused[] = {
        "\xC0\x80",
        "\xC1\xBF", // overlong two-byte forms
        "\xE0\x80\x80",
        "\xE0\x9F\xBF", // overlong three-byte forms
        "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF", // overlong four-byte forms
        "\xED\xA0\x80",
        "\xED\xBF\xBF", // surrogates
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80", // beyond U+10FFFF
        "\x81",
        "a\xC3", // a stray continuation, a cut sequence
    };
    for (const std::string& text : refused) {
        EXPECT_EQ(decodeFailure(listWithString(text)).code(), 3840);
        EXPECT_EQ(decodeFailure(listWithKey(text)).code(), 3840);
        EXPECT_EQ(encodeFailure(Value::Dictionary{{"k", text}}).code(), 3851);
        EXPECT_EQ(encodeFailure(Value::Dictionary{{text, 1}}).code(), 3851);
    }
    // The smallest and largest of each length read as they are.
    for (const std::string text : {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                                   "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_EQ(PropertyList::decode(listWithString(text)), Value(Value::Array{text}));
        EXPECT_EQ(PropertyList::decode(listWithKey(text)), Value(Value::Dictionary{{text, 1}}));
    }
}

// Many dictionaries over one long key: every key was scanned again for each dictionary.
TEST(PropertyList, ACraftedListOfSharedLongKeysIsReadOnce) {
    constexpr std::size_t kKeyLength = 1000;
    const Data bytes = testing::sharedLongKeyList(kKeyLength, 300, 300);

    EXPECT_FALSE(detail::binaryPropertyListHasTextWithNUL(bytes));
    const Value decoded = PropertyList::decode(bytes);
    ASSERT_NE(decoded.asDictionary(), nullptr);
    EXPECT_EQ(decoded.asDictionary()->size(), 1u);
    EXPECT_EQ(decoded.asDictionary()->begin()->first, std::string(kKeyLength, 'k'));
}

TEST(PropertyList, ReadsTheTextForm) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>flag</key><true/><key>n</key><integer>-3</integer></dict></plist>)";
    const Value decoded = PropertyList::decode(Data(xml.begin(), xml.end()));
    EXPECT_EQ(decoded, Value(Value::Dictionary{{"flag", true}, {"n", -3}}));
}

} // namespace
} // namespace zestrel::platform
