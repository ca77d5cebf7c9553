#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/appkit/NSImage.h"
#include "platform/swiftui/Environment.h"
#include "platform/swiftui/View.h"

#include <memory>
#include <string>

namespace zestrel {

enum class QRCodeErrorCorrectionLevel { low, medium, quartile, high };
// "L", "M", "Q" or "H", as the generator takes it.
std::string filterValue(QRCodeErrorCorrectionLevel level);

// The text as a QR code: dark modules in `color`, the rest transparent, optionally with
// `centerImage` laid over its middle. Nothing for a text outside ISO Latin-1 or too long
// for a code. A centre image without pixels leaves the code as it is.
std::shared_ptr<platform::NSImage>
qrCodeImage(const std::string& text, QRCodeErrorCorrectionLevel errorCorrection,
            platform::CGImage::Pixel color,
            const std::shared_ptr<platform::NSImage>& centerImage = nullptr);

// `overlay` drawn centred over `base` (source over).
platform::CGImage overlayingCentered(const platform::CGImage& base,
                                     const platform::CGImage& overlay);

// A text as a QR code that follows the appearance (black modules in light, white in dark)
// and offers to copy the code, on white, as a 600 × 600 image with a PNG file beside it.
struct QRCodeView {
    std::string text;
    QRCodeErrorCorrectionLevel errorCorrection = QRCodeErrorCorrectionLevel::medium;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    // The code as shown in that appearance.
    std::shared_ptr<platform::NSImage> image(platform::swiftui::ColorScheme scheme) const;
};

} // namespace zestrel
