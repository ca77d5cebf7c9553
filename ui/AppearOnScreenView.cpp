#include "ui/AppearOnScreenView.h"

#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"
#include "platform/swiftui/Controls.h"

#include <utility>

namespace zestrel {

namespace {

// A view that draws nothing and tells its controller each time it comes on screen (into a
// window on screen, or with its window coming on screen) and leaves it.
class ScreenPresenceView final : public platform::NSView {
public:
    explicit ScreenPresenceView(std::weak_ptr<AppearOnScreenView::ViewController> controller)
        : controller_(std::move(controller)) {}

    void viewDidMoveToWindow() override {
        windowVisibility_.reset();
        const auto window = this->window();
        if (window) {
            std::weak_ptr<ScreenPresenceView> weak =
                std::static_pointer_cast<ScreenPresenceView>(shared_from_this());
            windowVisibility_ = window->observeVisibility([weak](bool) {
                if (auto self = weak.lock()) {
                    self->update();
                }
            });
        }
        update();
    }

    bool isOnScreen() const { return onScreen_; }

private:
    void update() {
        const auto window = this->window();
        const bool onScreen = window && window->isVisible();
        if (onScreen == onScreen_) {
            return;
        }
        onScreen_ = onScreen;
        if (auto controller = controller_.lock()) {
            onScreen ? controller->viewDidAppear() : controller->viewDidDisappear();
        }
    }

    std::weak_ptr<AppearOnScreenView::ViewController> controller_;
    std::shared_ptr<void> windowVisibility_;
    bool onScreen_ = false;
};

} // namespace

AppearOnScreenView::ViewController::~ViewController() {
    // Going with the declarative view that placed it, while its view is still in a window
    // on screen: that view leaves the screen now.
    if (isViewLoaded()) {
        if (const auto presence = std::dynamic_pointer_cast<ScreenPresenceView>(view());
            presence && presence->isOnScreen()) {
            viewDidDisappear();
        }
    }
}

void AppearOnScreenView::ViewController::initWithCoder() {
    platform::fatal("Not implemented");
}

std::shared_ptr<platform::NSView> AppearOnScreenView::ViewController::loadView() {
    return std::make_shared<ScreenPresenceView>(
        std::static_pointer_cast<ViewController>(shared_from_this()));
}

void AppearOnScreenView::ViewController::viewDidAppear() {
    if (isOnScreen) {
        isOnScreen->set(true);
    }
    if (onViewDidAppear) {
        onViewDidAppear();
    }
}

void AppearOnScreenView::ViewController::viewDidDisappear() {
    if (isOnScreen) {
        isOnScreen->set(false);
    }
    if (onViewDidDisappear) {
        onViewDidDisappear();
    }
}

platform::swiftui::View AppearOnScreenView::body(platform::swiftui::ViewContext& context) const {
    auto controller = context.slot<ViewController>(
        "controller", [] { return std::make_shared<ViewController>(); });
    controller->onViewDidAppear = onViewDidAppear;
    controller->onViewDidDisappear = onViewDidDisappear;
    controller->isOnScreen = isOnScreen;
    return platform::swiftui::ViewRepresentable([controller] { return controller->view(); });
}

} // namespace zestrel
