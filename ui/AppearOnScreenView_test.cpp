#include "ui/AppearOnScreenView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"
#include "ui/NoInsetHostingView.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using platform::NSWindow;
using Events = std::vector<std::string>;

// A screen that follows whether it is on screen while its switch is on.
struct WatchedScreen {
    std::shared_ptr<Events> events;
    sui::View body(sui::ViewContext& context) const {
        const auto watching = context.state<bool>("watching", true);
        sui::View watcher;
        if (watching.get()) {
            const sui::Binding<bool> flag(
                [] { return false; },
                [events = events](const bool& on) { events->push_back(on ? "true" : "false"); });
            watcher =
                AppearOnScreenView{[events = events] { events->push_back("appear"); },
                                   [events = events] { events->push_back("disappear"); }, flag};
        }
        return sui::VStack({sui::Toggle("Watching", watching.binding())}).background(watcher);
    }
};

class AppearOnScreenViewTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<Events> events = std::make_shared<Events>();
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(platform::CGRect(0, 0, 300, 200), NSWindow::StyleMask::titled);
};

TEST_F(AppearOnScreenViewTest, ShownAndHiddenTwiceSetsTheFlagThenCallsEachTime) {
    window->setContentView(sui::NSHostingView::make(WatchedScreen{events}));
    EXPECT_TRUE(events->empty()) << "in a window that is not on screen";

    window->makeKeyAndOrderFront();
    window->orderOut();
    window->orderFront();
    window->orderFront();
    window->close();
    EXPECT_EQ(*events, (Events{"true", "appear", "false", "disappear", "true", "appear", "false",
                               "disappear"}));
}

TEST_F(AppearOnScreenViewTest, LeavingTheTreeOfAShownWindowIsLeavingTheScreen) {
    auto hosting = sui::NSHostingView::make(WatchedScreen{events});
    window->setContentView(hosting);
    window->makeKeyAndOrderFront();
    events->clear();

    ASSERT_TRUE(hosting->host()->toggle("Watching"));
    env.runUntilIdle();
    EXPECT_EQ(*events, (Events{"false", "disappear"}));
    ASSERT_TRUE(hosting->host()->toggle("Watching"));
    env.runUntilIdle();
    EXPECT_EQ(*events, (Events{"false", "disappear", "true", "appear"}));
}

TEST(NoInsetHostingViewTest, ContentRunsUnderTheTitleBarWithoutInsets) {
    platform::testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(platform::CGRect(0, 0, 300, 200),
                                             NSWindow::StyleMask::titled |
                                                 NSWindow::StyleMask::fullSizeContentView);
    auto standard = sui::NSHostingView::make(sui::Text("Hello"));
    window->setContentView(standard);
    EXPECT_EQ(standard->safeAreaInsets(),
              (platform::NSEdgeInsets{NSWindow::kTitleBarHeight, 0, 0, 0}));

    auto noInset = NoInsetHostingView::make(sui::Text("Hello"));
    window->setContentView(noInset);
    EXPECT_EQ(noInset->safeAreaInsets(), platform::NSEdgeInsets{});
    EXPECT_NE(noInset->host()->find("Hello"), nullptr);
}

} // namespace
} // namespace zestrel
