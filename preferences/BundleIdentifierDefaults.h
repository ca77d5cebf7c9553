#pragma once

#include "platform/data/UserDefaults.h"
#include "preferences/BundleIdentifier.h"
#include "preferences/Prefs.h"

#include <optional>
#include <unordered_set>

namespace zestrel {

using BundleIdentifierSet = std::unordered_set<BundleIdentifier>;

// Stores the set under the key's name as an array of its raw strings.
void setBundleIdentifierSet(platform::UserDefaults& defaults, const BundleIdentifierSet& set,
                            const Prefs::Keys& key);
// The stored set; nothing when nothing is stored or the stored object is not an array of
// strings (the caller then falls back to the key's default).
std::optional<BundleIdentifierSet> storedBundleIdentifierSet(const platform::UserDefaults& defaults,
                                                             const Prefs::Keys& key);

} // namespace zestrel
