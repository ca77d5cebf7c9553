#pragma once

#include "platform/appkit/NSView.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSTableView;

// A column of a table: its identifier, header title and width.
class NSTableColumn final : public NSObject {
public:
    explicit NSTableColumn(std::string identifier, std::string title = "", CGFloat width = 100)
        : identifier_(std::move(identifier)), title_(std::move(title)), width_(width) {}
    std::string className() const override { return "NSTableColumn"; }

    const std::string& identifier() const { return identifier_; }
    const std::string& title() const { return title_; }
    CGFloat width() const { return width_; }
    void setWidth(CGFloat width) { width_ = width; }

private:
    std::string identifier_;
    std::string title_;
    CGFloat width_;
};

// Where a table's rows come from. The table asks for the count when it loads its data and
// for a value each time it shows a row.
class NSTableViewDataSource {
public:
    virtual ~NSTableViewDataSource() = default;
    virtual std::int64_t numberOfRows(const NSTableView& /*tableView*/) { return 0; }
    // The value shown in a cell; the column is null for a table without columns.
    virtual Value objectValue(const NSTableView& /*tableView*/, const NSTableColumn* /*column*/,
                              std::int64_t /*row*/) {
        return {};
    }
};

// The view of a table cell: its text field shows the value.
class NSTableCellView : public NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "NSTableCellView"; }
    std::shared_ptr<NSTextField> textField() const { return textField_; }
    void setTextField(std::shared_ptr<NSTextField> field) { textField_ = std::move(field); }

private:
    std::shared_ptr<NSTextField> textField_;
};

// A table: rows of a data source in columns, flipped (row 0 at the top), with a selection
// of rows. Rows are `rowHeight` high with `intercellSpacing` between them; the table is as
// tall as its rows, and at least as tall as the scroll view it is in. Arrow keys move the
// selection, a click selects the row under it and sends the action (with that row as the
// clicked one) when the table has a target. The stand-in keeps whatever selection it is
// given, rows that do not exist included, so that such a selection shows. Main thread.
class NSTableView : public NSControl {
public:
    explicit NSTableView(CGRect frame = {});
    std::string className() const override { return "NSTableView"; }
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return true; }

    void addTableColumn(std::shared_ptr<NSTableColumn> column);
    const std::vector<std::shared_ptr<NSTableColumn>>& tableColumns() const { return columns_; }
    std::int64_t numberOfColumns() const { return static_cast<std::int64_t>(columns_.size()); }

    std::shared_ptr<NSTableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<NSTableViewDataSource>& source) {
        dataSource_ = source;
    }
    // Asks the data source for its rows again and resizes the table to them; the selection
    // loses the rows that are gone.
    virtual void reloadData();
    std::int64_t numberOfRows() const { return rows_; }

    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height) { rowHeight_ = height; }
    CGSize intercellSpacing() const { return intercellSpacing_; }
    void setIntercellSpacing(CGSize spacing) { intercellSpacing_ = spacing; }
    // In the table's coordinates; the zero rectangle for a row that does not exist.
    CGRect rectOfRow(std::int64_t row) const;
    // The cell's rectangle within its row: the column's width (the table's without
    // columns) and the row's height, less the spacing.
    CGRect frameOfCell(std::int64_t column, std::int64_t row) const;
    // The row at a point of the table's coordinates; -1 where there is none.
    std::int64_t rowAtPoint(CGPoint point) const;
    // Scrolls the enclosing scroll view as little as shows the row.
    void scrollRowToVisible(std::int64_t row);

    const std::set<std::int64_t>& selectedRowIndexes() const { return selection_; }
    // The row selected last; -1 when none is.
    std::int64_t selectedRow() const;
    // Columns are never selected here: always -1.
    virtual std::int64_t selectedColumn() const { return -1; }
    void selectRowIndexes(const std::set<std::int64_t>& rows, bool byExtendingSelection);
    void deselectAll();
    // The row and column of the click whose action is being sent; -1 otherwise.
    virtual std::int64_t clickedRow() const { return clickedRow_; }
    virtual std::int64_t clickedColumn() const { return clickedColumn_; }

    // Who the action goes to: without a target, a click sends nothing.
    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<NSObject>& target) { target_ = target; }

    // Down and Up move the selection one row (from none: to the first row, or the last)
    // and scroll it into view; other keys go on along the responder chain.
    void keyDown(const NSEvent& event) override;
    // Selects the row under the click and sends the action with it as the clicked row.
    void mouseDown(const NSEvent& event) override;

    // `table`, its rows below it (`row "a | b" [selected]`), each clicked as the user clicks
    // the row's middle.
    void describeOutline(OutlineNode& node) const override;

protected:
    // A click the view handles: the current event's, or one in the middle of the view.
    void mouseClicked() override;
    bool hasClickHandling() const override { return true; }

private:
    void resizeToRows();
    std::string rowText(std::int64_t row) const;

    std::vector<std::shared_ptr<NSTableColumn>> columns_;
    std::weak_ptr<NSTableViewDataSource> dataSource_;
    std::weak_ptr<NSObject> target_;
    std::int64_t rows_ = 0;
    CGFloat rowHeight_ = 17;
    CGSize intercellSpacing_{3, 2};
    std::set<std::int64_t> selection_;
    std::int64_t lastSelected_ = -1;
    std::int64_t clickedRow_ = -1;
    std::int64_t clickedColumn_ = -1;
};

} // namespace zestrel::platform
