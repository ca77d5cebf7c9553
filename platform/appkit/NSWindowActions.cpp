// The window's part in the responder chain: keys, actions, miniaturizing and controllers.
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/NSEvent.h"

namespace zestrel::platform {

namespace {

constexpr std::uint16_t kEscapeKeyCode = 53;

} // namespace

void NSWindow::sendEvent(const NSEvent& event) {
    if (event.type() != NSEvent::EventType::keyDown) {
        return;
    }
    auto me = self();
    if (auto responder = firstResponder(); responder && responder.get() != this) {
        responder->keyDown(event);
    } else {
        keyDown(event);
    }
}

void NSWindow::keyDown(const NSEvent& event) {
    if (event.keyCode() == kEscapeKeyCode) {
        cancelOperation();
        return;
    }
    NSResponder::keyDown(event);
}

bool NSWindow::tryToPerform(std::string_view action, const std::shared_ptr<NSObject>& /*sender*/) {
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
    } else {
        return false;
    }
    return true;
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
    setContentView(controller ? controller->view() : nullptr);
    if (controller && contentView_) {
        // The controller stands between its view and the window.
        contentView_->setNextResponder(controller);
        controller->setNextResponder(self());
    }
}

} // namespace zestrel::platform
