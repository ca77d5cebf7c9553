#include "platform/appkit/NSBezierPath.h"

#include "platform/appkit/NSGraphicsContext.h"

#include <cmath>
#include <numbers>

namespace zestrel::platform {

std::shared_ptr<NSBezierPath> NSBezierPath::withRect(CGRect rect) {
    auto path = make();
    path->moveTo(rect.origin);
    path->lineTo({rect.origin.x + rect.size.width, rect.origin.y});
    path->lineTo({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height});
    path->lineTo({rect.origin.x, rect.origin.y + rect.size.height});
    path->close();
    return path;
}

std::shared_ptr<NSBezierPath> NSBezierPath::withRoundedRect(CGRect rect, CGFloat xRadius,
                                                            CGFloat yRadius) {
    auto path = make();
    path->path_.addRoundedRect(rect, xRadius, yRadius);
    return path;
}

void NSBezierPath::appendArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                             bool clockwise) {
    if (std::abs(endAngle - startAngle) >= 360) {
        endAngle = startAngle + (clockwise ? -360 : 360);
    } else if (!clockwise && endAngle < startAngle) {
        endAngle += 360;
    } else if (clockwise && endAngle > startAngle) {
        endAngle -= 360;
    }
    constexpr CGFloat kRadiansPerDegree = std::numbers::pi / 180;
    auto pointAt = [&](CGFloat radians) {
        return CGPoint{center.x + radius * std::cos(radians),
                       center.y + radius * std::sin(radians)};
    };
    const CGFloat start = startAngle * kRadiansPerDegree;
    const CGFloat sweep = (endAngle - startAngle) * kRadiansPerDegree;
    const auto& elements = path_.elements();
    if (elements.empty() || elements.back().type == CGPath::ElementType::closeSubpath) {
        path_.moveTo(pointAt(start));
    } else {
        path_.addLineTo(pointAt(start));
    }
    // Pieces of at most a quarter turn, each a cubic curve.
    const int pieces =
        std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 2))));
    const CGFloat step = sweep / pieces;
    const CGFloat handle = 4.0 / 3.0 * std::tan(step / 4) * radius;
    for (int i = 0; i < pieces; ++i) {
        const CGFloat a0 = start + step * i, a1 = a0 + step;
        const CGPoint p0 = pointAt(a0), p3 = pointAt(a1);
        path_.addCurveTo(p3, {p0.x - handle * std::sin(a0), p0.y + handle * std::cos(a0)},
                         {p3.x + handle * std::sin(a1), p3.y - handle * std::cos(a1)});
    }
}

std::shared_ptr<NSBezierPath> NSBezierPath::reversed() const {
    auto path = std::make_shared<NSBezierPath>(*this);
    path->path_ = path_.reversed();
    return path;
}

namespace {

CGContext::LineCap lineCap(NSBezierPath::LineCapStyle style) {
    switch (style) {
    case NSBezierPath::LineCapStyle::round:
        return CGContext::LineCap::round;
    case NSBezierPath::LineCapStyle::square:
        return CGContext::LineCap::square;
    case NSBezierPath::LineCapStyle::butt:
        break;
    }
    return CGContext::LineCap::butt;
}

} // namespace

void NSBezierPath::fill(const NSColor& color) const {
    if (auto* context = NSGraphicsContext::current()) {
        context->cgContext().fillPath(path_, color.color());
    }
}

void NSBezierPath::stroke(const NSColor& color) const {
    if (auto* context = NSGraphicsContext::current()) {
        context->cgContext().strokePath(path_, color.color(), lineWidth_, lineCap(lineCap_));
    }
}

} // namespace zestrel::platform
