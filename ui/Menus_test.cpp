#include "ui/Menus.h"

#include "platform/appkit/ModalResponder.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

using namespace platform;

class MenusTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;

    // Opens the menu as the user would and picks `title` (nothing: closes it).
    void openAndPick(const std::shared_ptr<NSMenu>& menu, std::string title) {
        ScriptedModalResponder::install()->enqueue(MenuPick{std::move(title)});
        menu->popUp(nullptr, CGPoint{}, nullptr);
        env.runUntilIdle();
    }
};

TEST_F(MenusTest, OpenStateReachesSubscribersBeforeTheCallback) {
    auto menu = QVMenu::make("Debug");
    std::vector<std::string> events;
    auto subscription = menu->isOpenPublisher().sink(
        [&events](bool open) { events.push_back(open ? "published open" : "published closed"); });
    menu->onOpenClose = [&events, &menu](bool open) {
        events.push_back(std::string(open ? "callback open" : "callback closed") +
                         (menu->isOpen() == open ? "" : " (state out of step)"));
    };
    menu->onUpdate = [&events] { events.push_back("update"); };
    menu->onUpdateLegacy = [&events](QVMenu&) { events.push_back("legacy update"); };
    auto updates = menu->needsUpdatePublisher().sink(
        [&events](std::monostate) { events.push_back("published update"); });
    openAndPick(menu, "");
    EXPECT_EQ(events, (std::vector<std::string>{"published closed", "published update", "update",
                                                "legacy update", "published open", "callback open",
                                                "published closed", "callback closed"}));
    EXPECT_FALSE(menu->isOpen());
}

TEST_F(MenusTest, CallbackItemRunsItsClosureWhenChosen) {
    auto menu = QVMenu::make("Debug");
    int runs = 0;
    menu->addItem(
        CallbackMenuItem::make("Crash Test", "", true, false, false, [&runs] { ++runs; }));
    auto hidden = CallbackMenuItem::make("Hidden", "", true, true, true, [] {});
    menu->addItem(hidden);
    EXPECT_EQ(hidden->state(), NSControlStateValue::on);
    openAndPick(menu, "Crash Test");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(menu->item(0)->isEnabled());
}

TEST_F(MenusTest, CallbackItemValidatesItselfEnabledWhereTheMenuEnablesItsItems) {
    // An ordinary menu validates its items as it opens: the callback item answers for itself.
    auto menu = std::make_shared<NSMenu>("Tools");
    int runs = 0;
    auto item = CallbackMenuItem::make("Reload", "", false, false, false, [&runs] { ++runs; });
    menu->addItem(item);
    auto plain = menu->addItem(
        "Plain", [](NSMenuItem&) {}, "");
    plain->setEnabled(false);
    openAndPick(menu, "Reload");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(plain->isEnabled()) << "an item whose target does not validate keeps its state";

    // So does a submenu on the way to the pick.
    auto parent = std::make_shared<NSMenu>("Main");
    auto holder = parent->addItem("More", {}, "");
    auto submenu = std::make_shared<NSMenu>("More");
    holder->setSubmenu(submenu);
    submenu->addItem(CallbackMenuItem::make("Deep", "", false, false, false, [&runs] { ++runs; }));
    openAndPick(parent, "Deep");
    EXPECT_EQ(runs, 2);

    // A QVMenu does not enable its items by itself: a disabled item stays so.
    auto debug = QVMenu::make("Debug");
    EXPECT_FALSE(debug->autoenablesItems());
    debug->addItem(CallbackMenuItem::make("Off", "", false, false, false, [&runs] { ++runs; }));
    openAndPick(debug, "Off");
    EXPECT_EQ(runs, 2);
}

TEST_F(MenusTest, ShareMenuListsServicesAndConsumesItsItemsOnShare) {
    auto mail = std::make_shared<NSSharingService>("Mail");
    NSSharingService::setOfferedServices({mail});
    auto parent = std::make_shared<NSMenu>("File");
    auto item = makeShareMenuItem();
    parent->addItem(item);
    auto share = std::static_pointer_cast<ShareMenu>(item->submenu());
    share->shareItems = std::vector<Value>{Value("hello")};

    openAndPick(share, "Mail");
    ASSERT_EQ(mail->performed().size(), 1U);
    EXPECT_EQ(mail->performed()[0], std::vector<Value>{Value("hello")});
    EXPECT_FALSE(share->shareItems.has_value());

    // Sharing again without new items shares an empty list.
    share->actionHandler(*share->itemWithTitle("Mail"));
    ASSERT_EQ(mail->performed().size(), 2U);
    EXPECT_TRUE(mail->performed()[1].empty());

    // Under a disabled item the menu keeps what it had.
    item->setEnabled(false);
    NSSharingService::setOfferedServices({});
    share->menuNeedsUpdate(*share);
    EXPECT_NE(share->itemWithTitle("Mail"), nullptr);
    item->setEnabled(true);
    share->menuNeedsUpdate(*share);
    EXPECT_EQ(share->itemWithTitle("Mail"), nullptr);
    EXPECT_TRUE(share->item(0)->isSeparatorItem());
}

TEST_F(MenusTest, ShareButtonPopsTheSharedMenuAndSystemMenuReportsClicks) {
    auto notes = std::make_shared<NSSharingService>("Notes");
    NSSharingService::setOfferedServices({notes});
    auto button = ShareButton::make(CGRect(0, 0, 300, 100));
    EXPECT_EQ(button->title(), "Share");
    EXPECT_EQ(button->frame().size, button->intrinsicContentSize()) << "sized to fit its title";
    EXPECT_EQ(button->sendActionOnMask(), NSEvent::maskFor(NSEvent::EventType::leftMouseDown))
        << "the menu opens on mouse down";
    ShareButton::sharedMenu()->shareItems = std::vector<Value>{Value("link")};
    ScriptedModalResponder::install()->enqueue(MenuPick{"Notes"});
    button->performClick();
    env.runUntilIdle();
    ASSERT_EQ(notes->performed().size(), 1U);

    auto system = SystemShareMenu::make();
    int clicks = 0;
    system->shareItems = {Value("text")};
    system->didClick = [&clicks] { ++clicks; };
    system->rebuild();
    openAndPick(system, "Notes");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(notes->performed().back(), std::vector<Value>{Value("text")});
}

TEST_F(MenusTest, SystemShareMenuStillSharesAfterTheOfferedServicesChange) {
    auto offered = std::make_shared<NSSharingService>("Messages");
    const std::weak_ptr<NSSharingService> messages = offered;
    NSSharingService::setOfferedServices({offered});
    offered.reset();
    auto system = SystemShareMenu::make();
    int clicks = 0;
    system->shareItems = {Value("link")};
    system->didClick = [&clicks] { ++clicks; };
    system->rebuild();

    NSSharingService::setOfferedServices({}); // the desktop lets go of the service
    openAndPick(system, "Messages");
    EXPECT_EQ(clicks, 1);
    const auto shared = messages.lock();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->performed(), (std::vector<std::vector<Value>>{{Value("link")}}));
}

TEST_F(MenusTest, EachShareToolbarItemSharesThroughItsOwnMenu) {
    auto mail = std::make_shared<NSSharingService>("Mail");
    NSSharingService::setOfferedServices({mail});
    ShareToolbarItem first("share.first");
    ShareToolbarItem second("share.second");
    ASSERT_NE(first.menu, second.menu);
    std::static_pointer_cast<ShareMenu>(first.menu)->shareItems = std::vector<Value>{Value("a")};

    openAndPick(first.menu, "Mail");
    ASSERT_EQ(mail->performed().size(), 1U);
    EXPECT_EQ(mail->performed()[0], std::vector<Value>{Value("a")});
    EXPECT_FALSE(std::static_pointer_cast<ShareMenu>(second.menu)->shareItems.has_value());

    // The other menu shares its own items; with none, no service is offered to pick.
    std::static_pointer_cast<ShareMenu>(second.menu)->shareItems = std::vector<Value>{Value("b")};
    openAndPick(second.menu, "Mail");
    ASSERT_EQ(mail->performed().size(), 2U);
    EXPECT_EQ(mail->performed()[1], std::vector<Value>{Value("b")});
    std::static_pointer_cast<ShareMenu>(first.menu)->menuNeedsUpdate(*first.menu);
    EXPECT_EQ(first.menu->itemWithTitle("Mail"), nullptr);
}

} // namespace
} // namespace zestrel
