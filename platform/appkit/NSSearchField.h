#pragma once

#include "platform/appkit/NSView.h"

#include <memory>
#include <string>

namespace zestrel::platform {

class NSSearchField;

// A button drawn inside a control rather than a view of its own.
class NSButtonCell : public NSObject {
public:
    std::string className() const override { return "NSButtonCell"; }
    // A user's click on the cell.
    virtual void performClick() {}
};

// The look and the inner buttons of a search field: the magnifier at the start and the
// clear button at the end. Either may be taken away (none) and put back.
class NSSearchFieldCell : public NSObject {
public:
    std::string className() const override { return "NSSearchFieldCell"; }

    const std::shared_ptr<NSButtonCell>& searchButtonCell() const { return searchButtonCell_; }
    void setSearchButtonCell(std::shared_ptr<NSButtonCell> cell) {
        searchButtonCell_ = std::move(cell);
    }
    const std::shared_ptr<NSButtonCell>& cancelButtonCell() const { return cancelButtonCell_; }
    void setCancelButtonCell(std::shared_ptr<NSButtonCell> cell) {
        cancelButtonCell_ = std::move(cell);
    }

private:
    std::shared_ptr<NSButtonCell> searchButtonCell_;
    std::shared_ptr<NSButtonCell> cancelButtonCell_;
};

// A text field for search terms, with a clear button that empties it. While it has the
// keyboard focus its window's field editor does the typing; giving the focus up ends the
// editing, which the delegate hears.
class NSSearchField : public NSTextField {
public:
    explicit NSSearchField(CGRect frame = {});
    ~NSSearchField() override;

    std::string className() const override { return "NSSearchField"; }

    const std::shared_ptr<NSSearchFieldCell>& cell() const { return cell_; }
    // The clear button shows while the cell has one and there is text to clear.
    bool isCancelButtonShown() const;

    // A search field is one line of the system's regular control height.
    CGSize intrinsicContentSize() const override { return {kNoIntrinsicMetric, 22}; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void describeOutline(OutlineNode& node) const override;

private:
    friend class SearchFieldCancelButtonCell;
    // The clear button's click: the text goes and the delegate hears of the change.
    void clearByCancelButton();

    std::shared_ptr<NSSearchFieldCell> cell_;
    std::shared_ptr<class SearchFieldCancelButtonCell> ownCancelCell_;
};

} // namespace zestrel::platform
