#include "platform/appkit/CATextLayer.h"

#include "platform/appkit/CGContext.h"

namespace zestrel::platform {

namespace {

// Drops whole characters from the end of UTF-8 text.
void dropLastCharacter(std::string& text) {
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((byte & 0xC0) != 0x80) {
            return;
        }
    }
}

} // namespace

void CATextLayer::draw(CGContext& context) const {
    const CGRect box = bounds();
    std::string text = string_;
    if (truncation_ != TruncationMode::none &&
        CGContext::textWidth(text, fontSize_) > box.size.width) {
        // Cut at the end whatever the mode asks: nothing here shows more than one line.
        const std::string ellipsis = "\u2026";
        while (!text.empty() && CGContext::textWidth(text + ellipsis, fontSize_) > box.size.width) {
            dropLastCharacter(text);
        }
        text += ellipsis;
    }
    const CGFloat width = CGContext::textWidth(text, fontSize_);
    CGFloat x = box.origin.x;
    if (alignment_ == AlignmentMode::center) {
        x += (box.size.width - width) / 2;
    } else if (alignment_ == AlignmentMode::right) {
        x += box.size.width - width;
    }
    const CGFloat baseline = box.origin.y + box.size.height - kAscent * fontSize_;
    context.showText(text, {x, baseline}, fontSize_, foregroundColor_);
}

} // namespace zestrel::platform
