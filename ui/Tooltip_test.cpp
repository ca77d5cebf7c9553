#include "ui/Tooltip.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Desktop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <limits>

namespace zestrel {
namespace {

using namespace platform;

class TooltipTest : public ::testing::Test {
protected:
    std::shared_ptr<Tooltip> makeTooltip(std::string identifier, bool showOnlyOnce,
                                         std::function<void()> onClick = {}) {
        Tooltip::Options options;
        options.identifier = std::move(identifier);
        options.text = "Drag me";
        options.showOnlyOnce = showOnlyOnce;
        options.onClick = std::move(onClick);
        options.contentInsets = {4, 6, 4, 6};
        return Tooltip::make(std::move(options));
    }
    std::size_t windowCount() const { return NSApp().windows().size(); }
    std::int64_t storedCount(const std::string& identifier) const {
        return UserDefaults::standard()->integer("QV_Tooltip_" + identifier);
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSStatusItem> item =
        NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
};

TEST_F(TooltipTest, ShowOnceTooltipShowsTheFirstTimeOnlyWhileOthersShowEveryTime) {
    auto once = makeTooltip("hint", true);
    once->show(item->button());
    EXPECT_TRUE(once->isShown());
    once->close();

    // Another object with the same identifier, as after a relaunch, finds the count spent.
    auto again = makeTooltip("hint", true);
    again->show(item->button());
    EXPECT_FALSE(again->isShown());
    EXPECT_EQ(storedCount("hint"), 1);

    auto always = makeTooltip("always", false);
    for (int i = 0; i < 3; ++i) {
        always->show(item->button());
        EXPECT_TRUE(always->isShown());
        always->close();
    }
    EXPECT_EQ(storedCount("always"), 3);
}

TEST_F(TooltipTest, SpentShowOnceTooltipLeavesNoWindowOrSubscriptionBehind) {
    auto first = makeTooltip("spent", true);
    first->show(item->button());
    first->close();
    const auto before = windowCount();

    auto tooltip = makeTooltip("spent", true);
    for (int i = 0; i < 5; ++i) {
        tooltip->show(item->button());
    }
    EXPECT_EQ(windowCount(), before);
    EXPECT_EQ(tooltip->invisibleWindow(), nullptr);
    EXPECT_FALSE(tooltip->isShown());
}

TEST_F(TooltipTest, StoredCounterThatIsNotAnIntegerCountsAsNeverShown) {
    UserDefaults::standard()->set(Value("twice"), "QV_Tooltip_odd");
    auto tooltip = makeTooltip("odd", true);
    tooltip->show(item->button());
    EXPECT_TRUE(tooltip->isShown());
    EXPECT_EQ(storedCount("odd"), 1);
}

TEST_F(TooltipTest, CounterStopsAtTheLargestIntegerSoAShowOnceTooltipStaysSpent) {
    constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
    UserDefaults::standard()->set(Value(kLargest), "QV_Tooltip_worn");
    auto always = makeTooltip("worn", false);
    always->show(item->button());
    EXPECT_TRUE(always->isShown());
    always->close();
    EXPECT_EQ(storedCount("worn"), kLargest);

    auto once = makeTooltip("worn", true);
    once->show(item->button());
    EXPECT_FALSE(once->isShown());
}

TEST_F(TooltipTest, HiddenMenuBarItemShowsNothingUnlessAskedTo) {
    item->setVisible(false);
    auto tooltip = makeTooltip("hidden", false);
    tooltip->show(item->button());
    EXPECT_FALSE(tooltip->isShown());
    EXPECT_EQ(storedCount("hidden"), 0);

    tooltip->showEvenWhenMenuBarItemIsHidden = true;
    tooltip->show(item->button());
    EXPECT_TRUE(tooltip->isShown());
}

TEST_F(TooltipTest, InvisibleWindowSitsUnderTheItemFollowsItAndClosesWithThePopover) {
    auto tooltip = makeTooltip("follow", false);
    tooltip->show(item->button());
    auto window = tooltip->invisibleWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->alphaValue(), 0);
    EXPECT_TRUE(window->ignoresMouseEvents());
    EXPECT_EQ(window->level().rawValue, NSWindow::Level::statusBar.rawValue + 1);
    // Out of the way of Spaces, the window cycle, restoration and screen changes.
    EXPECT_EQ(window->collectionBehavior(), NSWindow::CollectionBehavior::stationary |
                                                NSWindow::CollectionBehavior::ignoresCycle);
    EXPECT_FALSE(window->isRestorable());
    EXPECT_TRUE(window->isSnapshotRestorationDisabled());
    EXPECT_TRUE(window->canHide());
    EXPECT_TRUE(window->displaysWhenScreenProfileChanges());
    const CGRect anchor = item->button()->window()->frame();
    EXPECT_DOUBLE_EQ(window->frame().origin.x, anchor.origin.x + anchor.size.width / 2 - 10);
    EXPECT_DOUBLE_EQ(window->frame().origin.y, anchor.origin.y - 5);

    item->button()->window()->setFrameOrigin(CGPoint{anchor.origin.x - 100, anchor.origin.y});
    EXPECT_DOUBLE_EQ(window->frame().origin.x, anchor.origin.x - 100 + anchor.size.width / 2 - 10);

    tooltip->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(tooltip->invisibleWindow(), nullptr);
    // The move subscription went with it.
    item->button()->window()->setFrameOrigin(anchor.origin);
    EXPECT_FALSE(window->isVisible());
}

// A list drawn from the top down, as tables and outlines are.
class FlippedList final : public NSView {
public:
    using NSView::NSView;
    bool isFlipped() const override { return true; }
};

TEST_F(TooltipTest, AnchorInsideAFlippedScrolledListIsFoundWhereItShows) {
    const auto window =
        std::make_shared<NSWindow>(CGRect(200, 300, 400, 300), NSWindow::StyleMask::borderless);
    const auto content = std::make_shared<NSView>(CGRect(0, 0, 400, 300));
    window->setContentView(content);
    const auto scrollView = std::make_shared<NSScrollView>(CGRect(0, 0, 400, 100));
    content->addSubview(scrollView);
    const auto list = std::make_shared<FlippedList>(CGRect(0, 0, 400, 1000));
    scrollView->setDocumentView(list);
    // 250 points down the list, 40 × 20.
    const auto anchor = std::make_shared<NSView>(CGRect(50, 250, 40, 20));
    list->addSubview(anchor);
    // The list is scrolled 200 points down, so the anchor's top shows 50 points under the
    // top of the 100-point scroll view: from 30 to 50 up in the window.
    scrollView->scrollTo({0, 200});
    window->orderFront();

    auto tooltip = makeTooltip("list", false);
    tooltip->show(anchor);
    const auto invisible = tooltip->invisibleWindow();
    ASSERT_NE(invisible, nullptr);
    EXPECT_DOUBLE_EQ(invisible->frame().origin.x, 200 + 50 + 40 / 2 - 10);
    EXPECT_DOUBLE_EQ(invisible->frame().origin.y, 300 + 30 - 5);
}

TEST_F(TooltipTest, ClickOnTheTextClosesThePopoverThenRunsTheHandler) {
    int clicks = 0;
    bool wasShownAtClick = true;
    std::shared_ptr<Tooltip> tooltip;
    tooltip = makeTooltip("click", false, [&] {
        ++clicks;
        wasShownAtClick = tooltip->isShown();
    });
    tooltip->show(item->button());
    const auto screen = outlineOfScreen();
    const auto* popover = findNode(screen, "Drag me");
    ASSERT_NE(popover, nullptr) << render(screen);
    EXPECT_TRUE(click(screen, "Drag me"));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(wasShownAtClick);
    EXPECT_FALSE(tooltip->isShown());
    EXPECT_EQ(tooltip->invisibleWindow(), nullptr);
}

TEST_F(TooltipTest, ReduceMotionTurnsAnimationOff) {
    EXPECT_TRUE(makeTooltip("a", false)->animates());
    platform::Desktop::current()->setReduceMotion(true);
    EXPECT_FALSE(makeTooltip("b", false)->animates());
}

TEST_F(TooltipTest, WrappedTextKeepsWithinTheMaximumWidth) {
    Tooltip::Options options;
    options.text = std::string(200, 'w');
    options.maxWidth = 300;
    options.contentInsets = {20, 26, 20, 26};
    auto tooltip = Tooltip::make(std::move(options));
    auto view = tooltip->contentViewController()->view();
    EXPECT_LE(view->frame().size.width, 300);
    EXPECT_GT(view->frame().size.height, 2 * 13 * 1.2) << "the text wraps onto several lines";
}

} // namespace
} // namespace zestrel
