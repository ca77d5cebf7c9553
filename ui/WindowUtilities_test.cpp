#include "ui/WindowUtilities.h"

#include "platform/appkit/NSApplication.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/WindowServer.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using namespace platform;

std::shared_ptr<NSWindow> titledWindow() {
    auto window = std::make_shared<NSWindow>(
        CGRect(100, 100, 300, 200), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    window->setContentView(std::make_shared<NSView>());
    window->setReleasedWhenClosed(false);
    return window;
}

// A delegate that refuses to let its window close.
struct Refusing final : NSWindowDelegate {
    bool windowShouldClose(NSWindow&) override { return false; }
};

TEST(WindowToggleTest, ToggleClosesOnlyAKeyWindowAndBringsAnyOtherForward) {
    testing::TestEnvironment env;
    NSApp().setActivationPolicy(NSApplication::ActivationPolicy::accessory);
    auto window = titledWindow();
    auto other = titledWindow();
    window->makeKeyAndOrderFront();
    other->makeKeyAndOrderFront();
    ASSERT_FALSE(window->isKeyWindow());

    toggle(*window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isKeyWindow()) << "a visible window that is not key comes forward";
    EXPECT_TRUE(NSApp().isActive());
    toggle(*window);
    EXPECT_FALSE(window->isVisible());

    auto refusing = std::make_shared<Refusing>();
    window->setDelegate(refusing);
    toggle(*window);
    toggle(*window);
    EXPECT_TRUE(window->isVisible()) << "toggle asks the delegate";
    toggle2(*window, false);
    EXPECT_TRUE(window->isVisible());
    toggle2(*window, true);
    EXPECT_FALSE(window->isVisible()) << "a forced close does not ask";
    toggle2(*window, true);
    EXPECT_TRUE(window->isKeyWindow());

    auto panel = QLPreviewPanel::sharedPreviewPanel();
    toggle(*panel);
    EXPECT_TRUE(panel->isVisible());
    toggle(*panel);
    EXPECT_FALSE(panel->isVisible());
}

TEST(WindowLevelTest, NamedLevelsFollowTheWindowServer) {
    testing::TestEnvironment env;
    EXPECT_EQ(WindowLevel::desktop().rawValue, kCGDesktopWindowLevel);
    EXPECT_LT(WindowLevel::desktop(), WindowLevel::desktopIcon());
    EXPECT_LT(WindowLevel::backstopMenu(), NSWindow::Level::normal);
    EXPECT_GT(WindowLevel::overlay(), NSWindow::Level::popUpMenu);
    EXPECT_GT(WindowLevel::shielding(), WindowLevel::assistiveTechHigh());
    EXPECT_LT(WindowLevel::shielding(), WindowLevel::maximum());
}

TEST(PausableWindowTest, PausedWindowIgnoresTypingButStillHearsModifierChanges) {
    testing::TestEnvironment env;
    auto window = std::make_shared<UserInteractionPausableWindow>(CGRect(0, 0, 100, 100),
                                                                  NSWindow::StyleMask::titled);
    auto keyDown = NSEvent::eventWithCGEvent(CGEventCreateKeyboardEvent(nullptr, 0, true));
    auto flags = NSEvent::eventWithCGEvent(CGEventCreateKeyboardEvent(nullptr, 56, true));
    window->sendEvent(*keyDown);
    EXPECT_EQ(window->deliveredEventCount(), 1);

    window->isUserInteractionEnabled = false;
    window->sendEvent(*keyDown);
    EXPECT_EQ(window->deliveredEventCount(), 1);
    ASSERT_EQ(flags->type(), NSEvent::EventType::flagsChanged);
    window->sendEvent(*flags);
    EXPECT_EQ(window->deliveredEventCount(), 2);
    // Clicks and scrolling are user input; pointer movement and entering are not.
    EXPECT_TRUE(UserInteractionPausableWindow::isUserInput(1));   // left mouse down
    EXPECT_TRUE(UserInteractionPausableWindow::isUserInput(22));  // scroll wheel
    EXPECT_FALSE(UserInteractionPausableWindow::isUserInput(5));  // mouse moved
    EXPECT_FALSE(UserInteractionPausableWindow::isUserInput(8));  // mouse entered
    EXPECT_FALSE(UserInteractionPausableWindow::isUserInput(12)); // flags changed
    EXPECT_FALSE(window->respondsToAction("toggleToolbarShown:"));
}

TEST(WindowResizeObserverViewTest, HearsOnlyItsCurrentWindowAndOnlyOnce) {
    testing::TestEnvironment env;
    auto first = titledWindow();
    auto second = titledWindow();
    auto view = std::make_shared<WindowResizeObserverView>();
    int resizes = 0;
    view->onResize = [&] { ++resizes; };

    first->contentView()->addSubview(view);
    view->viewDidMoveToWindow(); // told again about the same window: still one registration
    first->setFrame(CGRect(100, 100, 400, 300));
    EXPECT_EQ(resizes, 1);

    second->contentView()->addSubview(view);
    first->setFrame(CGRect(100, 100, 500, 300));
    EXPECT_EQ(resizes, 1) << "the earlier window is no longer heard";
    second->setFrame(CGRect(100, 100, 500, 300));
    EXPECT_EQ(resizes, 2);
    NotificationCenter::defaultCenter()->post(NSWindowDidEnterFullScreenNotification,
                                              Value(second));
    EXPECT_EQ(resizes, 3);

    view->removeFromSuperview();
    second->setFrame(CGRect(100, 100, 600, 300));
    EXPECT_EQ(resizes, 3);
}

TEST(SmallWindowViewsTest, QVViewAnnouncesItsFirstArrivalsOnly) {
    testing::TestEnvironment env;
    auto view = std::make_shared<QVView>();
    EXPECT_TRUE(view->layer()->masksToBounds());
    int superviews = 0;
    int appearances = 0;
    auto s1 = view->didMoveToSuperviewPublisher().sink([&](std::monostate) { ++superviews; });
    auto s2 = view->didAppearPublisher().sink([&](std::monostate) { ++appearances; });
    auto first = titledWindow();
    auto second = titledWindow();
    first->contentView()->addSubview(view);
    second->contentView()->addSubview(view);
    EXPECT_EQ(superviews, 1);
    EXPECT_EQ(appearances, 1);

    auto host = std::make_shared<LayerHostingView>();
    host->setLayer(std::make_shared<CALayer>());
    EXPECT_TRUE(host->wantsLayer());
    host->setLayer(nullptr);
    EXPECT_FALSE(host->wantsLayer());
    EXPECT_EQ(std::make_shared<LabelButton>()->hitTest(CGPoint{}), nullptr);
}

TEST(AnimationDelegateTest, KeyframeAnimationTellsItsStartAndHowItStopped) {
    testing::TestEnvironment env;
    auto layer = std::make_shared<CALayer>();
    std::vector<std::string> heard;
    const auto delegateFor = [&heard](std::string name) {
        auto delegate = std::make_shared<QVCAAnimationDelegate>();
        delegate->didStartHandler = [&heard, name] { heard.push_back(name + " started"); };
        delegate->didStopHandler = [&heard, name](bool finished) {
            heard.push_back(name + (finished ? " finished" : " cut short"));
        };
        return delegate;
    };
    const auto animation = [](std::shared_ptr<CAAnimationDelegate> delegate) {
        auto made = CAKeyframeAnimation::animationWithKeyPath("transform.translation.x");
        made->duration = 0.3;
        made->delegate = std::move(delegate);
        return made;
    };

    // The animation keeps its delegate: the caller need not.
    layer->addAnimation(animation(delegateFor("shake")));
    EXPECT_TRUE(heard.empty()) << "told on the main queue, not inside addAnimation";
    env.runUntilIdle();
    env.advance(std::chrono::milliseconds(300));
    EXPECT_EQ(heard, (std::vector<std::string>{"shake started", "shake finished"}));

    heard.clear();
    layer->addAnimation(animation(delegateFor("first")), "nudge");
    env.advance(std::chrono::milliseconds(100));
    layer->addAnimation(animation(delegateFor("second")), "nudge"); // replaces the first
    env.advance(std::chrono::milliseconds(100));
    layer->removeAllAnimations();
    env.advance(std::chrono::seconds(1));
    EXPECT_EQ(heard, (std::vector<std::string>{"first started", "first cut short", "second started",
                                               "second cut short"}));
}

TEST(ResponderTest, ChainRunsFromTheResponderOutAndTheFirstResponderCanBeCaptured) {
    testing::TestEnvironment env;
    EXPECT_EQ(captureFirstResponder(), nullptr);
    auto window = titledWindow();
    auto field = std::make_shared<NSTextField>();
    window->contentView()->addSubview(field);
    window->makeKeyAndOrderFront();
    EXPECT_EQ(captureFirstResponder(), window);
    window->makeFirstResponder(field);
    EXPECT_EQ(captureFirstResponder(), field);

    const auto chain = responderChain(field);
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[1], window->contentView());
    EXPECT_EQ(chain[2], window);
}

} // namespace
} // namespace zestrel
