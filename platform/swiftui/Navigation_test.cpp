#include "platform/swiftui/Navigation.h"

#include "platform/appkit/QLPreviewPanel.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Presentation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace zestrel::platform::swiftui {
namespace {

class NavigationTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
};

// A folder page: its name, and a link to each of its subfolders (a/b/c...), built lazily.
struct FolderPage {
    std::string path;
    std::shared_ptr<int> built;
    View body(ViewContext&) const {
        ++*built;
        const std::string next =
            path + "/" + std::string(1, static_cast<char>('a' + path.size() / 2));
        return NavigationStack(VStack(
            {Text("In " + path), NavigationLink(Text("Open " + next), FolderPage{next, built})}));
    }
};

TEST_F(NavigationTest, ALinkPushesItsDestinationOnlyWhenFollowedAndBackGoesOneStep) {
    const auto built = std::make_shared<int>(0);
    auto host = ViewHost::make(FolderPage{"", built});
    EXPECT_EQ(*built, 1); // the destination is not built with the link
    EXPECT_EQ(host->find("Back"), nullptr);

    ASSERT_TRUE(host->click("Open /a"));
    host->update();
    ASSERT_NE(host->find("In /a"), nullptr);
    EXPECT_EQ(host->find("In "), nullptr); // the root is not shown under the pushed page
    // The page's own stack is inside the first: its links push onto the same path.
    ASSERT_TRUE(host->click("Open /a/b"));
    host->update();
    ASSERT_NE(host->find("In /a/b"), nullptr);

    ASSERT_TRUE(host->click("Back"));
    host->update();
    EXPECT_NE(host->find("In /a"), nullptr);
    EXPECT_EQ(host->find("In /a/b"), nullptr);
    ASSERT_TRUE(host->click("Back"));
    host->update();
    EXPECT_NE(host->find("In "), nullptr);
    EXPECT_EQ(host->find("Back"), nullptr);
}

// A row with a counter of its own, to see which row keeps which state.
struct CountingRow {
    std::string name;
    View body(ViewContext& context) const {
        const auto count = context.state<int>("count", 0);
        return Button(name + " " + std::to_string(count.get()),
                      [count] { count.set(count.get() + 1); });
    }
};

TEST_F(NavigationTest, RowsKeepTheirStateByIdentityAndDeleteHandsOverTheirOffset) {
    auto names = std::make_shared<std::vector<std::string>>(
        std::vector<std::string>{"/x/a", "/x/a/b", "/y"});
    struct Screen {
        std::shared_ptr<std::vector<std::string>> names;
        View body(ViewContext& context) const {
            const auto refresh = context.state<int>("refresh", 0);
            std::vector<ListRow> rows;
            for (const auto& name : *names) {
                rows.push_back({name, CountingRow{name}});
            }
            return List(rows, [names = names, refresh](const std::vector<std::size_t>& offsets) {
                for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
                    names->erase(names->begin() + static_cast<std::ptrdiff_t>(*it));
                }
                refresh.set(refresh.get() + 1);
            });
        }
    };
    auto host = ViewHost::make(Screen{names});
    ASSERT_TRUE(host->click("/x/a/b 0"));
    host->update();
    ASSERT_NE(host->find("/x/a/b 1"), nullptr);
    // Deleting the first row: the others keep their counts, a path's prefix being no kin.
    const auto list = visibleNodes(host->nodes()).front();
    ASSERT_EQ(list->kind, "List");
    const auto remove = list->children.front()->children.back();
    ASSERT_EQ(remove->label, "Delete");
    remove->action();
    host->update();
    EXPECT_EQ(*names, (std::vector<std::string>{"/x/a/b", "/y"}));
    EXPECT_NE(host->find("/x/a/b 1"), nullptr);
    EXPECT_NE(host->find("/y 0"), nullptr);
}

TEST_F(NavigationTest, ASelectionListMarksAndChoosesRows) {
    std::optional<std::string> selection = "b";
    const Binding<std::optional<std::string>> binding(
        [&] { return selection; },
        [&](const std::optional<std::string>& value) { selection = value; });
    auto host = ViewHost::make(List(binding, {{"a", Text("Alpha")}, {"b", Text("Beta")}}));
    EXPECT_EQ(host->outline(), "list\n"
                               "  row \"Alpha\"\n"
                               "    text \"Alpha\"\n"
                               "  row \"Beta\" [selected]\n"
                               "    text \"Beta\"\n");
    ASSERT_TRUE(host->click("Alpha"));
    EXPECT_EQ(selection, "a");
}

TEST_F(NavigationTest, ATimelineRebuildsEverySecondWhileShown) {
    auto shown = std::make_shared<bool>(true);
    auto evaluations = std::make_shared<int>(0);
    struct Screen {
        std::shared_ptr<bool> shown;
        std::shared_ptr<int> evaluations;
        View body(ViewContext& context) const {
            const auto visible = context.state<bool>("visible", true);
            *shown = visible.get();
            if (!visible.get()) {
                return Button("Show", [visible] { visible.set(true); });
            }
            return VStack({Button("Hide", [visible] { visible.set(false); }),
                           TimelineView(std::chrono::seconds(1), [evaluations = evaluations](Date) {
                               ++*evaluations;
                               return Text("tick");
                           })});
        }
    };
    auto host = ViewHost::make(Screen{shown, evaluations});
    EXPECT_EQ(*evaluations, 1);
    env.advance(std::chrono::milliseconds(3500));
    EXPECT_EQ(*evaluations, 4);
    ASSERT_TRUE(host->click("Hide"));
    env.runUntilIdle();
    env.advance(std::chrono::seconds(5));
    EXPECT_EQ(*evaluations, 4); // its timer went with it
}

TEST_F(NavigationTest, QuickLookPreviewsTheItemOnceAndClosingClearsIt) {
    struct Screen {
        View body(ViewContext& context) const {
            const auto item = context.state<std::optional<URL>>("item", std::nullopt);
            return quickLookPreview(
                Button("notes.txt", [item] { item.set(URL::fileURL("/data/notes.txt")); }),
                item.binding());
        }
    };
    auto host = ViewHost::make(Screen{});
    const auto panel = QLPreviewPanel::sharedPreviewPanel();
    EXPECT_FALSE(panel->isVisible());
    ASSERT_TRUE(host->click("notes.txt"));
    host->update();
    host->update();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->title(), "notes.txt");
    EXPECT_EQ(QLPreviewPanel::previewedURLs().size(), 1u);
    panel->close();
    host->update();
    EXPECT_FALSE(panel->previewItemURL().has_value());
    // Cleared: the same file previews again.
    ASSERT_TRUE(host->click("notes.txt"));
    host->update();
    EXPECT_EQ(QLPreviewPanel::previewedURLs().size(), 2u);
}

} // namespace
} // namespace zestrel::platform::swiftui
