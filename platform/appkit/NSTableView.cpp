#include "platform/appkit/NSTableView.h"

#include "platform/appkit/NSApplication.h"

#include <algorithm>
#include <cmath>

namespace zestrel::platform {

NSTableView::NSTableView(CGRect frame) : NSControl(frame) {}

void NSTableView::addTableColumn(std::shared_ptr<NSTableColumn> column) {
    if (column) {
        columns_.push_back(std::move(column));
    }
}

void NSTableView::reloadData() {
    const auto source = dataSource();
    rows_ = source ? std::max<std::int64_t>(0, source->numberOfRows(*this)) : 0;
    std::erase_if(selection_, [this](std::int64_t row) { return row >= rows_; });
    resizeToRows();
}

void NSTableView::resizeToRows() {
    CGSize size = frame().size;
    size.height = static_cast<CGFloat>(rows_) * (rowHeight_ + intercellSpacing_.height);
    if (const auto scrollView = enclosingScrollView()) {
        // A table fills what its scroll view shows, rows or not.
        size.height = std::max(size.height, scrollView->frame().size.height);
        if (size.width <= 0) {
            size.width = scrollView->frame().size.width;
        }
    }
    setFrameSize(size);
    if (const auto scrollView = enclosingScrollView();
        scrollView && scrollView->documentView().get() == this) {
        // A shorter table may leave the scroll position past its end.
        scrollView->scrollTo(scrollView->scrollPosition());
    }
    if (window()) {
        updateTrackingAreas();
    }
}

CGRect NSTableView::rectOfRow(std::int64_t row) const {
    if (row < 0 || row >= rows_) {
        return CGRect{};
    }
    const CGFloat pitch = rowHeight_ + intercellSpacing_.height;
    return CGRect{0, static_cast<CGFloat>(row) * pitch, frame().size.width, pitch};
}

CGRect NSTableView::frameOfCell(std::int64_t column, std::int64_t row) const {
    const CGRect rowRect = rectOfRow(row);
    if (CGRectIsEmpty(rowRect)) {
        return CGRect{};
    }
    CGFloat x = 0;
    CGFloat width = rowRect.size.width;
    if (column >= 0 && column < numberOfColumns()) {
        for (std::int64_t i = 0; i < column; ++i) {
            x += columns_[static_cast<std::size_t>(i)]->width();
        }
        width = columns_[static_cast<std::size_t>(column)]->width();
    }
    return CGRect{x + intercellSpacing_.width / 2, rowRect.origin.y + intercellSpacing_.height / 2,
                  std::max(0.0, width - intercellSpacing_.width), rowHeight_};
}

std::int64_t NSTableView::rowAtPoint(CGPoint point) const {
    const CGFloat pitch = rowHeight_ + intercellSpacing_.height;
    if (point.x < 0 || point.x >= frame().size.width || point.y < 0 || pitch <= 0) {
        return -1;
    }
    const auto row = static_cast<std::int64_t>(std::floor(point.y / pitch));
    return row < rows_ ? row : -1;
}

void NSTableView::scrollRowToVisible(std::int64_t row) {
    const CGRect rect = rectOfRow(row);
    if (!CGRectIsEmpty(rect)) {
        scrollRectToVisible(rect);
    }
}

std::int64_t NSTableView::selectedRow() const {
    if (selection_.contains(lastSelected_)) {
        return lastSelected_;
    }
    return selection_.empty() ? -1 : *selection_.rbegin();
}

void NSTableView::selectRowIndexes(const std::set<std::int64_t>& rows, bool byExtendingSelection) {
    if (!byExtendingSelection) {
        selection_.clear();
    }
    selection_.insert(rows.begin(), rows.end());
    if (!rows.empty()) {
        lastSelected_ = *rows.rbegin();
    }
}

void NSTableView::deselectAll() {
    selection_.clear();
    lastSelected_ = -1;
}

void NSTableView::keyDown(const NSEvent& event) {
    const auto key = event.specialKey();
    const bool down = key == NSEvent::SpecialKey::downArrow;
    const bool up = key == NSEvent::SpecialKey::upArrow;
    if (!down && !up) {
        NSControl::keyDown(event);
        return;
    }
    if (rows_ == 0) {
        return;
    }
    const std::int64_t current = selectedRow();
    std::int64_t next = 0;
    if (down) {
        next = current < 0 ? 0 : std::min(current + 1, rows_ - 1);
    } else {
        next = current < 0 ? rows_ - 1 : std::max<std::int64_t>(current - 1, 0);
    }
    selectRowIndexes({next}, false);
    scrollRowToVisible(next);
}

void NSTableView::mouseDown(const NSEvent& event) {
    const CGPoint point = convertPointFromWindow(event.locationInWindow());
    const std::int64_t row = rowAtPoint(point);
    if (row >= 0) {
        selectRowIndexes({row}, false);
    } else {
        deselectAll();
    }
    if (!target()) {
        return;
    }
    clickedRow_ = row;
    clickedColumn_ = -1;
    CGFloat left = 0;
    for (std::int64_t column = 0; row >= 0 && column < numberOfColumns(); ++column) {
        const CGFloat width = columns_[static_cast<std::size_t>(column)]->width();
        if (point.x >= left && point.x < left + width) {
            clickedColumn_ = column;
            break;
        }
        left += width;
    }
    if (row >= 0 && columns_.empty()) {
        clickedColumn_ = 0;
    }
    sendAction();
    clickedRow_ = -1;
    clickedColumn_ = -1;
}

void NSTableView::mouseClicked() {
    if (auto event = NSApp().currentEvent(); event && NSEvent::isMouseType(event->type())) {
        mouseDown(*event);
        return;
    }
    const CGRect visible = visibleRect();
    const auto event =
        NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown,
                            convertPointToWindow({visible.origin.x + visible.size.width / 2,
                                                  visible.origin.y + visible.size.height / 2}));
    mouseDown(*event);
}

std::string NSTableView::rowText(std::int64_t row) const {
    const auto source = dataSource();
    if (!source) {
        return {};
    }
    if (columns_.empty()) {
        return source->objectValue(*this, nullptr, row).describe();
    }
    std::string text;
    for (const auto& column : columns_) {
        text +=
            (text.empty() ? "" : " | ") + source->objectValue(*this, column.get(), row).describe();
    }
    return text;
}

void NSTableView::describeOutline(OutlineNode& node) const {
    node.kind = "table";
    std::weak_ptr<const NSObject> weak = weak_from_this();
    for (std::int64_t row = 0; row < rows_; ++row) {
        OutlineNode line;
        line.kind = "row";
        line.label = rowText(row);
        if (selection_.contains(row)) {
            line.traits.emplace_back("selected");
        }
        line.click = [weak, row] {
            auto self = std::const_pointer_cast<NSObject>(weak.lock());
            if (!self) {
                return;
            }
            auto table = std::static_pointer_cast<NSTableView>(self);
            table->scrollRowToVisible(row);
            const CGRect rect = table->rectOfRow(row);
            table->click(NSEvent::mouseEvent(
                NSEvent::EventType::leftMouseDown,
                table->convertPointToWindow(
                    {rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2})));
        };
        node.children.push_back(std::move(line));
    }
}

} // namespace zestrel::platform
