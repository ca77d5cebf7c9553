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

class ClickableViewTest : public ::testing::Test {
protected:
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

    pad->mouseDown(nullptr);
    pad->mouseDragged(nullptr);
    pad->mouseDragged(nullptr);
    pad->mouseUp(nullptr);
    EXPECT_EQ(*reports, (Reports{"1 down"}));
    EXPECT_EQ(pad->dragged, false);

    pad->click();
    EXPECT_EQ(*reports, (Reports{"1 down", "1 down", "1 up"}));
}

} // namespace
} // namespace zestrel
