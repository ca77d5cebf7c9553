#include "ui/HoverableTableView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/desktop/CGEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;

constexpr std::uint16_t kReturn = 36, kDown = 125, kUp = 126;

struct Names : NSTableViewDataSource {
    std::int64_t numberOfRows(const NSTableView& /*table*/) override { return count; }
    Value objectValue(const NSTableView& /*table*/, const NSTableColumn* /*column*/,
                      std::int64_t row) override {
        return Value("Row " + std::to_string(row));
    }
    std::int64_t count = 0;
};

class Flipped : public NSView {
public:
    using NSView::NSView;
    bool isFlipped() const override { return true; }
};

// Rows 19 points high in a scroll view that shows five of them; the top of the first row
// at window y 95 while nothing is scrolled.
class HoverableTableViewTest : public ::testing::Test {
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
    void rows(std::int64_t count) {
        names->count = count;
        table->reloadData();
    }
    void press(std::uint16_t keyCode) {
        window->sendEvent(
            *NSEvent::eventWithCGEvent(CGEventCreateKeyboardEvent(nullptr, keyCode, true)));
    }
    // The pointer over the middle of the row that shows at that place from the top.
    void pointAtShownRow(int place) { movePointer(*window, {50, 95 - 19 * place - 9.5}); }
    void select(std::int64_t row) { table->selectRowIndexes({row}, false); }

    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    std::shared_ptr<NSScrollView> scrollView =
        std::make_shared<NSScrollView>(CGRect{0, 0, 200, 95});
    std::shared_ptr<HoverableTableView> table = std::make_shared<HoverableTableView>();
    std::shared_ptr<Names> names = std::make_shared<Names>();
};

TEST_F(HoverableTableViewTest, RowUnderThePointerBecomesTheSelectedRow) {
    pointAtShownRow(2);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{2});
    pointAtShownRow(0);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{0});

    rows(3);
    pointAtShownRow(4);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{0})
        << "empty space below the last row leaves the selection";
}

TEST_F(HoverableTableViewTest, PointerFollowsTheRowsAsTheTableScrolls) {
    rows(20);
    table->scrollRowToVisible(19);
    pointAtShownRow(0);
    EXPECT_EQ(table->selectedRow(), 15) << "the top shown row once the last is in sight";
    ASSERT_TRUE(table->trackingArea());
    EXPECT_EQ(table->trackingArea()->rect(), CGRect(0, 15 * 19, 200, 95))
        << "the area covers what shows";
}

TEST_F(HoverableTableViewTest, LeavingClearsTheSelectionOnlyWhenItIsNotKept) {
    const auto leave = NSEvent::mouseEvent(NSEvent::EventType::mouseExited, CGPoint{300, 50});
    select(3);
    table->mouseExited(*leave);
    EXPECT_EQ(table->selectedRow(), 3);
    table->setKeepSelection(false);
    table->mouseExited(*leave);
    EXPECT_TRUE(table->selectedRowIndexes().empty());
}

TEST_F(HoverableTableViewTest, ArrowsWrapAroundAtTheEndsUnlessCyclingIsOff) {
    select(7);
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 0);
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 0}));
    press(kUp);
    EXPECT_EQ(table->selectedRow(), 7);
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 8 * 19 - 95})) << "scrolled into sight";
    press(kUp);
    EXPECT_EQ(table->selectedRow(), 6) << "away from the ends the table moves as any";

    table->setShouldCycle(false);
    select(7);
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 7);
    select(0);
    press(kUp);
    EXPECT_EQ(table->selectedRow(), 0);
}

TEST_F(HoverableTableViewTest, ArrowsInAnEmptyOrUnselectedTableSelectNoRowThatIsNotThere) {
    table->setCenterSelectedRow(true);
    rows(0);
    press(kDown);
    press(kUp);
    EXPECT_TRUE(table->selectedRowIndexes().empty());
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 0}));

    table->setCenterSelectedRow(false);
    press(kDown);
    EXPECT_TRUE(table->selectedRowIndexes().empty());

    rows(8);
    press(kUp);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{7})
        << "an unselected table starts where the table starts";
}

TEST_F(HoverableTableViewTest, ReturnSendsTheActionWithTheSelectedRowAsTheClickedOne) {
    std::vector<std::int64_t> clicked;
    table->setAction([&](NSControl&) { clicked.push_back(table->clickedRow()); });
    select(4);
    press(kReturn);
    EXPECT_TRUE(clicked.empty()) << "without a target nothing is sent";

    auto target = std::make_shared<NSObject>();
    table->setTarget(target);
    press(kReturn);
    EXPECT_EQ(clicked, std::vector<std::int64_t>{4});
    EXPECT_EQ(table->clickedRow(), -1) << "the table's own value once the action is over";
    EXPECT_EQ(table->selectedRow(), 4);

    table->deselectAll();
    press(kReturn);
    EXPECT_EQ(clicked.size(), 1U) << "no row, no action";
}

TEST_F(HoverableTableViewTest, ClickSelectsTheRowUnderIt) {
    std::vector<std::int64_t> clicked;
    auto target = std::make_shared<NSObject>();
    table->setTarget(target);
    table->setAction([&](NSControl&) { clicked.push_back(table->clickedRow()); });
    table->click(
        NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown, CGPoint{50, 95 - 19 * 5 - 9.5}));
    EXPECT_EQ(clicked, std::vector<std::int64_t>{5});
    EXPECT_EQ(table->selectedRow(), 5);
}

TEST_F(HoverableTableViewTest, ReloadKeepsTheSelectedRowOrTheLastOne) {
    rows(10);
    select(9);
    rows(5);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{4});
    select(2);
    rows(6);
    EXPECT_EQ(table->selectedRowIndexes(), std::set<std::int64_t>{2});
    rows(0);
    EXPECT_TRUE(table->selectedRowIndexes().empty());
}

TEST_F(HoverableTableViewTest, CenteredWrapPutsTheRowInTheMiddleOfWhatShows) {
    // The table sits 200 points down a taller document, so the middle can be reached.
    auto document = std::make_shared<Flipped>(CGRect{0, 0, 200, 1200});
    scrollView->setDocumentView(document);
    table->setFrame({0, 200, 200, 0});
    document->addSubview(table);
    rows(40);
    scrollView->scrollTo({0, 900});

    table->setCenterSelectedRow(true);
    select(39);
    press(kDown);
    EXPECT_EQ(table->selectedRow(), 0);
    // Row 0's middle is 209.5 down the document: it shows 47.5 below the top.
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 209.5 - 47.5}));

    table->setCenterSelectedRow(false);
    scrollView->scrollTo({0, 900});
    select(39);
    press(kDown);
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 200})) << "just into sight";
}

} // namespace
} // namespace zestrel
