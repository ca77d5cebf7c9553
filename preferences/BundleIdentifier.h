#pragma once

#include "preferences/PrefsBridges.h"

#include <functional>
#include <string>

namespace zestrel {

// An application's bundle identifier ("com.apple.finder"), equal and hashed by its text.
// Stored in preferences as its raw text, so a set of them is an array of strings.
struct BundleIdentifier {
    std::string rawValue;

    bool operator==(const BundleIdentifier&) const = default;
};

} // namespace zestrel

template <> struct std::hash<zestrel::BundleIdentifier> {
    std::size_t operator()(const zestrel::BundleIdentifier& identifier) const noexcept {
        return std::hash<std::string>()(identifier.rawValue);
    }
};

template <>
struct zestrel::Prefs::PrefsSerializable<zestrel::BundleIdentifier>
    : zestrel::Prefs::RawRepresentableSerializable<zestrel::BundleIdentifier> {};
