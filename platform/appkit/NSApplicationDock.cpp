#include "platform/appkit/CGContext.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSDockTile.h"
#include "platform/appkit/NSImage.h"

namespace zestrel::platform {

namespace {

// The bundle's icon: a blue rounded square on a clear ground, drawn once per process.
std::shared_ptr<NSImage> bundleIcon() {
    CGContext context(static_cast<std::size_t>(NSDockTile::kSize.width),
                      static_cast<std::size_t>(NSDockTile::kSize.height));
    CGPath square;
    square.addRoundedRect(CGRect{10, 10, 108, 108}, 24, 24);
    context.fillPath(square, Color{0.20, 0.45, 0.85, 1});
    auto icon = std::make_shared<NSImage>("NSApplicationIcon", NSDockTile::kSize);
    icon->setCGImage(std::make_shared<const CGImage>(context.makeImage()));
    return icon;
}

} // namespace

std::shared_ptr<NSImage> NSApplication::applicationIconImage() {
    threadChecker_.check();
    if (!iconImage_) {
        iconImage_ = bundleIcon();
    }
    return iconImage_;
}

void NSApplication::setApplicationIconImage(std::shared_ptr<NSImage> image) {
    threadChecker_.check();
    iconImage_ = std::move(image);
}

std::shared_ptr<NSDockTile> NSApplication::dockTile() {
    threadChecker_.check();
    if (!dockTile_) {
        dockTile_ = std::make_shared<NSDockTile>();
    }
    return dockTile_;
}

} // namespace zestrel::platform
