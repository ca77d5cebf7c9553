#pragma once

#include "platform/appkit/NSTableView.h"
#include "platform/appkit/NSTrackingArea.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zestrel {

// A table that behaves like a pick list: the row under the pointer becomes the selected
// row as the pointer moves, the arrow keys wrap from the last row to the first and back,
// Return sends the table's action for the selected row, and the selection can be cleared
// when the pointer leaves. Main thread.
class HoverableTableView : public platform::NSTableView {
public:
    explicit HoverableTableView(platform::CGRect frame = {});
    std::string className() const override { return "HoverableTableView"; }

    // The area that reports the pointer's moves over what shows of the table; a new one at
    // every tracking update.
    const std::shared_ptr<platform::NSTrackingArea>& trackingArea() const { return trackingArea_; }
    // False: leaving the table clears the selection.
    bool keepSelection() const { return keepSelection_; }
    void setKeepSelection(bool keep) { keepSelection_ = keep; }
    // False: the arrow keys at the ends do nothing at all.
    bool shouldCycle() const { return shouldCycle_; }
    void setShouldCycle(bool cycle) { shouldCycle_ = cycle; }
    // True: a row reached by wrapping is scrolled to the middle of what shows, not just into
    // sight.
    bool centerSelectedRow() const { return centerSelectedRow_; }
    void setCenterSelectedRow(bool center) { centerSelectedRow_ = center; }

    // Selects no rows unless the selection is kept.
    void clearSelectionIfNeeded();

    // Keeps the selected row through a reload, the last row when it is gone.
    void reloadData() override;
    void updateTrackingAreas() override;
    void mouseMoved(const platform::NSEvent& event) override;
    void mouseExited(const platform::NSEvent& event) override;
    // The table handles the click (and its action) first, then the row under it is selected.
    void mouseDown(const platform::NSEvent& event) override;
    // While Return sends the action: the selected row and column.
    std::int64_t clickedRow() const override;
    std::int64_t clickedColumn() const override;
    // Down on the last row wraps to the first, Up on the first to the last; Return sends
    // the action for the selected row and goes on to the table; the rest is the table's.
    void keyDown(const platform::NSEvent& event) override;

private:
    void selectOnly(std::int64_t row) { selectRowIndexes({row}, false); }
    void wrap(std::int64_t row);

    std::shared_ptr<platform::NSTrackingArea> trackingArea_;
    bool keepSelection_ = true;
    bool shouldCycle_ = true;
    bool centerSelectedRow_ = false;
    std::optional<std::int64_t> clickedRow_;
    std::optional<std::int64_t> clickedColumn_;
};

} // namespace zestrel
