#include "foundation/DecodableDefault.h"
#include "foundation/Identified.h"
#include "foundation/OptionalType.h"

#include <gtest/gtest.h>

#include <string>

namespace zestrel {
namespace {

namespace pf = platform;

struct Person {
    int number = 0;
    std::string name;
    bool operator==(const Person&) const = default;
};

TEST(IdentifiedTest, EqualByIdAndValue) {
    EXPECT_FALSE((Identified<int, std::string>(1, "a") == Identified<int, std::string>(1, "b")));
    EXPECT_TRUE((Identified<int, std::string>(1, "a") == Identified<int, std::string>(1, "a")));
    EXPECT_EQ((std::hash<Identified<int, std::string>>{}({1, "a"})),
              (std::hash<Identified<int, std::string>>{}({1, "a"})));
}

TEST(IdentifiedTest, IdFromTheValueIsNotRecomputed) {
    Identified<int, Person> identified(Person{7, "Ann"}, &Person::number);
    EXPECT_EQ(identified.id, 7);
    EXPECT_EQ(identified[&Person::name], "Ann");
    identified->number = 8;
    EXPECT_EQ(identified.id, 7);
    Identified<std::size_t, std::string> byLength(
        std::string("four"), [](const std::string& text) { return text.size(); });
    EXPECT_EQ(byLength.id, 4u);
}

TEST(IdentifiedTest, StoredFormHasIdAndValue) {
    const pf::Value stored = pf::ValueEncoder().encode(Identified<int, std::string>(7, "x"));
    EXPECT_EQ(stored, pf::Value(pf::Value::Dictionary{{"id", 7}, {"value", "x"}}));
    auto decoded = pf::ValueDecoder().decode<Identified<int, std::string>>(
        pf::Value(pf::Value::Dictionary{{"id", 7}, {"value", "x"}, {"other", 1}}));
    EXPECT_EQ(decoded, (Identified<int, std::string>(7, "x")));
    using Decoded = Identified<int, std::string>;
    const pf::Value withoutId(pf::Value::Dictionary{{"value", "x"}});
    EXPECT_THROW(pf::ValueDecoder().decode<Decoded>(withoutId), pf::Error);
}

struct FortyTwo {
    using Value = int;
    static int defaultValue() { return 42; }
};

TEST(DecodableDefaultTest, DecodesTheStoredValueNotTheDefault) {
    using Wrapper = DecodableDefault::Wrapper<FortyTwo>;
    EXPECT_EQ(Wrapper().wrappedValue, 42);
    const pf::Value stored = pf::ValueEncoder().encode(Wrapper(5));
    EXPECT_EQ(stored, pf::Value(5));
    EXPECT_EQ(pf::ValueDecoder().decode<Wrapper>(stored).wrappedValue, 5);
    EXPECT_THROW(pf::ValueDecoder().decode<Wrapper>(pf::Value("five")), pf::Error);
}

TEST(OptionalTypeTest, AbsentValueShowsNil) {
    EXPECT_EQ(valueForDisplay(std::optional<int>()), pf::Value("<nil>"));
    EXPECT_EQ(valueForDisplay(std::optional<int>(3)), pf::Value(3));
}

} // namespace
} // namespace zestrel
