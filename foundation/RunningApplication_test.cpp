#include "foundation/RunningApplication.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(RunningApplicationTest, OnTheDesktopTheFirstLaunchedInstanceIsAnswered) {
    pf::testing::DesktopEnvironment env;
    EXPECT_EQ(processIdentifiers(pf::kForkLiftBundleIdentifier), std::nullopt);
    const auto first = env.desktop().launch(pf::kForkLiftBundleIdentifier, false);
    const auto second = env.desktop().launch(pf::kForkLiftBundleIdentifier, false, true);
    ASSERT_NE(first->processIdentifier(), second->processIdentifier());
    EXPECT_EQ(processIdentifiers(pf::kForkLiftBundleIdentifier), first->processIdentifier());
}

TEST(RunningApplicationTest, AWorkspaceLaunchNotificationNamesTheLaunchedApplication) {
    pf::testing::DesktopEnvironment env;
    std::shared_ptr<pf::NSRunningApplication> named;
    auto token = pf::NSWorkspace::shared()->notificationCenter()->addObserver(
        pf::NSWorkspaceDidLaunchApplicationNotification, pf::Value(),
        [&](const pf::Notification& notification) { named = runningApplication(notification); });
    const auto launched = env.desktop().launch(pf::kTextEditBundleIdentifier, false);
    EXPECT_EQ(named, launched);
    EXPECT_FALSE(setFalse(pf::Notification{"launch", {}, {}}));
    pf::NSWorkspace::shared()->notificationCenter()->removeObserver(token);
}

using RunningApplicationDeathTest = ::testing::Test;

TEST_F(RunningApplicationDeathTest, NotificationWithoutApplicationStopsTheProcess) {
    EXPECT_DEATH(runningApplication(pf::Notification{"launch", {}, {}}),
                 "carries no running application");
    pf::Notification foreign{"launch", {}, {{pf::NSWorkspaceApplicationKey, "text"}}};
    EXPECT_DEATH(runningApplication(foreign), "carries no running application");
}

} // namespace
} // namespace zestrel
