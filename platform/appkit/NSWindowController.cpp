#include "platform/appkit/NSWindowController.h"

#include "platform/appkit/NSWindow.h"

namespace zestrel::platform {

NSWindowController::NSWindowController(std::shared_ptr<NSWindow> window)
    : window_(std::move(window)) {}

NSWindowController::~NSWindowController() = default;

std::shared_ptr<NSWindowController> NSWindowController::make(std::shared_ptr<NSWindow> window) {
    auto controller = std::make_shared<NSWindowController>(std::move(window));
    controller->adoptWindow();
    return controller;
}

void NSWindowController::setWindow(std::shared_ptr<NSWindow> window) {
    if (window_ && window_->windowController().get() == this) {
        window_->setWindowController(nullptr);
    }
    window_ = std::move(window);
    adoptWindow();
}

void NSWindowController::adoptWindow() {
    if (window_) {
        auto me = std::static_pointer_cast<NSWindowController>(shared_from_this());
        window_->setWindowController(me);
        window_->setNextResponder(me);
    }
}

void NSWindowController::showWindow(const std::shared_ptr<NSObject>& /*sender*/) {
    if (!window_) {
        return;
    }
    const auto panel = std::dynamic_pointer_cast<NSPanel>(window_);
    if (panel && panel->becomesKeyOnlyIfNeeded()) {
        window_->orderFront();
    } else {
        window_->makeKeyAndOrderFront();
    }
}

void NSWindowController::close() {
    if (window_) {
        window_->close();
    }
}

bool NSWindowController::respondsToAction(std::string_view action) const {
    return action == "showWindow:";
}

void NSWindowController::performAction(std::string_view action,
                                       const std::shared_ptr<NSObject>& sender) {
    if (action == "showWindow:") {
        showWindow(sender);
    }
}

} // namespace zestrel::platform
