#pragma once

#include "foundation/PlatformTypeIdentities.h"
#include "preferences/PrefsBridges.h"

// The app's appearance and the weekdays are kept as preferences by their raw values.
namespace zestrel::Prefs {

template <> struct RawRepresentable<AppAppearance> {
    using RawValue = std::string;
    static std::string rawValue(AppAppearance value) { return zestrel::rawValue(value); }
    static std::optional<AppAppearance> init(const std::string& rawValue) {
        return appAppearance(rawValue);
    }
};
template <>
struct PrefsSerializable<AppAppearance> : RawRepresentableSerializable<AppAppearance> {};

template <> struct RawRepresentable<Weekday> {
    using RawValue = std::string;
    static std::string rawValue(Weekday value) { return zestrel::rawValue(value); }
    static std::optional<Weekday> init(const std::string& rawValue) { return weekday(rawValue); }
};
template <> struct PrefsSerializable<Weekday> : RawRepresentableSerializable<Weekday> {};

} // namespace zestrel::Prefs
