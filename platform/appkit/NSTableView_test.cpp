#include "platform/appkit/NSTableView.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/CGEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

constexpr std::uint16_t kDown = 125, kUp = 126;

struct Names : NSTableViewDataSource {
    std::int64_t numberOfRows(const NSTableView& /*table*/) override {
        return static_cast<std::int64_t>(names.size());
    }
    Value objectValue(const NSTableView& /*table*/, const NSTableColumn* /*column*/,
                      std::int64_t row) override {
        return Value(names.at(static_cast<std::size_t>(row)));
    }
    std::vector<std::string> names;
};

// A table of 19-point rows in a scroll view that shows five of them, the top one from
// window y 95 down.
class NSTableViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(scrollView);
        scrollView->setDocumentView(table);
        table->setDataSource(names);
        rows(8);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(table);
    }
    void rows(int count) {
        names->names.clear();
        for (int i = 0; i < count; ++i) {
            names->names.push_back("Row " + std::to_string(i));
        }
        table->reloadData();
    }
    void press(std::uint16_t keyCode) {
        window->sendEvent(
            *NSEvent::eventWithCGEvent(CGEventCreateKeyboardEvent(nullptr, keyCode, true)));
    }
    static std::shared_ptr<NSEvent> clickAt(CGFloat windowY) {
        return NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown, CGPoint{50, windowY});
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    std::shared_ptr<NSScrollView> scrollView =
        std::make_shared<NSScrollView>(CGRect{0, 0, 200, 95});
    std::shared_ptr<NSTableView> table = std::make_shared<NSTableView>();
    std::shared_ptr<Names> names = std::make_shared<Names>();
};

TEST_F(NSTableViewTest, ArrowKeysMoveTheSelectionOneRowAndScrollItIntoView) {
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 0) << "from none, down starts at the top";
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 1);
    press(kUp);
    press(kUp);
    EXPECT_EQ(table->selectedRow(), 0) << "and stops there";

    table->deselectAll();
    press(kUp);
    EXPECT_EQ(table->selectedRow(), 7) << "from none, up starts at the bottom";
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 8 * 19 - 95}));
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 7);

    rows(0);
    press(kDown);
    EXPECT_TRUE(table->selectedRowIndexes().empty());
}

TEST_F(NSTableViewTest, ClickSelectsTheRowAndSendsTheActionWithItAsTheClickedRow) {
    std::vector<std::int64_t> clicked;
    table->setAction([&](NSControl&) { clicked.push_back(table->clickedRow()); });
    table->click(clickAt(95 - 19 - 5)); // the second row
    EXPECT_EQ(table->selectedRow(), 1);
    EXPECT_TRUE(clicked.empty()) << "no target, no action";

    auto target = std::make_shared<NSObject>();
    table->setTarget(target);
    table->click(clickAt(95 - 2 * 19 - 5));
    EXPECT_EQ(clicked, std::vector<std::int64_t>{2});
    EXPECT_EQ(table->clickedRow(), -1) << "only while the action runs";

    rows(3);
    table->click(clickAt(5)); // below the last row
    EXPECT_TRUE(table->selectedRowIndexes().empty());
    EXPECT_EQ(clicked.back(), -1);
}

TEST_F(NSTableViewTest, ReloadDropsRowsThatAreGoneAndFillsItsScrollView) {
    table->selectRowIndexes({2, 6}, false);
    EXPECT_EQ(table->frame().size, CGSize({200, 8 * 19}));
    rows(4);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{2});
    EXPECT_EQ(table->selectedRow(), 2);
    EXPECT_EQ(table->frame().size.height, 95) << "as tall as what shows, rows or not";
    EXPECT_EQ(table->rowAtPoint({10, 4 * 19 + 1}), -1);
    EXPECT_EQ(table->rowAtPoint({10, 3 * 19 + 1}), 3);
    EXPECT_EQ(table->rectOfRow(4), CGRect());
    EXPECT_EQ(table->frameOfCell(0, 1), CGRect(1.5, 20, 197, 17));

    rows(20);
    table->scrollRowToVisible(19);
    rows(6);
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 6 * 19 - 95})) << "kept within the rows";
}

TEST_F(NSTableViewTest, OutlineListsTheRowsAndClicksThemAsTheUserWould) {
    rows(3);
    table->selectRowIndexes({1}, false);
    EXPECT_EQ(render(outline(*table)),
              "table\n  row \"Row 0\"\n  row \"Row 1\" [selected]\n  row \"Row 2\"\n");

    rows(20);
    std::vector<std::int64_t> clicked;
    auto target = std::make_shared<NSObject>();
    table->setTarget(target);
    table->setAction([&](NSControl&) { clicked.push_back(table->clickedRow()); });
    ASSERT_TRUE(click(outline(*table), "Row 12"));
    EXPECT_EQ(clicked, std::vector<std::int64_t>{12});
    EXPECT_EQ(table->selectedRow(), 12);
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 13 * 19 - 95})) << "scrolled into sight";
}

} // namespace
} // namespace zestrel::platform
