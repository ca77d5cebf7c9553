#include "foundation/RawRepresentable.h"
#include "foundation/SmallUtilities.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(SmallUtilitiesTest, DroppingFirstCountsCharacters) {
    EXPECT_EQ(droppingFirst("prefix:rest", 0), "prefix:rest");
    EXPECT_EQ(droppingFirst("prefix:rest", 7), "rest");
    EXPECT_EQ(droppingFirst("abc", 3), "");
    EXPECT_EQ(droppingFirst("abc", 10), "");
    // "é" as e plus a combining accent, and a flag: one character each.
    EXPECT_EQ(droppingFirst("e\xCC\x81"
                            "x",
                            1),
              "x");
    EXPECT_EQ(droppingFirst("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"
                            "de",
                            1),
              "de");
}

TEST(SmallUtilitiesDeathTest, DroppingANegativeCountStopsTheProcess) {
    EXPECT_DEATH(droppingFirst("abc", -1), "negative");
}

TEST(SmallUtilitiesTest, LocalizedNameDropsTheAppEndingOnly) {
    EXPECT_EQ(localizedName(pf::URL::fileURL("/Applications/Mail.app", true)), "Mail");
    EXPECT_EQ(localizedName(pf::URL::fileURL("/Applications/Tool.application")),
              "Tool.application");
    EXPECT_EQ(localizedName(pf::URL::fileURL("/Users/ann/notes.txt")), "notes.txt");
}

TEST(SmallUtilitiesTest, FirstIndexOfIdenticalIgnoresEqualObjects) {
    auto equal = std::make_shared<std::string>("same");
    auto wanted = std::make_shared<std::string>("same");
    std::vector<std::shared_ptr<std::string>> array{equal, wanted, wanted};
    EXPECT_EQ(firstIndexOfIdentical(array, wanted.get()), 1u);
    std::string other = "same";
    EXPECT_FALSE(firstIndexOfIdentical(array, &other).has_value());
}

TEST(SmallUtilitiesTest, GetTaskAllowIsDroppedOnce) {
    const std::string key = "com.apple.security.get-task-allow";
    EXPECT_EQ(withoutFirstGetTaskAllow({"a", key, "b", key}),
              (std::vector<std::string>{"a", "b", key}));
}

struct Fruit : RawValueDefaults<Fruit> {
    using RawValue = std::string;
    std::string rawValue;
    static std::optional<Fruit> fromRawValue(const std::string& raw) {
        if (raw == "apple" || raw == "pear") {
            return Fruit{{}, raw};
        }
        return std::nullopt;
    }
};

TEST(RawRepresentableTest, DefaultsGoThroughTheRawValue) {
    const Fruit apple = *fromRawLiteral<Fruit>("apple");
    const Fruit pear = *fromRawLiteral<Fruit>("pear");
    EXPECT_FALSE(fromRawLiteral<Fruit>("plum").has_value());
    EXPECT_TRUE(apple < pear);
    EXPECT_TRUE(apple == *Fruit::fromRawValue("apple"));
    EXPECT_FALSE(apple == pear);
    EXPECT_EQ(RawValueHash<Fruit>{}(apple), std::hash<std::string>{}("apple"));

    struct Holder {
        Fruit fruit;
        void encode(pf::Encoder& encoder) const { encodeRawValue(encoder, fruit); }
    };
    EXPECT_EQ(pf::ValueEncoder().encode(Holder{pear}), pf::Value("pear"));
    EXPECT_FALSE(decodeRawValue<Fruit>(pf::Decoder({}, pf::Value("plum"))).has_value());
    EXPECT_EQ(decodeRawValue<Fruit>(pf::Decoder({}, pf::Value("pear"))), pear);
    EXPECT_THROW(decodeRawValue<Fruit>(pf::Decoder({}, pf::Value(3))), pf::Error);
}

} // namespace
} // namespace zestrel
