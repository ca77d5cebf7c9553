#pragma once

#include "platform/appkit/CALayer.h"
#include "platform/appkit/CGAffineTransform.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSResponder.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Geometry.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zestrel::platform {

class NSGestureRecognizer;
class NSLayoutConstraint;
class NSScrollView;
class NSTrackingArea;
class NSWindow;
class NSTextView;

// The system font by its size; nothing is drawn, so that is all a font is here.
struct NSFont {
    std::string fontName = ".AppleSystemUIFont";
    CGFloat pointSize = 13;

    enum class ControlSize { regular = 0, small = 1, mini = 2, large = 3 };
    // How wide the font's letters are drawn, narrowest first.
    enum class Width { compressed, condensed, standard, expanded };

    static NSFont systemFont(CGFloat size) { return NSFont{".AppleSystemUIFont", size}; }
    // Nothing is typeset here: a character takes half the font's size in width, a line 1.2
    // times its size in height.
    CGFloat widthOfText(std::string_view text) const {
        return static_cast<CGFloat>(text.size()) * pointSize / 2;
    }
    CGFloat lineHeight() const { return pointSize * 1.2; }
    static CGFloat systemFontSize() { return 13; }
    static CGFloat systemFontSize(ControlSize size);
    bool operator==(const NSFont&) const = default;
};

// How a view shows that it has the keyboard focus.
enum class NSFocusRingType : std::uint64_t { defaultType = 0, none = 1, exterior = 2 };

// A view: a rectangle in its superview's coordinates (origin at the bottom left), owning its
// subviews; the superview and the window are not owned. Views are held by shared pointers.
class NSView : public NSResponder {
public:
    explicit NSView(CGRect frame = {});
    ~NSView() override;

    std::string className() const override { return "NSView"; }

    const CGRect& frame() const { return frame_; }
    virtual void setFrame(const CGRect& frame) { frame_ = frame; }
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
    // Whether Tab may move the focus here.
    virtual bool canBecomeKeyView() const { return acceptsFirstResponder() && !hidden_; }

    // The size the content needs; kNoIntrinsicMetric where it has no say.
    static constexpr CGFloat kNoIntrinsicMetric = -1;
    virtual CGSize intrinsicContentSize() const { return {kNoIntrinsicMetric, kNoIntrinsicMetric}; }
    // How strongly the view keeps to its intrinsic size (250 low, 750 high).
    enum class Orientation { horizontal = 0, vertical = 1 };
    float contentHuggingPriority(Orientation orientation) const {
        return hugging_[static_cast<int>(orientation)];
    }
    void setContentHuggingPriority(float priority, Orientation orientation) {
        hugging_[static_cast<int>(orientation)] = priority;
    }
    // How strongly the view keeps from being made smaller than its intrinsic size.
    float contentCompressionResistancePriority(Orientation orientation) const {
        return compressionResistance_[static_cast<int>(orientation)];
    }
    void setContentCompressionResistancePriority(float priority, Orientation orientation) {
        compressionResistance_[static_cast<int>(orientation)] = priority;
    }
    // A point of the window's coordinates in this view's, through every frame, flip and
    // scroll on the way (see transformToSuperview; scaling is not modelled for points).
    CGPoint convertPointFromWindow(CGPoint point) const;
    virtual bool isFlipped() const { return false; }
    // Called after the view (or an ancestor) moved into another window or out of one.
    virtual void viewDidMoveToWindow() {}
    virtual void viewDidMoveToSuperview() {}

    // What the view shows in the text outline; its subviews follow as children. A view that
    // leaves the kind empty does not show itself: its subviews stand in its place.
    virtual void describeOutline(OutlineNode& node) const;

    // Layer backing. Asking for a layer makes one when the view has none.
    bool wantsLayer() const { return wantsLayer_; }
    void setWantsLayer(bool wants);
    std::shared_ptr<CALayer> layer() const { return layer_; }
    virtual void setLayer(std::shared_ptr<CALayer> layer) { layer_ = std::move(layer); }
    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(bool needs) { needsDisplay_ = needs; }
    NSFocusRingType focusRingType() const { return focusRingType_; }
    void setFocusRingType(NSFocusRingType type) { focusRingType_ = type; }
    const std::optional<std::string>& toolTip() const { return toolTip_; }
    void setToolTip(std::optional<std::string> text) { toolTip_ = std::move(text); }
    virtual bool wantsDefaultClipping() const { return true; }

    // Mouse handling: the view a click at the point goes to (this view by default, nothing
    // for a view that lets clicks through), whether the first click on an inactive window
    // already counts, and whether dragging on the view moves its window.
    virtual std::shared_ptr<NSView> hitTest(CGPoint point);
    virtual bool acceptsFirstMouse(const NSEvent* /*event*/) const { return false; }
    virtual bool mouseDownCanMoveWindow() const { return false; }
    // Keyboard shortcuts offered to the view before ordinary key handling; true when taken.
    virtual bool performKeyEquivalent(const NSEvent& /*event*/) { return false; }
    // Keyboard shortcuts of controls inside the view that answer wherever the focus is in
    // the window, as a button's key equivalent does; true when taken.
    virtual bool performKeyEquivalentAnywhere(const NSEvent& /*event*/) { return false; }

    void addGestureRecognizer(const std::shared_ptr<NSGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<NSGestureRecognizer>& recognizer);
    std::vector<std::shared_ptr<NSGestureRecognizer>> gestureRecognizers() const {
        return gestureRecognizers_;
    }
    // A user's click on the view: the recognizers of the view and then of its ancestors see
    // it first, and the first that is enabled takes it; otherwise the view handles it.
    void click();
    // The same carried by a mouse event, which is the application's current event meanwhile.
    void click(std::shared_ptr<NSEvent> event);
    // Whether a click here would reach a recognizer or the view's own click handling.
    bool isClickable() const;

    // The scale of the view's coordinates (1 × 1 unless scaled), and sizes converted
    // between the view and its window through every scale on the way.
    void scaleUnitSquareToSize(CGSize size);
    CGSize convertSizeToWindow(CGSize size) const;
    CGSize convertSizeFromWindow(CGSize size) const;

    // Auto Layout: constraints the view keeps (see NSLayoutConstraint).
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
        translatesMask_ = translates;
    }
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints() const { return constraints_; }

    // What a screen reader says for the view; nothing when unset.
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label) {
        accessibilityLabel_ = std::move(label);
    }

    // Areas in which the pointer's moves are told to an owner (NSTrackingArea.h).
    void addTrackingArea(const std::shared_ptr<NSTrackingArea>& area);
    void removeTrackingArea(const std::shared_ptr<NSTrackingArea>& area);
    std::vector<std::shared_ptr<NSTrackingArea>> trackingAreas() const { return trackingAreas_; }
    // Called when what shows of the view may have changed (it came into a window, or its
    // scroll view scrolled), so that it can rebuild its tracking areas.
    virtual void updateTrackingAreas() {}

    // Draws the view's own content into the current graphics context, in the view's
    // coordinates (NSGraphicsContext.h); its subviews are drawn after it.
    virtual void draw(CGRect /*dirtyRect*/) {}

    // Geometry of points and scrolling (NSViewGeometry.cpp). The map from this view's
    // coordinates to its superview's (or, without one, its window's): the frame's origin, a
    // flip where the view is flipped and the superview not (or the other way round), and
    // for a scroll view's document view the scroll position instead of the frame.
    CGAffineTransform transformToSuperview() const;
    CGPoint convertPointToWindow(CGPoint point) const;
    CGRect convertRectToWindow(CGRect rect) const;
    // A point or rectangle of `view`'s coordinates in this view's; of the window's when
    // `view` is null.
    CGPoint convertPoint(CGPoint point, const NSView* view) const;
    CGRect convertRect(CGRect rect, const NSView* view) const;
    // The part of the bounds the superviews let show; empty when none does.
    CGRect visibleRect() const;
    // The nearest scroll view above the view.
    std::shared_ptr<NSScrollView> enclosingScrollView() const;
    // Scrolls the enclosing scroll view so that the point (in this view's coordinates) is at
    // the origin of what shows, as near as the document allows.
    void scroll(CGPoint point);
    // Scrolls the enclosing scroll view as little as brings the rectangle into sight (its
    // top left first when it does not fit); true when it moved.
    bool scrollRectToVisible(CGRect rect);

protected:
    // A user's click that no recognizer took.
    virtual void mouseClicked() {}
    virtual bool hasClickHandling() const { return false; }

private:
    friend class NSLayoutConstraint;
    friend class NSWindow;
    // The window's content view and everything under it follow the window.
    void moveToWindow(const std::shared_ptr<NSWindow>& window);

    CGRect frame_;
    bool hidden_ = false;
    std::string identifier_;
    std::vector<std::shared_ptr<NSView>> subviews_;
    std::weak_ptr<NSView> superview_;
    std::weak_ptr<NSWindow> window_;
    bool wantsLayer_ = false;
    std::shared_ptr<CALayer> layer_;
    bool needsDisplay_ = false;
    std::optional<std::string> toolTip_;
    std::vector<std::shared_ptr<NSGestureRecognizer>> gestureRecognizers_;
    CGSize unitScale_{1, 1};
    bool translatesMask_ = true;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
    float hugging_[2] = {250, 250};
    float compressionResistance_[2] = {750, 750};
    NSFocusRingType focusRingType_ = NSFocusRingType::defaultType;
    std::optional<std::string> accessibilityLabel_;
    std::vector<std::shared_ptr<NSTrackingArea>> trackingAreas_;
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
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    const NSFont& font() const { return font_; }
    void setFont(NSFont font) { font_ = std::move(font); }

    // Runs the action (when the control is enabled and has one); true when it ran.
    bool sendAction();
    // Which mouse events send the action (a mask of event types): the release of the left
    // button unless set otherwise. Answers the mask it replaces.
    NSEvent::EventTypeMask sendActionOnMask() const { return sendActionOn_; }
    NSEvent::EventTypeMask sendActionOn(NSEvent::EventTypeMask mask) {
        return std::exchange(sendActionOn_, mask);
    }
    // Takes the size its content needs, where the content has a say.
    void sizeToFit();

private:
    bool enabled_ = true;
    std::int64_t tag_ = 0;
    Action action_;
    NSFont font_;
    NSEvent::EventTypeMask sendActionOn_ = NSEvent::maskFor(NSEvent::EventType::leftMouseUp);
};

inline constexpr const char* NSControlTextDidChangeNotification =
    "NSControlTextDidChangeNotification";
inline constexpr const char* NSControlTextDidEndEditingNotification =
    "NSControlTextDidEndEditingNotification";

// What a text control tells its delegate while the user edits it; the notification's
// object is the control.
class NSControlTextEditingDelegate {
public:
    virtual ~NSControlTextEditingDelegate() = default;
    virtual void controlTextDidChange(const Notification& /*notification*/) {}
    virtual void controlTextDidEndEditing(const Notification& /*notification*/) {}
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
    enum class TextAlignment { left = 0, center = 1, right = 2, natural = 4 };
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    // System colours adapt to the appearance; the stand-in keeps their names
    // ("labelColor", "secondaryLabelColor").
    const std::string& textColorName() const { return textColorName_; }
    void setTextColorName(std::string name) { textColorName_ = std::move(name); }

    bool acceptsFirstResponder() const override { return editable_ || selectable_; }
    void describeOutline(OutlineNode& node) const override;

    const std::optional<std::string>& placeholderString() const { return placeholder_; }
    void setPlaceholderString(std::optional<std::string> text) { placeholder_ = std::move(text); }
    std::shared_ptr<NSControlTextEditingDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSControlTextEditingDelegate>& delegate) {
        delegate_ = delegate;
    }
    // The size the text needs within the given bounds. Nothing is typeset here: a character
    // takes half the font's size in width and a line 1.2 times its size in height; text
    // wider than the bounds wraps onto more lines.
    CGSize sizeThatFits(CGSize bounds) const;

    // The user's editing: typing replaces the text and tells the delegate (text did change,
    // with this field as the object); ending the edit tells it too.
    void userTypes(std::string text);
    void userEndsEditing();

    // Gaining the focus hands the field to its window's field editor, which holds its text
    // with the insertion point at the end; losing it lets the editor go.
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    // The field editor while this field has the focus, else nothing.
    std::shared_ptr<NSTextView> currentEditor() const { return editor_.lock(); }

private:
    std::weak_ptr<NSTextView> editor_;
    std::optional<std::string> placeholder_;
    std::weak_ptr<NSControlTextEditingDelegate> delegate_;
    std::string stringValue_;
    bool editable_ = true;
    bool selectable_ = true;
    bool drawsBackground_ = true;
    TextAlignment alignment_ = TextAlignment::natural;
    std::string textColorName_ = "labelColor";
};

inline constexpr const char* NSTextDidChangeNotification = "NSTextDidChangeNotification";

class NSTextView;

// What a text view tells its delegate: its text changed (the notification's object is the
// text view), and, before it runs a command of the key bindings ("insertTab:",
// "insertBacktab:", "insertNewline:"), whether the delegate runs it instead.
class NSTextViewDelegate {
public:
    virtual ~NSTextViewDelegate() = default;
    virtual void textDidChange(const Notification& /*notification*/) {}
    virtual bool doCommandBySelector(NSTextView& /*textView*/, const std::string& /*selector*/) {
        return false;
    }
};

// A block of text, usually inside a scroll view.
class NSTextView : public NSView {
public:
    using NSView::NSView;
    // A scroll view with a vertical scroller whose document view is a text view.
    static std::shared_ptr<class NSScrollView> scrollableTextView();

    std::string className() const override { return "NSTextView"; }

    const std::string& string() const { return string_; }
    // Replacing the text puts the insertion point at its end.
    void setString(std::string text) {
        string_ = std::move(text);
        selection_ = Range{string_.size(), 0};
    }
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

    // The selection as a byte range of the text.
    struct Range {
        std::size_t location = 0;
        std::size_t length = 0;
        bool operator==(const Range&) const = default;
    };
    Range selectedRange() const { return selection_; }
    void setSelectedRange(Range range);
    // The caret's colour by name; "clearColor" hides it.
    const std::string& insertionPointColorName() const { return insertionPointColorName_; }
    void setInsertionPointColorName(std::string name) {
        insertionPointColorName_ = std::move(name);
    }
    bool allowsUndo() const { return allowsUndo_; }
    void setAllowsUndo(bool allows) { allowsUndo_ = allows; }
    // The user's typing: replaces the selection.
    void insertText(const std::string& text);
    // A command of the key bindings: the delegate may take it; otherwise a tab or a new line
    // is typed, and other commands do nothing.
    void doCommandBySelector(const std::string& selector);
    // A key typed into the view: Tab and Shift-Tab as the insert-tab and insert-backtab
    // commands, Return as insert-newline, other keys as their characters. Command and Control
    // keys are not typed: they go on along the chain.
    void keyDown(const NSEvent& event) override;
    std::shared_ptr<NSTextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSTextViewDelegate>& delegate) { delegate_ = delegate; }

    // The editing actions: "cut:", "copy:", "paste:", "selectAll:", and "undo:" and "redo:"
    // while undo is allowed. Copies go to the general pasteboard as plain text.
    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action, const std::shared_ptr<NSObject>& sender) override;

    // How a command-key event is offered to a text view. A hook installed for the process
    // (the application's own edit shortcuts) sees it first; it answers taken (true), refused
    // (false) or not its business (nothing), in which case the standard handling runs, which
    // takes no command key here, as a text view in an application without an Edit menu.
    using KeyEquivalentHook =
        std::function<std::optional<bool>(NSTextView& view, const NSEvent& event)>;
    static void setKeyEquivalentHook(KeyEquivalentHook hook);
    bool performKeyEquivalent(const NSEvent& event) override;

private:
    void replaceSelection(const std::string& text);
    Range clamped(Range range) const;

    std::weak_ptr<NSTextViewDelegate> delegate_;
    Range selection_;
    bool allowsUndo_ = false;
    std::vector<std::string> undoStack_;
    std::vector<std::string> redoStack_;
    std::string string_;
    bool editable_ = true;
    bool drawsBackground_ = true;
    NSFont font_;
    std::string textColorName_ = "textColor";
    std::string insertionPointColorName_ = "textColor";
};

// The edge a scroll view draws around itself.
enum class NSBorderType : std::uint64_t {
    noBorder = 0,
    lineBorder = 1,
    bezelBorder = 2,
    grooveBorder = 3
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
    NSBorderType borderType() const { return borderType_; }
    void setBorderType(NSBorderType type) { borderType_ = type; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws) { drawsBackground_ = draws; }
    // What shows of the document view, in its coordinates: the scroll position and the
    // scroll view's size (scrollers and borders take no room here), within the document.
    CGRect documentVisibleRect() const;
    // Moves the scroll position (the document's point at the origin of what shows), kept
    // within the document; the document's views are told what shows changed.
    void scrollTo(CGPoint position);
    CGPoint scrollPosition() const { return scrollPosition_; }

    void describeOutline(OutlineNode& node) const override;

private:
    std::weak_ptr<NSView> documentView_;
    bool hasVerticalScroller_ = false;
    NSBorderType borderType_ = NSBorderType::noBorder;
    bool drawsBackground_ = true;
    CGPoint scrollPosition_;
};

// A push button or a check box.
class NSButton : public NSControl {
public:
    enum class ButtonType { momentaryPushIn = 7, toggle = 2, switchButton = 3, radio = 4 };
    // Where the image shows beside the title; `imageOnly` keeps the title as the button's
    // name for assistive technology.
    enum class ImagePosition { noImage = 0, imageOnly = 1, imageLeft = 2 };

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
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position) { imagePosition_ = position; }

    // A user's click: does nothing when disabled; a check box or toggle flips its state
    // first; then the action runs.
    virtual void performClick();
    // A push button fits its title with 14 points of bezel a side, at the regular height.
    CGSize intrinsicContentSize() const override;

    bool acceptsFirstResponder() const override { return isEnabled(); }
    void describeOutline(OutlineNode& node) const override;

protected:
    void mouseClicked() override { performClick(); }
    bool hasClickHandling() const override { return true; }

private:
    std::string title_;
    ButtonType buttonType_ = ButtonType::momentaryPushIn;
    std::string keyEquivalent_;
    NSEvent::ModifierFlags keyEquivalentModifiers_{};
    bool destructive_ = false;
    NSControlStateValue state_ = NSControlStateValue::off;
    std::shared_ptr<NSImage> image_;
    ImagePosition imagePosition_ = ImagePosition::imageLeft;
};

} // namespace zestrel::platform
