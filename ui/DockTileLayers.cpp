#include "ui/DockTileLayers.h"

#include "platform/appkit/CGContext.h"

#include <algorithm>
#include <numbers>

namespace zestrel {

namespace pf = platform;
using pf::CGFloat;
using pf::CGPoint;
using pf::CGRect;

std::shared_ptr<pf::NSBezierPath> roundedSquarePath(CGRect rect, CGFloat cornerRadius) {
    const CGFloat r = std::min(std::min(rect.size.width, rect.size.height) / 2, cornerRadius);
    const CGFloat minX = rect.origin.x, minY = rect.origin.y;
    const CGFloat maxX = minX + rect.size.width, maxY = minY + rect.size.height;
    auto path = pf::NSBezierPath::make();
    path->moveTo({minX + r, minY});
    path->lineTo({maxX - r, minY});
    path->curveTo({maxX, minY + r}, {maxX, minY}, {maxX, minY});
    path->lineTo({maxX, maxY - r});
    path->curveTo({maxX - r, maxY}, {maxX, maxY}, {maxX, maxY});
    path->lineTo({minX + r, maxY});
    path->curveTo({minX, maxY - r}, {minX, maxY}, {minX, maxY});
    path->lineTo({minX, minY + r});
    path->curveTo({minX + r, minY}, {minX, minY}, {minX, minY});
    return path;
}

std::shared_ptr<pf::NSBezierPath> circlePath(CGPoint center, CGFloat radius) {
    // The angles meant 90° and −270° but went through a radians-to-degrees conversion; they
    // are a turn and more apart, so the arc is the whole circle all the same.
    constexpr CGFloat kStart = 90 * 180 / std::numbers::pi;
    constexpr CGFloat kEnd = -270 * 180 / std::numbers::pi;
    auto path = pf::NSBezierPath::make();
    path->appendArc(center, radius, kStart, kEnd, false);
    return path;
}

ProgressSquircleShapeLayer::ProgressSquircleShapeLayer(CGRect rect) {
    const auto path = roundedSquarePath(rect, rect.size.width / 2)->reversed();
    setFillColor(std::nullopt);
    setLineCap(LineCap::round);
    setPosition({0, 0});
    setStrokeEnd(0);
    setPath(path->cgPath());
    setBounds(path->cgPath().boundingBox());
}

ProgressCircleShapeLayer::ProgressCircleShapeLayer(CGFloat radius, CGPoint center) {
    const auto path = circlePath(center, radius);
    setFillColor(std::nullopt);
    setLineCap(LineCap::round);
    setPosition(center);
    setStrokeEnd(0);
    setPath(path->cgPath());
    setBounds(path->cgPath().boundingBox());
}

void VerticallyCenteredTextLayer::draw(pf::CGContext& context) const {
    const CGFloat height = bounds().size.height;
    context.saveGState();
    context.translateBy(0, -((height - fontSize()) / 2 - fontSize() / 10));
    CATextLayer::draw(context);
    context.restoreGState();
}

std::string badgeText(std::int64_t count) {
    // −INT64_MIN does not fit an Int64: the magnitude is counted unsigned.
    const std::uint64_t magnitude =
        count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
    const std::string sign = count < 0 ? "-" : "";
    if (magnitude <= 999) {
        return std::to_string(count);
    }
    if (magnitude <= 9999) {
        return sign + std::to_string(magnitude / 1000) + "k";
    }
    return sign + "9k+";
}

CGFloat badgeFontSize(const std::string& text) {
    switch (text.size()) {
    case 1:
        return 30;
    case 2:
        return 23;
    case 3:
        return 19;
    case 4:
        return 15;
    default:
        return 0;
    }
}

} // namespace zestrel
