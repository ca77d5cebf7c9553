#pragma once

#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/base/Clock.h"
#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class CAKeyframeAnimation;

// What an animation tells its delegate: that it started, and that it stopped, finished
// (it ran its whole duration) or not (it was removed before).
class CAAnimationDelegate {
public:
    virtual ~CAAnimationDelegate() = default;
    virtual void animationDidStart(CAKeyframeAnimation& /*animation*/) {}
    virtual void animationDidStop(CAKeyframeAnimation& /*animation*/, bool /*finished*/) {}
};

// A key-frame animation of one layer property: the values it passes through, evenly spaced
// over its duration. Nothing is drawn; the layer keeps it while it runs.
class CAKeyframeAnimation final : public NSObject {
public:
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(std::string keyPath) {
        auto animation = std::make_shared<CAKeyframeAnimation>();
        animation->keyPath = std::move(keyPath);
        return animation;
    }
    std::string className() const override { return "CAKeyframeAnimation"; }

    std::string keyPath;
    std::vector<double> values;
    double duration = 0.25; // seconds
    std::shared_ptr<CAMediaTimingFunction> timingFunction;
    // Held strongly, as the platform's animations hold theirs. Told on the main queue: the
    // start once the animation is added to a layer, the stop when its duration has passed
    // or it is removed early.
    std::shared_ptr<CAAnimationDelegate> delegate;
};

// A layer of a layer-backed view. It runs its animations on the process's clock: an
// animation added now is running until its duration has passed.
class CALayer final : public NSObject {
public:
    std::string className() const override { return "CALayer"; }

    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }

    // A later animation under the same key replaces the earlier one; an empty key never does.
    void addAnimation(std::shared_ptr<CAKeyframeAnimation> animation,
                      std::optional<std::string> key = std::nullopt);
    // The animations still running stop unfinished.
    void removeAllAnimations();
    // The animations still running now, oldest first.
    std::vector<std::shared_ptr<CAKeyframeAnimation>> animations() const;
    // Every animation ever added, oldest first.
    std::vector<std::shared_ptr<CAKeyframeAnimation>> addedAnimations() const;

private:
    struct Running {
        std::shared_ptr<CAKeyframeAnimation> animation;
        std::optional<std::string> key;
        Nanoseconds end;
        // Set once the delegate has been told of the stop, so it is told once.
        std::shared_ptr<bool> stopped = std::make_shared<bool>(false);
    };
    // Tells the delegate of each entry still running that it stopped unfinished.
    static void stopEarly(const std::vector<Running>& removed);
    bool masksToBounds_ = false;
    std::vector<Running> animations_;
};

} // namespace zestrel::platform
