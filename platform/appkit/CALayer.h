#pragma once

#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/base/Clock.h"
#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

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
    void removeAllAnimations() { animations_.clear(); }
    // The animations still running now, oldest first.
    std::vector<std::shared_ptr<CAKeyframeAnimation>> animations() const;
    // Every animation ever added, oldest first.
    std::vector<std::shared_ptr<CAKeyframeAnimation>> addedAnimations() const;

private:
    struct Running {
        std::shared_ptr<CAKeyframeAnimation> animation;
        std::optional<std::string> key;
        Nanoseconds end;
    };
    bool masksToBounds_ = false;
    std::vector<Running> animations_;
};

} // namespace zestrel::platform
