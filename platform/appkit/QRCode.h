#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/appkit/NSImage.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// A QR code symbol (through libqrencode): the square of modules that encodes some bytes at
// a level of error correction, in the smallest version that holds them. What the platform's
// QR-code generator filter makes.
class QRCode {
public:
    // "L", "M", "Q" or "H": the share of the symbol that can be lost and still read.
    // Nothing for another level, for no bytes, or for more bytes than a symbol holds.
    static std::optional<QRCode> encode(std::string_view bytes, std::string_view correctionLevel);
    // The UTF-8 text as ISO Latin-1 bytes; nothing when a character lies outside it.
    static std::optional<std::string> latin1(std::string_view utf8);

    const std::string& message() const { return message_; }
    char correctionLevel() const { return level_; }
    // Modules a side: 21 for version 1, four more for each version above.
    int moduleCount() const { return size_; }
    bool isDark(int x, int y) const;

    // One pixel a module, `scale` pixels a side, dark modules in `dark`, light ones in `light`.
    CGImage image(CGImage::Pixel dark = {0, 0, 0, 255}, CGImage::Pixel light = {0, 0, 0, 0},
                  int scale = 1) const;
    // The image as an NSImage described by the message and the module count.
    std::shared_ptr<NSImage> nsImage(CGImage::Pixel dark = {0, 0, 0, 255},
                                     CGImage::Pixel light = {0, 0, 0, 0}, int scale = 1) const;

private:
    QRCode(std::string message, char level, int size, std::vector<bool> modules)
        : message_(std::move(message)), level_(level), size_(size), modules_(std::move(modules)) {}

    std::string message_;
    char level_;
    int size_;
    std::vector<bool> modules_; // rows from the top
};

} // namespace zestrel::platform
