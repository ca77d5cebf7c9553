#include "platform/appkit/NSAppearance.h"

namespace zestrel::platform {

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
