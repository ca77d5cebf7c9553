#include "platform/appkit/NSTrackingArea.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

using Options = NSTrackingArea::Options;

// Writes down what the pointer tells it, in its own coordinates.
class PointerLog : public NSView {
public:
    using NSView::NSView;
    void mouseEntered(const NSEvent& event) override { note("entered", event); }
    void mouseExited(const NSEvent& event) override { note("exited", event); }
    void mouseMoved(const NSEvent& event) override {
        const CGPoint p = convertPointFromWindow(event.locationInWindow());
        note("moved " + std::to_string(static_cast<int>(p.x)) + "," +
                 std::to_string(static_cast<int>(p.y)),
             event);
    }
    void track(Options options, std::optional<CGRect> rect = std::nullopt) {
        addTrackingArea(std::make_shared<NSTrackingArea>(
            rect.value_or(bounds()), options,
            std::static_pointer_cast<NSResponder>(shared_from_this())));
    }
    std::vector<std::string> take() { return std::exchange(heard, {}); }

private:
    void note(std::string what, const NSEvent& event) {
        EXPECT_EQ(NSApp().currentEvent().get(), &event) << "the event is the current one";
        heard.push_back(std::move(what));
    }
    std::vector<std::string> heard;
};

class NSTrackingAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(view);
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    std::shared_ptr<PointerLog> view = std::make_shared<PointerLog>(CGRect{50, 20, 100, 50});
};

TEST_F(NSTrackingAreaTest, PointerEntersMovesWithinAndLeavesAnArea) {
    view->track(Options::mouseEnteredAndExited | Options::mouseMoved | Options::activeAlways);
    movePointer(*window, {10, 10});
    EXPECT_TRUE(view->take().empty());
    movePointer(*window, {60, 30});
    EXPECT_EQ(view->take(), (std::vector<std::string>{"entered", "moved 10,10"}));
    movePointer(*window, {149, 30});
    EXPECT_EQ(view->take(), std::vector<std::string>{"moved 99,10"});
    movePointer(*window, {150, 30});
    EXPECT_EQ(view->take(), std::vector<std::string>{"exited"}) << "the far edge is outside";

    movePointer(*window, {60, 30});
    view->take();
    movePointerOutOfWindow(*window);
    EXPECT_EQ(view->take(), std::vector<std::string>{"exited"});
}

TEST_F(NSTrackingAreaTest, AreasHearOnlyWhatTheyAskForAndOnlyWhileActive) {
    view->track(Options::mouseMoved | Options::activeAlways);
    movePointer(*window, {60, 30});
    movePointer(*window, {10, 10});
    EXPECT_EQ(view->take(), std::vector<std::string>{"moved 10,10"}) << "no entering or leaving";

    auto keyOnly = std::make_shared<PointerLog>(CGRect{0, 0, 40, 40});
    window->contentView()->addSubview(keyOnly);
    keyOnly->track(Options::mouseMoved | Options::activeInKeyWindow);
    movePointer(*window, {5, 5});
    EXPECT_TRUE(keyOnly->take().empty()) << "the window is not key";
    window->makeKeyAndOrderFront();
    movePointer(*window, {6, 5});
    EXPECT_EQ(keyOnly->take(), std::vector<std::string>{"moved 6,5"});

    keyOnly->setHidden(true);
    movePointer(*window, {7, 5});
    EXPECT_TRUE(keyOnly->take().empty()) << "a hidden view follows no pointer";
}

TEST_F(NSTrackingAreaTest, VisibleRectAreaFollowsWhatShows) {
    auto scrollView = std::make_shared<NSScrollView>(CGRect{0, 0, 100, 50});
    auto document = std::make_shared<PointerLog>(CGRect{0, 0, 100, 200});
    window->contentView()->addSubview(scrollView);
    scrollView->setDocumentView(document);
    document->track(Options::mouseMoved | Options::activeAlways | Options::inVisibleRect,
                    CGRect{0, 0, 1, 1});
    movePointer(*window, {10, 40});
    EXPECT_EQ(document->take(), std::vector<std::string>{"moved 10,40"})
        << "an unflipped document shows its bottom first";
    scrollView->scrollTo({0, 100});
    movePointer(*window, {10, 40});
    EXPECT_EQ(document->take(), std::vector<std::string>{"moved 10,140"});
}

} // namespace
} // namespace zestrel::platform
