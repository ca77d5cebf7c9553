#include "cut_engine/AppPreferenceKeys.h"

#include "platform/base/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::Value;

class AppPreferenceKeysTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard();
};

TEST_F(AppPreferenceKeysTest, FreshDefaultsReadTheDefaultsAndTheDatabaseKnowsThem) {
    EXPECT_FALSE(Prefs::value(AppPreferences::hideMenuBarIcon()));
    EXPECT_TRUE(Prefs::value(AppPreferences::playSoundEffects()));
    EXPECT_FALSE(Prefs::value(AppPreferences::newMethod()));
    EXPECT_FALSE(Prefs::value(AppPreferences::useKeyCode()));
    EXPECT_TRUE(Prefs::value(AppPreferences::ignoreList()).empty());
    // Registered, so a plain read of the database already gives them.
    EXPECT_EQ(defaults->object("playSoundEffects"), Value(true));
    EXPECT_EQ(defaults->object("_ignoreList"), Value(Value::Array{}));
}

TEST_F(AppPreferenceKeysTest, IgnoreListIsAnArrayOfRawStrings) {
    const auto& key = AppPreferences::ignoreList();
    Prefs::set(key, BundleIdentifierSet{ServedApplications::finder});
    EXPECT_EQ(defaults->object("_ignoreList"), Value(Value::Array{Value("com.apple.finder")}));

    defaults->setObject(Value(Value::Array{Value("com.apple.Finder"), Value("com.apple.Finder")}),
                        "_ignoreList");
    const auto read = Prefs::value(key);
    EXPECT_EQ(read, (BundleIdentifierSet{{"com.apple.Finder"}}));
    EXPECT_FALSE(read.contains(ServedApplications::finder)); // letter case counts

    defaults->setObject(Value(12), "_ignoreList");
    EXPECT_TRUE(Prefs::value(key).empty());
}

TEST_F(AppPreferenceKeysTest, KeysRegisterAgainInANewProcess) {
    AppPreferences::playSoundEffects();
    platform::resetProcess();
    const auto fresh = platform::UserDefaults::standard();
    EXPECT_TRUE(fresh->object("playSoundEffects").isAbsent());
    EXPECT_TRUE(Prefs::value(AppPreferences::playSoundEffects()));
    EXPECT_EQ(fresh->object("playSoundEffects"), Value(true));
}

} // namespace
} // namespace zestrel
