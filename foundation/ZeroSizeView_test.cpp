#include "foundation/ZeroSizeView.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;

class Counter final : public pf::combine::ObservableObject {
public:
    pf::combine::Published<int> count{*this, 0};
};

// A label beside an unseen helper view; the counter re-evaluates it.
struct Row {
    std::shared_ptr<Counter> counter;
    ui::View body(ui::ViewContext& context) const {
        const int count = context.observe(counter)->count.get();
        return ui::View(ui::View::Build([count](ui::ViewContext& inner, ui::Nodes& into) {
            ui::Text("Row " + std::to_string(count)).build(inner, into);
            ui::ViewContext helper = inner.child("helper");
            ui::View(ZeroSizeView{}).build(helper, into);
        }));
    }
};

TEST(ZeroSizeViewTest, HoldsOneEmptyViewThatAsksForNoRoom) {
    pf::testing::TestEnvironment environment;
    auto host = ui::ViewHost::make(ZeroSizeView{});
    EXPECT_EQ(host->outline(), "NSViewRepresentable \"XViewType\"\n");
    const auto node = host->find("XViewType");
    ASSERT_NE(node, nullptr);
    const auto view = std::dynamic_pointer_cast<XViewType>(node->platformView);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->frame(), pf::CGRect{});
    EXPECT_EQ(view->intrinsicContentSize(), (pf::CGSize{0, 0}));
}

TEST(ZeroSizeViewTest, TheViewIsMadeOnceForItsPlace) {
    pf::testing::TestEnvironment environment;
    const auto counter = std::make_shared<Counter>();
    auto host = ui::ViewHost::make(Row{counter});
    const auto first = host->find("XViewType")->platformView;
    ASSERT_NE(first, nullptr);
    counter->count = 1;
    host->update();
    ASSERT_NE(host->find("Row 1"), nullptr);
    EXPECT_EQ(host->find("XViewType")->platformView, first);
}

} // namespace
} // namespace zestrel
