#include "platform/appkit/NSView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

// Counts how often it heard that its window changed, and which window it was.
class WindowWatcher final : public NSView {
public:
    using NSView::NSView;
    void viewDidMoveToWindow() override {
        ++calls;
        lastWindow = window();
    }
    int calls = 0;
    std::weak_ptr<NSWindow> lastWindow; // the window owns the view
};

TEST(NSViewTest, SubviewsFollowTheirSuperviewIntoAndOutOfAWindow) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    auto container = std::make_shared<NSView>();
    auto watcher = std::make_shared<WindowWatcher>();
    container->addSubview(watcher);
    EXPECT_EQ(watcher->calls, 0) << "no window yet, so nothing to hear";
    EXPECT_EQ(watcher->superview(), container);
    EXPECT_EQ(watcher->nextResponder(), container);

    window->setContentView(container);
    EXPECT_EQ(watcher->calls, 1);
    EXPECT_EQ(watcher->lastWindow.lock(), window);
    EXPECT_EQ(container->frame().size, (CGSize{200, 100})) << "content fills the content rectangle";

    watcher->removeFromSuperview();
    EXPECT_EQ(watcher->calls, 2);
    EXPECT_EQ(watcher->lastWindow.lock(), nullptr);
    EXPECT_TRUE(container->subviews().empty());
}

TEST(NSViewTest, AddingToAnotherSuperviewMovesTheView) {
    testing::TestEnvironment env;
    auto first = std::make_shared<NSView>();
    auto second = std::make_shared<NSView>();
    auto child = std::make_shared<NSView>();
    first->addSubview(child);
    second->addSubview(child);
    EXPECT_TRUE(first->subviews().empty());
    ASSERT_EQ(second->subviews().size(), 1u);
    EXPECT_EQ(child->superview(), second);
}

// A view that leaves its superview as soon as it enters a window, as one-shot observers do.
class LeavesOnArrival final : public NSView {
public:
    void viewDidMoveToWindow() override {
        if (window()) {
            removeFromSuperview();
        }
    }
};

TEST(NSViewTest, AViewMayLeaveItsSuperviewWhileHearingOfItsWindow) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    auto content = std::make_shared<NSView>();
    auto leaver = std::make_shared<LeavesOnArrival>();
    auto sibling = std::make_shared<WindowWatcher>();
    content->addSubview(leaver);
    content->addSubview(sibling);
    window->setContentView(content);
    EXPECT_EQ(content->subviews().size(), 1u);
    EXPECT_EQ(sibling->calls, 1) << "the sibling after it still moves into the window";
}

TEST(NSButtonTest, ClicksRunTheActionAndCheckBoxesToggle) {
    testing::TestEnvironment env;
    int clicks = 0;
    auto button = NSButton::withTitle("Go", [&](NSControl&) { ++clicks; });
    button->performClick();
    EXPECT_EQ(clicks, 1);
    button->setEnabled(false);
    button->performClick();
    EXPECT_EQ(clicks, 1) << "a disabled button ignores clicks";

    auto box = NSButton::checkbox("Remember");
    EXPECT_EQ(box->state(), NSControlStateValue::off);
    box->performClick();
    EXPECT_EQ(box->state(), NSControlStateValue::on);
    box->performClick();
    EXPECT_EQ(box->state(), NSControlStateValue::off);
}

TEST(NSTextViewTest, ScrollableTextViewHoldsATextViewAsItsDocument) {
    testing::TestEnvironment env;
    auto scrollView = NSTextView::scrollableTextView();
    auto textView = std::dynamic_pointer_cast<NSTextView>(scrollView->documentView());
    ASSERT_NE(textView, nullptr);
    EXPECT_EQ(textView->superview(), scrollView);
    EXPECT_TRUE(scrollView->hasVerticalScroller());
    EXPECT_EQ(NSFont::systemFontSize(NSFont::ControlSize::small), 11);
}

} // namespace
} // namespace zestrel::platform
