#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

// An image as our code handles one: its name (a named image or a system symbol) and its
// size, and, for an image made from pixels (a QR code), its bitmap, which is what is
// written when the image is saved or copied.
class NSImage final : public NSObject {
public:
    explicit NSImage(std::string name, CGSize size = {}) : name_(std::move(name)), size_(size) {}

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

    std::string className() const override { return "NSImage"; }
    std::string describe() const override { return "<NSImage " + name_ + ">"; }

private:
    std::string name_;
    CGSize size_;
    std::shared_ptr<const CGImage> bitmap_;
    std::string accessibilityDescription_;
};

} // namespace zestrel::platform
