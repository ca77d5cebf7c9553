#include "foundation/RunningApplication.h"

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

using RunningApplicationDeathTest = ::testing::Test;

TEST_F(RunningApplicationDeathTest, NotificationWithoutApplicationStopsTheProcess) {
    EXPECT_DEATH(runningApplication<FakeApplication>(pf::Notification{"launch", {}, {}}),
                 "carries no running application");
    pf::Notification foreign{"launch", {}, {{NSWorkspaceApplicationKey, "text"}}};
    EXPECT_DEATH(runningApplication<FakeApplication>(foreign), "carries no running application");
}

} // namespace
} // namespace zestrel
