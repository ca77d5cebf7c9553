#include "preferences/Prefs.h"

#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/BundleIdentifier.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <unordered_set>

namespace zestrel {
namespace {

using platform::Date;
using platform::UserDefaults;
using platform::Value;

class PrefsKeyTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
    std::shared_ptr<UserDefaults> defaults = UserDefaults::standard();
};

TEST_F(PrefsKeyTest, AbsentOptionalDefaultRegistersNothing) {
    const Prefs::Key<std::optional<Date>> key("QV_firstLaunchDate");
    EXPECT_EQ(Prefs::value(key), std::nullopt);
    EXPECT_TRUE(defaults->object("QV_firstLaunchDate").isAbsent());
    EXPECT_TRUE(defaults->volatileDomain(platform::NSRegistrationDomain).empty());

    const Prefs::Key<std::optional<Date>> present("present", Date{5});
    EXPECT_EQ(defaults->volatileDomain(platform::NSRegistrationDomain).at("present"),
              Value(Date{5}));
}

TEST_F(PrefsKeyTest, BoolKeyReadsItsDefaultUntilWrittenAndAfterReset) {
    const Prefs::Key<bool> key("playSoundEffects", true);
    EXPECT_TRUE(Prefs::value(key));
    EXPECT_EQ(defaults->object("playSoundEffects").kind(), Value::Kind::boolean);
    Prefs::set(key, false);
    EXPECT_FALSE(Prefs::value(key));
    key.reset();
    EXPECT_TRUE(Prefs::value(key));
}

TEST_F(PrefsKeyTest, LatestRegistrationWinsForEveryKeyOfTheName) {
    const Prefs::Key<bool> first("playSoundEffects", true);
    const Prefs::Key<bool> second("playSoundEffects", false);
    EXPECT_FALSE(Prefs::value(first));
    EXPECT_FALSE(Prefs::value(second));
}

TEST_F(PrefsKeyTest, UnreadableEntryReadsTheDefaultAndStaysUntouched) {
    const Prefs::Key<std::int64_t> key("QV_launchCount", 0);
    defaults->setObject(Value("41"), "QV_launchCount");
    EXPECT_EQ(Prefs::value(key), 41);
    defaults->setObject(Value(Date{1}), "QV_launchCount");
    EXPECT_EQ(Prefs::value(key), 0);
    EXPECT_EQ(defaults->object("QV_launchCount"), Value(Date{1}));
}

TEST_F(PrefsKeyTest, WritingNothingRemovesTheEntry) {
    const Prefs::Key<std::optional<std::string>> key("QV_previousLaunchedVersion");
    Prefs::set(key, "1.0");
    EXPECT_EQ(Prefs::value(key), "1.0");
    Prefs::set(key, std::nullopt);
    EXPECT_TRUE(defaults->object("QV_previousLaunchedVersion").isAbsent());
    EXPECT_EQ(Prefs::value(key), std::nullopt);
}

TEST_F(PrefsKeyTest, KeysAreEqualByNameAndSuite) {
    const Prefs::Key<bool> a("hideMenuBarIcon", false);
    const Prefs::Key<std::int64_t> b("hideMenuBarIcon", 3);
    const Prefs::Key<bool> other("newMethod", false);
    const Prefs::Key<bool> elsewhere("hideMenuBarIcon", false, UserDefaults::suite("group.test"));
    EXPECT_TRUE(a == b);
    EXPECT_EQ(std::hash<Prefs::Keys>()(a), std::hash<Prefs::Keys>()(b));
    EXPECT_FALSE(a == other);
    EXPECT_FALSE(a == elsewhere);
    EXPECT_TRUE(elsewhere ==
                Prefs::Key<bool>("hideMenuBarIcon", true, UserDefaults::suite("group.test")));
}

TEST_F(PrefsKeyTest, ModifyWritesBackAlsoWhenTheChangeThrows) {
    const Prefs::Key<std::int64_t> key("counter", 1);
    Prefs::modify(key, [](std::int64_t& value) { value += 10; });
    EXPECT_EQ(Prefs::value(key), 11);
    EXPECT_THROW(Prefs::modify(key,
                               [](std::int64_t& value) {
                                   value = 99;
                                   throw std::runtime_error("stop");
                               }),
                 std::runtime_error);
    EXPECT_EQ(Prefs::value(key), 99);

    // An unchanged value is still written.
    const Prefs::Key<bool> flag("flag", true);
    Prefs::modify(flag, [](bool&) {});
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName())->at("flag"), Value(true));
}

TEST_F(PrefsKeyTest, ResetAndRemoveAllLeaveRegisteredDefaultsReadable) {
    const Prefs::Key<bool> sound("playSoundEffects", true);
    const Prefs::Key<std::int64_t> count("QV_launchCount", 0);
    const Prefs::Key<std::string> text("text", "default");
    Prefs::set(sound, false);
    Prefs::set(count, 5);
    Prefs::set(text, "written");
    defaults->setObject(Value("stray"), "notAKey");

    Prefs::reset({sound, count});
    EXPECT_TRUE(Prefs::value(sound));
    EXPECT_EQ(Prefs::value(count), 0);
    EXPECT_EQ(Prefs::value(text), "written");

    Prefs::removeAll(defaults);
    EXPECT_EQ(Prefs::value(text), "default");
    EXPECT_TRUE(defaults->object("notAKey").isAbsent());
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName()), std::nullopt);
}

TEST_F(PrefsKeyTest, IgnoreListReadsOnlyArraysOfStrings) {
    using Identifiers = std::unordered_set<BundleIdentifier>;
    const Prefs::Key<Identifiers> ignoreList("_ignoreList", Identifiers{});
    EXPECT_EQ(defaults->object("_ignoreList"), Value(Value::Array{}));
    EXPECT_TRUE(Prefs::value(ignoreList).empty());
    defaults->setObject(Value(Value::Array{"com.apple.Safari", "com.apple.finder"}), "_ignoreList");
    EXPECT_EQ(Prefs::value(ignoreList), (Identifiers{{"com.apple.Safari"}, {"com.apple.finder"}}));
    defaults->setObject(Value("com.apple.Safari"), "_ignoreList");
    EXPECT_TRUE(Prefs::value(ignoreList).empty());
}

TEST_F(PrefsKeyTest, KeysInAnotherSuiteKeepTheirOwnEntries) {
    const auto suite = UserDefaults::suite("group.test");
    const Prefs::Key<std::int64_t> here("shared", 1);
    const Prefs::Key<std::int64_t> there("shared", 2, suite);
    Prefs::set(there, 7);
    EXPECT_EQ(Prefs::value(here), 1);
    EXPECT_EQ(Prefs::value(there), 7);
    EXPECT_TRUE(defaults->object("shared") == Value(1));
}

} // namespace
} // namespace zestrel
