#include "platform/appkit/NSTrackingArea.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zestrel::platform {

NSTrackingArea::NSTrackingArea(CGRect rect, Options options,
                               const std::shared_ptr<NSResponder>& owner, Value userInfo)
    : rect_(rect), options_(options), owner_(owner), userInfo_(std::move(userInfo)),
      pointerInside_(options.contains(Options::assumeInside)) {}

void NSView::addTrackingArea(const std::shared_ptr<NSTrackingArea>& area) {
    if (area &&
        std::find(trackingAreas_.begin(), trackingAreas_.end(), area) == trackingAreas_.end()) {
        trackingAreas_.push_back(area);
    }
}

void NSView::removeTrackingArea(const std::shared_ptr<NSTrackingArea>& area) {
    std::erase(trackingAreas_, area);
}

namespace {

struct Tracked {
    std::shared_ptr<NSView> view;
    std::shared_ptr<NSTrackingArea> area;
};

void collect(const std::shared_ptr<NSView>& view, std::vector<Tracked>& into) {
    if (view->isHidden()) {
        return;
    }
    for (const auto& area : view->trackingAreas()) {
        into.push_back({view, area});
    }
    for (const auto& subview : view->subviews()) {
        collect(subview, into);
    }
}

bool isActive(const NSTrackingArea& area, const NSView& view, const NSWindow& window) {
    using Options = NSTrackingArea::Options;
    const auto options = area.options();
    if (options.contains(Options::activeAlways)) {
        return true;
    }
    if (options.contains(Options::activeInActiveApp)) {
        return NSApp().isActive();
    }
    if (options.contains(Options::activeInKeyWindow)) {
        return window.isKeyWindow();
    }
    if (options.contains(Options::activeWhenFirstResponder)) {
        return window.isKeyWindow() && window.firstResponder().get() == &view;
    }
    return false;
}

void tell(const std::shared_ptr<NSResponder>& owner, NSEvent::EventType type, CGPoint location) {
    if (!owner) {
        return;
    }
    auto event = NSEvent::mouseEvent(type, location);
    NSApp().dispatchWithCurrentEvent(event, [&] {
        switch (type) {
        case NSEvent::EventType::mouseEntered:
            owner->mouseEntered(*event);
            break;
        case NSEvent::EventType::mouseExited:
            owner->mouseExited(*event);
            break;
        default:
            owner->mouseMoved(*event);
            break;
        }
    });
}

} // namespace

// What the pointer's move does to the areas it was in and comes into.
struct PointerTracker {
    // Moves the pointer to the point, or out of the window when there is none.
    static void track(NSWindow& window, std::optional<CGPoint> location);
};

void PointerTracker::track(NSWindow& window, std::optional<CGPoint> location) {
    using Options = NSTrackingArea::Options;
    std::vector<Tracked> tracked;
    if (auto content = window.contentView()) {
        collect(content, tracked);
    }
    const CGPoint where = location.value_or(CGPoint{-1, -1});
    struct Change {
        Tracked tracked;
        bool inside;
    };
    std::vector<Change> changes;
    for (const auto& entry : tracked) {
        const bool active = location && isActive(*entry.area, *entry.view, window);
        const CGRect rect = entry.area->options().contains(Options::inVisibleRect)
                                ? entry.view->visibleRect()
                                : entry.area->rect();
        const bool inside =
            active && CGRectContainsPoint(rect, entry.view->convertPointFromWindow(where));
        changes.push_back({entry, inside});
    }
    for (const auto& change : changes) {
        auto& area = *change.tracked.area;
        if (area.pointerInside_ && !change.inside &&
            area.options().contains(Options::mouseEnteredAndExited)) {
            tell(area.owner(), NSEvent::EventType::mouseExited, where);
        }
    }
    for (const auto& change : changes) {
        auto& area = *change.tracked.area;
        if (!area.pointerInside_ && change.inside &&
            area.options().contains(Options::mouseEnteredAndExited)) {
            tell(area.owner(), NSEvent::EventType::mouseEntered, where);
        }
        area.pointerInside_ = change.inside;
    }
    for (const auto& change : changes) {
        if (change.inside && change.tracked.area->options().contains(Options::mouseMoved)) {
            tell(change.tracked.area->owner(), NSEvent::EventType::mouseMoved, where);
        }
    }
}

void movePointer(NSWindow& window, CGPoint locationInWindow) {
    PointerTracker::track(window, locationInWindow);
}

void movePointerOutOfWindow(NSWindow& window) {
    PointerTracker::track(window, std::nullopt);
}

} // namespace zestrel::platform
