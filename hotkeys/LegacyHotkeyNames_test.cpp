#include "hotkeys/LegacyHotkeyNames.h"

#include "hotkeys/Hotkeys.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/RunLoop.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::Hotkeys {
namespace {

using platform::Value;

class LegacyHotkeyNamesTest : public ::testing::Test {
protected:
    platform::testing::DesktopEnvironment env;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard();

    // A key chord as the keyboard sends it: down and up through the whole pipeline.
    void press(std::uint16_t keyCode) {
        for (auto type : {platform::CGEventType::keyDown, platform::CGEventType::keyUp}) {
            platform::EventSystem::current()->post(
                platform::kCGHIDEventTap, std::make_shared<platform::CGEvent>(
                                              type, keyCode, platform::kCGEventFlagMaskCommand));
        }
        env.runUntilIdle();
    }
};

TEST_F(LegacyHotkeyNamesTest, AFreshDefaultsDatabaseGetsBothDefaultsOnFirstUse) {
    EXPECT_EQ(Names::paste().rawValue(), "paste");
    EXPECT_EQ(defaults->string("Hotkeys_cut"), R"({"carbonKeyCode":7,"carbonModifiers":256})");
    EXPECT_EQ(defaults->string("Hotkeys_paste"), R"({"carbonKeyCode":9,"carbonModifiers":256})");
}

TEST_F(LegacyHotkeyNamesTest, AClearedCutStaysClearedAcrossLaunches) {
    defaults->set(Value(false), "Hotkeys_cut");
    EXPECT_FALSE(Names::cut().shortcut());
    EXPECT_EQ(defaults->object("Hotkeys_cut"), Value(false));
    EXPECT_EQ(Names::paste().shortcut(), Shortcut(9, 256));
}

TEST_F(LegacyHotkeyNamesTest, AnObserverOfTheFirstStoreMayAskForTheNames) {
    std::vector<std::string> seen;
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(
        shortcutByNameDidChange, Value(), [&](const platform::Notification&) {
            seen.push_back(Names::cut().rawValue() + "/" + Names::paste().rawValue());
        });
    Names::cut();
    EXPECT_EQ(seen, (std::vector<std::string>{"cut/paste", "cut/paste"}));
    platform::NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(LegacyHotkeyNamesTest, CommandXInTheFinderRunsTheCutHandlerOnlyWhileEnabled) {
    int cuts = 0;
    onKeyDown(Names::cut(), [&] { ++cuts; });
    enable({Names::cut(), Names::paste()});

    press(platform::testing::kVKX);
    EXPECT_EQ(cuts, 1);
    EXPECT_TRUE(env.finder()->receivedEvents().empty());

    disable({Names::cut(), Names::paste()});
    press(platform::testing::kVKX);
    EXPECT_EQ(cuts, 1);
    ASSERT_EQ(env.finder()->receivedEvents().size(), 1u);
    EXPECT_EQ(env.finder()->receivedEvents()[0].keyCode, platform::testing::kVKX);
}

TEST_F(LegacyHotkeyNamesTest, TheirHotkeysFollowTheAppsMenusIntoTracking) {
    // Nothing but the names themselves starts the observation of menu tracking here.
    int cuts = 0;
    onKeyDown(Names::cut(), [&] { ++cuts; });
    auto menu = std::make_shared<platform::NSMenu>("Menu");
    menu->addItem("Item", {}, "");
    platform::ScriptedModalResponder::install()->enqueue(
        platform::MenuPick{"", std::chrono::seconds(1)});
    bool menuSeen = false;
    std::size_t withSystem = 99;
    platform::RunLoop::main().asyncAt(
        platform::clock().uptime() + std::chrono::milliseconds(100), [&] {
            menuSeen = isMenuOpen();
            withSystem = platform::HotKeySystem::current()->registrations().size();
            for (auto type : {platform::CGEventType::keyDown, platform::CGEventType::keyUp}) {
                platform::EventSystem::current()->post(
                    platform::kCGHIDEventTap,
                    std::make_shared<platform::CGEvent>(type, platform::testing::kVKX,
                                                        platform::kCGEventFlagMaskCommand));
            }
        });
    menu->popUp(nullptr, platform::CGPoint{}, nullptr);

    EXPECT_TRUE(menuSeen);
    // The run-loop monitor serves them while the menu has the keyboard.
    EXPECT_EQ(withSystem, 0u);
    EXPECT_EQ(cuts, 1);
    EXPECT_TRUE(env.finder()->receivedEvents().empty());
    EXPECT_FALSE(isMenuOpen());
    EXPECT_EQ(platform::HotKeySystem::current()->registrations().size(), 2u);
}

} // namespace
} // namespace zestrel::Hotkeys
