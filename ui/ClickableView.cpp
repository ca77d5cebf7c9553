#include "ui/ClickableView.h"

#include "platform/base/Error.h"
#include "platform/swiftui/Controls.h"

#include <utility>

namespace zestrel {

ClickableView::ClickableView(platform::CGRect frame, Pressed pressed)
    : platform::NSView(frame), pressed(std::move(pressed)) {}

void ClickableView::initWithCoder() {
    platform::fatal("init(coder:) has not been implemented");
}

void ClickableView::mouseDown(const platform::NSEvent& /*event*/) {
    if (pressed) {
        pressed(true);
    }
}

void ClickableView::mouseUp(const platform::NSEvent& /*event*/) {
    if (pressed) {
        pressed(false);
    }
}

void ClickableView::mouseClicked() {
    const platform::CGRect area = bounds();
    const platform::CGPoint middle = convertPointToWindow(
        {area.origin.x + area.size.width / 2, area.origin.y + area.size.height / 2});
    using Type = platform::NSEvent::EventType;
    mouseDown(*platform::NSEvent::mouseEvent(Type::leftMouseDown, middle));
    mouseUp(*platform::NSEvent::mouseEvent(Type::leftMouseUp, middle));
}

bool ClickableDraggableView::endDrag() {
    if (dragged.value_or(false)) {
        dragged = false;
        return true;
    }
    return false;
}

void ClickableDraggableView::mouseDown(const platform::NSEvent& event) {
    if (!endDrag()) {
        ClickableView::mouseDown(event);
    }
}

void ClickableDraggableView::mouseUp(const platform::NSEvent& event) {
    if (!endDrag()) {
        ClickableView::mouseUp(event);
    }
}

void ClickableDraggableView::mouseDragged(const platform::NSEvent& /*event*/) {
    dragged = true;
}

platform::swiftui::View
ClickableViewRepresentable::body(platform::swiftui::ViewContext& /*context*/) const {
    return platform::swiftui::ViewRepresentable(
        [self = *this]() -> std::shared_ptr<platform::NSView> {
            if (self.draggable) {
                return std::make_shared<ClickableDraggableView>(self.frame, self.pressed);
            }
            return std::make_shared<ClickableView>(self.frame, self.pressed);
        },
        [pressed = pressed](platform::NSView& view) {
            static_cast<ClickableView&>(view).pressed = pressed;
        });
}

} // namespace zestrel
