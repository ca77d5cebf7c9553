#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

inline constexpr const char* NSAppearanceNameAqua = "NSAppearanceNameAqua";
inline constexpr const char* NSAppearanceNameDarkAqua = "NSAppearanceNameDarkAqua";
inline constexpr const char* NSAppearanceNameVibrantLight = "NSAppearanceNameVibrantLight";
inline constexpr const char* NSAppearanceNameVibrantDark = "NSAppearanceNameVibrantDark";

// A look of the interface by name. A vibrant appearance matches its plain counterpart.
class NSAppearance final : public NSObject {
public:
    explicit NSAppearance(std::string name) : name_(std::move(name)) {}
    static std::shared_ptr<NSAppearance> named(std::string name) {
        return std::make_shared<NSAppearance>(std::move(name));
    }
    std::string className() const override { return "NSAppearance"; }
    const std::string& name() const { return name_; }

    // The first of the names this appearance is, or derives from; nothing when none is.
    std::optional<std::string>
    bestMatchFromAppearancesWithNames(const std::vector<std::string>& names) const;

    // The appearance this thread draws with now (aqua unless set); dynamic colours resolve
    // by it. Nothing set restores aqua.
    static std::shared_ptr<NSAppearance> currentDrawingAppearance();
    static void setCurrentDrawingAppearance(std::shared_ptr<NSAppearance> appearance);

private:
    std::string name_;
};

} // namespace zestrel::platform
