#include "platform/appkit/NSStatusBar.h"

#include "platform/appkit/ModalResponder.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

TEST(NSStatusBarTest, ItemsSitInTheMenuBarAndLeaveItWhenReleased) {
    testing::TestEnvironment env;
    auto bar = NSStatusBar::system();
    auto first = bar->statusItem(NSVariableStatusItemLength);
    auto second = bar->statusItem(30);
    EXPECT_THAT(bar->items(), ElementsAre(second, first));

    auto window = first->button()->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->className(), "NSStatusBarWindow");
    EXPECT_EQ(window->level(), NSWindow::Level::statusBar);
    EXPECT_TRUE(window->occlusionState().contains(NSWindow::OcclusionState::visible));
    const CGRect screen = NSScreen::main()->frame();
    EXPECT_EQ(window->frame().origin.y, screen.size.height - bar->thickness());
    EXPECT_LT(second->button()->window()->frame().origin.x, window->frame().origin.x)
        << "newer items sit to the left";

    std::weak_ptr<NSWindow> weakWindow = window;
    window.reset();
    first.reset();
    EXPECT_THAT(bar->items(), ElementsAre(second));
    EXPECT_TRUE(weakWindow.expired());
}

TEST(NSStatusBarTest, VisibilityIsObservable) {
    testing::TestEnvironment env;
    auto item = NSStatusBar::system()->statusItem(NSSquareStatusItemLength);
    std::vector<Value> seen;
    auto token = item->addObserver("isVisible",
                                   NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew,
                                   [&](const KeyValueNotification& note) {
                                       seen.push_back(note.change.at(NSKeyValueChangeNewKey));
                                   });
    item->setVisible(false);
    item->setVisible(false);
    EXPECT_FALSE(item->button()->window()->isVisible());
    item->setVisible(true);
    item->removeObserver(token);
    item->setVisible(false);
    EXPECT_THAT(seen, ElementsAre(Value(true), Value(false), Value(true)));
}

TEST(NSStatusBarTest, ARemovedItemReadsAsNotShownWhileItsHolderKeepsIt) {
    testing::TestEnvironment env;
    auto bar = NSStatusBar::system();
    auto item = bar->statusItem(NSVariableStatusItemLength);
    auto other = bar->statusItem(NSVariableStatusItemLength);
    std::weak_ptr<NSWindow> window = item->button()->window();
    std::vector<Value> seen;
    auto token = item->addObserver("isVisible", NSKeyValueObservingOptionNew,
                                   [&](const KeyValueNotification& note) {
                                       seen.push_back(note.change.at(NSKeyValueChangeNewKey));
                                   });

    bar->removeStatusItem(item);
    EXPECT_THAT(bar->items(), ElementsAre(other));
    EXPECT_FALSE(item->isVisible());
    EXPECT_THAT(seen, ElementsAre(Value(false)));
    ASSERT_NE(item->button(), nullptr);
    EXPECT_EQ(item->button()->window(), nullptr);
    EXPECT_TRUE(window.expired()) << "its window leaves the screen and the application";
    EXPECT_TRUE(other->button()->window()->isVisible());

    // Out of the bar for good: asking it to show again, or removing it again, changes nothing.
    item->setVisible(true);
    bar->removeStatusItem(item);
    EXPECT_FALSE(item->isVisible());
    EXPECT_EQ(item->button()->window(), nullptr);
    EXPECT_THAT(seen, ElementsAre(Value(false)));
    item->removeObserver(token);
}

TEST(NSStatusBarTest, ClickingTheButtonOpensTheMenuOrRunsTheAction) {
    testing::TestEnvironment env;
    auto item = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    int actions = 0;
    item->button()->setAction([&](NSControl&) { ++actions; });
    item->button()->performClick();
    EXPECT_EQ(actions, 1);

    auto menu = std::make_shared<NSMenu>();
    std::vector<std::string> chosen;
    menu->addItem(
        "Quit", [&](NSMenuItem& it) { chosen.push_back(it.title()); }, "q");
    item->setMenu(menu);
    ScriptedModalResponder::install()->enqueue(MenuPick{"Quit", 1s});
    item->button()->performClick();
    EXPECT_EQ(actions, 1);
    EXPECT_THAT(chosen, ElementsAre("Quit"));
}

} // namespace
} // namespace zestrel::platform
