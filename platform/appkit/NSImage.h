#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

// An image as our code handles one: its name (a named image or a system symbol) and its
// size, and, for an image made from pixels (a QR code), its bitmap, which is what is
// written when the image is saved or copied. An image made by a drawing handler has no
// pixels of its own: the handler draws it afresh wherever it is drawn.
class NSImage final : public NSObject {
public:
    // Draws the image's content into the current graphics context, given the image's
    // rectangle; answers whether it drew.
    using DrawingHandler = std::function<bool(CGRect rect)>;

    explicit NSImage(std::string name, CGSize size = {}) : name_(std::move(name)), size_(size) {}
    // `NSImage(size:flipped:drawingHandler:)`: unnamed; `flipped` puts the handler's origin
    // at the top left.
    static std::shared_ptr<NSImage> withDrawingHandler(CGSize size, bool flipped,
                                                       DrawingHandler handler) {
        auto image = std::make_shared<NSImage>(std::string(), size);
        image->flipped_ = flipped;
        image->drawingHandler_ = std::move(handler);
        return image;
    }

    // A system symbol ("exclamationmark.triangle"); nothing when the name is empty.
    static std::shared_ptr<NSImage> systemSymbol(std::string name) {
        if (name.empty()) {
            return nullptr;
        }
        return std::make_shared<NSImage>(std::move(name), CGSize{16, 16});
    }

    const std::string& name() const { return name_; }
    CGSize size() const { return size_; }
    void setSize(CGSize size) { size_ = size; }

    const std::shared_ptr<const CGImage>& cgImage() const { return bitmap_; }
    void setCGImage(std::shared_ptr<const CGImage> bitmap) { bitmap_ = std::move(bitmap); }
    // What a screen reader says for it (a QR code's message).
    const std::string& accessibilityDescription() const { return accessibilityDescription_; }
    void setAccessibilityDescription(std::string text) {
        accessibilityDescription_ = std::move(text);
    }
    // The bitmap as a TIFF or PNG file; nothing for an image without pixels.
    std::optional<Data> tiffRepresentation() const {
        return bitmap_ ? tiffData(*bitmap_) : std::nullopt;
    }
    std::optional<Data> pngRepresentation() const {
        return bitmap_ ? pngData(*bitmap_) : std::nullopt;
    }

    const DrawingHandler& drawingHandler() const { return drawingHandler_; }
    bool isFlipped() const { return flipped_; }
    // Draws the image scaled into the rectangle of the current graphics context: its bitmap,
    // or what its drawing handler draws. Nothing without a current context, or for an image
    // that has neither (a symbol by name).
    void draw(CGRect rect) const;

    std::string className() const override { return "NSImage"; }
    std::string describe() const override { return "<NSImage " + name_ + ">"; }

private:
    std::string name_;
    CGSize size_;
    std::shared_ptr<const CGImage> bitmap_;
    std::string accessibilityDescription_;
    DrawingHandler drawingHandler_;
    bool flipped_ = false;
};

} // namespace zestrel::platform
