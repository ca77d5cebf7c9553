#include "ui/TooltipModifier.h"

#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zestrel {
namespace {

using namespace platform::swiftui;
using namespace std::chrono_literals;

// An anchor with a tooltip, in a window whose active state a button switches.
struct Screen {
    View body(ViewContext& context) const {
        const auto state = context.state<ControlActiveState>("state", ControlActiveState::key);
        return VStack({Button("Deactivate", [state] { state.set(ControlActiveState::inactive); }),
                       tooltip(Text("Anchor"), "Tip")})
            .environment([value = state.get()](EnvironmentValues& values) {
                values.controlActiveState = value;
            });
    }
};

class TooltipModifierTest : public ::testing::Test {
protected:
    bool tipShown() const { return host->find("Tip") != nullptr; }

    platform::testing::TestEnvironment env;
    std::shared_ptr<ViewHost> host = ViewHost::make(Screen{});
};

TEST_F(TooltipModifierTest, ShowsOnlyAfterThePointerRestsAndHidesAfterItLeaves) {
    host->hover("Anchor", true);
    env.advance(300ms);
    EXPECT_FALSE(tipShown());
    env.advance(50ms);
    EXPECT_TRUE(tipShown());
    const auto& modifiers = host->find("Tip")->modifiers;
    EXPECT_EQ(modifiers.front().argument, "system(size: 13, weight: regular)");
    const auto has = [&modifiers](const Modifier& wanted) {
        return std::find(modifiers.begin(), modifiers.end(), wanted) != modifiers.end();
    };
    // Wrapped by the kit's multi-line width rule, not a bare frame.
    EXPECT_TRUE(has({"fixedSize", "horizontal: false, vertical: true"}));
    EXPECT_TRUE(has({"frame", "maxWidth: 300"}));
    // The popover does not take the anchor's colour and font.
    EXPECT_TRUE(has({"foregroundColor", "nil"}));
    EXPECT_TRUE(has({"font", "nil"}));

    host->hover("Anchor", false);
    env.advance(300ms);
    EXPECT_TRUE(tipShown()) << "leaving the anchor hides only after the delay";
    env.advance(50ms);
    EXPECT_FALSE(tipShown());

    // Passing across the anchor in less than the delay shows nothing, even when the task of
    // the entry falls due.
    host->hover("Anchor", true);
    env.advance(200ms);
    host->hover("Anchor", false);
    env.advance(1s);
    EXPECT_FALSE(tipShown());
}

TEST_F(TooltipModifierTest, PointerInThePopoverKeepsItUntilItLeavesThePopover) {
    host->hover("Anchor", true);
    env.advance(350ms);
    host->hover("Anchor", false);
    env.advance(100ms);
    ASSERT_TRUE(host->hover("Tip", true));
    env.advance(1s);
    EXPECT_TRUE(tipShown()) << "entering the popover cancels the pending hide";

    host->hover("Tip", false);
    env.runUntilIdle();
    EXPECT_FALSE(tipShown()) << "leaving the popover hides it at once";
}

TEST_F(TooltipModifierTest, InactiveWindowHidesTheTooltip) {
    host->hover("Anchor", true);
    env.advance(350ms);
    ASSERT_TRUE(tipShown());
    host->click("Deactivate");
    env.runUntilIdle();
    EXPECT_FALSE(tipShown());
}

} // namespace
} // namespace zestrel
