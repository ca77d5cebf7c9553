#include "preferences/AnySerializable.h"

#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/Prefs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

namespace zestrel::Prefs {
namespace {

using platform::Value;

class AnySerializableTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
};

void expectEqualAndHashedAlike(const AnySerializable& a, const AnySerializable& b) {
    EXPECT_TRUE(a == b) << a.value().debugDescribe() << " vs " << b.value().debugDescribe();
    EXPECT_EQ(a.hashValue(), b.hashValue())
        << a.value().debugDescribe() << " vs " << b.value().debugDescribe();
}

TEST_F(AnySerializableTest, EqualityFollowsTheKinds) {
    expectEqualAndHashedAlike(3, 3);
    EXPECT_FALSE(AnySerializable(3) == AnySerializable(3.0));
    EXPECT_FALSE(AnySerializable(true) == AnySerializable(1));
    EXPECT_FALSE(AnySerializable("3") == AnySerializable(3));
    expectEqualAndHashedAlike(std::vector<AnySerializable>{1, "a"},
                              std::vector<AnySerializable>{1, "a"});
    EXPECT_FALSE(AnySerializable(std::vector<AnySerializable>{1, "a"}) ==
                 AnySerializable(std::vector<AnySerializable>{"a", 1}));
    EXPECT_FALSE(AnySerializable(std::vector<AnySerializable>{1}) ==
                 AnySerializable(std::vector<AnySerializable>{1, 1}));
    expectEqualAndHashedAlike(std::map<std::string, AnySerializable>{{"a", 1}, {"b", "x"}},
                              std::map<std::string, AnySerializable>{{"b", "x"}, {"a", 1}});
    EXPECT_FALSE(AnySerializable(std::map<std::string, AnySerializable>{{"a", 1}}) ==
                 AnySerializable(std::map<std::string, AnySerializable>{{"a", 2}}));
    expectEqualAndHashedAlike(AnySerializable::wrapping(Value(platform::Data{1, 2})),
                              AnySerializable::wrapping(Value(platform::Data{1, 2})));
    expectEqualAndHashedAlike(AnySerializable::wrapping(Value(platform::Date{3})),
                              AnySerializable::wrapping(Value(platform::Date{3})));
}

TEST_F(AnySerializableTest, EmptyAndNotANumberEqualNothing) {
    EXPECT_TRUE(AnySerializable(nullptr).isNil());
    EXPECT_FALSE(AnySerializable() == AnySerializable());
    EXPECT_FALSE(AnySerializable(std::nan("")) == AnySerializable(std::nan("")));
    EXPECT_FALSE(AnySerializable::wrapping(Value::null()) ==
                 AnySerializable::wrapping(Value::null()));
    EXPECT_TRUE(AnySerializable::wrapping(Value::some(Value(4))) == AnySerializable(4));
}

// However a number arrives (as a literal, as another numeric kind, or read back from the
// database after a restart), equal numbers hash alike.
TEST_F(AnySerializableTest, EqualNumbersHashAlikeWhateverTheirKind) {
    expectEqualAndHashedAlike(AnySerializable::wrapping(Value(static_cast<std::uint64_t>(7))), 7);
    expectEqualAndHashedAlike(AnySerializable::from<std::uint8_t>(200), 200);
    expectEqualAndHashedAlike(AnySerializable::from<float>(0.5f), 0.5);
    expectEqualAndHashedAlike(0.0, -0.0);
    const auto big = std::numeric_limits<std::uint64_t>::max();
    expectEqualAndHashedAlike(AnySerializable::from(big), AnySerializable::from(big));

    const Key<AnySerializable> key("any", AnySerializable());
    set(key, std::vector<AnySerializable>{3, 2.5, true, "x"});
    platform::resetProcess();
    const AnySerializable read = value(Key<AnySerializable>("any", AnySerializable()));
    expectEqualAndHashedAlike(read, std::vector<AnySerializable>{3, 2.5, true, "x"});
    std::unordered_set<AnySerializable> set{read};
    EXPECT_EQ(set.count(std::vector<AnySerializable>{3, 2.5, true, "x"}), 1u);
}

TEST_F(AnySerializableTest, HoldsStoredFormsAndReadsThemBack) {
    const platform::UUID uuid = *platform::UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    AnySerializable value = AnySerializable::from(uuid);
    EXPECT_EQ(value.value(), Value("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(value.get<platform::UUID>(), uuid);
    EXPECT_EQ(value.get<std::int64_t>(), std::nullopt);
    value.set(std::vector<std::int64_t>{1, 2});
    EXPECT_EQ(value.get<std::vector<std::int64_t>>(), (std::vector<std::int64_t>{1, 2}));
    EXPECT_TRUE(AnySerializable::from(std::optional<int>()).isNil());
}

TEST_F(AnySerializableTest, KeyStoresTheContentAndNilRemovesIt) {
    const auto defaults = platform::UserDefaults::standard();
    const Key<AnySerializable> key("any", AnySerializable("fallback"));
    EXPECT_EQ(value(key), AnySerializable("fallback"));
    set(key, std::map<std::string, AnySerializable>{{"n", 1}});
    EXPECT_EQ(defaults->object("any"), Value(Value::Dictionary{{"n", 1}}));
    set(key, nullptr);
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName()), std::nullopt);
    EXPECT_EQ(value(key), AnySerializable("fallback"));
}

} // namespace
} // namespace zestrel::Prefs
