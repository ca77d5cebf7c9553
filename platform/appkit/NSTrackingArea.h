#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zestrel::platform {

class NSResponder;
class NSWindow;

// A rectangle of a view in which the pointer's moves are told to an owner: entering and
// leaving it, moving within it. The view holds the area; the area does not hold its owner.
class NSTrackingArea final : public NSObject {
public:
    struct Options {
        std::uint64_t rawValue = 0;

        static const Options mouseEnteredAndExited, mouseMoved, cursorUpdate;
        static const Options activeWhenFirstResponder, activeInKeyWindow, activeInActiveApp,
            activeAlways;
        static const Options assumeInside, inVisibleRect, enabledDuringMouseDrag;

        constexpr bool contains(Options other) const {
            return (rawValue & other.rawValue) == other.rawValue;
        }
        constexpr Options operator|(Options other) const { return {rawValue | other.rawValue}; }
        constexpr bool operator==(const Options&) const = default;
    };

    NSTrackingArea(CGRect rect, Options options, const std::shared_ptr<NSResponder>& owner,
                   Value userInfo = {});
    std::string className() const override { return "NSTrackingArea"; }

    // In the view's coordinates; with inVisibleRect the view's visible rectangle is used
    // instead, whatever it is at the time.
    const CGRect& rect() const { return rect_; }
    Options options() const { return options_; }
    std::shared_ptr<NSResponder> owner() const { return owner_.lock(); }
    const Value& userInfo() const { return userInfo_; }

private:
    friend struct PointerTracker;

    CGRect rect_;
    Options options_;
    std::weak_ptr<NSResponder> owner_;
    Value userInfo_;
    bool pointerInside_ = false;
};

inline constexpr NSTrackingArea::Options NSTrackingArea::Options::mouseEnteredAndExited{0x01};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::mouseMoved{0x02};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::cursorUpdate{0x04};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::activeWhenFirstResponder{0x10};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::activeInKeyWindow{0x20};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::activeInActiveApp{0x40};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::activeAlways{0x80};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::assumeInside{0x100};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::inVisibleRect{0x200};
inline constexpr NSTrackingArea::Options NSTrackingArea::Options::enabledDuringMouseDrag{0x400};

// The user moves the pointer to a point of the window's coordinates. Every active tracking
// area of the window's shown views hears of it, as the platform tells them: leaving first,
// then entering (areas that ask for both), then moving (areas that ask for moves and hold
// the point). Each event is the application's current event while its owner handles it.
void movePointer(NSWindow& window, CGPoint locationInWindow);
// The pointer leaves the window: the areas it was in hear it leave.
void movePointerOutOfWindow(NSWindow& window);

} // namespace zestrel::platform
