#pragma once

#include "platform/appkit/CAShapeLayer.h"
#include "platform/appkit/CATextLayer.h"
#include "platform/appkit/NSBezierPath.h"
#include "platform/base/Geometry.h"

#include <cstdint>
#include <memory>
#include <string>

// The shapes and texts of the Dock tile's progress indicators.

namespace zestrel {

// `NSBezierPath(roundedSquareIn:cornerRadius:)`: the rectangle with its corners turned by
// curves whose control points both sit at the corner, from the middle of the bottom edge
// anticlockwise, left open. The radius is at most half the shorter side.
std::shared_ptr<platform::NSBezierPath> roundedSquarePath(platform::CGRect rect,
                                                          platform::CGFloat cornerRadius);
// `NSBezierPath(circleCenter:radius:)`: one arc from 90 and to −270 taken as radians
// turned into degrees, anticlockwise: a whole circle from about 116.6 degrees.
std::shared_ptr<platform::NSBezierPath> circlePath(platform::CGPoint center,
                                                   platform::CGFloat radius);

// A ring along a rounded square, drawn from the bottom middle clockwise (up the left side
// first); nothing of it shows until its stroke end is raised.
class ProgressSquircleShapeLayer : public platform::CAShapeLayer {
public:
    ProgressSquircleShapeLayer() = default;
    explicit ProgressSquircleShapeLayer(platform::CGRect rect);
    std::string className() const override { return "ProgressSquircleShapeLayer"; }
};

// A ring of a radius around a centre; nothing of it shows until its stroke end is raised.
class ProgressCircleShapeLayer : public platform::CAShapeLayer {
public:
    ProgressCircleShapeLayer() = default;
    ProgressCircleShapeLayer(platform::CGFloat radius, platform::CGPoint center);
    std::string className() const override { return "ProgressCircleShapeLayer"; }
};

class IndeterminateProgressCircleShapeLayer : public platform::CAShapeLayer {
public:
    std::string className() const override { return "IndeterminateProgressCircleShapeLayer"; }
};

// A text layer whose line sits in the middle of its height rather than at the top.
class VerticallyCenteredTextLayer : public platform::CATextLayer {
public:
    std::string className() const override { return "VerticallyCenteredTextLayer"; }
    void draw(platform::CGContext& context) const override;
};

// The count a badge shows: the number itself up to 999 either way, whole thousands with
// "k" up to 9999, then "9k+" (signed); the magnitude is taken unsigned, so the most
// negative count shows as "-9k+".
std::string badgeText(std::int64_t count);
// The badge's font size for a text of that many characters: 30, 23, 19, 15, else 0.
platform::CGFloat badgeFontSize(const std::string& text);

} // namespace zestrel
