#include "platform/appkit/CAShapeLayer.h"

#include "platform/appkit/CGContext.h"

#include <algorithm>

namespace zestrel::platform {

void CAShapeLayer::draw(CGContext& context) const {
    if (!path_) {
        return;
    }
    if (fillColor_) {
        context.fillPath(*path_, *fillColor_);
    }
    if (strokeColor_) {
        const auto cap = lineCap_ == LineCap::round    ? CGContext::LineCap::round
                         : lineCap_ == LineCap::square ? CGContext::LineCap::square
                                                       : CGContext::LineCap::butt;
        context.strokePath(*path_, *strokeColor_, lineWidth_, cap,
                           std::clamp(strokeEnd_, 0.0, 1.0));
    }
}

} // namespace zestrel::platform
