#include "platform/appkit/NSMenu.h"

#include "platform/appkit/ModalResponder.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

struct MenuFixture : ::testing::Test {
    MenuFixture() {
        menu = std::make_shared<NSMenu>("Main");
        menu->addItem(
            "Open", [this](NSMenuItem& item) { chosen.push_back(item.title()); }, "o");
        menu->addItem(NSMenuItem::separator());
        auto more = menu->addItem("More", {}, "");
        submenu = std::make_shared<NSMenu>("More");
        submenu->addItem(
            "Deep", [this](NSMenuItem& item) { chosen.push_back(item.title()); }, "");
        more->setSubmenu(submenu);
        disabled = menu->addItem(
            "Off", [this](NSMenuItem& item) { chosen.push_back(item.title()); }, "");
        disabled->setEnabled(false);
        for (const char* name :
             {NSMenuDidBeginTrackingNotification, NSMenuDidEndTrackingNotification}) {
            tokens.push_back(NotificationCenter::defaultCenter()->addObserver(
                name, Value(), [this](const Notification& note) {
                    notes.push_back(note.name + " " + note.object.asObject<NSMenu>()->title());
                }));
        }
    }
    ~MenuFixture() override {
        for (const auto& token : tokens) {
            NotificationCenter::defaultCenter()->removeObserver(token);
        }
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSMenu> menu;
    std::shared_ptr<NSMenu> submenu;
    std::shared_ptr<NSMenuItem> disabled;
    std::vector<std::string> chosen;
    std::vector<std::string> notes;
    std::vector<ObserverToken> tokens;
};

TEST_F(MenuFixture, ItemsKnowTheirMenusAndSubmenusTheirSupermenu) {
    EXPECT_EQ(menu->numberOfItems(), 4);
    EXPECT_EQ(menu->indexOfItemWithTitle("More"), 2);
    EXPECT_EQ(menu->indexOfItemWithTitle("Nope"), -1);
    EXPECT_EQ(menu->item(9), nullptr);
    EXPECT_EQ(menu->item(0)->menu(), menu);
    EXPECT_EQ(submenu->supermenu(), menu);
    EXPECT_EQ(menu->item(0)->keyEquivalentModifierMask(), NSEvent::ModifierFlags::command);
    menu->removeItem(2);
    EXPECT_EQ(submenu->supermenu(), nullptr);
}

TEST_F(MenuFixture, PerformActionSkipsDisabledSeparatorAndMissingItems) {
    menu->performActionForItem(0);
    menu->performActionForItem(1);
    menu->performActionForItem(3);
    menu->performActionForItem(17);
    EXPECT_THAT(chosen, ElementsAre("Open"));
}

TEST_F(MenuFixture, TrackingRunsInTheTrackingModeAndTheActionFollowsTheClose) {
    RunLoopMode modeDuringTracking = RunLoopMode::defaultMode;
    // Due now, so it runs while the menu tracks.
    DispatchQueue::main().async([&] {
        modeDuringTracking = RunLoop::main().currentMode();
        EXPECT_EQ(NSMenu::trackingMenu(), menu);
        submenu->performActionForItem(0);
        EXPECT_TRUE(chosen.empty()) << "the action waits until the menu has closed";
    });
    EXPECT_TRUE(menu->popUp(nullptr, CGPoint{}, nullptr));
    EXPECT_EQ(modeDuringTracking, RunLoopMode::eventTracking);
    EXPECT_THAT(chosen, ElementsAre("Deep"));
    EXPECT_THAT(notes, ElementsAre("NSMenuDidBeginTrackingNotification Main",
                                   "NSMenuDidEndTrackingNotification Main"));
    EXPECT_EQ(NSMenu::trackingMenu(), nullptr);
}

TEST_F(MenuFixture, AMenuNobodyPicksFromClosesOnTheVirtualClock) {
    const auto before = env.clock().uptime();
    EXPECT_FALSE(menu->popUp(nullptr, CGPoint{}, nullptr));
    EXPECT_EQ(env.clock().uptime(), before);
    EXPECT_EQ(notes.size(), 2u);
}

TEST_F(MenuFixture, TheResponderPicksAnItemAfterItsDelay) {
    auto responder = ScriptedModalResponder::install();
    responder->enqueue(MenuPick{"Deep", 3s});
    responder->enqueue(MenuPick{"Missing", 1s});
    const auto before = env.clock().uptime();
    EXPECT_TRUE(menu->popUp(nullptr, CGPoint{}, nullptr));
    EXPECT_EQ(env.clock().uptime() - before, 3s);
    EXPECT_FALSE(menu->popUp(nullptr, CGPoint{}, nullptr)) << "an item that is not there closes it";
    EXPECT_THAT(chosen, ElementsAre("Deep"));
}

TEST(NSMenuDeathTest, AnItemBelongsToOneMenu) {
    auto item = std::make_shared<NSMenuItem>("Shared");
    auto first = std::make_shared<NSMenu>();
    auto second = std::make_shared<NSMenu>();
    first->addItem(item);
    EXPECT_DEATH(second->addItem(item), "already is in another menu");
}

} // namespace
} // namespace zestrel::platform
