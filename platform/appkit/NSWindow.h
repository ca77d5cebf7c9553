#pragma once

#include "platform/appkit/NSResponder.h"
#include "platform/base/Geometry.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSScreen.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSColor;
class NSEvent;
class NSView;
class NSTextView;
class NSViewController;
class NSWindow;
class NSWindowController;

// How a modal run or a sheet ended.
using NSModalResponse = std::int64_t;
inline constexpr NSModalResponse NSModalResponseOK = 1;
inline constexpr NSModalResponse NSModalResponseCancel = 0;
inline constexpr NSModalResponse NSModalResponseStop = -1000;
inline constexpr NSModalResponse NSModalResponseAbort = -1001;
inline constexpr NSModalResponse NSModalResponseContinue = -1002;
inline constexpr NSModalResponse NSAlertFirstButtonReturn = 1000;
inline constexpr NSModalResponse NSAlertSecondButtonReturn = 1001;
inline constexpr NSModalResponse NSAlertThirdButtonReturn = 1002;

// Notifications a window posts to the default centre, with itself as the object.
inline constexpr const char* NSWindowDidBecomeKeyNotification = "NSWindowDidBecomeKeyNotification";
inline constexpr const char* NSWindowDidResignKeyNotification = "NSWindowDidResignKeyNotification";
inline constexpr const char* NSWindowDidBecomeMainNotification =
    "NSWindowDidBecomeMainNotification";
inline constexpr const char* NSWindowDidResignMainNotification =
    "NSWindowDidResignMainNotification";
inline constexpr const char* NSWindowWillCloseNotification = "NSWindowWillCloseNotification";
inline constexpr const char* NSWindowDidResizeNotification = "NSWindowDidResizeNotification";
inline constexpr const char* NSWindowDidMoveNotification = "NSWindowDidMoveNotification";
inline constexpr const char* NSWindowDidChangeOcclusionStateNotification =
    "NSWindowDidChangeOcclusionStateNotification";
inline constexpr const char* NSWindowDidEnterFullScreenNotification =
    "NSWindowDidEnterFullScreenNotification";

// What a window's delegate is asked and told. Every member has the platform's default.
class NSWindowDelegate {
public:
    virtual ~NSWindowDelegate() = default;
    virtual bool windowShouldClose(NSWindow& /*sender*/) { return true; }
    virtual void windowWillClose(const Notification& /*notification*/) {}
    virtual void windowDidBecomeKey(const Notification& /*notification*/) {}
    virtual void windowDidResignKey(const Notification& /*notification*/) {}
    virtual void windowDidResize(const Notification& /*notification*/) {}
};

// A window of this application. Frames are in screen coordinates with the origin at the
// bottom left of the main screen. A window is held by a shared pointer; while it is on
// screen the application keeps it alive, as the window server does.
class NSWindow : public NSResponder {
public:
    struct StyleMask {
        std::uint64_t rawValue = 0;
        static const StyleMask borderless;
        static const StyleMask titled;
        static const StyleMask closable;
        static const StyleMask miniaturizable;
        static const StyleMask resizable;
        static const StyleMask utilityWindow;
        static const StyleMask docModalWindow;
        static const StyleMask nonactivatingPanel;
        static const StyleMask hudWindow;
        static const StyleMask fullSizeContentView;
        constexpr bool contains(StyleMask other) const {
            return (rawValue & other.rawValue) == other.rawValue;
        }
        constexpr StyleMask operator|(StyleMask other) const {
            return StyleMask{rawValue | other.rawValue};
        }
        constexpr bool operator==(const StyleMask&) const = default;
    };

    enum class BackingStoreType : std::uint64_t { retained = 0, nonretained = 1, buffered = 2 };

    struct Level {
        std::int64_t rawValue = 0;
        static const Level normal;
        static const Level floating;
        static const Level modalPanel;
        static const Level mainMenu;
        static const Level statusBar;
        static const Level popUpMenu;
        static const Level screenSaver;
        constexpr auto operator<=>(const Level&) const = default;
    };

    struct OcclusionState {
        std::uint64_t rawValue = 0;
        static const OcclusionState visible;
        constexpr bool contains(OcclusionState other) const {
            return (rawValue & other.rawValue) == other.rawValue;
        }
        constexpr bool operator==(const OcclusionState&) const = default;
    };

    // The height of a title bar, which a titled window adds above its content.
    static constexpr CGFloat kTitleBarHeight = 28;

    NSWindow(CGRect contentRect, StyleMask styleMask,
             BackingStoreType backing = BackingStoreType::buffered, bool defer = true);
    ~NSWindow() override;

    std::string className() const override { return "NSWindow"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    // The window server's number, given on first showing; 0 before.
    std::int64_t windowNumber() const { return windowNumber_; }

    StyleMask styleMask() const { return styleMask_; }
    void setStyleMask(StyleMask mask) { styleMask_ = mask; }
    Level level() const { return level_; }
    void setLevel(Level level) { level_ = level; }

    const CGRect& frame() const { return frame_; }
    // Posts the did-resize notification when the size changes, did-move when the origin does.
    void setFrame(const CGRect& frame, bool display = true);
    void setFrameOrigin(CGPoint origin);
    CGRect frameRectForContentRect(const CGRect& contentRect) const;
    CGRect contentRectForFrameRect(const CGRect& frameRect) const;
    // A rectangle of the window's coordinates in the screen's: moved by the frame's origin.
    CGRect convertRectToScreen(const CGRect& rect) const;
    // Where the window may go on a screen: by default moved down so that its top stays
    // under the menu bar. Applied when a titled window comes on screen.
    virtual CGRect constrainFrameRect(const CGRect& frame,
                                      const std::shared_ptr<NSScreen>& screen) const;
    // Centred horizontally and vertically in the main screen's visible frame.
    void center();
    // The main screen while on screen; nothing while hidden.
    std::shared_ptr<NSScreen> screen() const;

    std::shared_ptr<NSView> contentView() const { return contentView_; }
    // The view fills the content rectangle and moves into this window.
    void setContentView(const std::shared_ptr<NSView>& view);

    std::shared_ptr<NSWindowDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSWindowDelegate>& delegate) { delegate_ = delegate; }

    bool isVisible() const { return visible_; }
    // Runs `observer` after the window comes on screen (true) and after it leaves it (false),
    // for as long as the returned token is held. For views that follow whether they are on
    // screen.
    using VisibilityObserver = std::function<void(bool isVisible)>;
    [[nodiscard]] std::shared_ptr<void> observeVisibility(VisibilityObserver observer);
    bool isKeyWindow() const { return key_; }
    bool isMainWindow() const { return main_; }
    // Borderless windows cannot become key or main unless a subclass says so.
    virtual bool canBecomeKeyWindow() const;
    virtual bool canBecomeMainWindow() const;

    void makeKeyAndOrderFront();
    void orderFront();
    void orderFrontRegardless() { orderFront(); }
    // Off screen. A key (main) window hands the part to the frontmost window left that can
    // take it; so do close and performClose, which come here.
    void orderOut();
    // While its launched application is in the back, the window becomes key only when the
    // application comes forward (the same for makeKeyAndOrderFront and a sheet's begin).
    void makeKeyWindow();
    void makeMainWindow();
    // Closes at once: will-close (delegate and notification), then off screen. A window
    // released when closed leaves the application's list.
    virtual void close();
    // The close button: asks the delegate first; a window without a close button cannot
    // be closed this way.
    virtual void performClose();

    bool isReleasedWhenClosed() const { return releasedWhenClosed_; }
    void setReleasedWhenClosed(bool released) { releasedWhenClosed_ = released; }
    const std::shared_ptr<NSColor>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::shared_ptr<NSColor> color) { backgroundColor_ = std::move(color); }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool hasShadow() const { return hasShadow_; }
    void setHasShadow(bool hasShadow) { hasShadow_ = hasShadow; }
    double alphaValue() const { return alphaValue_; }
    void setAlphaValue(double alpha) { alphaValue_ = alpha; }
    bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
    void setIgnoresMouseEvents(bool ignores) { ignoresMouseEvents_ = ignores; }

    // Visible while on screen and not hidden behind something; what hides it is the
    // window server's business, so the desktop (or a test) says so with setOccluded.
    OcclusionState occlusionState() const;
    void setOccluded(bool occluded);

    // Sheets: the sheet shows attached to this window until endSheet, which runs the
    // handler with the code (NSModalResponseStop without one).
    void beginSheet(const std::shared_ptr<NSWindow>& sheet,
                    std::function<void(NSModalResponse)> completionHandler = {});
    void endSheet(const std::shared_ptr<NSWindow>& sheet,
                  NSModalResponse returnCode = NSModalResponseStop);
    std::shared_ptr<NSWindow> attachedSheet() const;
    std::vector<std::shared_ptr<NSWindow>> sheets() const;
    std::shared_ptr<NSWindow> sheetParent() const { return sheetParent_.lock(); }
    bool isSheet() const { return !sheetParent_.expired(); }

    // Keyboard focus inside the window.
    std::shared_ptr<NSResponder> firstResponder() const { return firstResponder_.lock(); }
    bool makeFirstResponder(const std::shared_ptr<NSResponder>& responder);
    // The one text view of the window that edits whichever text field has the focus; made on
    // first use when `createFlag` is true.
    std::shared_ptr<NSTextView> fieldEditor(bool createFlag);

    // --- Keys, actions and controllers (NSWindowActions.cpp)
    // An event for this window, counted. A mouse-down brings the window to the front and makes
    // it key, as a click does (see NSApplication). A key down is offered to the first
    // responder's key equivalents when it is a view, then goes to the first responder's
    // `keyDown` (a text view types it), through the chain to the window.
    virtual void sendEvent(const NSEvent& event);
    // Moves the focus to the next (or previous) view of the content view that accepts it,
    // in the order of the view tree, round from the last to the first.
    void selectNextKeyView();
    void selectPreviousKeyView();
    int deliveredEventCount() const { return deliveredEvents_; }
    // A button of the window with the key as its key equivalent is clicked; else Escape
    // cancels (`cancelOperation`) and other keys are dropped here.
    void keyDown(const NSEvent& event) override;
    // Nothing by default: a window that closes on Escape says so.
    virtual void cancelOperation() {}
    // "performClose:", "performMiniaturize:", "close", "cancelOperation:",
    // "makeKeyAndOrderFront:", "orderFront:", "orderOut:".
    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action, const std::shared_ptr<NSObject>& sender) override;
    // The minimize button: only for a window that has one.
    void performMiniaturize();
    // Into the Dock: off screen until deminiaturized.
    void miniaturize();
    void deminiaturize();
    bool isMiniaturized() const { return miniaturized_; }
    bool isRestorable() const { return restorable_; }
    void setRestorable(bool restorable) { restorable_ = restorable; }
    bool displaysWhenScreenProfileChanges() const { return displaysWhenScreenProfileChanges_; }
    void setDisplaysWhenScreenProfileChanges(bool value) {
        displaysWhenScreenProfileChanges_ = value;
    }
    // The title bar: see-through over the content or not, its title shown or not, its
    // close, minimise and zoom buttons hidden or not; and whether dragging the window's
    // background moves it.
    bool titlebarAppearsTransparent() const { return titlebarAppearsTransparent_; }
    void setTitlebarAppearsTransparent(bool value) { titlebarAppearsTransparent_ = value; }
    bool isTitleVisible() const { return titleVisible_; }
    void setTitleVisible(bool visible) { titleVisible_ = visible; }
    bool areStandardButtonsHidden() const { return standardButtonsHidden_; }
    void setStandardButtonsHidden(bool hidden) { standardButtonsHidden_ = hidden; }
    bool isMovableByWindowBackground() const { return movableByWindowBackground_; }
    void setMovableByWindowBackground(bool movable) { movableByWindowBackground_ = movable; }
    // How the window goes along with Spaces and the window cycle (Command-`).
    struct CollectionBehavior {
        std::uint64_t rawValue = 0;
        static const CollectionBehavior defaultBehavior;
        static const CollectionBehavior stationary;
        static const CollectionBehavior ignoresCycle;
        constexpr bool contains(CollectionBehavior other) const {
            return (rawValue & other.rawValue) == other.rawValue;
        }
        constexpr CollectionBehavior operator|(CollectionBehavior other) const {
            return CollectionBehavior{rawValue | other.rawValue};
        }
        constexpr bool operator==(const CollectionBehavior&) const = default;
    };
    CollectionBehavior collectionBehavior() const { return collectionBehavior_; }
    void setCollectionBehavior(CollectionBehavior behavior) { collectionBehavior_ = behavior; }
    // Whether hiding the application hides the window too.
    bool canHide() const { return canHide_; }
    void setCanHide(bool canHide) { canHide_ = canHide; }
    // Whether a restored window comes back from a snapshot of its last contents.
    bool isSnapshotRestorationDisabled() const { return snapshotRestorationDisabled_; }
    void disableSnapshotRestoration() { snapshotRestorationDisabled_ = true; }
    void enableSnapshotRestoration() { snapshotRestorationDisabled_ = false; }
    // The controller's view becomes the content view; the window keeps the controller.
    std::shared_ptr<NSViewController> contentViewController() const {
        return contentViewController_;
    }
    void setContentViewController(const std::shared_ptr<NSViewController>& controller);
    // Not owned: the controller owns its window.
    std::shared_ptr<NSWindowController> windowController() const {
        return windowController_.lock();
    }
    void setWindowController(const std::shared_ptr<NSWindowController>& controller) {
        windowController_ = controller;
    }

protected:
    // The shared pointer that owns this window.
    std::shared_ptr<NSWindow> self();

private:
    friend class NSApplication;
    void post(const char* name);
    void tellVisibilityObservers();
    void resignKey();
    void resignMain();

    std::string title_;
    std::string identifier_;
    std::int64_t windowNumber_ = 0;
    StyleMask styleMask_;
    Level level_;
    CGRect frame_;
    std::shared_ptr<NSView> contentView_;
    std::weak_ptr<NSWindowDelegate> delegate_;
    bool visible_ = false;
    bool key_ = false;
    bool main_ = false;
    bool releasedWhenClosed_ = true;
    std::shared_ptr<NSColor> backgroundColor_;
    bool opaque_ = true;
    bool hasShadow_ = true;
    double alphaValue_ = 1.0;
    bool ignoresMouseEvents_ = false;
    bool occluded_ = false;
    bool miniaturized_ = false;
    bool restorable_ = true;
    bool displaysWhenScreenProfileChanges_ = false;
    bool titlebarAppearsTransparent_ = false;
    bool titleVisible_ = true;
    bool standardButtonsHidden_ = false;
    bool movableByWindowBackground_ = false;
    CollectionBehavior collectionBehavior_;
    bool canHide_ = true;
    bool snapshotRestorationDisabled_ = false;
    std::shared_ptr<NSViewController> contentViewController_;
    std::weak_ptr<NSWindowController> windowController_;
    struct Sheet {
        std::shared_ptr<NSWindow> window;
        std::function<void(NSModalResponse)> completion;
    };
    std::vector<Sheet> sheets_;
    std::weak_ptr<NSWindow> sheetParent_;
    std::weak_ptr<NSResponder> firstResponder_;
    std::shared_ptr<NSTextView> fieldEditor_;
    int deliveredEvents_ = 0;
    std::vector<std::weak_ptr<VisibilityObserver>> visibilityObservers_;
};

inline constexpr NSWindow::StyleMask NSWindow::StyleMask::borderless{0};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::titled{1};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::closable{2};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::miniaturizable{4};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::resizable{8};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::utilityWindow{1u << 4};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::docModalWindow{1u << 6};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::nonactivatingPanel{1u << 7};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::hudWindow{1u << 13};
inline constexpr NSWindow::StyleMask NSWindow::StyleMask::fullSizeContentView{1u << 15};

inline constexpr NSWindow::Level NSWindow::Level::normal{0};
inline constexpr NSWindow::Level NSWindow::Level::floating{3};
inline constexpr NSWindow::Level NSWindow::Level::modalPanel{8};
inline constexpr NSWindow::Level NSWindow::Level::mainMenu{24};
inline constexpr NSWindow::Level NSWindow::Level::statusBar{25};
inline constexpr NSWindow::Level NSWindow::Level::popUpMenu{101};
inline constexpr NSWindow::Level NSWindow::Level::screenSaver{1000};

inline constexpr NSWindow::OcclusionState NSWindow::OcclusionState::visible{2};

inline constexpr NSWindow::CollectionBehavior NSWindow::CollectionBehavior::defaultBehavior{0};
inline constexpr NSWindow::CollectionBehavior NSWindow::CollectionBehavior::stationary{1u << 4};
inline constexpr NSWindow::CollectionBehavior NSWindow::CollectionBehavior::ignoresCycle{1u << 6};

// A window for auxiliary content: palettes, alerts, the About panel.
class NSPanel : public NSWindow {
public:
    using NSWindow::NSWindow;
    std::string className() const override { return "NSPanel"; }

    bool isFloatingPanel() const { return floatingPanel_; }
    // A floating panel sits at the floating level.
    void setFloatingPanel(bool floating);
    bool becomesKeyOnlyIfNeeded() const { return becomesKeyOnlyIfNeeded_; }
    void setBecomesKeyOnlyIfNeeded(bool value) { becomesKeyOnlyIfNeeded_ = value; }
    bool worksWhenModal() const { return worksWhenModal_; }
    void setWorksWhenModal(bool value) { worksWhenModal_ = value; }

    bool canBecomeMainWindow() const override { return false; }
    // A panel closes on Escape.
    void cancelOperation() override { close(); }

private:
    bool floatingPanel_ = false;
    bool becomesKeyOnlyIfNeeded_ = false;
    bool worksWhenModal_ = false;
};

} // namespace zestrel::platform
