#include "preferences/PlainHourMinuteTimeDefaults.h"

#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/Prefs.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;
using Time = PlainHourMinuteTime;
using pf::Value;

class PlainHourMinuteTimeDefaultsTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
    std::shared_ptr<pf::UserDefaults> defaults = pf::UserDefaults::standard();
    Prefs::Key<std::optional<Time::Range>> quietHours{"quietHours"};
};

TEST_F(PlainHourMinuteTimeDefaultsTest, ARangeIsStoredAsTwoTimesAndReadBack) {
    const Time::Range night{{22, 0}, {6, 0}};
    Prefs::set(quietHours, night);
    const Value::Array* stored = defaults->object("quietHours").asArray();
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->size(), 2u);
    EXPECT_EQ((*stored)[0], Value(R"({"hour":22,"minute":0})"));
    EXPECT_EQ(Prefs::value(quietHours), night);
}

TEST_F(PlainHourMinuteTimeDefaultsTest, OnlyTheFirstTwoStoredTimesMakeARange) {
    const Value six(R"({"hour":6,"minute":0})");
    const Value seven(R"({"hour":7,"minute":30})");
    defaults->setObject(Value(Value::Array{six}), "quietHours");
    EXPECT_EQ(Prefs::value(quietHours), std::nullopt);
    defaults->setObject(Value(Value::Array{seven, six, seven}), "quietHours");
    EXPECT_EQ(Prefs::value(quietHours), (Time::Range{{7, 30}, {6, 0}}));
}

TEST_F(PlainHourMinuteTimeDefaultsTest, ATimeIsStoredAsItsJSONText) {
    const Prefs::Key<Time> wakeUp("wakeUp", Time{7, 0});
    EXPECT_EQ(Prefs::value(wakeUp), (Time{7, 0}));
    Prefs::set(wakeUp, Time{6, 45});
    EXPECT_EQ(defaults->object("wakeUp"), Value(R"({"hour":6,"minute":45})"));
    EXPECT_EQ(Prefs::value(wakeUp), (Time{6, 45}));
}

} // namespace
} // namespace zestrel
