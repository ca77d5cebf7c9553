#include "ui/HoverableTableView.h"

namespace zestrel {

namespace pf = platform;

HoverableTableView::HoverableTableView(pf::CGRect frame) : NSTableView(frame) {}

void HoverableTableView::clearSelectionIfNeeded() {
    if (!keepSelection_) {
        deselectAll();
    }
}

void HoverableTableView::reloadData() {
    const std::int64_t remembered = selectedRow();
    NSTableView::reloadData();
    if (remembered < 0 || numberOfRows() == 0) {
        return;
    }
    selectOnly(std::min(remembered, numberOfRows() - 1));
}

void HoverableTableView::updateTrackingAreas() {
    NSTableView::updateTrackingAreas();
    if (trackingArea_) {
        removeTrackingArea(trackingArea_);
    }
    using Options = pf::NSTrackingArea::Options;
    trackingArea_ = std::make_shared<pf::NSTrackingArea>(
        visibleRect(), Options::mouseMoved | Options::activeAlways,
        std::static_pointer_cast<pf::NSResponder>(shared_from_this()));
    addTrackingArea(trackingArea_);
}

void HoverableTableView::mouseMoved(const pf::NSEvent& event) {
    const std::int64_t row = rowAtPoint(convertPointFromWindow(event.locationInWindow()));
    if (row >= 0 && row != selectedRow()) {
        selectOnly(row);
    }
}

void HoverableTableView::mouseExited(const pf::NSEvent& /*event*/) {
    clearSelectionIfNeeded();
}

void HoverableTableView::mouseDown(const pf::NSEvent& event) {
    NSTableView::mouseDown(event);
    const std::int64_t row = rowAtPoint(convertPointFromWindow(event.locationInWindow()));
    if (row >= 0) {
        selectOnly(row);
    }
}

std::int64_t HoverableTableView::clickedRow() const {
    return clickedRow_.value_or(NSTableView::clickedRow());
}

std::int64_t HoverableTableView::clickedColumn() const {
    return clickedColumn_.value_or(NSTableView::clickedColumn());
}

void HoverableTableView::keyDown(const pf::NSEvent& event) {
    const auto key = event.specialKey();
    const std::int64_t rows = numberOfRows();
    const std::int64_t selected = selectedRow();
    // An empty or unselected table has no end to wrap from; its arrows are the table's.
    const bool onARow = selected >= 0 && selected < rows;
    if (key == pf::NSEvent::SpecialKey::downArrow && onARow && selected == rows - 1) {
        wrap(0);
        return;
    }
    if (key == pf::NSEvent::SpecialKey::upArrow && onARow && selected == 0) {
        wrap(rows - 1);
        return;
    }
    if (key == pf::NSEvent::SpecialKey::carriageReturn && selected >= 0) {
        selectOnly(selected);
        if (target()) {
            clickedRow_ = selected;
            clickedColumn_ = selectedColumn();
            sendAction();
            clickedRow_.reset();
            clickedColumn_.reset();
        }
    }
    NSTableView::keyDown(event);
}

void HoverableTableView::wrap(std::int64_t row) {
    if (!shouldCycle_ || row < 0 || row >= numberOfRows()) {
        return;
    }
    selectOnly(row);
    if (!centerSelectedRow_) {
        scrollRowToVisible(row);
        return;
    }
    const pf::CGRect cell = frameOfCell(0, row);
    const pf::CGFloat middle = cell.origin.y + cell.size.height / 2;
    if (const auto scrollView = enclosingScrollView()) {
        scroll({0, middle - scrollView->frame().size.height / 2});
    }
}

} // namespace zestrel
