#include "preferences/PrefsBridges.h"

#include "platform/appkit/NSColor.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/BundleIdentifier.h"
#include "preferences/Prefs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <unordered_set>
#include <vector>

namespace zestrel {

namespace {

enum class Appearance { system, light, dark };

// A coded value of two fields, as the kit's time-of-day value is.
struct HourMinute {
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    double weight = 0;

    bool operator==(const HourMinute&) const = default;
    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(minute, "minute");
        container.encode(hour, "hour");
        if (weight != 0) {
            container.encode(weight, "weight");
        }
    }
    static HourMinute decode(const platform::Decoder& decoder) {
        auto container = decoder.container();
        return HourMinute{container.decode<std::int64_t>("hour"),
                          container.decode<std::int64_t>("minute")};
    }
};

} // namespace

template <>
struct Prefs::RawRepresentable<Appearance>
    : Prefs::RawValueNames<Prefs::RawRepresentable<Appearance>, Appearance> {
    static constexpr std::array<std::pair<Appearance, std::string_view>, 3> names{{
        {Appearance::system, "system"},
        {Appearance::light, "light"},
        {Appearance::dark, "dark"},
    }};
};
template <>
struct Prefs::PrefsSerializable<Appearance> : Prefs::RawRepresentableSerializable<Appearance> {};
template <> struct Prefs::PrefsSerializable<HourMinute> : Prefs::CodableSerializable<HourMinute> {};

namespace {

using platform::Data;
using platform::Date;
using platform::URL;
using platform::UUID;
using platform::Value;
using ::testing::UnorderedElementsAre;

// The stored form is compared with its kind: a Boolean is not the number 1.
void expectStoredObject(const Value& actual, const Value& expected, const std::string& context) {
    EXPECT_EQ(actual.kind(), expected.kind()) << context << ": " << actual.debugDescribe();
    EXPECT_EQ(actual, expected) << context << ": " << actual.debugDescribe();
}

class PrefsStoredFormsTest : public ::testing::Test {
protected:
    // Writes through a key and checks the entry; then reads it back through the key.
    template <class T> void expectRoundTrip(const T& value, const Value& stored) {
        const Prefs::Key<T> key("entry", T{});
        Prefs::set(key, value);
        expectStoredObject(defaults->object("entry"), stored, "written");
        EXPECT_TRUE(Prefs::value(key) == value) << stored.debugDescribe();
    }
    // What a key of type `T` reads from an entry holding `stored`.
    template <class T> std::optional<T> read(const Value& stored) {
        return Prefs::toValue<T>(stored);
    }

    platform::testing::TestEnvironment environment;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard();
};

TEST_F(PrefsStoredFormsTest, Bool) {
    expectRoundTrip(true, Value(true));
    expectRoundTrip(false, Value(false));
    const std::pair<Value, std::optional<bool>> reads[] = {
        {Value(true), true},
        {Value("true"), true},
        {Value("false"), false},
        {Value("1"), std::nullopt},
        {Value(1), std::nullopt},
        {Value("yes"), std::nullopt},
        {Value(Value::Array{true}), std::nullopt}};
    for (const auto& [stored, expected] : reads) {
        EXPECT_EQ(read<bool>(stored), expected) << stored.debugDescribe();
    }
}

TEST_F(PrefsStoredFormsTest, Integers) {
    expectRoundTrip<std::int64_t>(42, Value(42));
    expectRoundTrip<std::int64_t>(std::numeric_limits<std::int64_t>::min(),
                                  Value(std::numeric_limits<std::int64_t>::min()));
    expectRoundTrip<std::uint64_t>(7, Value(7));
    expectRoundTrip<std::uint64_t>(std::numeric_limits<std::uint64_t>::max(),
                                   Value(std::numeric_limits<std::uint64_t>::max()));
    expectRoundTrip<std::int8_t>(-5, Value(-5));
    const std::pair<Value, std::optional<std::int64_t>> reads[] = {
        {Value(42), 42},
        {Value("42"), 42},
        {Value("-7"), -7},
        {Value(42.0), 42},
        {Value("4.2"), std::nullopt},
        {Value("\"42\""), std::nullopt},
        {Value(4.2), std::nullopt},
        {Value(true), std::nullopt},
        {Value("true"), std::nullopt},
        {Value("forty-two"), std::nullopt}};
    for (const auto& [stored, expected] : reads) {
        EXPECT_EQ(read<std::int64_t>(stored), expected) << stored.debugDescribe();
    }
    EXPECT_EQ(read<std::int8_t>(Value(300)), std::nullopt);
    EXPECT_EQ(read<std::uint32_t>(Value(-1)), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, FloatingPoint) {
    expectRoundTrip(0.5, Value(0.5));
    expectRoundTrip(0.1f, Value(static_cast<double>(0.1f)));
    const std::pair<Value, std::optional<double>> reads[] = {{Value(2), 2.0},
                                                             {Value("4.2"), 4.2},
                                                             {Value("2"), 2.0},
                                                             {Value("abc"), std::nullopt},
                                                             {Value(false), std::nullopt}};
    for (const auto& [stored, expected] : reads) {
        EXPECT_EQ(read<double>(stored), expected) << stored.debugDescribe();
    }
    // A float reads only what it holds without loss.
    EXPECT_EQ(read<float>(Value(0.1)), std::nullopt);
    EXPECT_EQ(read<float>(Value(0.5)), 0.5f);
}

TEST_F(PrefsStoredFormsTest, StringNeverDecodesJSON) {
    expectRoundTrip<std::string>("Grüße \"x\"", Value("Grüße \"x\""));
    EXPECT_EQ(read<std::string>(Value("\"quoted\"")), "\"quoted\"");
    EXPECT_EQ(read<std::string>(Value(42)), std::nullopt);
    EXPECT_EQ(read<std::string>(Value(true)), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, DateAndData) {
    expectRoundTrip(Date{86400.25}, Value(Date{86400.25}));
    expectRoundTrip(Data{0, 1, 0xff}, Value(Data{0, 1, 0xff}));
    // Text that holds JSON of the type: seconds since 2001, Base64.
    EXPECT_EQ(read<Date>(Value("100")), Date{100});
    EXPECT_EQ(read<Date>(Value(100)), std::nullopt);
    EXPECT_EQ(read<Data>(Value("\"AQID\"")), (Data{1, 2, 3}));
    EXPECT_EQ(read<Data>(Value("AQID")), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, URLIsItsJSONText) {
    const URL url = *URL::parse("https://example.com/a");
    ASSERT_EQ(url.absoluteString().size(), 21u);
    const std::string stored = R"("https:\/\/example.com\/a")";
    EXPECT_EQ(stored.size(), 26u);
    expectRoundTrip(url, Value(stored));
    EXPECT_EQ(read<URL>(Value("https://example.com/a")), std::nullopt);
    EXPECT_EQ(read<URL>(Value(R"("https://example.com/a")")), url);
}

TEST_F(PrefsStoredFormsTest, UUIDIsItsUpperCaseText) {
    const UUID uuid = *UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    expectRoundTrip(uuid, Value("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(read<UUID>(Value("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")), uuid);
    EXPECT_EQ(read<UUID>(Value("e621e1f8")), std::nullopt);
    EXPECT_EQ(read<UUID>(Value(Value::Array{})), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, Arrays) {
    expectRoundTrip(std::vector<std::int64_t>{3, 1, 2}, Value(Value::Array{3, 1, 2}));
    expectRoundTrip(std::vector<std::string>{}, Value(Value::Array{}));
    const UUID a = *UUID::parse("00000000-0000-0000-0000-00000000000A");
    const UUID b = *UUID::parse("00000000-0000-0000-0000-00000000000B");
    expectRoundTrip(std::vector<UUID>{a, b},
                    Value(Value::Array{Value(a.uuidString()), Value(b.uuidString())}));
    // Elements that fail are dropped one by one; an array of another type reads nothing.
    EXPECT_EQ(read<std::vector<UUID>>(
                  Value(Value::Array{Value(a.uuidString()), "malformed", Value(b.uuidString())})),
              (std::vector<UUID>{a, b}));
    EXPECT_EQ(read<std::vector<UUID>>(Value(Value::Array{Value(a.uuidString()), 1})), std::nullopt);
    EXPECT_EQ(read<std::vector<std::int64_t>>(Value(Value::Array{"1", "2"})),
              (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(read<std::vector<std::int64_t>>(Value(Value::Array{1, "x"})), std::nullopt);
    EXPECT_EQ(read<std::vector<std::int64_t>>(Value(1)), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, SetsAreArraysWhoseDuplicatesCollapse) {
    using Identifiers = std::unordered_set<BundleIdentifier>;
    const Prefs::Key<Identifiers> key("_ignoreList", Identifiers{});
    Prefs::set(key, Identifiers{{"com.apple.finder"}, {"com.binarynights.ForkLift"}});
    const Value stored = defaults->object("_ignoreList");
    ASSERT_NE(stored.asArray(), nullptr);
    EXPECT_THAT(*stored.asArray(), UnorderedElementsAre(Value("com.apple.finder"),
                                                        Value("com.binarynights.ForkLift")));
    EXPECT_EQ(Prefs::value(key),
              (Identifiers{{"com.apple.finder"}, {"com.binarynights.ForkLift"}}));

    EXPECT_EQ(read<Identifiers>(Value(Value::Array{"a", "a", "b"})), (Identifiers{{"a"}, {"b"}}));
    for (const Value& other : {Value("a"), Value(1), Value(Value::Array{"a", 1})}) {
        EXPECT_EQ(read<Identifiers>(other), std::nullopt) << other.debugDescribe();
        defaults->setObject(other, "_ignoreList");
        EXPECT_EQ(Prefs::value(key), Identifiers{}) << other.debugDescribe();
    }
    // An ordered set keeps its order; a set of bridged elements stores their final forms.
    expectRoundTrip(std::set<std::int64_t>{3, 1, 2}, Value(Value::Array{1, 2, 3}));
    const UUID a = *UUID::parse("00000000-0000-0000-0000-00000000000A");
    expectRoundTrip(std::set<UUID>{a}, Value(Value::Array{Value(a.uuidString())}));
}

TEST_F(PrefsStoredFormsTest, Dictionaries) {
    expectRoundTrip(std::map<std::string, std::int64_t>{{"a", 1}, {"b", 2}},
                    Value(Value::Dictionary{{"a", 1}, {"b", 2}}));
    const UUID a = *UUID::parse("00000000-0000-0000-0000-00000000000A");
    expectRoundTrip(std::map<std::int64_t, UUID>{{-3, a}},
                    Value(Value::Dictionary{{"-3", Value(a.uuidString())}}));
    // Entries whose key or value does not read are left out.
    EXPECT_EQ((read<std::map<std::int64_t, UUID>>(Value(Value::Dictionary{
                  {"7", Value(a.uuidString())}, {"x", Value(a.uuidString())}, {"8", "bad"}}))),
              (std::map<std::int64_t, UUID>{{7, a}}));
    EXPECT_EQ((read<std::map<std::string, bool>>(Value(Value::Dictionary{{"a", 1}}))),
              std::nullopt);
    // Integer keys are whole numbers of the key's type and nothing more.
    Value::Dictionary stored;
    for (const char* text : {"7", "+9", "8x", "9 ", " 9", "1.5", "", "+", "1e2"}) {
        stored.emplace(text, a.uuidString());
    }
    EXPECT_EQ((read<std::map<std::int64_t, UUID>>(Value(stored))),
              (std::map<std::int64_t, UUID>{{7, a}, {9, a}}));
}

TEST_F(PrefsStoredFormsTest, OptionalsStoreTheirValueAndNeverTheAbsentOne) {
    expectRoundTrip<std::optional<std::int64_t>>(5, Value(5));
    expectRoundTrip<std::optional<UUID>>(UUID{}, Value("00000000-0000-0000-0000-000000000000"));
    const Prefs::Key<std::optional<std::string>> key("optional");
    Prefs::set(key, "text");
    Prefs::set(key, std::nullopt);
    EXPECT_TRUE(defaults->object("optional").isAbsent());
    EXPECT_EQ(read<std::optional<bool>>(Value("true")), std::optional<std::optional<bool>>(true));
}

TEST_F(PrefsStoredFormsTest, RawRepresentableIsItsRawValue) {
    expectRoundTrip(Appearance::dark, Value("dark"));
    expectRoundTrip(BundleIdentifier{"com.apple.finder"}, Value("com.apple.finder"));
    EXPECT_EQ(read<Appearance>(Value("Dark")), std::nullopt);
    EXPECT_EQ(read<Appearance>(Value(2)), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, CodableIsSortedCompactJSON) {
    const std::string stored = R"({"hour":9,"minute":30})";
    EXPECT_EQ(stored.size(), 22u);
    expectRoundTrip(HourMinute{9, 30}, Value(stored));
    EXPECT_EQ(read<HourMinute>(Value(R"({"minute":5,"hour":23,"extra":1})")), (HourMinute{23, 5}));
    EXPECT_EQ(read<HourMinute>(Value(R"({"hour":9})")), std::nullopt);
    EXPECT_EQ(read<HourMinute>(Value("{")), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, FailedEncodingRemovesTheEntryAndSaysSoOnce) {
    const Prefs::Key<HourMinute> key("time", HourMinute{1, 2});
    Prefs::set(key, HourMinute{9, 30});
    environment.clearCaptures();

    Prefs::set(key, HourMinute{9, 30, std::nan("")});
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName())
                  .value_or(Value::Dictionary{})
                  .count("time"),
              0u);
    EXPECT_EQ(Prefs::value(key), (HourMinute{1, 2}));
    EXPECT_EQ(
        environment.standardOutput(),
        "invalidValue(nan, Swift.EncodingError.Context(codingPath: [CodingKey(stringValue: "
        "\"weight\", intValue: nil)], debugDescription: \"Unable to encode Double.nan directly "
        "in JSON.\", underlyingError: nil))\n");
    ASSERT_EQ(environment.logLines().size(), 1u);
    EXPECT_THAT(environment.logLines()[0], ::testing::HasSubstr("Unable to encode Double.nan"));
}

TEST_F(PrefsStoredFormsTest, ColorsAreKeyedArchives) {
    const platform::Color color{1, 0.5, 0, 0.25};
    const Prefs::Key<platform::Color> key("tint", platform::Color{});
    Prefs::set(key, color);
    const Value stored = defaults->object("tint");
    ASSERT_NE(stored.asData(), nullptr);
    const auto archived =
        platform::NSKeyedUnarchiver::unarchivedObject(
            {platform::NSColor::archivableClass(), {"NSNumber", nullptr}}, *stored.asData())
            .asObject<platform::NSColor>();
    ASSERT_NE(archived, nullptr);
    EXPECT_EQ(archived->color(), color);
    EXPECT_EQ(Prefs::value(key), color);

    const auto object = std::make_shared<platform::NSColor>(0, 0, 1, 1);
    const Prefs::Key<std::shared_ptr<platform::NSColor>> objectKey("object", nullptr);
    Prefs::set(objectKey, object);
    EXPECT_TRUE(Prefs::value(objectKey)->isEqual(*object));

    EXPECT_EQ(read<platform::Color>(Value(Data{1, 2, 3})), std::nullopt);
    const Data otherArchive = platform::NSKeyedArchiver::archivedData(Value("text"), true);
    EXPECT_EQ(read<platform::Color>(Value(otherArchive)), std::nullopt);
}

TEST_F(PrefsStoredFormsTest, WrittenValuesReadBackAfterARestart) {
    const UUID uuid = *UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    {
        Prefs::set(Prefs::Key<bool>("b", true), false);
        Prefs::set(Prefs::Key<std::int64_t>("i", 0), -12);
        Prefs::set(Prefs::Key<double>("d", 0), 0.1);
        Prefs::set(Prefs::Key<Date>("date", Date{}), Date{1.5});
        Prefs::set(Prefs::Key<URL>("url", URL()), *URL::parse("file:///tmp/a%20b"));
        Prefs::set(Prefs::Key<std::vector<UUID>>("uuids", {}), {uuid});
        Prefs::set(Prefs::Key<std::map<std::string, std::vector<std::string>>>("map", {}),
                   {{"k", {"v"}}});
        Prefs::set(Prefs::Key<HourMinute>("time", {}), HourMinute{22, 0});
        Prefs::set(Prefs::Key<std::optional<Appearance>>("look"), Appearance::light);
    }
    defaults.reset();
    platform::resetProcess();

    EXPECT_FALSE(Prefs::value(Prefs::Key<bool>("b", true)));
    EXPECT_EQ(Prefs::value(Prefs::Key<std::int64_t>("i", 0)), -12);
    EXPECT_EQ(Prefs::value(Prefs::Key<double>("d", 0)), 0.1);
    EXPECT_EQ(Prefs::value(Prefs::Key<Date>("date", Date{})), Date{1.5});
    EXPECT_EQ(Prefs::value(Prefs::Key<URL>("url", URL())), *URL::parse("file:///tmp/a%20b"));
    EXPECT_EQ(Prefs::value(Prefs::Key<std::vector<UUID>>("uuids", {})), std::vector<UUID>{uuid});
    EXPECT_EQ(
        (Prefs::value(Prefs::Key<std::map<std::string, std::vector<std::string>>>("map", {}))),
        (std::map<std::string, std::vector<std::string>>{{"k", {"v"}}}));
    EXPECT_EQ(Prefs::value(Prefs::Key<HourMinute>("time", {})), (HourMinute{22, 0}));
    EXPECT_EQ(Prefs::value(Prefs::Key<std::optional<Appearance>>("look")), Appearance::light);
}

} // namespace
} // namespace zestrel
