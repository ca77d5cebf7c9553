#include "ui/SearchField.h"

#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using Field = SearchField::CocoaSearchField;

// A query typed into a search field and shown beside it; a button sets it from outside.
struct SearchScreen {
    bool isPlainStyle = false;
    sui::View body(sui::ViewContext& context) const {
        const auto query = context.state<std::string>("query", "");
        const auto size = context.state<double>("size", 13);
        return sui::VStack({
            sui::Text("Query: " + query.get()),
            sui::Button("Show Cats", [query] { query.set("cats"); }),
            sui::Button("Larger", [size] { size.set(size.get() + 2); }),
            sui::View(SearchField(query.binding(), false, "Find", size.get(), isPlainStyle)),
        });
    }
};

class SearchFieldTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::NSWindow> window = std::make_shared<platform::NSWindow>(
        platform::CGRect(0, 0, 300, 200), platform::NSWindow::StyleMask::titled);
    std::shared_ptr<sui::NSHostingView> hosting;

    template <class Screen = SearchScreen> std::shared_ptr<Field> show(Screen screen) {
        hosting = sui::NSHostingView::make(screen);
        window->setContentView(hosting);
        window->makeKeyAndOrderFront();
        for (const auto& subview : hosting->representedViews()) {
            if (auto field = std::dynamic_pointer_cast<Field>(subview)) {
                return field;
            }
        }
        return nullptr;
    }
    std::string outline() const { return platform::render(platform::outline(*hosting)); }
};

TEST_F(SearchFieldTest, TakesTheFocusInItsWindowAndFollowsTheBindingBothWays) {
    const auto field = show({});
    ASSERT_NE(field, nullptr);
    EXPECT_NE(field->currentEditor(), nullptr) << "focused without a click";
    EXPECT_EQ(field->placeholderString(), "Find");
    EXPECT_FALSE(field->drawsBackground());
    EXPECT_EQ(field->font(), platform::NSFont::systemFont(13));
    EXPECT_EQ(field->delegate() != nullptr, true);

    field->userTypes("dogs");
    env.runUntilIdle();
    EXPECT_NE(outline().find("text \"Query: dogs\""), std::string::npos) << outline();
    EXPECT_EQ(field->stringValue(), "dogs");

    ASSERT_TRUE(hosting->host()->click("Show Cats"));
    env.runUntilIdle();
    EXPECT_EQ(field->stringValue(), "cats");
    EXPECT_NE(outline().find("text \"Query: cats\""), std::string::npos);

    ASSERT_TRUE(hosting->host()->click("Larger"));
    env.runUntilIdle();
    EXPECT_EQ(field->font(), platform::NSFont::systemFont(15)) << "the same field, updated";
}

// Two queries; the one field edits whichever is chosen.
struct TwoQueriesScreen {
    sui::View body(sui::ViewContext& context) const {
        const auto first = context.state<std::string>("first", "");
        const auto second = context.state<std::string>("second", "");
        const auto editsSecond = context.state<bool>("editsSecond", false);
        return sui::VStack({
            sui::Text("First: " + first.get()),
            sui::Text("Second: " + second.get()),
            sui::Button("Edit Second", [editsSecond] { editsSecond.set(true); }),
            sui::View(SearchField((editsSecond.get() ? second : first).binding())),
        });
    }
};

TEST_F(SearchFieldTest, TypingGoesIntoTheBindingOfTheLatestView) {
    const auto field = show(TwoQueriesScreen{});
    ASSERT_NE(field, nullptr);
    field->userTypes("cats");
    env.runUntilIdle();
    EXPECT_NE(outline().find("text \"First: cats\""), std::string::npos) << outline();

    ASSERT_TRUE(hosting->host()->click("Edit Second"));
    env.runUntilIdle();
    EXPECT_EQ(field->stringValue(), "") << "the same field, now showing the second query";
    field->userTypes("dogs");
    env.runUntilIdle();
    EXPECT_NE(outline().find("text \"Second: dogs\""), std::string::npos) << outline();
    EXPECT_NE(outline().find("text \"First: cats\""), std::string::npos) << outline();
}

TEST_F(SearchFieldTest, ThePlainStyleDropsTheFocusRingAndKeepsAPlainLayer) {
    const auto plain = show({.isPlainStyle = true});
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->focusRingType(), platform::NSFocusRingType::none);
    EXPECT_TRUE(plain->wantsLayer());
    EXPECT_NE(plain->layer(), nullptr);

    const auto standard = show({});
    EXPECT_EQ(standard->focusRingType(), platform::NSFocusRingType::defaultType);
}

} // namespace
} // namespace zestrel
