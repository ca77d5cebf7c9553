#include "ui/QRCodeImage.h"

#include "platform/appkit/QRCode.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Environment.h"
#include "ui/Pasteboard.h"
#include "ui/SwiftUIHelpers.h"

#include <utility>

namespace zestrel {

namespace pf = platform;

std::string filterValue(QRCodeErrorCorrectionLevel level) {
    switch (level) {
    case QRCodeErrorCorrectionLevel::low:
        return "L";
    case QRCodeErrorCorrectionLevel::medium:
        return "M";
    case QRCodeErrorCorrectionLevel::quartile:
        return "Q";
    case QRCodeErrorCorrectionLevel::high:
        return "H";
    }
    return "M";
}

pf::CGImage overlayingCentered(const pf::CGImage& base, const pf::CGImage& overlay) {
    pf::CGImage result = base;
    const auto left = (static_cast<long>(base.width) - static_cast<long>(overlay.width)) / 2;
    const auto top = (static_cast<long>(base.height) - static_cast<long>(overlay.height)) / 2;
    for (std::size_t y = 0; y < overlay.height; ++y) {
        for (std::size_t x = 0; x < overlay.width; ++x) {
            const long tx = left + static_cast<long>(x);
            const long ty = top + static_cast<long>(y);
            if (tx < 0 || ty < 0 || tx >= static_cast<long>(base.width) ||
                ty >= static_cast<long>(base.height)) {
                continue;
            }
            const auto source = overlay.pixel(x, y);
            const auto target =
                result.pixel(static_cast<std::size_t>(tx), static_cast<std::size_t>(ty));
            const unsigned alpha = source[3];
            pf::CGImage::Pixel blended{};
            for (int channel = 0; channel < 3; ++channel) {
                blended[channel] = static_cast<std::uint8_t>(
                    (source[channel] * alpha + target[channel] * (255 - alpha)) / 255);
            }
            blended[3] = static_cast<std::uint8_t>(alpha + target[3] * (255 - alpha) / 255);
            result.setPixel(static_cast<std::size_t>(tx), static_cast<std::size_t>(ty), blended);
        }
    }
    return result;
}

std::shared_ptr<pf::NSImage> qrCodeImage(const std::string& text,
                                         QRCodeErrorCorrectionLevel errorCorrection,
                                         pf::CGImage::Pixel color,
                                         const std::shared_ptr<pf::NSImage>& centerImage) {
    const auto bytes = pf::QRCode::latin1(text);
    if (!bytes) {
        return nullptr;
    }
    const auto code = pf::QRCode::encode(*bytes, filterValue(errorCorrection));
    if (!code) {
        return nullptr;
    }
    auto tinted = code->nsImage(color, {0, 0, 0, 0});
    if (!centerImage || !centerImage->cgImage()) {
        return tinted;
    }
    auto combined = std::make_shared<const pf::CGImage>(
        overlayingCentered(*tinted->cgImage(), *centerImage->cgImage()));
    tinted->setCGImage(std::move(combined));
    return tinted;
}

namespace {

// A copy of the code is rendered this many pixels a side, at a scale of 1.
constexpr std::size_t kCopiedSide = 600;

// The code as the view draws it, on opaque white: modules black, scaled without smoothing
// to `side` × `side` pixels. All white when the text makes no code.
std::shared_ptr<pf::NSImage> renderedOnWhite(const std::string& text,
                                             QRCodeErrorCorrectionLevel level, std::size_t side) {
    pf::CGImage bitmap(side, side, pf::CGImage::Pixel{255, 255, 255, 255});
    const auto bytes = pf::QRCode::latin1(text);
    const auto code = bytes ? pf::QRCode::encode(*bytes, filterValue(level)) : std::nullopt;
    if (code) {
        const auto modules = static_cast<std::size_t>(code->moduleCount());
        for (std::size_t y = 0; y < side; ++y) {
            for (std::size_t x = 0; x < side; ++x) {
                if (code->isDark(static_cast<int>(x * modules / side),
                                 static_cast<int>(y * modules / side))) {
                    bitmap.setPixel(x, y, pf::CGImage::Pixel{0, 0, 0, 255});
                }
            }
        }
    }
    const auto extent = static_cast<pf::CGFloat>(side);
    auto image = std::make_shared<pf::NSImage>("QR Code", pf::CGSize{extent, extent});
    image->setCGImage(std::make_shared<const pf::CGImage>(std::move(bitmap)));
    return image;
}

} // namespace

std::shared_ptr<pf::NSImage> QRCodeView::image(pf::swiftui::ColorScheme scheme) const {
    const pf::CGImage::Pixel modules = scheme == pf::swiftui::ColorScheme::dark
                                           ? pf::CGImage::Pixel{255, 255, 255, 255}
                                           : pf::CGImage::Pixel{0, 0, 0, 255};
    return qrCodeImage(text, errorCorrection, modules);
}

pf::swiftui::View QRCodeView::body(pf::swiftui::ViewContext& context) const {
    const auto image = this->image(context.environment().colorScheme);
    pf::swiftui::View code =
        image ? pf::swiftui::View(pf::swiftui::Image(image)) : pf::swiftui::View();
    const auto copy = [text = text, level = errorCorrection] {
        // Through the kit's image copy: a PNG file in a new temporary folder each time.
        copyToPasteboard(*renderedOnWhite(text, level, kCopiedSide), true);
    };
    return code.modifier("aspectRatio", "contentMode: .fit")
        .contextMenu({CopyButton{std::nullopt, copy}});
}

} // namespace zestrel
