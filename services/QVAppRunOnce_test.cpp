#include "services/QVAppRunOnce.h"

#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace zestrel {
namespace {

using platform::UserDefaults;
using platform::Value;

class RunOnceTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
};

TEST_F(RunOnceTest, TrueOnlyTheFirstTimeForEachIdentifierAcrossRestarts) {
    EXPECT_TRUE(QVApp::runOnce("switchToNewMethod32425"));
    EXPECT_FALSE(QVApp::runOnce("switchToNewMethod32425"));
    EXPECT_TRUE(QVApp::runOnce("other"));
    platform::resetProcess();
    EXPECT_FALSE(QVApp::runOnce("switchToNewMethod32425"));
    EXPECT_EQ(UserDefaults::standard()->object("QV_App_runOnce__switchToNewMethod32425"),
              Value(true));
}

TEST_F(RunOnceTest, IdentifierIsUsedVerbatimAndStoredFlagsAreConverted) {
    EXPECT_TRUE(QVApp::runOnce("a notice.v2"));
    EXPECT_EQ(UserDefaults::standard()->object("QV_App_runOnce__a notice.v2"), Value(true));

    UserDefaults::standard()->setObject(Value("YES"), "QV_App_runOnce__text");
    EXPECT_FALSE(QVApp::runOnce("text"));
    UserDefaults::standard()->setObject(Value(0), "QV_App_runOnce__zero");
    EXPECT_TRUE(QVApp::runOnce("zero"));
}

TEST_F(RunOnceTest, RunCountGrowsOncePerProcess) {
    UserDefaults::standard()->setObject(Value(4), "QV_ShowForAppRuns_tip");
    EXPECT_EQ(ShowForAppRuns::recordedRunCount("tip"), std::nullopt);
    EXPECT_EQ(ShowForAppRuns::currentRunCount("tip"), 5);
    EXPECT_EQ(ShowForAppRuns::recordedRunCount("tip"), 5);
    EXPECT_EQ(UserDefaults::standard()->object("QV_ShowForAppRuns_tip"), Value(5));

    platform::resetProcess();
    EXPECT_EQ(ShowForAppRuns::recordedRunCount("tip"), std::nullopt);
    EXPECT_EQ(ShowForAppRuns::currentRunCount("tip"), 6);
    // A stored value that gives no Int counts as 0; text holding a number is read.
    UserDefaults::standard()->setObject(Value("41"), "QV_ShowForAppRuns_text");
    EXPECT_EQ(ShowForAppRuns::currentRunCount("text"), 42);
    UserDefaults::standard()->setObject(Value(true), "QV_ShowForAppRuns_flag");
    EXPECT_EQ(ShowForAppRuns::currentRunCount("flag"), 1);
}

TEST_F(RunOnceTest, ARunCountAtTheTopOfItsRangeStaysThere) {
    constexpr auto top = std::numeric_limits<std::int64_t>::max();
    UserDefaults::standard()->setObject(Value(top), "QV_ShowForAppRuns_max");
    EXPECT_EQ(ShowForAppRuns::currentRunCount("max"), top);
    EXPECT_EQ(UserDefaults::standard()->object("QV_ShowForAppRuns_max"), Value(top));
}

TEST_F(RunOnceTest, LaunchCompletionsRunOnceInOrder) {
    LaunchCompletions::runFinishedLaunchingCompletions();
    std::vector<int> ran;
    LaunchCompletions::add([&] { ran.push_back(1); });
    LaunchCompletions::add([&] { ran.push_back(2); });
    LaunchCompletions::runFinishedLaunchingCompletions();
    LaunchCompletions::runFinishedLaunchingCompletions();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace zestrel
