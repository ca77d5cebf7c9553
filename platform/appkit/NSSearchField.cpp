#include "platform/appkit/NSSearchField.h"

namespace zestrel::platform {

// The field's own clear button; it reaches the field while the field exists.
class SearchFieldCancelButtonCell final : public NSButtonCell {
public:
    explicit SearchFieldCancelButtonCell(NSSearchField* field) : field_(field) {}
    void performClick() override {
        if (field_) {
            field_->clearByCancelButton();
        }
    }

private:
    friend class NSSearchField;
    NSSearchField* field_;
};

NSSearchField::NSSearchField(CGRect frame)
    : NSTextField(frame), cell_(std::make_shared<NSSearchFieldCell>()),
      ownCancelCell_(std::make_shared<SearchFieldCancelButtonCell>(this)) {
    cell_->setSearchButtonCell(std::make_shared<NSButtonCell>());
    cell_->setCancelButtonCell(ownCancelCell_);
}

NSSearchField::~NSSearchField() {
    // The cell may be held elsewhere after the field is gone.
    ownCancelCell_->field_ = nullptr;
}

bool NSSearchField::isCancelButtonShown() const {
    return cell_->cancelButtonCell() != nullptr && !stringValue().empty();
}

void NSSearchField::clearByCancelButton() {
    userTypes("");
}

bool NSSearchField::becomeFirstResponder() {
    return acceptsFirstResponder() && NSTextField::becomeFirstResponder();
}

bool NSSearchField::resignFirstResponder() {
    const bool wasEditing = currentEditor() != nullptr;
    NSTextField::resignFirstResponder();
    if (wasEditing) {
        userEndsEditing();
    }
    return true;
}

void NSSearchField::describeOutline(OutlineNode& node) const {
    NSTextField::describeOutline(node);
    node.kind = "search field";
    if (node.label.empty() && placeholderString()) {
        node.label = *placeholderString();
        node.traits.push_back("placeholder");
    }
    if (currentEditor()) {
        node.traits.push_back("editing");
    }
}

} // namespace zestrel::platform
