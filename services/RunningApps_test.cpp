#include "services/RunningApps.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

constexpr int kHelper = 5001;

class RunningAppsTest : public ::testing::Test {
protected:
    int pidOf(const std::string& bundleIdentifier) {
        return env.desktop().runningApplications(bundleIdentifier).front()->processIdentifier();
    }
    int launchXcode() {
        env.desktop().install({"com.apple.dt.Xcode",
                               "Xcode",
                               pf::URL::fileURL("/Applications/Xcode.app", true),
                               pf::NSApplicationActivationPolicy::regular,
                               {},
                               {}});
        return env.desktop().launch("com.apple.dt.Xcode", false)->processIdentifier();
    }
    // Relaunches this program from `sender` ('spid', none when 0), with the address
    // attribute when given, and reads the launching process.
    std::optional<int> launchingProcessAfter(int sender, std::optional<int> address = std::nullopt,
                                             bool asLoginItem = false) {
        pf::OwnLaunch launch;
        launch.launchedBy = sender;
        launch.addressedFrom = address;
        launch.asLoginItem = asLoginItem;
        env.desktop().relaunchOwnApplication(launch);
        env.clearCaptures();
        return QVApp::launchingProcessID();
    }

    pf::testing::DesktopEnvironment env;
};

TEST_F(RunningAppsTest, AnyAppRunningMatchesBundleIdentifiersOfRunningApplications) {
    const auto& workspace = *pf::NSWorkspace::shared();
    EXPECT_TRUE(isAnyAppRunning(workspace, {"com.example.Bartender", pf::kFinderBundleIdentifier}));
    EXPECT_FALSE(isAnyAppRunning(workspace, {pf::kForkLiftBundleIdentifier}));
    EXPECT_FALSE(isAnyAppRunning(workspace, {}));
    env.desktop().launch(pf::kForkLiftBundleIdentifier, false);
    EXPECT_TRUE(isAnyAppRunning(workspace, {pf::kForkLiftBundleIdentifier}));
}

TEST(RunningAppsDisplayNameTest, FallsBackFromNameToFilesToIdentifierToProcess) {
    using Identity = pf::NSRunningApplication::Identity;
    auto nameOf = [](Identity identity) {
        return displayName(pf::NSRunningApplication(std::move(identity), {}));
    };
    const auto executable = pf::URL::fileURL("/Applications/Tool.app/Contents/MacOS/tool.bin");
    const auto bundle = pf::URL::fileURL("/Applications/Tool.app", true);
    const Identity full{.processIdentifier = 412,
                        .bundleIdentifier = "com.example.tool",
                        .localizedName = "Tool Pro",
                        .bundleURL = bundle,
                        .executableURL = executable,
                        .launchDate = std::nullopt};
    EXPECT_EQ(nameOf(full), "Tool Pro");
    auto identity = full;
    identity.localizedName.reset();
    EXPECT_EQ(nameOf(identity), "tool");
    identity.executableURL.reset();
    EXPECT_EQ(nameOf(identity), "Tool");
    identity.bundleURL.reset();
    EXPECT_EQ(nameOf(identity), "com.example.tool");
    identity.bundleIdentifier.reset();
    EXPECT_EQ(nameOf(identity), "PID412");
    identity.processIdentifier = -1;
    EXPECT_EQ(nameOf(identity), "<Unknown>");
}

TEST_F(RunningAppsTest, TopmostAncestorClimbsToTheProcessBelowLaunchd) {
    const int textEdit =
        env.desktop().launch(pf::kTextEditBundleIdentifier, false)->processIdentifier();
    env.desktop().setParentProcessIdentifier(kHelper, textEdit);
    env.desktop().setParentProcessIdentifier(kHelper + 1, kHelper);
    EXPECT_EQ(topmostAncestorProcess(kHelper + 1), textEdit);
    EXPECT_EQ(topmostAncestorProcess(textEdit), textEdit);

    // A process the table does not know is its own answer.
    EXPECT_EQ(topmostAncestorProcess(99999), 99999);
    // A chain that ends in a process that has gone answers the start.
    env.desktop().setParentProcessIdentifier(kHelper + 2, 77777);
    EXPECT_EQ(topmostAncestorProcess(kHelper + 2), kHelper + 2);
    // A malformed table with a cycle still answers.
    env.desktop().setParentProcessIdentifier(kHelper + 3, kHelper + 4);
    env.desktop().setParentProcessIdentifier(kHelper + 4, kHelper + 3);
    EXPECT_EQ(topmostAncestorProcess(kHelper + 3), kHelper + 4);

    try {
        topmostAncestorProcess(-5);
        ADD_FAILURE() << "no error";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.domain(), pf::NSPOSIXErrorDomain);
    }
}

TEST_F(RunningAppsTest, LaunchedFromTheFinderTheFinderIsTheLaunchingApplication) {
    EXPECT_EQ(QVApp::launchingProcessID(), pidOf(pf::kFinderBundleIdentifier));
    ASSERT_NE(QVApp::launchingApplication(), nullptr);
    EXPECT_EQ(QVApp::launchingApplication()->bundleIdentifier(), pf::kFinderBundleIdentifier);
    EXPECT_TRUE(env.reports().empty());

    // Computed once: a later launch event does not change it within the process.
    env.desktop().launch(pf::kTextEditBundleIdentifier, false);
    EXPECT_EQ(QVApp::launchingProcessID(), pidOf(pf::kFinderBundleIdentifier));
}

TEST_F(RunningAppsTest, AHelperProcessAnswersItsTopmostAncestorUnlessThatIsXcode) {
    const int textEdit =
        env.desktop().launch(pf::kTextEditBundleIdentifier, false)->processIdentifier();
    env.desktop().setParentProcessIdentifier(kHelper, textEdit);
    EXPECT_EQ(launchingProcessAfter(kHelper), textEdit);
    EXPECT_EQ(QVApp::launchingApplication()->processIdentifier(), textEdit);

    const int xcode = launchXcode();
    env.desktop().setParentProcessIdentifier(kHelper + 1, xcode);
    env.desktop().setParentProcessIdentifier(kHelper + 2, kHelper + 1);
    EXPECT_EQ(launchingProcessAfter(kHelper + 2), kHelper + 2);
    // The helper is no application.
    EXPECT_EQ(QVApp::launchingApplication(), nullptr);
    // Xcode launching the app itself is the launching application.
    EXPECT_EQ(launchingProcessAfter(xcode), xcode);
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(RunningAppsTest, ASenderWhoseAncestryCannotBeReadIsTheAnswer) {
    EXPECT_EQ(launchingProcessAfter(-7), -7);
    EXPECT_EQ(launchingProcessAfter(99999, std::nullopt, true), 99999);
}

TEST_F(RunningAppsTest, WithoutASenderTheAddressIsTheReportedFallback) {
    EXPECT_EQ(launchingProcessAfter(0, 88), 88);
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    const auto* report = reports.front().as<pf::NSError>();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->userInfo().at("processIdentifier"), pf::Value(88));
    EXPECT_NE(reports.front().localizedDescription().find("Uses sender process fallback"),
              std::string::npos)
        << reports.front().describe();
}

TEST_F(RunningAppsTest, NoSenderAndNoUsableAddressGiveNoLaunchingProcessAndNoReport) {
    EXPECT_EQ(launchingProcessAfter(0), std::nullopt);
    EXPECT_EQ(QVApp::launchingApplication(), nullptr);
    EXPECT_EQ(launchingProcessAfter(0, 0), std::nullopt);
    EXPECT_EQ(launchingProcessAfter(0, -1), std::nullopt);
    EXPECT_TRUE(env.reports().empty());
}

} // namespace
} // namespace zestrel
