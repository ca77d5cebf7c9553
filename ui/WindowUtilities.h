#pragma once

#include "foundation/ApplicationActivation.h"
#include "platform/appkit/CALayer.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/QLPreviewPanel.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/Subjects.h"

#include <functional>
#include <memory>
#include <vector>

namespace zestrel {

// Opening Settings is needed below the kit (the relaunch path), so it lives in foundation/.
using zestrel::showSettingsWindow;

// The window server's named levels, each looked up once; the shielding level is read afresh
// each time, as the system may change it.
namespace WindowLevel {
platform::NSWindow::Level minimum();
platform::NSWindow::Level desktop();
platform::NSWindow::Level backstopMenu();
platform::NSWindow::Level dragging();
platform::NSWindow::Level maximum();
platform::NSWindow::Level overlay();
platform::NSWindow::Level help();
platform::NSWindow::Level utility();
platform::NSWindow::Level desktopIcon();
platform::NSWindow::Level cursor();
platform::NSWindow::Level assistiveTechHigh();
platform::NSWindow::Level shielding();
} // namespace WindowLevel

// Closes a visible key window (asking its delegate); otherwise brings the app forward and
// the window to the front as key.
void toggle(platform::NSWindow& window);
// Shows a hidden window as key (bringing the app forward); closes a visible one, without
// asking its delegate when `forceClose`.
void toggle2(platform::NSWindow& window, bool forceClose);

// Hides the Quick Look panel when it shows, and shows it as key otherwise.
void toggle(platform::QLPreviewPanel& panel);

// A window that can stop taking the user's clicks, typing, scrolling and gestures for a
// while; pointer movement and every other event still arrive. It never offers the toolbar
// toggle.
class UserInteractionPausableWindow : public platform::NSWindow {
public:
    UserInteractionPausableWindow(platform::CGRect contentRect, StyleMask styleMask,
                                  BackingStoreType backing = BackingStoreType::buffered,
                                  bool defer = true);
    std::string className() const override { return "Zestrel.UserInteractionPausableWindow"; }

    bool isUserInteractionEnabled = true;

    // Whether an event of the type (the platform's raw event type) is user input the window
    // ignores while paused.
    static bool isUserInput(std::uint32_t eventType);
    void sendEvent(const platform::NSEvent& event) override;
    bool respondsToAction(std::string_view action) const override;
};

// Runs `onResize` when its window resizes or enters full screen. Observes one window at a
// time: moving to another window (or out of any) drops the earlier registration first.
class WindowResizeObserverView : public platform::NSView {
public:
    WindowResizeObserverView();
    ~WindowResizeObserverView() override;
    std::string className() const override { return "Zestrel.WindowResizeObserverView"; }

    std::function<void()> onResize;

    bool acceptsFirstResponder() const override { return false; }
    void viewDidMoveToWindow() override;

private:
    void stopObserving();
    std::vector<platform::ObserverToken> observers_;
};

// A view that hosts a layer it is given: it is layer-backed exactly while it has one.
class LayerHostingView : public platform::NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "Zestrel.LayerHostingView"; }
    void setLayer(std::shared_ptr<platform::CALayer> layer) override;
};

// Views drawn in a status-bar button: flipped where they host layers, and letting the menu
// bar's vibrancy through.
class NSStatusBarButtonLayerHostingView : public LayerHostingView {
public:
    using LayerHostingView::LayerHostingView;
    bool isFlipped() const override { return true; }
    bool allowsVibrancy() const { return true; }
};

class NSStatusBarButtonView : public platform::NSView {
public:
    using NSView::NSView;
    bool allowsVibrancy() const { return true; }
};

class FlippedView : public platform::NSView {
public:
    using NSView::NSView;
    bool isFlipped() const override { return true; }
};

// Looks like a button but never takes a click.
class LabelButton : public platform::NSButton {
public:
    using NSButton::NSButton;
    std::shared_ptr<NSView> hitTest(platform::CGPoint /*point*/) override { return nullptr; }
};

// A layer-backed view (masking to its bounds) that announces, once each, its first move
// into a superview and its first appearance in a window.
class QVView : public platform::NSView {
public:
    explicit QVView(platform::CGRect frame = {});
    std::string className() const override { return "Zestrel.QVView"; }

    platform::combine::AnyPublisher<std::monostate> didMoveToSuperviewPublisher() const {
        return didMoveToSuperviewSubject_.eraseToAnyPublisher();
    }
    platform::combine::AnyPublisher<std::monostate> didAppearPublisher() const {
        return didAppearSubject_.eraseToAnyPublisher();
    }

    void viewDidMoveToSuperview() override;
    void viewDidMoveToWindow() override;

private:
    bool didMoveToSuperviewWasCalled_ = false;
    bool didMoveToWindowWasCalled_ = false;
    platform::combine::PassthroughSubject<std::monostate> didMoveToSuperviewSubject_;
    platform::combine::PassthroughSubject<std::monostate> didAppearSubject_;
};

// An animation delegate made of closures, to set as an animation's delegate.
class QVCAAnimationDelegate : public platform::NSObject, public platform::CAAnimationDelegate {
public:
    std::string className() const override { return "Zestrel.QVCAAnimationDelegate"; }
    std::function<void()> didStartHandler;
    std::function<void(bool finished)> didStopHandler;
    void animationDidStart(platform::CAKeyframeAnimation& /*animation*/) override {
        if (didStartHandler) {
            didStartHandler();
        }
    }
    void animationDidStop(platform::CAKeyframeAnimation& /*animation*/, bool finished) override {
        if (didStopHandler) {
            didStopHandler(finished);
        }
    }
};

// The responder chain as a sequence: the responder, then each next responder in turn.
std::vector<std::shared_ptr<platform::NSResponder>>
responderChain(const std::shared_ptr<platform::NSResponder>& responder);

// Which responder is first: the "setFirstResponder:" action, which every responder takes,
// sent along the responder chain with no target; the responder that receives it is kept in
// a process-wide weak reference and answered (nothing when no window is key: the application
// itself takes it then).
std::shared_ptr<platform::NSResponder> captureFirstResponder();

} // namespace zestrel
