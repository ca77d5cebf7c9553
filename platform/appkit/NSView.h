#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSResponder.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Geometry.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSWindow;

// The system font by its size; nothing is drawn, so that is all a font is here.
struct NSFont {
    std::string fontName = ".AppleSystemUIFont";
    CGFloat pointSize = 13;

    enum class ControlSize { regular = 0, small = 1, mini = 2, large = 3 };

    static NSFont systemFont(CGFloat size) { return NSFont{".AppleSystemUIFont", size}; }
    static CGFloat systemFontSize() { return 13; }
    static CGFloat systemFontSize(ControlSize size);
    bool operator==(const NSFont&) const = default;
};

// A view: a rectangle in its superview's coordinates (origin at the bottom left), owning its
// subviews; the superview and the window are not owned. Views are held by shared pointers.
class NSView : public NSResponder {
public:
    explicit NSView(CGRect frame = {});
    ~NSView() override;

    std::string className() const override { return "NSView"; }

    const CGRect& frame() const { return frame_; }
    void setFrame(const CGRect& frame) { frame_ = frame; }
    void setFrameSize(CGSize size) { frame_.size = size; }
    void setFrameOrigin(CGPoint origin) { frame_.origin = origin; }
    CGRect bounds() const { return CGRect{CGPoint{}, frame_.size}; }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    std::vector<std::shared_ptr<NSView>> subviews() const { return subviews_; }
    std::shared_ptr<NSView> superview() const { return superview_.lock(); }
    std::shared_ptr<NSWindow> window() const { return window_.lock(); }

    // Takes the view from its old superview first; the view and its subviews are told when
    // that changes their window.
    void addSubview(const std::shared_ptr<NSView>& view);
    void removeFromSuperview();

    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool isFlipped() const { return false; }
    // Called after the view (or an ancestor) moved into another window or out of one.
    virtual void viewDidMoveToWindow() {}
    virtual void viewDidMoveToSuperview() {}

    // What the view shows in the text outline; its subviews follow as children.
    virtual void describeOutline(OutlineNode& node) const;

private:
    friend class NSWindow;
    // The window's content view and everything under it follow the window.
    void moveToWindow(const std::shared_ptr<NSWindow>& window);

    CGRect frame_;
    bool hidden_ = false;
    std::string identifier_;
    std::vector<std::shared_ptr<NSView>> subviews_;
    std::weak_ptr<NSView> superview_;
    std::weak_ptr<NSWindow> window_;
};

// The state of a check box or a menu item.
enum class NSControlStateValue : std::int64_t { mixed = -1, off = 0, on = 1 };

// A view users act on: enabled or not, with an action run when it is used.
class NSControl : public NSView {
public:
    using Action = std::function<void(NSControl& sender)>;

    using NSView::NSView;
    std::string className() const override { return "NSControl"; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    const NSFont& font() const { return font_; }
    void setFont(NSFont font) { font_ = std::move(font); }

    // Runs the action (when the control is enabled and has one); true when it ran.
    bool sendAction();

private:
    bool enabled_ = true;
    std::int64_t tag_ = 0;
    Action action_;
    NSFont font_;
};

// A line or block of text: a label or an input field.
class NSTextField : public NSControl {
public:
    using NSControl::NSControl;
    // A label: not editable or selectable, no bezel and no background.
    static std::shared_ptr<NSTextField> labelWithString(std::string text);

    std::string className() const override { return "NSTextField"; }

    const std::string& stringValue() const { return stringValue_; }
    void setStringValue(std::string text) { stringValue_ = std::move(text); }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws) { drawsBackground_ = draws; }
    // System colours adapt to the appearance; the stand-in keeps their names
    // ("labelColor", "secondaryLabelColor").
    const std::string& textColorName() const { return textColorName_; }
    void setTextColorName(std::string name) { textColorName_ = std::move(name); }

    bool acceptsFirstResponder() const override { return editable_ || selectable_; }
    void describeOutline(OutlineNode& node) const override;

private:
    std::string stringValue_;
    bool editable_ = true;
    bool selectable_ = true;
    bool drawsBackground_ = true;
    std::string textColorName_ = "labelColor";
};

// A block of text, usually inside a scroll view.
class NSTextView : public NSView {
public:
    using NSView::NSView;
    // A scroll view with a vertical scroller whose document view is a text view.
    static std::shared_ptr<class NSScrollView> scrollableTextView();

    std::string className() const override { return "NSTextView"; }

    const std::string& string() const { return string_; }
    void setString(std::string text) { string_ = std::move(text); }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws) { drawsBackground_ = draws; }
    const NSFont& font() const { return font_; }
    void setFont(NSFont font) { font_ = std::move(font); }
    const std::string& textColorName() const { return textColorName_; }
    void setTextColorName(std::string name) { textColorName_ = std::move(name); }

    bool acceptsFirstResponder() const override { return true; }
    void describeOutline(OutlineNode& node) const override;

private:
    std::string string_;
    bool editable_ = true;
    bool drawsBackground_ = true;
    NSFont font_;
    std::string textColorName_ = "textColor";
};

// A view that scrolls its document view; the document view is its first subview.
class NSScrollView : public NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "NSScrollView"; }

    std::shared_ptr<NSView> documentView() const { return documentView_.lock(); }
    void setDocumentView(const std::shared_ptr<NSView>& view);
    bool hasVerticalScroller() const { return hasVerticalScroller_; }
    void setHasVerticalScroller(bool has) { hasVerticalScroller_ = has; }

    void describeOutline(OutlineNode& node) const override;

private:
    std::weak_ptr<NSView> documentView_;
    bool hasVerticalScroller_ = false;
};

// A push button or a check box.
class NSButton : public NSControl {
public:
    enum class ButtonType { momentaryPushIn = 7, toggle = 2, switchButton = 3, radio = 4 };

    using NSControl::NSControl;
    static std::shared_ptr<NSButton> withTitle(std::string title, Action action = {});
    static std::shared_ptr<NSButton> checkbox(std::string title, Action action = {});

    std::string className() const override { return "NSButton"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    ButtonType buttonType() const { return buttonType_; }
    void setButtonType(ButtonType type) { buttonType_ = type; }
    // "\r" answers Return, "\x1b" Escape.
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    NSEvent::ModifierFlags keyEquivalentModifierMask() const { return keyEquivalentModifiers_; }
    void setKeyEquivalentModifierMask(NSEvent::ModifierFlags mask) {
        keyEquivalentModifiers_ = mask;
    }
    bool hasDestructiveAction() const { return destructive_; }
    void setHasDestructiveAction(bool destructive) { destructive_ = destructive; }
    NSControlStateValue state() const { return state_; }
    void setState(NSControlStateValue state) { state_ = state; }
    const std::shared_ptr<NSImage>& image() const { return image_; }
    void setImage(std::shared_ptr<NSImage> image) { image_ = std::move(image); }

    // A user's click: does nothing when disabled; a check box or toggle flips its state
    // first; then the action runs.
    virtual void performClick();

    bool acceptsFirstResponder() const override { return isEnabled(); }
    void describeOutline(OutlineNode& node) const override;

private:
    std::string title_;
    ButtonType buttonType_ = ButtonType::momentaryPushIn;
    std::string keyEquivalent_;
    NSEvent::ModifierFlags keyEquivalentModifiers_{};
    bool destructive_ = false;
    NSControlStateValue state_ = NSControlStateValue::off;
    std::shared_ptr<NSImage> image_;
};

} // namespace zestrel::platform
