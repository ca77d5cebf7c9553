#include "platform/swiftui/App.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/Bundle.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/Desktop.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform::swiftui {
namespace {

class RecordingDelegate final : public NSApplicationDelegate {
public:
    std::vector<bool> reopenedWithVisibleWindows;
    bool handlesReopen = false;
    bool applicationShouldHandleReopen(NSApplication&, bool hasVisibleWindows) override {
        reopenedWithVisibleWindows.push_back(hasVisibleWindows);
        return handlesReopen;
    }
};

// Records what its initializer and its body see, in order.
class TestApp final : public App {
public:
    explicit TestApp(std::shared_ptr<std::vector<std::string>> log) : log_(std::move(log)) {
        log_->push_back("init");
        launchObserver_ = NotificationCenter::defaultCenter()->addObserver(
            NSApplicationDidFinishLaunchingNotification, Value(),
            [log = log_](const Notification&) { log->push_back("did finish launching"); });
    }
    std::vector<Scene> body() const override {
        log_->push_back("body");
        return {MenuBarExtra{"Test", "command", Binding<bool>::constant(true),
                             Button("Quit", [] { NSApp().terminate(); })}};
    }
    NSApplicationDelegateAdaptor<RecordingDelegate> appDelegate;

private:
    std::shared_ptr<std::vector<std::string>> log_;
    ObserverToken launchObserver_;
};

class AppTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

    std::shared_ptr<TestApp> launch() {
        const auto& launched = launchApp([this] { return std::make_shared<TestApp>(log); });
        return std::static_pointer_cast<TestApp>(launched.app);
    }
};

TEST_F(AppTest, TheInitializerRunsBeforeTheScenesAndLaunchingFinishesAfterThem) {
    EXPECT_EQ(launchedApp(), nullptr);
    const auto app = launch();
    EXPECT_EQ(*log, (std::vector<std::string>{"init", "body", "did finish launching"}));
    EXPECT_EQ(NSApp().delegate(), app->appDelegate.wrappedValue());
    ASSERT_NE(launchedApp(), nullptr);
    EXPECT_NE(launchedApp()->scenes->menuBarItem(), nullptr);
    // Once a process.
    EXPECT_EQ(launch(), app);
    EXPECT_EQ(log->size(), 3u);
}

TEST_F(AppTest, OpeningTheRunningAppAgainAsksItsDelegateWhetherWindowsAreVisible) {
    const auto app = launch();
    const auto& delegate = *app->appDelegate.wrappedValue();
    const auto own = env.desktop().ownApplication();
    ASSERT_NE(own, nullptr);
    // Opened again from the Finder: the workspace's launch of a running app reopens it.
    env.desktop().launch(*own->bundleIdentifier(), true);
    env.runUntilIdle();
    EXPECT_EQ(delegate.reopenedWithVisibleWindows, std::vector<bool>{false});
    EXPECT_EQ(env.desktop().frontmostApplication(), own);

    const auto window =
        std::make_shared<NSWindow>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(env.desktop().reopen(own->processIdentifier()));
    env.runUntilIdle();
    EXPECT_EQ(delegate.reopenedWithVisibleWindows, (std::vector<bool>{false, true}));
    EXPECT_EQ(NSApp().reopenCount(), 2u);
}

TEST_F(AppTest, LeftToTheApplicationAReopenBringsBackAMinimizedWindow) {
    const auto app = launch();
    app->appDelegate.wrappedValue()->handlesReopen = true;
    const auto window = std::make_shared<NSWindow>(
        CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled | NSWindow::StyleMask::miniaturizable);
    window->makeKeyAndOrderFront();
    window->miniaturize();
    ASSERT_FALSE(window->isVisible());
    env.desktop().reopen(env.desktop().ownApplication()->processIdentifier());
    env.runUntilIdle();
    EXPECT_TRUE(window->isVisible());
}

// The environment a view is built in, as it reads it.
struct ActivityProbe {
    View body(ViewContext& context) const {
        const auto& environment = context.environment();
        const char* state = environment.controlActiveState == ControlActiveState::key ? "key"
                            : environment.controlActiveState == ControlActiveState::active
                                ? "active"
                                : "inactive";
        const char* phase = environment.scenePhase == ScenePhase::active ? "active" : "inactive";
        return Text(std::string(state) + " " + phase);
    }
};

TEST_F(AppTest, TheActiveStateFollowsTheKeyWindowAndTheApplication) {
    launch();
    NSApp().activate();
    const auto make = [] {
        auto window =
            std::make_shared<NSWindow>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
        window->setContentViewController(std::make_shared<NSHostingController>(ActivityProbe{}));
        return window;
    };
    const auto text = [](const std::shared_ptr<NSWindow>& window) {
        const auto view = std::static_pointer_cast<NSHostingView>(window->contentView());
        return view->host()->nodes().front()->children.front()->label;
    };
    const auto first = make();
    first->makeKeyAndOrderFront();
    EXPECT_EQ(text(first), "key active");
    const auto second = make();
    second->makeKeyAndOrderFront();
    EXPECT_EQ(text(first), "active active");
    EXPECT_EQ(text(second), "key active");
    // Another application comes to the front: this one resigns.
    env.desktop().activate(env.finder()->processIdentifier());
    EXPECT_FALSE(NSApp().isActive());
    EXPECT_EQ(text(second), "inactive inactive");
    env.desktop().activate(env.desktop().ownApplication()->processIdentifier());
    EXPECT_TRUE(NSApp().isActive());
    EXPECT_EQ(text(second), "key active");
}

} // namespace
} // namespace zestrel::platform::swiftui
