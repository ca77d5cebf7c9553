#pragma once

#include "platform/appkit/CALayer.h"
#include "platform/appkit/CGPath.h"
#include "platform/appkit/NSColor.h"

#include <optional>
#include <string>

namespace zestrel::platform {

class CGContext;

// A layer that draws a path: filled (opaque black unless told otherwise), then stroked
// over the first `strokeEnd` of its length when it has a stroke colour.
class CAShapeLayer : public CALayer {
public:
    enum class LineCap { butt, round, square };

    std::string className() const override { return "CAShapeLayer"; }

    const std::optional<CGPath>& path() const { return path_; }
    void setPath(std::optional<CGPath> path) { path_ = std::move(path); }
    const std::optional<Color>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<Color> color) { fillColor_ = color; }
    const std::optional<Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<Color> color) { strokeColor_ = color; }
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    LineCap lineCap() const { return lineCap_; }
    void setLineCap(LineCap cap) { lineCap_ = cap; }
    // Kept as set; drawing takes it within 0…1.
    CGFloat strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(CGFloat end) { strokeEnd_ = end; }

    void draw(CGContext& context) const override;

private:
    std::optional<CGPath> path_;
    std::optional<Color> fillColor_ = Color{0, 0, 0, 1};
    std::optional<Color> strokeColor_;
    CGFloat lineWidth_ = 1;
    LineCap lineCap_ = LineCap::butt;
    CGFloat strokeEnd_ = 1;
};

} // namespace zestrel::platform
