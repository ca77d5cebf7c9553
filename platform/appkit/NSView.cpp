#include "platform/appkit/NSView.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSGestureRecognizer.h"
#include "platform/appkit/NSLayoutConstraint.h"
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
    if (window) {
        updateTrackingAreas();
    }
}

void NSView::describeOutline(OutlineNode& node) const {
    node.kind = "view";
}

void NSView::setWantsLayer(bool wants) {
    wantsLayer_ = wants;
    if (wants && !layer_) {
        layer_ = std::make_shared<CALayer>();
    }
}

std::shared_ptr<NSView> NSView::hitTest(CGPoint /*point*/) {
    return std::static_pointer_cast<NSView>(shared_from_this());
}

void NSView::addGestureRecognizer(const std::shared_ptr<NSGestureRecognizer>& recognizer) {
    if (!recognizer) {
        return;
    }
    if (auto old = recognizer->view(); old && old.get() != this) {
        old->removeGestureRecognizer(recognizer);
    }
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) ==
        gestureRecognizers_.end()) {
        gestureRecognizers_.push_back(recognizer);
    }
    recognizer->view_ = std::static_pointer_cast<NSView>(shared_from_this());
}

void NSView::removeGestureRecognizer(const std::shared_ptr<NSGestureRecognizer>& recognizer) {
    if (!recognizer || std::erase(gestureRecognizers_, recognizer) == 0) {
        return;
    }
    recognizer->view_.reset();
}

void NSView::click() {
    // The recognizers' actions may change the views; keep this one alive meanwhile.
    auto self = std::static_pointer_cast<NSView>(shared_from_this());
    for (auto view = self; view; view = view->superview()) {
        const auto recognizers = view->gestureRecognizers_;
        for (const auto& recognizer : recognizers) {
            if (recognizer->recognize()) {
                return;
            }
        }
    }
    mouseClicked();
}

void NSView::click(std::shared_ptr<NSEvent> event) {
    auto self = std::static_pointer_cast<NSView>(shared_from_this());
    NSApplication::shared().dispatchWithCurrentEvent(std::move(event), [self] { self->click(); });
}

bool NSView::isClickable() const {
    if (hasClickHandling()) {
        return true;
    }
    for (const NSView* view = this; view; view = view->superview_.lock().get()) {
        for (const auto& recognizer : view->gestureRecognizers_) {
            if (recognizer->isEnabled()) {
                return true;
            }
        }
    }
    return false;
}

void NSView::scaleUnitSquareToSize(CGSize size) {
    unitScale_.width *= size.width;
    unitScale_.height *= size.height;
}

CGSize NSView::convertSizeToWindow(CGSize size) const {
    for (const NSView* view = this; view; view = view->superview_.lock().get()) {
        size.width *= view->unitScale_.width;
        size.height *= view->unitScale_.height;
    }
    return size;
}

CGSize NSView::convertSizeFromWindow(CGSize size) const {
    for (const NSView* view = this; view; view = view->superview_.lock().get()) {
        size.width /= view->unitScale_.width;
        size.height /= view->unitScale_.height;
    }
    return size;
}

std::shared_ptr<NSLayoutConstraint> NSLayoutConstraint::make(const std::shared_ptr<NSView>& first,
                                                             Attribute firstAttribute,
                                                             const std::shared_ptr<NSView>& second,
                                                             Attribute secondAttribute,
                                                             CGFloat constant) {
    auto constraint = std::make_shared<NSLayoutConstraint>();
    constraint->first_ = first;
    constraint->firstAttribute_ = firstAttribute;
    constraint->second_ = second;
    constraint->secondAttribute_ = secondAttribute;
    constraint->constant_ = constant;
    return constraint;
}

std::shared_ptr<NSLayoutConstraint>
NSLayoutConstraint::make(const std::shared_ptr<NSView>& first, Attribute firstAttribute,
                         Relation relation, const std::shared_ptr<NSView>& second,
                         Attribute secondAttribute, CGFloat constant) {
    auto constraint = make(first, firstAttribute, second, secondAttribute, constant);
    constraint->relation_ = relation;
    return constraint;
}

void NSLayoutConstraint::activateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& all) {
    for (const auto& constraint : all) {
        auto view = constraint ? constraint->firstItem() : nullptr;
        if (!view || constraint->active_) {
            continue;
        }
        constraint->active_ = true;
        view->constraints_.push_back(constraint);
    }
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

CGSize NSTextField::sizeThatFits(CGSize bounds) const {
    const CGFloat charWidth = font().widthOfText("x");
    const CGFloat lineHeight = font().lineHeight();
    const CGFloat natural = font().widthOfText(stringValue_);
    if (natural <= bounds.width || bounds.width < charWidth) {
        return CGSize{natural, lineHeight};
    }
    const auto perLine = static_cast<std::size_t>(bounds.width / charWidth);
    const std::size_t lines = (stringValue_.size() + perLine - 1) / perLine;
    return CGSize{static_cast<CGFloat>(perLine) * charWidth,
                  static_cast<CGFloat>(lines) * lineHeight};
}

bool NSTextField::becomeFirstResponder() {
    if (auto window = this->window()) {
        if (auto editor = window->fieldEditor(true)) {
            editor->setString(stringValue_);
            editor->setEditable(editable_);
            editor_ = editor;
        }
    }
    return true;
}

bool NSTextField::resignFirstResponder() {
    editor_.reset();
    return true;
}

void NSTextField::userTypes(std::string text) {
    stringValue_ = std::move(text);
    if (auto editor = editor_.lock()) {
        editor->setString(stringValue_);
    }
    if (auto delegate = delegate_.lock()) {
        delegate->controlTextDidChange(
            Notification{NSControlTextDidChangeNotification, Value(shared_from_this()), {}});
    }
}

void NSTextField::userEndsEditing() {
    if (auto delegate = delegate_.lock()) {
        delegate->controlTextDidEndEditing(
            Notification{NSControlTextDidEndEditingNotification, Value(shared_from_this()), {}});
    }
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

void NSControl::sizeToFit() {
    const CGSize fitting = intrinsicContentSize();
    CGSize size = frame().size;
    if (fitting.width != kNoIntrinsicMetric) {
        size.width = fitting.width;
    }
    if (fitting.height != kNoIntrinsicMetric) {
        size.height = fitting.height;
    }
    setFrameSize(size);
}

CGSize NSButton::intrinsicContentSize() const {
    constexpr CGFloat kBezel = 14;
    constexpr CGFloat kRegularHeight = 21;
    return CGSize{font().widthOfText(title_) + 2 * kBezel, kRegularHeight};
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
            std::static_pointer_cast<NSButton>(self)->click();
        }
    };
}

} // namespace zestrel::platform
