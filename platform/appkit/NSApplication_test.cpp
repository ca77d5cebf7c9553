#include "platform/appkit/NSApplication.h"

#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSSound.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

std::vector<std::string> recordAppNotifications(std::vector<ObserverToken>& tokens,
                                                std::vector<std::string>& names) {
    for (const char* name :
         {NSApplicationDidBecomeActiveNotification, NSApplicationDidResignActiveNotification,
          NSApplicationWillTerminateNotification, NSApplicationDidFinishLaunchingNotification,
          NSApplicationWillFinishLaunchingNotification}) {
        tokens.push_back(NotificationCenter::defaultCenter()->addObserver(
            name, Value(), [&names](const Notification& note) { names.push_back(note.name); }));
    }
    return names;
}

TEST(NSApplicationTest, ActivationAndYielding) {
    testing::TestEnvironment env;
    std::vector<ObserverToken> tokens;
    std::vector<std::string> names;
    recordAppNotifications(tokens, names);
    auto& app = NSApp();
    EXPECT_FALSE(app.isActive());
    app.yieldActivation("com.apple.systempreferences");
    EXPECT_EQ(app.activationYieldedTo(), "com.apple.systempreferences");
    app.activate(true);
    app.activate();
    EXPECT_TRUE(app.isActive());
    app.deactivate();
    EXPECT_THAT(names, ElementsAre(NSApplicationDidBecomeActiveNotification,
                                   NSApplicationDidResignActiveNotification));
}

TEST(NSApplicationTest, ActivatingBringsThisProcessForwardEvenWhenAlreadyActive) {
    testing::DesktopEnvironment env;
    const auto own = env.desktop().ownApplication();
    const auto frontmost = [] { return NSWorkspace::shared()->frontmostApplication(); };
    ASSERT_NE(frontmost(), own);
    NSApp().activate(true);
    EXPECT_EQ(frontmost(), own);
    // Another app came forward while this one still counts itself active.
    env.desktop().activate(
        env.desktop().runningApplications("com.apple.finder")[0]->processIdentifier());
    ASSERT_NE(frontmost(), own);
    NSApp().activate(true);
    EXPECT_EQ(frontmost(), own);
}

// What a window's delegate hears of its key status, in order: every resign and return goes
// through the window's own, which posts the notifications too.
class KeyStatusLog final : public NSWindowDelegate {
public:
    void windowDidBecomeKey(const Notification&) override { heard.push_back("key"); }
    void windowDidResignKey(const Notification&) override { heard.push_back("resigned"); }
    std::vector<std::string> heard;
};

// The application launched and in front, the Finder running behind it.
class NSApplicationInFrontTest : public ::testing::Test {
protected:
    NSApplicationInFrontTest() {
        app.finishLaunching();
        app.activate();
    }
    testing::DesktopEnvironment env;
    const int own = env.desktop().ownApplication()->processIdentifier();
    const int finder =
        env.desktop().runningApplications("com.apple.finder")[0]->processIdentifier();
    NSApplication& app = NSApp();
};

TEST_F(NSApplicationInFrontTest, InTheBackTheKeyWindowResignsAndTakesTheKeyboardBackInFront) {
    const auto window =
        std::make_shared<NSWindow>(CGRect(0, 0, 300, 200), NSWindow::StyleMask::titled);
    window->makeKeyAndOrderFront();
    const auto log = std::make_shared<KeyStatusLog>();
    window->setDelegate(log);

    env.desktop().activate(finder);
    EXPECT_FALSE(app.isActive());
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(app.keyWindow(), nullptr);
    EXPECT_THAT(log->heard, ElementsAre("resigned"));

    log->heard.clear();
    env.desktop().activate(own);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(app.keyWindow(), window);
    EXPECT_THAT(log->heard, ElementsAre("key"));

    // A window made key while the application is in the back is not key there: it takes the
    // keyboard once the application comes forward. One that left the screen meanwhile leaves
    // it to the frontmost window that can take it, as when a key window closes in front, a
    // sheet before its window; so does one that can no longer be key.
    env.desktop().activate(finder);
    const auto other =
        std::make_shared<NSWindow>(CGRect(0, 0, 300, 200), NSWindow::StyleMask::titled);
    other->makeKeyAndOrderFront();
    EXPECT_EQ(app.keyWindow(), nullptr);
    env.desktop().activate(own);
    EXPECT_EQ(app.keyWindow(), other);
    EXPECT_FALSE(window->isKeyWindow());
    const auto sheet =
        std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->beginSheet(sheet);
    other->makeKeyAndOrderFront();
    window->orderFront(); // in front of its sheet in the order the windows were put there
    env.desktop().activate(finder);
    other->orderOut();
    env.desktop().activate(own);
    EXPECT_EQ(app.keyWindow(), sheet);
    env.desktop().activate(finder);
    sheet->setStyleMask(NSWindow::StyleMask::borderless);
    env.desktop().activate(own);
    EXPECT_EQ(app.keyWindow(), window);
}

TEST_F(NSApplicationInFrontTest,
       AClickMakesItsWindowKeyInFrontOrItsSheetAndFromTheBackOnceItComesForward) {
    const auto titled = [] {
        return std::make_shared<NSWindow>(CGRect(0, 0, 300, 200), NSWindow::StyleMask::titled);
    };
    const auto click = [](const std::shared_ptr<NSWindow>& window) {
        window->sendEvent(*NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown, CGPoint{}));
    };
    const auto back = titled();
    const auto front = titled();
    back->makeKeyAndOrderFront();
    front->makeKeyAndOrderFront();
    click(back);
    EXPECT_EQ(app.keyWindow(), back);
    EXPECT_EQ(app.mainWindow(), back);
    EXPECT_EQ(app.orderedWindows().front(), back);

    // A window under its sheet hands it the keyboard, and the sheet comes forward with it.
    const auto sheet = titled();
    front->beginSheet(sheet);
    click(back);
    click(front);
    EXPECT_EQ(app.keyWindow(), sheet);
    EXPECT_EQ(app.mainWindow(), front);
    EXPECT_EQ(app.orderedWindows(), (std::vector<std::shared_ptr<NSWindow>>{sheet, front, back}));

    // A panel that becomes key only when a view needs the keyboard comes forward alone.
    const auto palette =
        std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    palette->setBecomesKeyOnlyIfNeeded(true);
    palette->orderFront();
    click(back);
    click(palette);
    EXPECT_EQ(app.keyWindow(), back);
    EXPECT_EQ(app.orderedWindows().front(), palette);

    // From the back, the clicked window takes the keyboard as the application comes forward.
    env.desktop().activate(finder);
    click(front);
    EXPECT_EQ(app.keyWindow(), nullptr);
    env.desktop().activate(own);
    EXPECT_EQ(app.keyWindow(), sheet);

    // A window a modal run holds takes no click.
    const auto alert =
        std::make_shared<NSPanel>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    DispatchQueue::main().async([&] {
        click(back);
        app.stopModal();
    });
    app.runModal(alert);
    EXPECT_NE(app.orderedWindows().front(), back);
}

TEST(NSApplicationTest, TheEventAfterOneThatStoppedARunIsTakenWhereTheRunReturns) {
    testing::TestEnvironment env;
    auto& app = NSApp();
    std::vector<std::string> order;
    RunLoop::main().machineAsync([&] {
        app.stopModal();
        app.takeNextEvent([&] { order.push_back("next event"); });
        // A turn of the loop under the stopped run takes nothing of it.
        RunLoop::main().runUntilIdle();
        order.push_back("stopping event handled");
    });
    app.runModal(std::make_shared<NSPanel>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled));
    order.push_back("code after the run");
    RunLoop::main().runUntilIdle();
    EXPECT_THAT(order, ElementsAre("stopping event handled", "code after the run", "next event"));
    // Also when the event that stopped the run ended the process: it goes to whoever is left.
    RunLoop::main().machineAsync([&] {
        app.stopModal();
        app.takeNextEvent([&] { order.push_back("event after the end"); });
        app.terminate();
    });
    app.runModal(std::make_shared<NSPanel>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(order.back(), "event after the end");
}

class TerminationDelegate final : public NSApplicationDelegate {
public:
    TerminateReply applicationShouldTerminate(NSApplication&) override { return reply; }
    void applicationWillTerminate(const Notification&) override { ++willTerminate; }
    void applicationDidFinishLaunching(const Notification&) override { ++didFinish; }
    TerminateReply reply = TerminateReply::terminateNow;
    int willTerminate = 0;
    int didFinish = 0;
};

TEST(NSApplicationTest, TerminateEndsTheRunAndLetsTheHolderSeeIt) {
    testing::TestEnvironment env;
    std::vector<ObserverToken> tokens;
    std::vector<std::string> names;
    recordAppNotifications(tokens, names);
    auto delegate = std::make_shared<TerminationDelegate>();
    auto& app = NSApp();
    app.setDelegate(delegate);
    // On the virtual clock the main run moves on by posts only.
    bool returned = false;
    DispatchQueue::main().async([&] {
        app.terminate();
        returned = true;
    });
    app.run(); // returns because the app terminated: the test goes on
    EXPECT_FALSE(returned);
    NSSound::beep(); // what is left of the ended process is not heard
    EXPECT_EQ(NSSound::beepCount(), 0);
    EXPECT_TRUE(app.isTerminated());
    EXPECT_FALSE(app.isRunning());
    EXPECT_EQ(delegate->didFinish, 1);
    EXPECT_EQ(delegate->willTerminate, 1);
    EXPECT_THAT(names, ElementsAre(NSApplicationWillFinishLaunchingNotification,
                                   NSApplicationDidFinishLaunchingNotification,
                                   NSApplicationWillTerminateNotification));
}

TEST(NSApplicationTest, TheDelegateCanCancelOrDeferTermination) {
    testing::TestEnvironment env;
    auto delegate = std::make_shared<TerminationDelegate>();
    auto& app = NSApp();
    app.setDelegate(delegate);
    delegate->reply = NSApplicationDelegate::TerminateReply::terminateCancel;
    app.terminate();
    EXPECT_FALSE(app.isTerminated());

    delegate->reply = NSApplicationDelegate::TerminateReply::terminateLater;
    app.terminate();
    EXPECT_FALSE(app.isTerminated());
    app.replyToApplicationShouldTerminate(true);
    EXPECT_TRUE(app.isTerminated());
    EXPECT_EQ(delegate->willTerminate, 1);
}

TEST(NSApplicationTest, ModalRunsServeTheMainQueueAndCommonTimersUntilStopped) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    int commonTicks = 0;
    int defaultTicks = 0;
    auto common = Timer::make(1.0, true, [&](Timer&) { ++commonTicks; });
    RunLoop::main().add(common, RunLoopMode::common);
    auto plain = Timer::scheduledTimer(1.0, true, [&](Timer&) { ++defaultTicks; });
    DispatchQueue::main().asyncAfter(5500ms, [] { NSApp().stopModal(42); });

    EXPECT_EQ(NSApp().runModal(window), 42);
    EXPECT_EQ(commonTicks, 5);
    EXPECT_EQ(defaultTicks, 0) << "default-mode timers wait while a modal panel runs";
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(NSApp().modalWindow(), nullptr);
    common->invalidate();
    plain->invalidate();
}

TEST(NSApplicationTest, StopAndAbortEndTheInnermostRun) {
    testing::TestEnvironment env;
    auto outer = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    auto inner = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    NSModalResponse innerResponse = 0;
    DispatchQueue::main().async([&] {
        EXPECT_EQ(NSApp().modalWindow(), outer);
        DispatchQueue::main().async([] { NSApp().abortModal(); });
        innerResponse = NSApp().runModal(inner);
        NSApp().stopModal();
    });
    EXPECT_EQ(NSApp().runModal(outer), NSModalResponseStop);
    EXPECT_EQ(innerResponse, NSModalResponseAbort);
}

TEST(NSApplicationTest, AModalRunNothingCanEndAbortsOnTheVirtualClock) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    EXPECT_EQ(NSApp().runModal(window), NSModalResponseAbort);
}

TEST(NSApplicationTest, TerminatingDuringAModalRunStopsTheCodeThatWaitedAndEndsTheMainRun) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    bool codeAfterTheRun = false;
    DispatchQueue::main().async([&] {
        // A timer of the modal mode: the main queue waits while this block runs the window.
        RunLoop::main().add(Timer::make(1.0, false, [](Timer&) { NSApp().terminate(); }),
                            RunLoopMode::common);
        NSApp().runModal(window);
        codeAfterTheRun = true;
    });
    NSApp().run();
    EXPECT_FALSE(codeAfterTheRun);
    EXPECT_TRUE(NSApp().isTerminated());
    EXPECT_FALSE(NSApp().modalWindow());
    EXPECT_FALSE(window->isVisible());
}

TEST(NSApplicationDeathTest, ActivatingOrShowingAWindowOffTheMainThreadStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::TestEnvironment env;
    auto& app = NSApp(); // made on the main thread, as the program does
    EXPECT_DEATH(std::thread([&app] { app.activate(); }).join(),
                 "NSApplication used on thread .*, but it belongs to thread ");
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    EXPECT_DEATH(std::thread([&window] { window->orderFront(); }).join(),
                 "NSApplication used on thread .*, but it belongs to thread ");
}

} // namespace
} // namespace zestrel::platform
