#include "platform/appkit/NSGestureRecognizer.h"

#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

class Counter final : public NSObject {
public:
    int hits = 0;
};

std::shared_ptr<NSClickGestureRecognizer> counting(const std::shared_ptr<Counter>& counter) {
    auto recognizer = std::make_shared<NSClickGestureRecognizer>();
    recognizer->setTarget(counter);
    recognizer->setAction(
        [](NSObject& target, NSGestureRecognizer&) { ++static_cast<Counter&>(target).hits; });
    return recognizer;
}

TEST(NSGestureRecognizerTest, ClickReachesTheRecognizersOfTheViewAndItsAncestorsBeforeTheView) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setContentView(std::make_shared<NSView>());
    int buttonClicks = 0;
    auto button = NSButton::withTitle("Go", [&](NSControl&) { ++buttonClicks; });
    auto label = NSTextField::labelWithString("Note");
    window->contentView()->addSubview(button);
    window->contentView()->addSubview(label);
    window->makeKeyAndOrderFront();
    EXPECT_FALSE(click(outline(*window), "Note")) << "a plain label takes no click";

    auto counter = std::make_shared<Counter>();
    auto recognizer = counting(counter);
    window->contentView()->addGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), window->contentView());
    EXPECT_TRUE(click(outline(*window), "Note"));
    EXPECT_TRUE(click(outline(*window), "Go"));
    EXPECT_EQ(counter->hits, 2);
    EXPECT_EQ(buttonClicks, 0) << "the recognizer took the button's click";

    recognizer->setEnabled(false);
    EXPECT_TRUE(click(outline(*window), "Go"));
    EXPECT_EQ(buttonClicks, 1);
    window->contentView()->removeGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), nullptr);

    // The target is not kept: a recognizer whose target is gone still takes the click.
    auto gone = counting(std::make_shared<Counter>());
    button->addGestureRecognizer(gone);
    button->click();
    EXPECT_EQ(buttonClicks, 1);
}

} // namespace
} // namespace zestrel::platform
