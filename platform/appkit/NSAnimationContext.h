#pragma once

#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/base/Geometry.h"

#include <functional>
#include <memory>
#include <vector>

namespace zestrel::platform {

class NSWindow;

// A group of animated changes. Nothing is drawn, so an animated property keeps its old value
// for the group's duration on the process's clock and then takes the new one; the
// completion handler runs on the main queue once every change of the group has landed.
// A group of no duration lands its changes at once. Main thread only.
class NSAnimationContext {
public:
    // Runs `changes` with a new current context (duration 0.25 s), then lets the group run.
    static void runAnimationGroup(const std::function<void(NSAnimationContext&)>& changes,
                                  std::function<void()> completionHandler = {});
    // The context of the group being set up; nothing outside one.
    static NSAnimationContext* current();

    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }
    const std::shared_ptr<CAMediaTimingFunction>& timingFunction() const { return timing_; }
    void setTimingFunction(std::shared_ptr<CAMediaTimingFunction> timing) {
        timing_ = std::move(timing);
    }

    // What animators call: outside a group the change is made at once.
    static void animate(std::function<void()> change);

private:
    double duration_ = 0.25;
    std::shared_ptr<CAMediaTimingFunction> timing_;
    std::vector<std::function<void()>> changes_;
};

// `window.animator()`: the window's animatable properties, set through the current group.
class NSWindowAnimator {
public:
    explicit NSWindowAnimator(std::weak_ptr<NSWindow> window) : window_(std::move(window)) {}
    void setAlphaValue(double alpha) const;
    void setFrame(const CGRect& frame) const;

private:
    std::weak_ptr<NSWindow> window_;
};

inline NSWindowAnimator animator(const std::shared_ptr<NSWindow>& window) {
    return NSWindowAnimator(window);
}

} // namespace zestrel::platform
