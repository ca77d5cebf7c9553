#include "platform/appkit/NSAnimationContext.h"

#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

class NSAnimationContextTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    std::shared_ptr<NSWindow> window = std::make_shared<NSWindow>(
        CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
};

TEST_F(NSAnimationContextTest, AnimatedChangeLandsWhenTheDurationHasPassedThenTheCompletionRuns) {
    window->setAlphaValue(0);
    bool completed = false;
    NSAnimationContext::runAnimationGroup(
        [&](NSAnimationContext& context) {
            context.setDuration(0.5);
            EXPECT_EQ(NSAnimationContext::current(), &context);
            animator(window).setAlphaValue(1);
        },
        [&] {
            EXPECT_EQ(window->alphaValue(), 1.0); // the change has landed before
            completed = true;
        });
    EXPECT_EQ(NSAnimationContext::current(), nullptr);
    env.advance(499ms);
    EXPECT_EQ(window->alphaValue(), 0.0);
    EXPECT_FALSE(completed);
    env.advance(1ms);
    EXPECT_EQ(window->alphaValue(), 1.0);
    EXPECT_TRUE(completed);
}

TEST_F(NSAnimationContextTest, NoDurationLandsOnTheNextTurnAndNoGroupAtOnce) {
    bool completed = false;
    NSAnimationContext::runAnimationGroup(
        [&](NSAnimationContext& context) {
            context.setDuration(0);
            animator(window).setAlphaValue(0.5);
        },
        [&] { completed = true; });
    EXPECT_EQ(window->alphaValue(), 1.0);
    env.runUntilIdle();
    EXPECT_EQ(window->alphaValue(), 0.5);
    EXPECT_TRUE(completed);

    animator(window).setAlphaValue(0.25);
    EXPECT_EQ(window->alphaValue(), 0.25);
}

TEST_F(NSAnimationContextTest, AWindowGoneBeforeTheChangeLandsIsLeftAlone) {
    NSAnimationContext::runAnimationGroup([&](NSAnimationContext& context) {
        context.setDuration(1e300); // clamped, not overflowed
        animator(window).setAlphaValue(0);
    });
    window.reset();
    env.runUntilIdle();
    SUCCEED();
}

TEST_F(NSAnimationContextTest, ReduceMotionIsTheDesktopUsersSetting) {
    EXPECT_FALSE(NSWorkspace::shared()->accessibilityDisplayShouldReduceMotion());
    Desktop::current()->setReduceMotion(true);
    EXPECT_TRUE(NSWorkspace::shared()->accessibilityDisplayShouldReduceMotion());
}

TEST_F(NSAnimationContextTest, SharingPickerShowingsAreRecordedWithTheirWindow) {
    auto content = std::make_shared<NSView>();
    window->setTitle("Share");
    window->setContentView(content);
    NSSharingServicePicker picker({*URL::parse("https://example.com/app"), "text"});
    picker.showRelativeToRect({}, content, NSRectEdge::minY);
    NSSharingServicePicker({"alone"}).showRelativeToRect({}, nullptr, NSRectEdge::maxX);
    EXPECT_EQ(NSSharingServicePicker::showings(),
              (std::vector<NSSharingServicePicker::Showing>{
                  {{"https://example.com/app", "text"}, "Share"}, {{"alone"}, ""}}));
}

} // namespace
} // namespace zestrel::platform
