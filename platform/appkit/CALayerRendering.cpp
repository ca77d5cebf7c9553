#include "platform/appkit/CALayer.h"
#include "platform/appkit/CGContext.h"

#include <algorithm>

namespace zestrel::platform {

CGRect CALayer::frame() const {
    return CGRect{{position_.x - anchorPoint_.x * bounds_.size.width,
                   position_.y - anchorPoint_.y * bounds_.size.height},
                  bounds_.size};
}

void CALayer::setFrame(CGRect frame) {
    bounds_.size = frame.size;
    position_ = {frame.origin.x + anchorPoint_.x * frame.size.width,
                 frame.origin.y + anchorPoint_.y * frame.size.height};
}

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) {
    if (!layer || layer.get() == this) {
        return;
    }
    if (auto old = layer->superlayer()) {
        std::erase(old->sublayers_, layer);
    }
    sublayers_.push_back(layer);
    layer->superlayer_ = std::static_pointer_cast<CALayer>(shared_from_this());
}

void CALayer::render(CGContext& context) const {
    context.saveGState();
    if (shadowPath_ && shadowColor_ && shadowOpacity_ > 0) {
        Color shadow = *shadowColor_;
        shadow.opacity *= std::clamp(static_cast<double>(shadowOpacity_), 0.0, 1.0);
        context.saveGState();
        context.translateBy(shadowOffset_.width, shadowOffset_.height);
        context.fillPath(*shadowPath_, shadow);
        context.restoreGState();
    }
    draw(context);
    for (const auto& sublayer : sublayers_) {
        // The sublayer's bounds origin lands where its frame says.
        const CGRect placed = sublayer->frame();
        context.saveGState();
        context.translateBy(placed.origin.x - sublayer->bounds_.origin.x,
                            placed.origin.y - sublayer->bounds_.origin.y);
        sublayer->render(context);
        context.restoreGState();
    }
    context.restoreGState();
}

} // namespace zestrel::platform
