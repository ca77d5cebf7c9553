#include "ui/WindowUtilities.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/CGWindowLevel.h"
#include "services/EventNames.h"

namespace zestrel {

using platform::NSWindow;

namespace WindowLevel {
namespace {

NSWindow::Level level(platform::CGWindowLevelKey key) {
    return NSWindow::Level{platform::CGWindowLevelForKey(key)};
}

} // namespace

#define ZESTREL_NAMED_LEVEL(name, key)                                                             \
    NSWindow::Level name() {                                                                       \
        static const NSWindow::Level value = level(platform::key);                                 \
        return value;                                                                              \
    }
ZESTREL_NAMED_LEVEL(minimum, kCGMinimumWindowLevelKey)
ZESTREL_NAMED_LEVEL(desktop, kCGDesktopWindowLevelKey)
ZESTREL_NAMED_LEVEL(backstopMenu, kCGBackstopMenuLevelKey)
ZESTREL_NAMED_LEVEL(dragging, kCGDraggingWindowLevelKey)
ZESTREL_NAMED_LEVEL(maximum, kCGMaximumWindowLevelKey)
ZESTREL_NAMED_LEVEL(overlay, kCGOverlayWindowLevelKey)
ZESTREL_NAMED_LEVEL(help, kCGHelpWindowLevelKey)
ZESTREL_NAMED_LEVEL(utility, kCGUtilityWindowLevelKey)
ZESTREL_NAMED_LEVEL(desktopIcon, kCGDesktopIconWindowLevelKey)
ZESTREL_NAMED_LEVEL(cursor, kCGCursorWindowLevelKey)
ZESTREL_NAMED_LEVEL(assistiveTechHigh, kCGAssistiveTechHighWindowLevelKey)
#undef ZESTREL_NAMED_LEVEL

NSWindow::Level shielding() {
    return NSWindow::Level{platform::CGShieldingWindowLevel()};
}

} // namespace WindowLevel

void toggle(NSWindow& window) {
    if (window.isVisible() && window.isKeyWindow()) {
        window.performClose();
        return;
    }
    forceActivate();
    window.makeKeyAndOrderFront();
}

void toggle2(NSWindow& window, bool forceClose) {
    if (!window.isVisible()) {
        forceActivate();
        window.makeKeyAndOrderFront();
    } else if (forceClose) {
        window.close();
    } else {
        window.performClose();
    }
}

void toggle(platform::QLPreviewPanel& panel) {
    if (panel.isVisible()) {
        panel.orderOut();
    } else {
        panel.makeKeyAndOrderFront();
    }
}

UserInteractionPausableWindow::UserInteractionPausableWindow(platform::CGRect contentRect,
                                                             StyleMask styleMask,
                                                             BackingStoreType backing, bool defer)
    : NSWindow(contentRect, styleMask, backing, defer) {}

bool UserInteractionPausableWindow::isUserInput(std::uint32_t eventType) {
    return isUserInteractionEventType(eventType);
}

void UserInteractionPausableWindow::sendEvent(const platform::NSEvent& event) {
    if (!isUserInteractionEnabled && isUserInput(static_cast<std::uint32_t>(event.type()))) {
        return;
    }
    NSWindow::sendEvent(event);
}

bool UserInteractionPausableWindow::respondsToAction(std::string_view action) const {
    if (action == "toggleToolbarShown:") {
        return false;
    }
    return NSWindow::respondsToAction(action);
}

WindowResizeObserverView::WindowResizeObserverView() : NSView(platform::CGRect{}) {}

WindowResizeObserverView::~WindowResizeObserverView() {
    stopObserving();
}

void WindowResizeObserverView::stopObserving() {
    auto center = platform::NotificationCenter::defaultCenter();
    for (const auto& token : observers_) {
        center->removeObserver(token);
    }
    observers_.clear();
}

void WindowResizeObserverView::viewDidMoveToWindow() {
    // One registration at a time: a view moved between windows must not keep hearing the
    // old one, nor hear the new one twice.
    stopObserving();
    auto window = this->window();
    if (!window) {
        return;
    }
    std::weak_ptr<WindowResizeObserverView> weakSelf =
        std::static_pointer_cast<WindowResizeObserverView>(shared_from_this());
    std::weak_ptr<NSWindow> weakWindow = window;
    // The window is matched in the block: the centre would keep it alive if it matched it.
    auto didResize = [weakSelf, weakWindow](const platform::Notification& note) {
        auto self = weakSelf.lock();
        auto window = weakWindow.lock();
        if (self && window && note.object.asObject() == window && self->onResize) {
            auto onResize = self->onResize;
            onResize();
        }
    };
    auto center = platform::NotificationCenter::defaultCenter();
    observers_.push_back(
        center->addObserver(platform::NSWindowDidResizeNotification, platform::Value(), didResize));
    observers_.push_back(center->addObserver(platform::NSWindowDidEnterFullScreenNotification,
                                             platform::Value(), didResize));
}

void LayerHostingView::setLayer(std::shared_ptr<platform::CALayer> layer) {
    const bool hasLayer = layer != nullptr;
    NSView::setLayer(std::move(layer));
    setWantsLayer(hasLayer);
}

QVView::QVView(platform::CGRect frame) : NSView(frame) {
    setWantsLayer(true);
    layer()->setMasksToBounds(true);
    setNeedsDisplay(true);
}

void QVView::viewDidMoveToSuperview() {
    NSView::viewDidMoveToSuperview();
    if (!didMoveToSuperviewWasCalled_) {
        didMoveToSuperviewWasCalled_ = true;
        didMoveToSuperviewSubject_.send(std::monostate{});
    }
}

void QVView::viewDidMoveToWindow() {
    NSView::viewDidMoveToWindow();
    if (!didMoveToWindowWasCalled_) {
        didMoveToWindowWasCalled_ = true;
        didAppearSubject_.send(std::monostate{});
    }
}

std::vector<std::shared_ptr<platform::NSResponder>>
responderChain(const std::shared_ptr<platform::NSResponder>& responder) {
    std::vector<std::shared_ptr<platform::NSResponder>> chain;
    for (auto current = responder; current; current = current->nextResponder()) {
        chain.push_back(current);
    }
    return chain;
}

namespace {

std::weak_ptr<platform::NSResponder>& capturedFirstResponder() {
    static platform::ProcessLocal<std::weak_ptr<platform::NSResponder>> captured;
    return *captured;
}

} // namespace

std::shared_ptr<platform::NSResponder> captureFirstResponder() {
    std::shared_ptr<platform::NSResponder> receiver;
    if (auto window = platform::NSApp().keyWindow()) {
        receiver = window->firstResponder();
        if (!receiver) {
            receiver = window;
        }
    }
    // Without a key window the application itself takes the action; it is not kept here.
    capturedFirstResponder() = receiver;
    return capturedFirstResponder().lock();
}

} // namespace zestrel
