#include "ui/ClickableView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;

using Reports = std::vector<std::string>;

// A clickable area whose reports carry the name of the moment they were made in.
struct PadScreen {
    bool draggable = false;
    std::shared_ptr<Reports> reports;
    sui::View body(sui::ViewContext& context) const {
        const auto round = context.state<int>("round", 1);
        return sui::VStack({
            sui::Button("Next Round", [round] { round.set(round.get() + 1); }),
            sui::View(ClickableViewRepresentable{
                [reports = reports, round = round.get()](bool isPressed) {
                    reports->push_back(std::to_string(round) + (isPressed ? " down" : " up"));
                },
                draggable, platform::CGRect(0, 0, 40, 20)}),
        });
    }
};

// The responder after the pad: records what is passed on to it.
class NextResponder final : public platform::NSResponder {
public:
    void mouseDown(const platform::NSEvent& /*event*/) override { passed.push_back("down"); }
    void mouseUp(const platform::NSEvent& /*event*/) override { passed.push_back("up"); }
    void mouseDragged(const platform::NSEvent& /*event*/) override { passed.push_back("drag"); }
    Reports passed;
};

using Type = platform::NSEvent::EventType;

class ClickableViewTest : public ::testing::Test {
protected:
    const std::shared_ptr<platform::NSEvent> down =
        platform::NSEvent::mouseEvent(Type::leftMouseDown, {5, 5});
    const std::shared_ptr<platform::NSEvent> drag =
        platform::NSEvent::mouseEvent(Type::leftMouseDragged, {9, 5});
    const std::shared_ptr<platform::NSEvent> up =
        platform::NSEvent::mouseEvent(Type::leftMouseUp, {9, 5});

    platform::testing::TestEnvironment env;
    std::shared_ptr<Reports> reports = std::make_shared<Reports>();
    std::shared_ptr<sui::NSHostingView> hosting;

    std::shared_ptr<ClickableView> show(bool draggable) {
        hosting = sui::NSHostingView::make(PadScreen{draggable, reports});
        for (const auto& subview : hosting->representedViews()) {
            if (auto view = std::dynamic_pointer_cast<ClickableView>(subview)) {
                return view;
            }
        }
        return nullptr;
    }
};

TEST_F(ClickableViewTest, AClickReportsThePressAndTheReleaseToTheLatestClosure) {
    const auto pad = show(false);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->className(), "ClickableView");
    EXPECT_EQ(pad->frame().size.width, 40);
    EXPECT_TRUE(pad->acceptsFirstMouse(nullptr)) << "the first click into an inactive window";

    pad->click();
    ASSERT_TRUE(hosting->host()->click("Next Round"));
    env.runUntilIdle();
    pad->click();
    EXPECT_EQ(*reports, (Reports{"1 down", "1 up", "2 down", "2 up"}));
}

TEST_F(ClickableViewTest, TheReleaseEndingADragIsNotReported) {
    const auto pad = std::dynamic_pointer_cast<ClickableDraggableView>(show(true));
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->dragged, std::nullopt);

    pad->mouseDown(*down);
    pad->mouseDragged(*drag);
    pad->mouseDragged(*drag);
    pad->mouseUp(*up);
    EXPECT_EQ(*reports, (Reports{"1 down"}));
    EXPECT_EQ(pad->dragged, false);

    pad->click();
    EXPECT_EQ(*reports, (Reports{"1 down", "1 down", "1 up"}));
}

TEST_F(ClickableViewTest, EventsDeliveredAlongTheResponderChainEndAtThePad) {
    for (const bool draggable : {false, true}) {
        reports->clear();
        const auto pad = show(draggable);
        ASSERT_NE(pad, nullptr);
        const auto next = std::make_shared<NextResponder>();
        pad->setNextResponder(next);
        platform::NSResponder& responder = *pad;

        responder.mouseDown(*down);
        responder.mouseUp(*up);
        EXPECT_EQ(*reports, (Reports{"1 down", "1 up"})) << "draggable " << draggable;
        responder.mouseDown(*down);
        responder.mouseDragged(*drag);
        responder.mouseUp(*up);
        EXPECT_EQ(reports->size(), draggable ? 3U : 4U) << "the release ending a drag";
        EXPECT_TRUE(next->passed.empty()) << "draggable " << draggable;
    }
}

} // namespace
} // namespace zestrel
