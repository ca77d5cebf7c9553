#include "services/StatusItemVisibility.h"

#include "foundation/QVApp.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSScreen.h"
#include "platform/testing/DesktopEnvironment.h"
#include "services/QVAppLaunch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using namespace std::chrono_literals;
using pf::ModalAnswer;
using pf::Nanoseconds;
using pf::NSAlert;
using pf::NSApp;
using pf::NSWindow;
using pf::Value;
using ::testing::ElementsAre;

// Answers alerts from a script (leaving the rest alone) and notes what only the moment of
// showing tells: when it was, how wide the alert is at least, and whether the app was active.
class WatchingResponder final : public pf::ModalResponder {
public:
    struct Showing {
        Nanoseconds at{};
        std::optional<double> accessoryWidth;
        bool appActive = false;
    };

    std::optional<ModalAnswer> answer(const NSAlert& alert) override {
        const auto accessory = alert.accessoryView();
        showings.push_back({pf::clock().uptime(),
                            accessory ? std::optional(accessory->frame().size.width) : std::nullopt,
                            NSApp().isActive()});
        if (answers.empty()) {
            return std::nullopt;
        }
        auto next = answers.front();
        answers.pop_front();
        return next;
    }

    std::deque<ModalAnswer> answers;
    std::vector<Showing> showings;
};

constexpr const char* kPlainMessage =
    "macOS hides menu bar items when they do not fit. Try quitting some other menu bar apps. "
    "Also try quitting Bartender/Ice if it's running.\n\nThis check can have false-positives, so "
    "if you can see the menu bar item, enable “Do not show this again”, and click “OK”.";
constexpr const char* kAutoHideMessage =
    "macOS hides menu bar items when they do not fit. Try quitting some other menu bar apps."
    "\n\nDisregard this message if you have the menu bar set to auto hide. It will not be shown "
    "again.";

class StatusItemVisibilityTest : public ::testing::Test {
protected:
    StatusItemVisibilityTest() { startProcess(); }

    // What this process of the app has: its launch facts, a status item in the menu bar and
    // someone at the screen.
    void startProcess() {
        QVApp::initializeAppStatics();
        responder = std::make_shared<WatchingResponder>();
        pf::ModalResponder::setCurrent(responder);
        item = pf::NSStatusBar::system()->statusItem(pf::NSVariableStatusItemLength);
    }

    // The menu bar does not show the item.
    void crowdOut() { item->button()->window()->setOccluded(true); }

    struct Check {
        pf::Task<void> task;
        Nanoseconds startedAt;
        std::shared_ptr<std::optional<Nanoseconds>> endedAt;
        // How long it ran; nothing while it runs.
        std::optional<Nanoseconds> duration() const {
            return *endedAt ? std::optional(**endedAt - startedAt) : std::nullopt;
        }
    };
    Check startCheck(std::optional<std::string> extraMessage = std::nullopt,
                     bool offersOpenSettings = false, bool showsSuppressionButton = true) {
        auto endedAt = std::make_shared<std::optional<Nanoseconds>>();
        auto task =
            pf::Task<void>::runOnMain([item = item, extraMessage, offersOpenSettings,
                                       showsSuppressionButton, endedAt]() -> pf::Task<void> {
                auto check = ensureVisibility(item, extraMessage, offersOpenSettings,
                                              showsSuppressionButton);
                co_await check;
                *endedAt = pf::clock().uptime();
            });
        return Check{std::move(task), pf::clock().uptime(), endedAt};
    }

    // Starts a check and lets it run to its end.
    Check runCheck(std::optional<std::string> extraMessage = std::nullopt,
                   bool offersOpenSettings = false, bool showsSuppressionButton = true) {
        auto check =
            startCheck(std::move(extraMessage), offersOpenSettings, showsSuppressionButton);
        env.advance(1h);
        EXPECT_TRUE(check.endedAt->has_value());
        return check;
    }

    static bool suppressed() { return Prefs::value(statusItemShouldNotShowAgainKey()); }

    static void hideMenuBarAutomatically() {
        pf::NSScreen::setScreens({std::make_shared<pf::NSScreen>(
            pf::CGRect(0, 0, 1920, 1080), pf::CGRect(0, 0, 1920, 1080), 1.0, 1)});
    }

    // An application menu whose "Settings…" item counts its uses.
    void installSettingsMenu() {
        auto applicationMenu = std::make_shared<pf::NSMenu>();
        applicationMenu->addItem(
            "Settings…", [this](pf::NSMenuItem&) { ++settingsOpened; }, ",");
        auto mainMenu = std::make_shared<pf::NSMenu>();
        mainMenu->addItem(QVApp::name(), {}, "")->setSubmenu(applicationMenu);
        NSApp().setMainMenu(mainMenu);
    }

    pf::testing::DesktopEnvironment env;
    std::shared_ptr<WatchingResponder> responder;
    std::shared_ptr<pf::NSStatusItem> item;
    int settingsOpened = 0;
};

TEST_F(StatusItemVisibilityTest, ASuppressedCheckWaitsForNothingAndShowsNothing) {
    Prefs::set(statusItemShouldNotShowAgainKey(), true);
    crowdOut();
    const auto check = startCheck();
    env.runUntilIdle();
    EXPECT_EQ(check.duration(), 0s);
    EXPECT_TRUE(NSAlert::shownAlerts().empty());
}

TEST_F(StatusItemVisibilityTest, TheFirstLookIsFiveSecondsAfterLaunchOrThirtyOneAsLoginItem) {
    EXPECT_EQ(runCheck().duration(), 5s) << "a showing item ends the check quietly";
    EXPECT_TRUE(NSAlert::shownAlerts().empty());

    pf::OwnLaunch loginItemLaunch;
    loginItemLaunch.asLoginItem = true;
    env.desktop().relaunchOwnApplication(loginItemLaunch);
    startProcess();
    ASSERT_TRUE(QVApp::wasLaunchedAsLoginItem());
    crowdOut();
    responder->answers.push_back(ModalAnswer::button(0));
    const auto check = runCheck();
    ASSERT_EQ(responder->showings.size(), 1u);
    EXPECT_EQ(responder->showings[0].at - check.startedAt, 31s);
}

TEST_F(StatusItemVisibilityTest, ALockedScreenIsWaitedOutBeforeTheLastSecond) {
    crowdOut();
    responder->answers.push_back(ModalAnswer::button(0));
    const auto check = startCheck();
    env.advance(2s);
    env.desktop().setScreenLocked(true);
    env.advance(1h);
    EXPECT_TRUE(responder->showings.empty());
    EXPECT_EQ(check.duration(), std::nullopt);

    env.desktop().setScreenLocked(false);
    const auto unlockedAt = env.clock().uptime();
    env.advance(1h);
    ASSERT_EQ(responder->showings.size(), 1u);
    EXPECT_EQ(responder->showings[0].at - unlockedAt, 1s);
}

TEST_F(StatusItemVisibilityTest, ACancelledCheckEndsQuietlyAtAnyWait) {
    crowdOut();
    const auto early = startCheck();
    env.advance(2s);
    early.task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(early.duration(), 2s);

    env.desktop().setScreenLocked(true);
    const auto locked = startCheck();
    env.advance(1h);
    locked.task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(locked.duration(), 1h);
    EXPECT_TRUE(NSAlert::shownAlerts().empty());
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(StatusItemVisibilityTest, NoAlertWhenTheItemIsOutOfTheBarOrSomethingExplainsIt) {
    // Taken out of the menu bar by the user: its window is off screen, but that is no fault.
    item->setVisible(false);
    runCheck();
    item->setVisible(true);

    // Awake for maintenance with the display off.
    crowdOut();
    env.desktop().powerAssertions().setAssertions(
        91, Value(Value::Array{Value(Value::Dictionary{
                {"AssertType", Value("InternalPreventSleep")},
                {"AssertName", Value("com.apple.powermanagement.darkwakelinger")}})}));
    runCheck();
    env.desktop().powerAssertions().setAssertions(91, Value());

    // One of the app's own windows covers the menu bar.
    auto cover =
        std::make_shared<NSWindow>(pf::CGRect(0, 0, 1920, 1080), NSWindow::StyleMask::borderless);
    cover->setLevel(NSWindow::Level{999});
    cover->orderFront();
    runCheck();
    EXPECT_TRUE(NSAlert::shownAlerts().empty());
}

TEST_F(StatusItemVisibilityTest, OnlyAVisibleAppWindowOneBelowTheScreenSaverCovers) {
    auto window =
        std::make_shared<NSWindow>(pf::CGRect(0, 0, 100, 100), NSWindow::StyleMask::borderless);
    window->setLevel(NSWindow::Level::screenSaver);
    window->orderFront();
    EXPECT_FALSE(visibleWindowsAtLevel());
    window->setLevel(NSWindow::Level{999});
    EXPECT_TRUE(visibleWindowsAtLevel());
    window->orderOut();
    EXPECT_FALSE(visibleWindowsAtLevel());
    // The menu bar's own windows do not count, at any level.
    const auto bar = item->button()->window();
    bar->setLevel(NSWindow::Level{999});
    EXPECT_FALSE(visibleWindowsAtLevel());
    EXPECT_THAT(filterWindows({bar, window, bar}, {"NSCarbonMenuWindow", "NSStatusBarWindow"}),
                ElementsAre(window));
}

TEST_F(StatusItemVisibilityTest, TheAlertExplainsAndOffersTheCheckBoxAndSettings) {
    NSApp().setActivationPolicy(pf::NSApplication::ActivationPolicy::accessory);
    installSettingsMenu();
    crowdOut();
    responder->answers.push_back(ModalAnswer::button(0));
    runCheck("Restart the app after making room.", true, true);
    const auto alerts = NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, QVApp::name() + " Menu Bar Item Did Not Appear");
    EXPECT_EQ(alerts[0].informativeText,
              std::string(kPlainMessage) + "\n\nRestart the app after making room.");
    EXPECT_THAT(alerts[0].buttons, ElementsAre("OK", "Open Settings"));
    EXPECT_TRUE(alerts[0].showsSuppressionButton);
    EXPECT_EQ(alerts[0].suppressionTitle, "Do not show this again");
    EXPECT_EQ(responder->showings[0].accessoryWidth, std::nullopt);
    EXPECT_TRUE(responder->showings[0].appActive) << "the menu-bar app is brought forward";
    EXPECT_EQ(settingsOpened, 0) << "OK opens nothing";

    responder->answers.push_back(ModalAnswer::button("Open Settings"));
    runCheck(std::nullopt, true, true);
    EXPECT_EQ(settingsOpened, 1);
}

TEST_F(StatusItemVisibilityTest, OnlyATickedCheckBoxStopsLaterAlerts) {
    crowdOut();
    responder->answers.push_back(ModalAnswer::button(0, 3s));
    runCheck();
    // Without the box offered, nothing can stop the next one.
    responder->answers.push_back(ModalAnswer::button(0));
    runCheck(std::nullopt, false, false);
    EXPECT_FALSE(NSAlert::shownAlerts().back().showsSuppressionButton);
    EXPECT_FALSE(suppressed());

    responder->answers.push_back(ModalAnswer::button(0, 2s, true));
    runCheck();
    EXPECT_TRUE(suppressed());
    runCheck();
    EXPECT_EQ(NSAlert::shownAlerts().size(), 3u);
}

TEST_F(StatusItemVisibilityTest, TheAlertClosesWithinASecondOfTheItemShowing) {
    crowdOut();
    const auto check = startCheck();
    const auto window = item->button()->window();
    pf::RunLoop::main().machineAsyncAt(pf::clock().uptime() + 7500ms,
                                       [window] { window->setOccluded(false); });
    env.advance(1h);
    ASSERT_EQ(NSAlert::shownAlerts().size(), 1u);
    EXPECT_EQ(NSAlert::shownAlerts()[0].response, pf::NSModalResponseAbort);
    EXPECT_EQ(check.duration(), 8s);
    EXPECT_FALSE(suppressed());
}

// The item of an auto-hiding menu bar is hidden most of the time: one alert is enough, even one
// that closed by itself.
TEST_F(StatusItemVisibilityTest, WithAnAutoHidingMenuBarTheAlertShowsOnceAndNeverAgain) {
    hideMenuBarAutomatically();
    crowdOut();
    const auto window = item->button()->window();
    pf::RunLoop::main().machineAsyncAt(pf::clock().uptime() + 6s,
                                       [window] { window->setOccluded(false); });
    runCheck(std::nullopt, false, true);
    const auto alerts = NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].informativeText, kAutoHideMessage);
    EXPECT_FALSE(alerts[0].showsSuppressionButton);
    EXPECT_THAT(alerts[0].buttons, ElementsAre("OK"));
    EXPECT_EQ(alerts[0].response, pf::NSModalResponseAbort);
    EXPECT_EQ(responder->showings[0].accessoryWidth, 260.0);
    EXPECT_TRUE(suppressed());

    window->setOccluded(true);
    runCheck();
    EXPECT_EQ(NSAlert::shownAlerts().size(), 1u);
}

} // namespace
} // namespace zestrel
