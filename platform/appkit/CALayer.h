#pragma once

#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/appkit/CGPath.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Clock.h"
#include "platform/base/Geometry.h"
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

class CGContext;

// A layer of a layer-backed view. It runs its animations on the process's clock: an
// animation added now is running until its duration has passed. A layer can also be
// rendered into a bitmap context with its sublayers (shape and text layers draw content).
class CALayer : public NSObject {
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

    // Geometry: the bounds in the layer's own coordinates, and where its anchor point (a
    // fraction of the bounds, the middle by default) sits in the superlayer's.
    const CGRect& bounds() const { return bounds_; }
    void setBounds(CGRect bounds) { bounds_ = bounds; }
    const CGPoint& position() const { return position_; }
    void setPosition(CGPoint position) { position_ = position; }
    const CGPoint& anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(CGPoint point) { anchorPoint_ = point; }
    // The bounds as they lie in the superlayer; setting it moves and sizes the layer.
    CGRect frame() const;
    void setFrame(CGRect frame);

    // Sublayers are held; the superlayer is not.
    void addSublayer(const std::shared_ptr<CALayer>& layer);
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }

    // A shadow of `shadowPath` (no path: no shadow is modelled) in the shadow colour at the
    // shadow opacity, moved by the offset.
    const std::optional<Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<Color> color) { shadowColor_ = color; }
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
    const std::optional<CGPath>& shadowPath() const { return shadowPath_; }
    void setShadowPath(std::optional<CGPath> path) { shadowPath_ = std::move(path); }

    // `render(in:)`: draws the layer, in its own coordinates, then its sublayers placed by
    // their geometry, into the context (CALayerRendering.cpp).
    void render(CGContext& context) const;
    // The layer's own content, in its coordinates; a plain layer has none.
    virtual void draw(CGContext& /*context*/) const {}

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
    CGRect bounds_;
    CGPoint position_;
    CGPoint anchorPoint_{0.5, 0.5};
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::weak_ptr<CALayer> superlayer_;
    std::optional<Color> shadowColor_ = Color{0, 0, 0, 1};
    float shadowOpacity_ = 0;
    CGSize shadowOffset_{0, -3};
    std::optional<CGPath> shadowPath_;
};

} // namespace zestrel::platform
