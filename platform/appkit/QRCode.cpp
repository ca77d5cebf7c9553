#include "platform/appkit/QRCode.h"

#include <qrencode.h>

namespace zestrel::platform {

std::optional<QRCode> QRCode::encode(std::string_view bytes, std::string_view correctionLevel) {
    QRecLevel level;
    if (correctionLevel == "L") {
        level = QR_ECLEVEL_L;
    } else if (correctionLevel == "M") {
        level = QR_ECLEVEL_M;
    } else if (correctionLevel == "Q") {
        level = QR_ECLEVEL_Q;
    } else if (correctionLevel == "H") {
        level = QR_ECLEVEL_H;
    } else {
        return std::nullopt;
    }
    if (bytes.empty() || bytes.size() > 7089) {
        return std::nullopt;
    }
    QRcode* code =
        QRcode_encodeData(static_cast<int>(bytes.size()),
                          reinterpret_cast<const unsigned char*>(bytes.data()), 0, level);
    if (!code) {
        return std::nullopt;
    }
    const int size = code->width;
    std::vector<bool> modules(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        modules[i] = (code->data[i] & 1) != 0; // the low bit: dark
    }
    QRcode_free(code);
    return QRCode(std::string(bytes), correctionLevel.front(), size, std::move(modules));
}

std::optional<std::string> QRCode::latin1(std::string_view utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes += static_cast<char>(lead);
            ++i;
            continue;
        }
        // Only two-byte sequences reach U+00FF; longer ones lie beyond Latin-1.
        if ((lead & 0xe0) != 0xc0 || i + 1 >= utf8.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<unsigned char>(utf8[i + 1]);
        if ((next & 0xc0) != 0x80) {
            return std::nullopt;
        }
        const unsigned codePoint = ((lead & 0x1fu) << 6) | (next & 0x3fu);
        if (codePoint < 0x80 || codePoint > 0xff) {
            return std::nullopt;
        }
        bytes += static_cast<char>(codePoint);
        i += 2;
    }
    return bytes;
}

bool QRCode::isDark(int x, int y) const {
    if (x < 0 || y < 0 || x >= size_ || y >= size_) {
        return false;
    }
    return modules_[static_cast<std::size_t>(y) * static_cast<std::size_t>(size_) +
                    static_cast<std::size_t>(x)];
}

CGImage QRCode::image(CGImage::Pixel dark, CGImage::Pixel light, int scale) const {
    const int pixelsPerModule = std::max(scale, 1);
    const auto side = static_cast<std::size_t>(size_) * static_cast<std::size_t>(pixelsPerModule);
    CGImage result(side, side, light);
    for (std::size_t y = 0; y < side; ++y) {
        for (std::size_t x = 0; x < side; ++x) {
            if (isDark(static_cast<int>(x) / pixelsPerModule,
                       static_cast<int>(y) / pixelsPerModule)) {
                result.setPixel(x, y, dark);
            }
        }
    }
    return result;
}

std::shared_ptr<NSImage> QRCode::nsImage(CGImage::Pixel dark, CGImage::Pixel light,
                                         int scale) const {
    auto bitmap = std::make_shared<const CGImage>(image(dark, light, scale));
    const std::string count = std::to_string(size_);
    auto result = std::make_shared<NSImage>(
        "QR code, " + count + "×" + count + " modules",
        CGSize{static_cast<CGFloat>(bitmap->width), static_cast<CGFloat>(bitmap->height)});
    result->setCGImage(std::move(bitmap));
    result->setAccessibilityDescription(message_);
    return result;
}

} // namespace zestrel::platform
