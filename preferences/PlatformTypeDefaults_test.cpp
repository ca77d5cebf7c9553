#include "preferences/PlatformTypeDefaults.h"

#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/Prefs.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

class PlatformTypeDefaultsTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
    std::shared_ptr<pf::UserDefaults> defaults = pf::UserDefaults::standard();
};

TEST_F(PlatformTypeDefaultsTest, AppearanceIsStoredByRawValueAndUnknownTextsReadAsDefault) {
    const Prefs::Key<AppAppearance> appearance("appearance", AppAppearance::system);
    Prefs::set(appearance, AppAppearance::dark);
    EXPECT_EQ(defaults->object("appearance"), pf::Value("dark"));
    EXPECT_EQ(Prefs::value(appearance), AppAppearance::dark);
    defaults->setObject(pf::Value("Dark"), "appearance");
    EXPECT_EQ(Prefs::value(appearance), AppAppearance::system);
}

TEST_F(PlatformTypeDefaultsTest, WeekdaysAreStoredByRawValue) {
    const Prefs::Key<std::vector<Weekday>> days("days", {});
    Prefs::set(days, {Weekday::monday, Weekday::sunday});
    EXPECT_EQ(defaults->object("days"),
              pf::Value(pf::Value::Array{pf::Value("monday"), pf::Value("sunday")}));
    EXPECT_EQ(Prefs::value(days), (std::vector<Weekday>{Weekday::monday, Weekday::sunday}));
}

} // namespace
} // namespace zestrel
