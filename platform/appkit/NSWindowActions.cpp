// The window's part in the responder chain: keys, actions, miniaturizing and controllers.
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/NSEvent.h"

namespace zestrel::platform {

namespace {

constexpr std::uint16_t kEscapeKeyCode = 53;
constexpr std::uint16_t kReturnKeyCode = 36;

NSEvent::ModifierFlags equivalentFlags(NSEvent::ModifierFlags flags) {
    return flags.intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
        .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                     NSEvent::ModifierFlags::function);
}

// The enabled, shown button under `view` that answers the key, depth first.
std::shared_ptr<NSButton> buttonFor(const std::shared_ptr<NSView>& view, const std::string& key,
                                    NSEvent::ModifierFlags flags) {
    if (!view || view->isHidden()) {
        return nullptr;
    }
    if (auto button = std::dynamic_pointer_cast<NSButton>(view);
        button && button->isEnabled() && button->keyEquivalent() == key &&
        equivalentFlags(button->keyEquivalentModifierMask()) == flags) {
        return button;
    }
    for (const auto& subview : view->subviews()) {
        if (auto found = buttonFor(subview, key, flags)) {
            return found;
        }
    }
    return nullptr;
}

// Offers the key to every shown view under `view`, depth first, until one takes it.
bool offerKeyEquivalent(const std::shared_ptr<NSView>& view, const NSEvent& event) {
    if (!view || view->isHidden()) {
        return false;
    }
    if (view->performKeyEquivalentAnywhere(event)) {
        return true;
    }
    for (const auto& subview : view->subviews()) {
        if (offerKeyEquivalent(subview, event)) {
            return true;
        }
    }
    return false;
}

} // namespace

void NSWindow::sendEvent(const NSEvent& event) {
    ++deliveredEvents_;
    if (event.type() == NSEvent::EventType::leftMouseDown ||
        event.type() == NSEvent::EventType::rightMouseDown) {
        NSApp().windowClicked(*this);
        return;
    }
    if (event.type() != NSEvent::EventType::keyDown) {
        return;
    }
    auto me = self();
    const auto responder = firstResponder();
    if (auto view = std::dynamic_pointer_cast<NSView>(responder);
        view && view->performKeyEquivalent(event)) {
        return;
    }
    // Shortcuts of controls elsewhere in the window come before the focused view's typing.
    if (offerKeyEquivalent(contentView_, event)) {
        return;
    }
    if (responder && responder.get() != this) {
        responder->keyDown(event);
    } else {
        keyDown(event);
    }
}

void NSWindow::keyDown(const NSEvent& event) {
    // A button with the key as its key equivalent answers it first (Return, Escape, ...).
    std::string key;
    if (event.keyCode() == kReturnKeyCode) {
        key = "\r";
    } else if (event.keyCode() == kEscapeKeyCode) {
        key = "\x1b";
    } else {
        key = event.charactersIgnoringModifiers().value_or("");
    }
    if (!key.empty()) {
        if (auto button =
                buttonFor(contentView_, key, equivalentFlags(event.eventModifierFlags()))) {
            button->performClick();
            return;
        }
    }
    if (event.keyCode() == kEscapeKeyCode) {
        cancelOperation();
        return;
    }
    NSResponder::keyDown(event);
}

bool NSWindow::respondsToAction(std::string_view action) const {
    for (const char* own : {"performClose:", "performMiniaturize:", "close", "cancelOperation:",
                            "makeKeyAndOrderFront:", "orderFront:", "orderOut:"}) {
        if (action == own) {
            return true;
        }
    }
    return false;
}

void NSWindow::performAction(std::string_view action, const std::shared_ptr<NSObject>& /*sender*/) {
    auto me = self();
    if (action == "performClose:") {
        performClose();
    } else if (action == "performMiniaturize:") {
        performMiniaturize();
    } else if (action == "close") {
        close();
    } else if (action == "cancelOperation:") {
        cancelOperation();
    } else if (action == "makeKeyAndOrderFront:") {
        makeKeyAndOrderFront();
    } else if (action == "orderFront:") {
        orderFront();
    } else if (action == "orderOut:") {
        orderOut();
    }
}

void NSWindow::performMiniaturize() {
    if (styleMask_.contains(StyleMask::miniaturizable)) {
        miniaturize();
    }
}

void NSWindow::miniaturize() {
    if (miniaturized_ || !visible_) {
        return;
    }
    auto me = self();
    orderOut();
    miniaturized_ = true;
}

void NSWindow::deminiaturize() {
    if (!miniaturized_) {
        return;
    }
    miniaturized_ = false;
    makeKeyAndOrderFront();
}

void NSWindow::setContentViewController(const std::shared_ptr<NSViewController>& controller) {
    if (contentViewController_ == controller) {
        return;
    }
    contentViewController_ = controller;
    const auto view = controller ? controller->view() : nullptr;
    // The window takes the size its new content asks for, keeping its top left corner.
    if (view) {
        const CGSize wanted = view->intrinsicContentSize();
        if (wanted.width > 0 && wanted.height > 0) {
            CGRect content = contentRectForFrameRect(frame_);
            const CGFloat top = content.origin.y + content.size.height;
            content.size = wanted;
            content.origin.y = top - wanted.height;
            setFrame(frameRectForContentRect(content), false);
        }
    }
    setContentView(view);
    if (controller && contentView_) {
        // The controller stands between its view and the window.
        contentView_->setNextResponder(controller);
        controller->setNextResponder(self());
    }
}

} // namespace zestrel::platform
