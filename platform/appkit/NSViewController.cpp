#include "platform/appkit/NSViewController.h"

#include "platform/appkit/NSView.h"

namespace zestrel::platform {

NSViewController::NSViewController(std::shared_ptr<NSView> view) : view_(std::move(view)) {}

NSViewController::~NSViewController() = default;

std::shared_ptr<NSView> NSViewController::view() {
    if (!view_) {
        view_ = loadView();
        if (!view_) {
            view_ = std::make_shared<NSView>();
        }
        viewDidLoad();
    }
    return view_;
}

void NSViewController::setView(std::shared_ptr<NSView> view) {
    view_ = std::move(view);
}

std::shared_ptr<NSView> NSViewController::loadView() {
    return std::make_shared<NSView>();
}

} // namespace zestrel::platform
