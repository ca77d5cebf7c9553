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

void NSViewController::addChildViewController(const std::shared_ptr<NSViewController>& child) {
    if (!child || child.get() == this) {
        return;
    }
    child->removeFromParentViewController();
    children_.push_back(child);
    child->parent_ = std::static_pointer_cast<NSViewController>(shared_from_this());
}

void NSViewController::removeFromParentViewController() {
    if (auto parent = parent_.lock()) {
        // Keeps this controller alive while it leaves its parent's list.
        auto self = std::static_pointer_cast<NSViewController>(shared_from_this());
        std::erase(parent->children_, self);
    }
    parent_.reset();
}

std::shared_ptr<NSView> NSViewController::loadView() {
    return std::make_shared<NSView>();
}

} // namespace zestrel::platform
