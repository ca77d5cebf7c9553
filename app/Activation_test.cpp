// A menu-bar app comes forward when it opens a window, so the keys a person presses next
// (⌘W, Esc) reach it rather than the Finder behind it.
#include "app/AppMain.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"
#include "preferences/Prefs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace zestrel {
namespace {

namespace pf = platform;
using Flags = pf::NSEvent::ModifierFlags;

constexpr std::uint16_t kKeyW = 13;
constexpr std::uint16_t kKeyEscape = 53;

class ActivationTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;

    // Through the app's own entry, with the Finder in front as a person leaves it.
    void launch() {
        launchApp();
        env.runUntilIdle();
        env.finder()->clearReceivedEvents();
    }
    static void clickMenu(std::string_view title) {
        const auto item = pf::swiftui::launchedApp()->scenes->menuBarItem();
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(pf::click(pf::outline(*item->menu()), title)) << title;
    }
    // A person at the keyboard: the key enters at the hardware's end and goes to whichever
    // application is in front.
    void press(std::uint16_t keyCode, pf::CGEventFlags flags = {}) {
        for (const bool down : {true, false}) {
            const auto event = pf::CGEventCreateKeyboardEvent(nullptr, keyCode, down);
            pf::CGEventSetFlags(event, flags);
            pf::EventSystem::current()->post(pf::kCGHIDEventTap, event);
        }
        env.runUntilIdle();
    }
    bool zestrelIsFrontmost() {
        return env.desktop().frontmostApplication() == env.desktop().ownApplication();
    }
    // The person clicks the Finder's window.
    void backToTheFinder() {
        env.desktop().activate(env.finder()->processIdentifier());
        ASSERT_FALSE(zestrelIsFrontmost());
    }
    static std::shared_ptr<pf::NSWindow> keyWindowTitled(const std::string& title) {
        const auto window = pf::NSApp().keyWindow();
        return window && window->isVisible() && window->title() == title ? window : nullptr;
    }
    // Opens the share window from the menu, then closes it with Command+W.
    void shareAndCloseWithCommandW() {
        clickMenu("Share App");
        env.runUntilIdle();
        const auto share = keyWindowTitled("Share Zestrel");
        ASSERT_NE(share, nullptr);
        press(kKeyW, pf::kCGEventFlagMaskCommand);
        EXPECT_FALSE(share->isVisible());
    }
};

TEST_F(ActivationTest, TheAppIsAnAccessoryAsItsBundleSays) {
    launch();
    EXPECT_EQ(pf::NSApp().activationPolicy(), pf::NSApplicationActivationPolicy::accessory);
    EXPECT_EQ(env.desktop().ownApplication()->activationPolicy(),
              pf::NSApplicationActivationPolicy::accessory);
    EXPECT_FALSE(zestrelIsFrontmost()) << "launching takes nothing from the Finder";
}

TEST_F(ActivationTest, EachWindowOfTheMenuBringsTheAppForwardAndCommandWClosesIt) {
    launch();
    const std::pair<const char*, std::string> commands[] = {
        {"Settings…", "Zestrel Settings"},
        {"Share App", "Share Zestrel"},
        {"About", ""}, // the standard About panel has no title
    };
    for (const auto& [command, title] : commands) {
        clickMenu(command);
        env.runUntilIdle();
        EXPECT_TRUE(zestrelIsFrontmost()) << command;
        const auto window = keyWindowTitled(title);
        ASSERT_NE(window, nullptr) << command;

        press(kKeyW, pf::kCGEventFlagMaskCommand);
        EXPECT_FALSE(window->isVisible()) << command;
        EXPECT_TRUE(env.finder()->receivedEvents().empty()) << command;
        backToTheFinder();
    }
}

TEST_F(ActivationTest, EscapeReachesTheAppAndClosesTheAboutPanel) {
    launch();
    clickMenu("About");
    env.runUntilIdle();
    const auto panel = keyWindowTitled("");
    ASSERT_NE(panel, nullptr);
    press(kKeyEscape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
}

TEST_F(ActivationTest, TheDebugWindowComesForwardInDebugMode) {
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control);
    launch();
    pf::NSEvent::setHeldModifierFlags({});
    clickMenu("Debug");
    env.runUntilIdle();
    EXPECT_TRUE(zestrelIsFrontmost());
    const auto window = pf::NSApp().keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    press(kKeyW, pf::kCGEventFlagMaskCommand);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
}

TEST_F(ActivationTest, CommandWClosesTheAppsWindowsOneAfterAnother) {
    launch();
    clickMenu("Settings…");
    env.runUntilIdle();
    const auto settings = keyWindowTitled("Zestrel Settings");
    ASSERT_NE(settings, nullptr);
    shareAndCloseWithCommandW();
    EXPECT_EQ(keyWindowTitled("Zestrel Settings"), settings);
    press(kKeyW, pf::kCGEventFlagMaskCommand);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_EQ(pf::NSApp().keyWindow(), nullptr);
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
}

TEST_F(ActivationTest, TheUserDebugWindowTakesTheKeyboardBackWhenShareCloses) {
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::option);
    launch();
    pf::NSEvent::setHeldModifierFlags({});
    const auto debug = pf::NSApp().keyWindow();
    ASSERT_NE(debug, nullptr);
    ASSERT_TRUE(debug->title().ends_with(" — Debug")) << debug->title();
    shareAndCloseWithCommandW();
    EXPECT_EQ(keyWindowTitled(debug->title()), debug);
    EXPECT_TRUE(zestrelIsFrontmost());
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
}

TEST_F(ActivationTest, AReopenWithTheIconHiddenBringsSettingsForward) {
    Prefs::set(AppPreferences::hideMenuBarIcon(), true);
    launch();
    env.advance(std::chrono::seconds(6)); // the launch's reveal is over
    // Opened again by another process, which leaves the Finder in front.
    env.desktop().reopen(env.desktop().ownApplication()->processIdentifier(), false);
    env.runUntilIdle();
    EXPECT_TRUE(zestrelIsFrontmost());
    const auto settings = keyWindowTitled("Zestrel Settings");
    ASSERT_NE(settings, nullptr);
    press(kKeyW, pf::kCGEventFlagMaskCommand);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
}

} // namespace
} // namespace zestrel
