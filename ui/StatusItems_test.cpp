#include "ui/StatusItems.h"

#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSPointerArray.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Clock.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/Desktop.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(StatusItemsTest, ListsTheBarsItemsInOrderButNothingInASafeLaunch) {
    testing::TestEnvironment env;
    auto bar = NSStatusBar::system();
    auto first = bar->statusItem(NSVariableStatusItemLength);
    auto second = bar->statusItem(NSVariableStatusItemLength);
    EXPECT_THAT(statusItems(*bar), ElementsAre(second, first));

    resetProcess();
    NSEvent::setHeldModifierFlags(NSEvent::ModifierFlags::shift | NSEvent::ModifierFlags::option);
    ASSERT_TRUE(QVApp::isSafeLaunch());
    auto item = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    EXPECT_THAT(statusItems(*NSStatusBar::system()), IsEmpty());
}

TEST(StatusItemsTest, UnreadablePrivateListGivesNoItems) {
    testing::TestEnvironment env;
    auto item = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    EXPECT_THAT(statusItemsFromList(Value()), IsEmpty());
    EXPECT_THAT(statusItemsFromList(Value("items")), IsEmpty());
    auto mixed = std::make_shared<NSPointerArray>();
    mixed->addPointer(item);
    auto stranger = std::make_shared<NSObject>();
    mixed->addPointer(stranger);
    EXPECT_THAT(statusItemsFromList(Value(mixed)), IsEmpty());
}

TEST(StatusItemsTest, WaitingForVisibilityEndsWhenTheItemShows) {
    testing::TestEnvironment env;
    auto item = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    auto atOnce = Task<void>::runOnMain([item] { return waitUntilVisible(item); });
    env.runUntilIdle();
    EXPECT_TRUE(atOnce.isFinished());

    item->setVisible(false);
    auto waiting = Task<void>::runOnMain([item] { return waitUntilVisible(item); });
    env.advance(1h);
    EXPECT_FALSE(waiting.isFinished());
    item->setVisible(false);
    item->setVisible(true);
    env.runUntilIdle();
    EXPECT_TRUE(waiting.isFinished());
}

TEST(ActionClosureTest, ClosureGetsTheClickEventOrADefaultLeftMouseDown) {
    testing::TestEnvironment env;
    auto view = std::make_shared<NSView>(CGRect{0, 0, 50, 20});
    auto recognizer = std::make_shared<NSClickGestureRecognizer>();
    std::vector<std::shared_ptr<NSEvent>> seen;
    setActionClosure(*recognizer, [&](const NSEvent& event) {
        seen.push_back(std::static_pointer_cast<NSEvent>(
            std::const_pointer_cast<NSObject>(event.shared_from_this())));
    });
    view->addGestureRecognizer(recognizer);

    const auto click = NSEvent::mouseEvent(NSEvent::EventType::rightMouseUp, {},
                                           {CGPoint{12, 7}, 3.5, 4, 9, 2, 0.5F});
    view->click(click);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], click) << "the closure gets the very event that carried the click";
    EXPECT_EQ(NSApplication::shared().currentEvent(), nullptr);

    // A click no event carries: a left mouse-down at the origin, stamped now.
    NSEvent::setHeldModifierFlags(NSEvent::ModifierFlags::option);
    env.advance(2s);
    view->click();
    NSEvent::setHeldModifierFlags({});
    ASSERT_EQ(seen.size(), 2u);
    const auto& made = *seen[1];
    EXPECT_EQ(made.type(), NSEvent::EventType::leftMouseDown);
    EXPECT_EQ(made.locationInWindow(), CGPoint::zero());
    EXPECT_EQ(made.eventModifierFlags(), NSEvent::ModifierFlags::option);
    EXPECT_DOUBLE_EQ(made.timestamp(),
                     std::chrono::duration<double>(platform::clock().uptime()).count());
    EXPECT_EQ(made.clickCount(), 1);
    EXPECT_FLOAT_EQ(made.pressure(), 1);
    EXPECT_EQ(made.windowNumber(), 0);

    // The trampoline lives as long as the recognizer, not the caller's scope.
    recognizer->recognize();
    EXPECT_EQ(seen.size(), 3u);
}

class WelcomePopoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        item->button()->setTitle("Z");
        item->button()->setAction([this](NSControl&) { ++itemClicks; });
    }
    Task<void> start() {
        std::weak_ptr<NSStatusBarButton> button = item->button();
        return Task<void>::runOnMain([button] { return showWelcomePopover(button); });
    }
    static bool popoverShown() {
        return findNode(outlineOfScreen(), "Hello, I'm " + QVApp::name()) != nullptr;
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSStatusItem> item =
        NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    int itemClicks = 0;
};

TEST_F(WelcomePopoverTest, ShowsUnderTheButtonAndNudgesIt) {
    auto run = start();
    env.runUntilIdle();
    EXPECT_TRUE(popoverShown()) << render(outlineOfScreen());
    auto shakes = item->button()->layer()->animations();
    ASSERT_EQ(shakes.size(), 1u);
    EXPECT_EQ(shakes[0]->keyPath, "transform.translation.y");
    EXPECT_EQ(shakes[0]->values, (std::vector<double>{-2, 2, -1, 1, 0}));
    EXPECT_FALSE(run.isFinished());
}

TEST_F(WelcomePopoverTest, ClickOnTheMenuBarItemClosesItThenDoesTheItemsClickThenGoesOnOnce) {
    auto run = start();
    env.runUntilIdle();
    item->button()->click();
    EXPECT_FALSE(popoverShown());
    EXPECT_EQ(itemClicks, 0) << "the item's own click comes after the popover closed";
    env.runUntilIdle();
    EXPECT_EQ(itemClicks, 1);
    EXPECT_TRUE(run.isFinished());
    EXPECT_THAT(item->button()->gestureRecognizers(), IsEmpty());

    env.advance(10s); // the timer still fires; the caller must not go on a second time
    item->button()->click();
    EXPECT_EQ(itemClicks, 2) << "clicks reach the item again once the popover is gone";
}

TEST_F(WelcomePopoverTest, ClickOnThePopoverClosesItWithoutWaitingForTheTimeout) {
    auto run = start();
    env.runUntilIdle();
    EXPECT_TRUE(click(outlineOfScreen(), "Hello, I'm " + QVApp::name()));
    env.runUntilIdle();
    EXPECT_FALSE(popoverShown());
    EXPECT_TRUE(run.isFinished());
    EXPECT_EQ(itemClicks, 0);
    EXPECT_THAT(item->button()->gestureRecognizers(), IsEmpty());
    env.advance(10s);
}

TEST_F(WelcomePopoverTest, HiddenItemShowsNothingAndGoesOnAfterSixSeconds) {
    item->setVisible(false);
    auto run = start();
    env.runUntilIdle();
    EXPECT_FALSE(popoverShown());
    env.advance(5999ms);
    EXPECT_FALSE(run.isFinished());
    env.advance(1ms);
    EXPECT_TRUE(run.isFinished());
    EXPECT_THAT(item->button()->gestureRecognizers(), IsEmpty());
}

TEST_F(WelcomePopoverTest, TimeoutClosesThePopover) {
    auto run = start();
    env.advance(6s);
    EXPECT_FALSE(popoverShown());
    EXPECT_TRUE(run.isFinished());
}

TEST_F(WelcomePopoverTest, TimeoutEndsTheRunInATaskAfterWhatIsAlreadyDueThen) {
    auto run = start();
    env.runUntilIdle();
    // Falls due at the same moment as the timeout, posted after its timer was made.
    bool shownWhenDue = false;
    RunLoop::main().asyncAt(platform::clock().uptime() + 6s,
                            [&] { shownWhenDue = popoverShown(); });
    env.advance(6s);
    EXPECT_TRUE(shownWhenDue) << "the timer's callback must not close the popover itself";
    EXPECT_FALSE(popoverShown());
    EXPECT_TRUE(run.isFinished());
    EXPECT_THAT(item->button()->gestureRecognizers(), IsEmpty());
}

TEST_F(WelcomePopoverTest, ReduceMotionShowsItWithoutShakingTheButton) {
    platform::Desktop::current()->setReduceMotion(true);
    auto run = start();
    env.runUntilIdle();
    EXPECT_TRUE(popoverShown());
    EXPECT_THAT(item->button()->layer()->addedAnimations(), IsEmpty());
}

TEST_F(WelcomePopoverTest, ButtonGoneBeforeTheWorkStartsEndsAtOnce) {
    auto run = start();
    NSStatusBar::system()->removeStatusItem(item);
    item.reset();
    env.runUntilIdle();
    EXPECT_TRUE(run.isFinished());
    EXPECT_FALSE(popoverShown());
}

} // namespace
} // namespace zestrel
