#pragma once

#include "platform/appkit/CGPath.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <memory>
#include <string>

namespace zestrel::platform {

// A path drawn with AppKit's Bézier path: built from lines, curves and arcs, filled or
// stroked in the current graphics context (NSGraphicsContext.h) with the colour given.
class NSBezierPath final : public NSObject {
public:
    enum class LineCapStyle { butt = 0, round = 1, square = 2 };

    static std::shared_ptr<NSBezierPath> make() { return std::make_shared<NSBezierPath>(); }
    static std::shared_ptr<NSBezierPath> withRect(CGRect rect);
    // Corners rounded by ellipse quarters of the radii (at most half the sides).
    static std::shared_ptr<NSBezierPath> withRoundedRect(CGRect rect, CGFloat xRadius,
                                                         CGFloat yRadius);

    std::string className() const override { return "NSBezierPath"; }

    void moveTo(CGPoint point) { path_.moveTo(point); }
    void lineTo(CGPoint point) { path_.addLineTo(point); }
    void curveTo(CGPoint end, CGPoint controlPoint1, CGPoint controlPoint2) {
        path_.addCurveTo(end, controlPoint1, controlPoint2);
    }
    void close() { path_.closeSubpath(); }
    // `appendArc(withCenter:radius:startAngle:endAngle:clockwise:)`: angles in degrees,
    // anticlockwise from the x axis. Angles a turn or more apart give the whole circle from
    // the start angle; otherwise, as PostScript's arc does, the end angle is moved by whole
    // turns until it lies after the start in the drawing direction. A line joins the
    // current point to the arc's start.
    void appendArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                   bool clockwise);

    // `bezierPathByReversingPath`: the same outline, each subpath run from its end.
    std::shared_ptr<NSBezierPath> reversed() const;
    bool isEmpty() const { return path_.isEmpty(); }
    // The smallest rectangle around the points the path passes through.
    CGRect bounds() const { return path_.boundingBox(); }
    const CGPath& cgPath() const { return path_; }

    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    LineCapStyle lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(LineCapStyle style) { lineCap_ = style; }

    // Paint into the current graphics context; nothing happens without one.
    void fill(const NSColor& color) const;
    void stroke(const NSColor& color) const;

private:
    CGPath path_;
    CGFloat lineWidth_ = 1;
    LineCapStyle lineCap_ = LineCapStyle::butt;
};

} // namespace zestrel::platform
