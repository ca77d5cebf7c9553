#include "preferences/BundleIdentifierDefaults.h"

namespace zestrel {

void setBundleIdentifierSet(platform::UserDefaults& defaults, const BundleIdentifierSet& set,
                            const Prefs::Keys& key) {
    platform::Value::Array strings;
    strings.reserve(set.size());
    for (const BundleIdentifier& identifier : set) {
        strings.emplace_back(identifier.rawValue);
    }
    defaults.setObject(platform::Value(std::move(strings)), key.name());
}

std::optional<BundleIdentifierSet> storedBundleIdentifierSet(const platform::UserDefaults& defaults,
                                                             const Prefs::Keys& key) {
    const platform::Value object = defaults.object(key.name());
    const platform::Value::Array* array = object.asArray();
    if (array == nullptr) {
        return std::nullopt;
    }
    BundleIdentifierSet set;
    for (const platform::Value& element : *array) {
        const std::string* text = element.asString();
        if (text == nullptr) {
            return std::nullopt;
        }
        set.insert(BundleIdentifier{*text});
    }
    return set;
}

} // namespace zestrel
