#pragma once

#include "platform/appkit/NSViewController.h"
#include "platform/appkit/NSWindow.h"

#include <memory>

namespace zestrel::platform {

// Posted to the default centre with the popover as the object.
inline constexpr const char* NSPopoverWillShowNotification = "NSPopoverWillShowNotification";
inline constexpr const char* NSPopoverDidShowNotification = "NSPopoverDidShowNotification";
inline constexpr const char* NSPopoverWillCloseNotification = "NSPopoverWillCloseNotification";
inline constexpr const char* NSPopoverDidCloseNotification = "NSPopoverDidCloseNotification";

enum class NSRectEdge : std::uint64_t { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// Who closes a popover: the application alone, or also a click outside it (transient), or
// such a click unless it lands in the popover's own application (semi-transient).
enum class NSPopoverBehavior : std::int64_t {
    applicationDefined = 0,
    transient = 1,
    semitransient = 2
};

// A popover: its content controller's view shown in a window of its own next to a view of
// another window. While shown, that window keeps the popover alive, as the platform does.
// Main thread only.
class NSPopover : public NSResponder {
public:
    NSPopover() = default;
    ~NSPopover() override;
    std::string className() const override { return "NSPopover"; }

    std::shared_ptr<NSViewController> contentViewController() const { return controller_; }
    void setContentViewController(std::shared_ptr<NSViewController> controller) {
        controller_ = std::move(controller);
    }
    NSPopoverBehavior behavior() const { return behavior_; }
    void setBehavior(NSPopoverBehavior behavior) { behavior_ = behavior; }
    bool animates() const { return animates_; }
    void setAnimates(bool animates) { animates_ = animates; }

    bool isShown() const { return popoverWindow() != nullptr; }
    // The window the content shows in while shown.
    std::shared_ptr<NSWindow> popoverWindow() const;
    std::shared_ptr<NSView> positioningView() const { return positioningView_.lock(); }
    CGRect positioningRect() const { return positioningRect_; }
    NSRectEdge preferredEdge() const { return preferredEdge_; }

    // Shows the popover at the rectangle of the view (in the view's coordinates), on the
    // preferred side; a view outside any window shows nothing. Showing again moves it.
    virtual void showRelativeToRect(CGRect rect, const std::shared_ptr<NSView>& view,
                                    NSRectEdge preferredEdge);
    // Will-close, off screen, did-close; nothing when it is not shown.
    void close();
    void performClose() { close(); }

private:
    void place();

    std::shared_ptr<NSViewController> controller_;
    NSPopoverBehavior behavior_ = NSPopoverBehavior::applicationDefined;
    bool animates_ = true;
    // Kept alive by the application while on screen; it keeps this popover alive in turn.
    std::weak_ptr<NSWindow> window_;
    std::weak_ptr<NSView> positioningView_;
    CGRect positioningRect_;
    NSRectEdge preferredEdge_ = NSRectEdge::minY;
};

} // namespace zestrel::platform
