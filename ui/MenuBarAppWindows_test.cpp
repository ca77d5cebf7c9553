#include "ui/MenuBarAppWindows.h"

#include "platform/appkit/NSApplication.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/InputSource.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>

namespace zestrel {
namespace {

using namespace platform;
using namespace std::chrono_literals;

constexpr std::uint16_t kVKEscape = 53;
constexpr std::uint16_t kVKW = 13;
constexpr std::uint16_t kVKM = 46;

class MenuBarAppWindowsTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;

    MenuBarAppWindowsTest() {
        NSApp().setActivationPolicy(NSApplication::ActivationPolicy::accessory);
    }

    static void press(std::uint16_t keyCode, CGEventFlags flags = {}) {
        NSApp().sendEvent(std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, keyCode, flags),
                                                    InputSources::current()->currentLayout()));
    }
    static std::shared_ptr<SwiftUIWindowForMenuBarApp> shownWindow() {
        auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
        window->setReleasedWhenClosed(false);
        window->makeKeyAndOrderFront();
        return window;
    }
};

struct DebugController final : SingletonWindowController {
    DebugController() : SingletonWindowController(std::make_shared<SwiftUIWindowForMenuBarApp>()) {}
};
struct WindowlessController final : SingletonWindowController {
    WindowlessController() : SingletonWindowController(nullptr) {}
};

TEST_F(MenuBarAppWindowsTest, SingletonShowsOneWindowAndBuildsAnewAfterItCloses) {
    SingletonWindowController::show<WindowlessController>();
    env.runUntilIdle();
    EXPECT_FALSE(NSApp().isActive()) << "nothing to show, nothing activated";

    SingletonWindowController::show<DebugController>();
    const auto first = SingletonWindowController::shared<DebugController>();
    env.runUntilIdle();
    EXPECT_TRUE(NSApp().isActive());
    ASSERT_TRUE(first->window()->isKeyWindow());
    SingletonWindowController::show<DebugController>();
    EXPECT_EQ(SingletonWindowController::shared<DebugController>(), first);

    const auto firstWindow = first->window();
    firstWindow->performClose();
    EXPECT_FALSE(firstWindow->isVisible());
    SingletonWindowController::show<DebugController>();
    env.runUntilIdle();
    const auto second = SingletonWindowController::shared<DebugController>();
    EXPECT_NE(second, first);
    EXPECT_NE(second->window(), firstWindow);
    EXPECT_TRUE(second->window()->isKeyWindow());
    second->window()->close();
    SingletonWindowController::shared<WindowlessController>()->windowWillClose({});
}

TEST_F(MenuBarAppWindowsTest, CommandWAndCommandMMatchTheirModifiersExactly) {
    auto window = shownWindow();
    press(kVKW, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    press(kVKW, kCGEventFlagMaskControl);
    EXPECT_TRUE(window->isVisible()) << "other modifiers pass the key on";
    press(kVKW, kCGEventFlagMaskCommand | kCGEventFlagMaskAlphaShift);
    EXPECT_FALSE(window->isVisible()) << "Caps Lock does not count";

    auto other = shownWindow();
    press(kVKM, kCGEventFlagMaskCommand);
    EXPECT_TRUE(other->isMiniaturized());

    auto panel = std::make_shared<SwiftUIPanelForMenuBarApp>();
    panel->setReleasedWhenClosed(false);
    panel->makeKeyAndOrderFront();
    ASSERT_TRUE(panel->isKeyWindow()) << "the panel takes the keyboard";
    press(kVKW, kCGEventFlagMaskCommand);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(MenuBarAppWindowsTest, EscapeClosesOnlyWhenTheWindowSaysSo) {
    auto window = shownWindow();
    press(kVKEscape);
    EXPECT_TRUE(window->isVisible());
    window->shouldCloseOnEscapePress = true;
    press(kVKEscape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MenuBarAppWindowsTest, WindowAllowedAboveTheMenuBarKeepsItsFrame) {
    const auto screen = NSScreen::main();
    const CGRect high(0, screen->frame().size.height - 10, 300, 200);
    SwiftUIWindowForMenuBarApp window;
    EXPECT_NE(window.constrainFrameRect(high, screen), high);
    window.allowedAboveMenuBar = true;
    EXPECT_EQ(window.constrainFrameRect(high, screen), high);
}

TEST(SwiftUIWindowClampTest, KeepsTheWindowOnScreenButLetsItHangALittleBelow) {
    const CGSize screen{1440, 900};
    EXPECT_EQ(SwiftUIWindow::clampToScreen(CGRect(300, 100, 2000, 400), screen),
              CGRect(0, 100, 1440, 400));
    EXPECT_EQ(SwiftUIWindow::clampToScreen(CGRect(1300, 100, 400, 400), screen),
              CGRect(1040, 100, 400, 400));
    EXPECT_EQ(SwiftUIWindow::clampToScreen(CGRect(10, -20, 400, 400), screen),
              CGRect(10, -20, 400, 400));
    EXPECT_EQ(SwiftUIWindow::clampToScreen(CGRect(10, -31, 400, 400), screen),
              CGRect(10, 0, 400, 400));
}

struct ShareScreen {};
struct OtherScreen {};

TEST_F(MenuBarAppWindowsTest, ReusingAnIdentifierBringsTheFirstWindowForward) {
    auto first = SwiftUIWindow::make<ShareScreen>();
    first->setIdentifier("share");
    EXPECT_EQ(first->show(true, true), first);
    auto other = shownWindow();
    ASSERT_FALSE(first->isKeyWindow());

    auto second = SwiftUIWindow::make<ShareScreen>();
    second->setIdentifier("share");
    EXPECT_EQ(second->show(true, true), first);
    EXPECT_TRUE(first->isKeyWindow());
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(second->windowForId("share"), first);
    EXPECT_EQ(SwiftUIWindow::make<OtherScreen>()->windowForId("share"), nullptr)
        << "another content type does not match";

    first->close();
    EXPECT_EQ(second->windowForId("share"), nullptr) << "closing unregisters";
    other->close();
}

TEST_F(MenuBarAppWindowsTest, FadeInEndsOpaqueAfterTheDelayAndDuration) {
    auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
    WindowShowOptions options;
    options.animated = true;
    options.delay = Duration::seconds(1);
    options.duration = Duration::seconds(2);
    Task<void>::runOnMain(
        [window, options]() -> Task<void> { co_await showWindow(window, options); });
    env.runUntilIdle();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->alphaValue(), 0);
    env.advance(1100ms);
    EXPECT_EQ(window->alphaValue(), 0) << "fading";
    env.advance(2000ms);
    EXPECT_EQ(window->alphaValue(), 1);
    window->close();
}

TEST_F(MenuBarAppWindowsTest, FadeInWithReducedMotionTurnsOpaqueAtOnce) {
    env.desktop().setReduceMotion(true);
    auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
    WindowShowOptions options;
    options.animated = true;
    options.makeKey = false;
    options.duration = Duration::seconds(5);
    Task<void>::runOnMain(
        [window, options]() -> Task<void> { co_await showWindow(window, options); });
    env.advance(100ms);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(window->alphaValue(), 1);
    window->close();
}

TEST_F(MenuBarAppWindowsTest, CancelledFadeInLeavesTheWindowVisible) {
    auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
    WindowShowOptions options;
    options.animated = true;
    options.delay = Duration::seconds(3);
    auto fade = Task<void>::runOnMain(
        [window, options]() -> Task<void> { co_await showWindow(window, options); });
    env.advance(50ms);
    ASSERT_EQ(window->alphaValue(), 0);
    fade.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->alphaValue(), 1) << "a shown key window must not stay invisible";
    window->close();
}

TEST_F(MenuBarAppWindowsTest, FadeInCancelledDuringItsDelayTurnsOpaqueAtOnce) {
    auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
    WindowShowOptions options;
    options.animated = true;
    options.delay = Duration::seconds(3);
    auto fade = Task<void>::runOnMain(
        [window, options]() -> Task<void> { co_await showWindow(window, options); });
    env.advance(1s);
    ASSERT_EQ(window->alphaValue(), 0) << "waiting out the delay";
    fade.cancel();
    env.runUntilIdle();
    EXPECT_EQ(window->alphaValue(), 1) << "not at the end of the delay, nor after a fade";
    EXPECT_TRUE(window->isKeyWindow());
    window->close();
}

TEST_F(MenuBarAppWindowsTest, FadeLastsItsDurationToTheNanosecond) {
    auto window = std::make_shared<SwiftUIWindowForMenuBarApp>();
    WindowShowOptions options;
    options.animated = true;
    options.duration = Duration(2, 500'000'000'000'000'000);
    // Below a nanosecond the delay counts as none.
    options.delay = Duration::fromAttoseconds(999'999'999);
    Task<void>::runOnMain(
        [window, options]() -> Task<void> { co_await showWindow(window, options); });
    env.advance(100ms + 2500ms - 1ns);
    EXPECT_EQ(window->alphaValue(), 0);
    env.advance(1ns);
    EXPECT_EQ(window->alphaValue(), 1);
    window->close();
}

} // namespace
} // namespace zestrel
