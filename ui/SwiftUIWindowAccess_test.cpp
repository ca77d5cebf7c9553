#include "ui/SwiftUIWindowAccess.h"

#include "foundation/ErrorRecoveryAttempter.h"
#include "foundation/Logger.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using namespace platform;
using platform::swiftui::Binding;
using platform::swiftui::NSHostingController;
using platform::swiftui::Text;
using platform::swiftui::View;

class SwiftUIWindowAccessTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> window = makeWindow("Main");

    static std::shared_ptr<NSWindow> makeWindow(std::string title) {
        auto made = std::make_shared<NSWindow>(
            CGRect(0, 0, 200, 200), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable |
                                        NSWindow::StyleMask::miniaturizable);
        made->setTitle(std::move(title));
        made->setReleasedWhenClosed(false);
        return made;
    }
};

TEST_F(SwiftUIWindowAccessTest, AccessorFollowsTheViewIntoAndOutOfItsWindow) {
    auto seen = std::make_shared<std::shared_ptr<NSWindow>>();
    const WindowBinding binding([seen] { return *seen; },
                                [seen](const std::shared_ptr<NSWindow>& w) { *seen = w; });
    auto controller = std::make_shared<NSHostingController>(WindowAccessor(binding));
    window->setContentViewController(controller);
    EXPECT_EQ(*seen, window);
    window->setContentViewController(nullptr);
    EXPECT_EQ(*seen, nullptr) << "leaving the window clears the binding";
}

TEST_F(SwiftUIWindowAccessTest, ModifierSeesNoWindowFirstThenTheWindowOnceShownThere) {
    auto seen = std::make_shared<std::vector<std::string>>();
    const View view = windowViewModifier(Text("Hello"), [seen](const std::shared_ptr<NSWindow>& w) {
        seen->push_back(w ? w->title() : "none");
    });
    auto controller = std::make_shared<NSHostingController>(view);
    window->setContentViewController(controller);
    env.runUntilIdle();
    ASSERT_GE(seen->size(), 2U);
    EXPECT_EQ(seen->front(), "none");
    EXPECT_EQ(seen->back(), "Main");
    window->setContentViewController(nullptr);
    controller.reset();
    env.runUntilIdle();
}

TEST_F(SwiftUIWindowAccessTest, WindowSettingsReachTheWindowOnceItIsKnown) {
    const View view = windowIsMiniaturizable(
        windowIsRestorable(windowLevel(Text("Panel"), NSWindow::Level::floating), false), false);
    window->setContentViewController(std::make_shared<NSHostingController>(view));
    env.runUntilIdle();
    EXPECT_EQ(window->level(), NSWindow::Level::floating);
    EXPECT_FALSE(window->isRestorable());
    EXPECT_FALSE(window->styleMask().contains(NSWindow::StyleMask::miniaturizable));
    EXPECT_TRUE(window->styleMask().contains(NSWindow::StyleMask::closable));
    window->setContentViewController(nullptr);
    env.runUntilIdle();
}

Error errorWith(Value::Dictionary info) {
    return NSError::make("Test", 7, std::move(info));
}

TEST(ErrorAlertContentTest, MessageLeavesOutAFailureReasonTheDescriptionAlreadyHolds) {
    const auto separate =
        errorAlertContent(errorWith({{NSLocalizedDescriptionKey, "Export failed"},
                                     {NSLocalizedFailureReasonErrorKey, "Disk full"},
                                     {NSLocalizedRecoverySuggestionErrorKey, "Free space"}}));
    EXPECT_EQ(separate.title, "Export failed");
    EXPECT_EQ(separate.message, "Disk full\n\nFree space");

    // Without a description of its own the description is built from the reason.
    const auto contained =
        errorAlertContent(errorWith({{NSLocalizedFailureReasonErrorKey, "Disk full"},
                                     {NSLocalizedRecoverySuggestionErrorKey, "Free space"}}));
    EXPECT_EQ(contained.message, "Free space");
    EXPECT_EQ(
        errorAlertContent(errorWith({{NSLocalizedFailureReasonErrorKey, "Disk full"}})).message,
        std::nullopt);
}

TEST(ErrorAlertContentTest, RecoveryButtonsNeedBothOptionsAndAnAttempter) {
    const Value::Array options{Value("Retry"), Value("Skip")};
    EXPECT_TRUE(errorAlertContent(errorWith({{NSLocalizedRecoveryOptionsErrorKey, options}}))
                    .buttons.empty());

    auto chosen = std::make_shared<int>(-1);
    auto attempter = std::make_shared<ErrorRecoveryAttempter>(
        std::vector<ErrorRecoveryAttempter::Option>{{"Retry",
                                                     [chosen] {
                                                         *chosen = 0;
                                                         return true;
                                                     }},
                                                    {"Skip", [chosen] {
                                                         *chosen = 1;
                                                         return true;
                                                     }}});
    const Error error =
        errorWith({{NSLocalizedRecoveryOptionsErrorKey, options},
                   {NSRecoveryAttempterErrorKey, std::shared_ptr<NSObject>(attempter)}});
    EXPECT_EQ(errorAlertContent(error).buttons,
              (std::vector<std::string>{"Retry", "Skip", "Cancel"}));

    // Through the alert: the second option reaches the attempter and closes the alert.
    testing::TestEnvironment env;
    auto shown = std::make_shared<std::optional<Error>>(error);
    const Binding<std::optional<Error>> binding(
        [shown] { return *shown; }, [shown](const std::optional<Error>& e) { *shown = e; });
    auto host = swiftui::ViewHost::make(alertForError(Text("Body"), binding));
    EXPECT_NE(host->outline().find("Alert"), std::string::npos);
    EXPECT_TRUE(host->click("Skip"));
    EXPECT_EQ(*chosen, 1);
    EXPECT_FALSE(shown->has_value());
}

TEST(ErrorAlertTest, PresentingAnErrorLogsItOnce) {
    testing::TestEnvironment env;
    auto shown = std::make_shared<std::optional<Error>>();
    auto host = std::shared_ptr<swiftui::ViewHost>();
    struct Screen {
        std::shared_ptr<std::optional<Error>> shown;
        View body(swiftui::ViewContext& context) const {
            const auto error = context.state<std::optional<Error>>("error", std::nullopt);
            return alertForError(
                swiftui::Button("Fail",
                                [error] {
                                    error.set(errorWith({{NSLocalizedDescriptionKey, "Boom"}}));
                                }),
                error.binding());
        }
    };
    host = swiftui::ViewHost::make(Screen{shown});
    const auto mark = logBuffer().mark();
    ASSERT_TRUE(host->click("Fail"));
    env.runUntilIdle();
    EXPECT_NE(host->outline().find("Boom"), std::string::npos);
    const auto lines = logBuffer().entriesSince(mark);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].rfind("\"alert(error:)\" Error Domain=Test Code=7", 0), 0U);
    EXPECT_NE(lines[0].find("[alert(error:) in"), std::string::npos);

    ASSERT_TRUE(host->click("OK"));
    env.runUntilIdle();
    EXPECT_EQ(host->outline().find("Boom"), std::string::npos);
    EXPECT_EQ(logBuffer().entriesSince(mark).size(), 1U) << "dismissing logs nothing";
}

TEST(TimelineScheduleTest, LowFrequencyTicksEveryThirtySecondsFromNow) {
    testing::TestEnvironment env;
    const EverySecondTimelineSchedule schedule;
    const auto now = currentDate();
    const auto slow = schedule.entries(now.addingTimeInterval(-500),
                                       EverySecondTimelineSchedule::Mode::lowFrequency);
    EXPECT_EQ(slow.at(0).timeIntervalSinceReferenceDate, now.timeIntervalSinceReferenceDate);
    EXPECT_EQ(slow.at(2).timeIntervalSinceReferenceDate, now.timeIntervalSinceReferenceDate + 60);
    const auto fast = schedule.entries(now, EverySecondTimelineSchedule::Mode::normal);
    EXPECT_EQ(fast.at(3).timeIntervalSinceReferenceDate, now.timeIntervalSinceReferenceDate + 3);
}

TEST(ListEditingTest, MovesAndDeletesThroughTheBinding) {
    auto items = std::make_shared<std::vector<std::string>>(
        std::vector<std::string>{"a", "b", "c", "d", "e"});
    const Binding<std::vector<std::string>> binding(
        [items] { return *items; }, [items](const std::vector<std::string>& v) { *items = v; });
    moveItems(binding, {0, 2}, 4); // before "e"
    EXPECT_EQ(*items, (std::vector<std::string>{"b", "d", "a", "c", "e"}));
    moveItems(binding, {4}, 0);
    EXPECT_EQ(*items, (std::vector<std::string>{"e", "b", "d", "a", "c"}));
    removeItems(binding, {1, 3});
    EXPECT_EQ(*items, (std::vector<std::string>{"e", "d", "c"}));
    insertItems<std::string, int>(binding, 1, {1, 2}, [](const std::vector<int>& dropped) {
        std::vector<std::string> made;
        for (int n : dropped) {
            made.push_back(std::to_string(n));
        }
        return made;
    });
    EXPECT_EQ(*items, (std::vector<std::string>{"e", "1", "2", "d", "c"}));
}

TEST(ListEditingTest, CombinedHandlersEditTheCollectionAsItIsThen) {
    auto items =
        std::make_shared<std::vector<std::string>>(std::vector<std::string>{"a", "b", "c"});
    const Binding<std::vector<std::string>> binding(
        [items] { return *items; }, [items](const std::vector<std::string>& v) { *items = v; });
    const auto editing = onMoveAndDelete(binding);
    // Changed after the handlers were made: they must see it.
    *items = {"a", "b", "c", "d"};
    editing.onMove({3}, 0);
    EXPECT_EQ(*items, (std::vector<std::string>{"d", "a", "b", "c"}));
    editing.onDelete({1, 2});
    EXPECT_EQ(*items, (std::vector<std::string>{"d", "c"}));
}

TEST(StateAccessViewTest, ContentEditsStateKeptByTheView) {
    testing::TestEnvironment env;
    auto host = swiftui::ViewHost::make(StateAccessView<bool>{
        false, [](Binding<bool> on) { return View(swiftui::Toggle("Flag", on)); }});
    EXPECT_NE(host->outline().find("[off]"), std::string::npos);
    ASSERT_TRUE(host->toggle("Flag"));
    env.runUntilIdle();
    EXPECT_NE(host->outline().find("[on]"), std::string::npos);
}

} // namespace
} // namespace zestrel
