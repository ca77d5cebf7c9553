#include "foundation/RunningApplication.h"

#include "platform/Desktop.h"
#include "platform/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;

// A stand-in for the workspace's application objects.
class FakeApplication : public pf::NSObject {
public:
    explicit FakeApplication(int pid) : pid_(pid) {}
    int processIdentifier() const { return pid_; }
    static std::vector<std::shared_ptr<FakeApplication>>
    runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) {
        if (bundleIdentifier == "com.example.two") {
            return {std::make_shared<FakeApplication>(41), std::make_shared<FakeApplication>(7)};
        }
        return {};
    }

private:
    int pid_;
};

TEST(RunningApplicationTest, FirstListedApplicationGivesTheProcessIdentifier) {
    EXPECT_EQ(processIdentifiers<FakeApplication>("com.example.two"), 41);
    EXPECT_FALSE(processIdentifiers<FakeApplication>("com.example.none").has_value());
}

TEST(RunningApplicationTest, NotificationNamesItsApplication) {
    auto application = std::make_shared<FakeApplication>(3);
    pf::Notification notification{"launch", {}, {{NSWorkspaceApplicationKey, application}}};
    EXPECT_EQ(runningApplication<FakeApplication>(notification), application);
    EXPECT_FALSE(setFalse(notification));
}

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
    pf::NSWorkspace::shared()->notificationCenter()->removeObserver(token);
}

using RunningApplicationDeathTest = ::testing::Test;

TEST_F(RunningApplicationDeathTest, NotificationWithoutApplicationStopsTheProcess) {
    EXPECT_DEATH(runningApplication<FakeApplication>(pf::Notification{"launch", {}, {}}),
                 "carries no running application");
    pf::Notification foreign{"launch", {}, {{NSWorkspaceApplicationKey, "text"}}};
    EXPECT_DEATH(runningApplication<FakeApplication>(foreign), "carries no running application");
}

} // namespace
} // namespace zestrel
