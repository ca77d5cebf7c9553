#include "platform/appkit/NSView.h"

#include "platform/appkit/NSWindow.h"

#include <algorithm>

namespace zestrel::platform {

CGFloat NSFont::systemFontSize(ControlSize size) {
    switch (size) {
    case ControlSize::small:
        return 11;
    case ControlSize::mini:
        return 9;
    case ControlSize::regular:
    case ControlSize::large:
        break;
    }
    return 13;
}

NSView::NSView(CGRect frame) : frame_(frame) {}

NSView::~NSView() = default;

void NSView::addSubview(const std::shared_ptr<NSView>& view) {
    if (!view || view.get() == this) {
        return;
    }
    auto self = std::static_pointer_cast<NSView>(shared_from_this());
    if (view->superview().get() != this) {
        view->removeFromSuperview();
    } else {
        std::erase(subviews_, view);
    }
    subviews_.push_back(view);
    view->superview_ = self;
    view->setNextResponder(self);
    view->viewDidMoveToSuperview();
    view->moveToWindow(window());
}

void NSView::removeFromSuperview() {
    auto superview = superview_.lock();
    if (!superview) {
        return;
    }
    // Keeps the view alive while it leaves its superview's list.
    auto self = std::static_pointer_cast<NSView>(shared_from_this());
    std::erase(superview->subviews_, self);
    superview_.reset();
    setNextResponder(nullptr);
    viewDidMoveToSuperview();
    moveToWindow(nullptr);
}

void NSView::moveToWindow(const std::shared_ptr<NSWindow>& window) {
    if (window_.lock() == window && (window || window_.expired())) {
        return;
    }
    window_ = window;
    // A copy: a view may leave its superview when it hears that it moved.
    const auto children = subviews_;
    for (const auto& child : children) {
        child->moveToWindow(window);
    }
    viewDidMoveToWindow();
}

void NSView::describeOutline(OutlineNode& node) const {
    node.kind = "view";
}

bool NSControl::sendAction() {
    if (!enabled_ || !action_) {
        return false;
    }
    // The action may drop the last other reference to the control.
    auto keep = shared_from_this();
    auto action = action_;
    action(*this);
    return true;
}

std::shared_ptr<NSTextField> NSTextField::labelWithString(std::string text) {
    auto label = std::make_shared<NSTextField>();
    label->setStringValue(std::move(text));
    label->setEditable(false);
    label->setSelectable(false);
    label->setDrawsBackground(false);
    return label;
}

void NSTextField::describeOutline(OutlineNode& node) const {
    node.kind = editable_ ? "field" : "text";
    node.label = stringValue_;
}

std::shared_ptr<NSScrollView> NSTextView::scrollableTextView() {
    auto scrollView = std::make_shared<NSScrollView>();
    scrollView->setHasVerticalScroller(true);
    scrollView->setDocumentView(std::make_shared<NSTextView>());
    return scrollView;
}

void NSTextView::describeOutline(OutlineNode& node) const {
    node.kind = "text view";
    node.label = string_;
    if (!editable_) {
        node.traits.emplace_back("read-only");
    }
}

void NSScrollView::setDocumentView(const std::shared_ptr<NSView>& view) {
    if (auto old = documentView_.lock()) {
        old->removeFromSuperview();
    }
    documentView_ = view;
    if (view) {
        addSubview(view);
    }
}

void NSScrollView::describeOutline(OutlineNode& node) const {
    node.kind = "scroll view";
}

std::shared_ptr<NSButton> NSButton::withTitle(std::string title, Action action) {
    auto button = std::make_shared<NSButton>();
    button->setTitle(std::move(title));
    button->setAction(std::move(action));
    return button;
}

std::shared_ptr<NSButton> NSButton::checkbox(std::string title, Action action) {
    auto button = withTitle(std::move(title), std::move(action));
    button->setButtonType(ButtonType::switchButton);
    return button;
}

void NSButton::performClick() {
    if (!isEnabled()) {
        return;
    }
    if (buttonType_ == ButtonType::switchButton || buttonType_ == ButtonType::toggle) {
        state_ =
            state_ == NSControlStateValue::on ? NSControlStateValue::off : NSControlStateValue::on;
    }
    sendAction();
}

void NSButton::describeOutline(OutlineNode& node) const {
    const bool isCheckbox = buttonType_ == ButtonType::switchButton;
    node.kind = isCheckbox ? "checkbox" : "button";
    node.label = title_;
    if (isCheckbox) {
        node.traits.emplace_back(state_ == NSControlStateValue::on ? "on" : "off");
    }
    if (keyEquivalent_ == "\r") {
        node.traits.emplace_back("default");
    } else if (keyEquivalent_ == "\x1b") {
        node.traits.emplace_back("cancel");
    }
    if (destructive_) {
        node.traits.emplace_back("destructive");
    }
    if (!isEnabled()) {
        node.traits.emplace_back("disabled");
        return;
    }
    std::weak_ptr<const NSObject> weak = weak_from_this();
    node.click = [weak] {
        if (auto self = std::const_pointer_cast<NSObject>(weak.lock())) {
            std::static_pointer_cast<NSButton>(self)->performClick();
        }
    };
}

} // namespace zestrel::platform
