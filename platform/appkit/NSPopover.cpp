#include "platform/appkit/NSPopover.h"

#include "platform/appkit/NSView.h"

#include <utility>

namespace zestrel::platform {
namespace {

// The private window class a popover's content shows in; it keeps the popover alive.
class PopoverWindow final : public NSWindow {
public:
    PopoverWindow(std::shared_ptr<NSPopover> popover, CGRect frame)
        : NSWindow(frame, StyleMask::borderless, BackingStoreType::buffered, false),
          popover(std::move(popover)) {
        setLevel(Level::popUpMenu);
        setReleasedWhenClosed(false);
    }
    std::string className() const override { return "_NSPopoverWindow"; }

    std::shared_ptr<NSPopover> popover;
};

constexpr CGFloat kArrowHeight = 13;

} // namespace

NSPopover::~NSPopover() = default;

std::shared_ptr<NSWindow> NSPopover::popoverWindow() const {
    auto window = window_.lock();
    return window && window->isVisible() ? window : nullptr;
}

void NSPopover::showRelativeToRect(CGRect rect, const std::shared_ptr<NSView>& view,
                                   NSRectEdge preferredEdge) {
    if (!view || !view->window()) {
        return;
    }
    positioningView_ = view;
    positioningRect_ = rect;
    preferredEdge_ = preferredEdge;
    if (isShown()) {
        place();
        return;
    }
    auto self = std::static_pointer_cast<NSPopover>(shared_from_this());
    NotificationCenter::defaultCenter()->post(NSPopoverWillShowNotification, Value(self));
    auto content = controller_ ? controller_->view() : std::make_shared<NSView>();
    auto window = std::make_shared<PopoverWindow>(self, CGRect(CGPoint{}, content->frame().size));
    window_ = window;
    window->setContentView(content);
    place();
    window->orderFront();
    NotificationCenter::defaultCenter()->post(NSPopoverDidShowNotification, Value(self));
}

void NSPopover::place() {
    auto view = positioningView_.lock();
    auto anchorWindow = view ? view->window() : nullptr;
    auto window = window_.lock();
    if (!window || !anchorWindow) {
        return;
    }
    // Views are not laid out in their windows here; the anchor is the window's own frame
    // offset by the view's frame, which is exact for a content view's direct children.
    const CGRect anchor = anchorWindow->frame();
    const CGPoint origin{anchor.origin.x + view->frame().origin.x + positioningRect_.origin.x,
                         anchor.origin.y + view->frame().origin.y + positioningRect_.origin.y};
    const CGSize size = window->frame().size;
    CGPoint at = origin;
    switch (preferredEdge_) {
    case NSRectEdge::minY:
        at.y = origin.y - size.height - kArrowHeight;
        break;
    case NSRectEdge::maxY:
        at.y = origin.y + positioningRect_.size.height + kArrowHeight;
        break;
    case NSRectEdge::minX:
        at.x = origin.x - size.width - kArrowHeight;
        break;
    case NSRectEdge::maxX:
        at.x = origin.x + positioningRect_.size.width + kArrowHeight;
        break;
    }
    window->setFrameOrigin(at);
}

void NSPopover::close() {
    auto window = popoverWindow();
    if (!window) {
        return;
    }
    auto self = std::static_pointer_cast<NSPopover>(shared_from_this());
    NotificationCenter::defaultCenter()->post(NSPopoverWillCloseNotification, Value(self));
    window_.reset();
    window->orderOut();
    window->setContentView(nullptr);
    std::static_pointer_cast<PopoverWindow>(window)->popover.reset();
    NotificationCenter::defaultCenter()->post(NSPopoverDidCloseNotification, Value(self));
}

} // namespace zestrel::platform
