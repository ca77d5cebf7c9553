#include "platform/appkit/NSImage.h"

#include "platform/appkit/NSGraphicsContext.h"

namespace zestrel::platform {

void NSImage::draw(CGRect rect) const {
    auto* graphics = NSGraphicsContext::current();
    if (!graphics) {
        return;
    }
    CGContext& context = graphics->cgContext();
    if (bitmap_) {
        context.drawImage(*bitmap_, rect);
        return;
    }
    if (!drawingHandler_ || size_.width <= 0 || size_.height <= 0) {
        return;
    }
    context.saveGState();
    context.translateBy(rect.origin.x, rect.origin.y);
    context.scaleBy(rect.size.width / size_.width, rect.size.height / size_.height);
    if (flipped_) {
        context.translateBy(0, size_.height);
        context.scaleBy(1, -1);
    }
    NSGraphicsContext own(context, flipped_);
    NSGraphicsContext::Scope scope(own);
    drawingHandler_(CGRect{CGPoint{}, size_});
    context.restoreGState();
}

} // namespace zestrel::platform
