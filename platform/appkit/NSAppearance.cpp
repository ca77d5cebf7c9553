#include "platform/appkit/NSAppearance.h"

namespace zestrel::platform {
namespace {

// Drawing happens on one thread at a time per appearance, as on the platform.
thread_local std::shared_ptr<NSAppearance> currentDrawing;

} // namespace

std::shared_ptr<NSAppearance> NSAppearance::currentDrawingAppearance() {
    if (!currentDrawing) {
        currentDrawing = named(NSAppearanceNameAqua);
    }
    return currentDrawing;
}

void NSAppearance::setCurrentDrawingAppearance(std::shared_ptr<NSAppearance> appearance) {
    currentDrawing = std::move(appearance);
}

std::optional<std::string>
NSAppearance::bestMatchFromAppearancesWithNames(const std::vector<std::string>& names) const {
    const std::string plain = name_ == NSAppearanceNameVibrantDark    ? NSAppearanceNameDarkAqua
                              : name_ == NSAppearanceNameVibrantLight ? NSAppearanceNameAqua
                                                                      : name_;
    for (const auto& name : names) {
        if (name == name_ || name == plain) {
            return name;
        }
    }
    return std::nullopt;
}

} // namespace zestrel::platform
