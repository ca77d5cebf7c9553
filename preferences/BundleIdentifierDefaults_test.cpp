#include "preferences/BundleIdentifierDefaults.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::Value;

class BundleIdentifierDefaultsTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard();
    Prefs::Keys key{"_ignoreList", defaults};
};

TEST_F(BundleIdentifierDefaultsTest, StoresRawStringsAndReadsThemBack) {
    const BundleIdentifierSet set{{"com.apple.finder"}, {"com.apple.Finder"}};
    setBundleIdentifierSet(*defaults, set, key);
    const Value::Array* stored = defaults->object("_ignoreList").asArray();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->size(), 2u); // letter case makes two identifiers
    EXPECT_EQ(storedBundleIdentifierSet(*defaults, key), set);
}

TEST_F(BundleIdentifierDefaultsTest, NothingForMissingOrForeignObjects) {
    EXPECT_EQ(storedBundleIdentifierSet(*defaults, key), std::nullopt);
    defaults->setObject(Value(3), "_ignoreList");
    EXPECT_EQ(storedBundleIdentifierSet(*defaults, key), std::nullopt);
    defaults->setObject(Value(Value::Array{Value("com.apple.finder"), Value(1)}), "_ignoreList");
    EXPECT_EQ(storedBundleIdentifierSet(*defaults, key), std::nullopt);
    defaults->setObject(Value(Value::Array{Value("a.b"), Value("a.b")}), "_ignoreList");
    EXPECT_EQ(storedBundleIdentifierSet(*defaults, key), (BundleIdentifierSet{{"a.b"}}));
}

} // namespace
} // namespace zestrel
