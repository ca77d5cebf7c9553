#include "cut_engine/AppEventTap.h"

#include "platform/desktop/Accessibility.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace zestrel {
namespace {

using platform::CGEventType;
using platform::NSEvent;
using platform::testing::kVKX;
using ::testing::HasSubstr;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
const BundleIdentifier kFinder{platform::kFinderBundleIdentifier};
const BundleIdentifier kForkLift{platform::kForkLiftBundleIdentifier};

class AppEventTapTest : public ::testing::Test {
protected:
    std::shared_ptr<AppEventTap> makeTaps(std::vector<BundleIdentifier> served = {kFinder,
                                                                                  kForkLift}) {
        return AppEventTap::make(
            std::move(served), {CGEventType::keyDown}, platform::kCGHeadInsertEventTap,
            platform::kCGEventTapOptionDefault, [this](const std::shared_ptr<NSEvent>& event) {
                ++actionCalls;
                return answer ? answer(event) : event;
            });
    }

    int pid(const BundleIdentifier& identifier) {
        return platform::NSRunningApplication::runningApplicationsWithBundleIdentifier(
                   identifier.rawValue)
            .front()
            ->processIdentifier();
    }

    std::vector<platform::CGEventTapInformation> tapList() {
        std::vector<platform::CGEventTapInformation> taps(100);
        std::uint32_t count = 0;
        platform::CGGetEventTapList(100, taps.data(), &count);
        taps.resize(count);
        return taps;
    }

    // The process each of our taps is on, in list order.
    std::vector<int> tappedProcesses() {
        std::vector<int> pids;
        for (const auto& tap : tapList()) {
            pids.push_back(tap.processBeingTapped);
        }
        return pids;
    }

    void pressCommandX() {
        const auto event = platform::CGEventCreateKeyboardEvent(nullptr, kVKX, true);
        event->setFlags(platform::CGEventFlags{kCommand.rawValue});
        platform::EventSystem::current()->post(platform::kCGHIDEventTap, event);
    }

    std::size_t countLines(const std::string& message) {
        const auto lines = env.logLines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(message + "\n\t[");
        });
    }

    platform::testing::DesktopEnvironment env;
    int actionCalls = 0;
    SystemEventTap::Action answer;
};

TEST_F(AppEventTapTest, AServedAppNotRunningIsTappedOnceLaunched) {
    const auto taps = makeTaps();
    EXPECT_EQ(taps->eventTaps().size(), 1u);
    EXPECT_EQ(countLines("\"Skipped setting up app as it\\'s not running: "
                         "com.binarynights.ForkLift\""),
              1u);
    EXPECT_THAT(tappedProcesses(), ::testing::ElementsAre(pid(kFinder)));

    env.desktop().launch(kForkLift.rawValue, false);
    EXPECT_EQ(countLines("\"Re-adding tap for com.binarynights.ForkLift\""), 1u);
    ASSERT_TRUE(taps->eventTaps().contains(kForkLift));
    EXPECT_THAT(tappedProcesses(), ::testing::UnorderedElementsAre(pid(kFinder), pid(kForkLift)));
    const auto info = tapList();
    EXPECT_TRUE(std::all_of(info.begin(), info.end(), [](const auto& tap) {
        return tap.enabled && tap.eventsOfInterest == 0x400 &&
               tap.options == platform::kCGEventTapOptionDefault;
    }));
}

TEST_F(AppEventTapTest, ARelaunchTapsTheNewProcessAndReleasesTheOldTap) {
    const auto taps = makeTaps({kFinder});
    const std::weak_ptr<platform::CFMachPort> oldPort = taps->eventTaps().at(kFinder)->port();
    const int oldPid = pid(kFinder);

    env.desktop().terminate(oldPid);
    env.desktop().launch(kFinder.rawValue);
    const int newPid = pid(kFinder);
    ASSERT_NE(newPid, oldPid);

    EXPECT_TRUE(oldPort.expired());
    EXPECT_EQ(countLines("\"DEINIT - SystemEventTap\""), 1u);
    EXPECT_THAT(tappedProcesses(), ::testing::ElementsAre(newPid));
    pressCommandX();
    EXPECT_EQ(actionCalls, 1);
}

TEST_F(AppEventTapTest, TheLaunchOfAnAppNotServedChangesNothing) {
    const auto taps = makeTaps({kFinder});
    const auto before = taps->eventTaps().at(kFinder);
    env.desktop().launch(platform::kTextEditBundleIdentifier, false);
    EXPECT_EQ(taps->eventTaps().at(kFinder), before);
    EXPECT_EQ(countLines("\"Re-adding tap for com.apple.TextEdit\""), 0u);
}

TEST_F(AppEventTapTest, OnlyTheFirstListedProcessOfAnIdentifierIsTapped) {
    const int first = pid(kFinder);
    env.desktop().launch(kFinder.rawValue, false, true);
    const auto taps = makeTaps({kFinder});
    EXPECT_THAT(tappedProcesses(), ::testing::ElementsAre(first));
}

TEST_F(AppEventTapTest, AFailedRetapIsReportedAndTheOldTapStays) {
    const auto taps = makeTaps({kFinder});
    const auto before = taps->eventTaps().at(kFinder);
    platform::Accessibility::current()->setTrusted(false);
    env.desktop().launch(kFinder.rawValue, false, true);

    EXPECT_EQ(taps->eventTaps().at(kFinder), before);
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].localizedDescription(), "Failed to listen to system events.");
    const auto lines = env.logLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("\"QVEvents.anyAppDidLaunch.sink addTap\"");
    }));
}

TEST_F(AppEventTapTest, RefusedAccessFailsTheWholeCreation) {
    platform::Accessibility::current()->setTrusted(false);
    try {
        makeTaps();
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.localizedDescription(), "Failed to listen to system events.");
        EXPECT_EQ(error.nsError()->userInfo().at("hasAccess"), platform::Value(false));
    }
    EXPECT_EQ(countLines("\"Failed to list. Has access? false\""), 1u);
    EXPECT_TRUE(tapList().empty());
    // Asking with the prompt option is what shows the system's prompt.
    EXPECT_EQ(platform::Accessibility::current()->promptCount(), 1);
}

TEST_F(AppEventTapTest, ReleasingTheTapsRemovesThemAndSaysSoOnStandardOutput) {
    auto taps = makeTaps({kFinder});
    taps.reset();
    EXPECT_EQ(env.standardOutput(), "DEINIT - AppEventTap\n");
    EXPECT_EQ(countLines("\"DEINIT - AppEventTap\""), 0u);
    EXPECT_EQ(countLines("\"DEINIT - SystemEventTap\""), 1u);
    EXPECT_TRUE(tapList().empty());
    // The subscription went with it.
    env.desktop().launch(kForkLift.rawValue, false);
    EXPECT_TRUE(tapList().empty());
}

} // namespace
} // namespace zestrel
