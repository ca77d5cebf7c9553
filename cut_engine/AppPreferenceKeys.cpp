#include "cut_engine/AppPreferenceKeys.h"

#include "platform/base/ProcessLocal.h"

#include <memory>
#include <string>

namespace zestrel::AppPreferences {
namespace {

template <class T> const Prefs::Key<T>& sharedKey(platform::ProcessLocal<Prefs::Key<T>>& key) {
    return key.get();
}

template <class T>
platform::ProcessLocal<Prefs::Key<T>>* makeKey(std::string name, T defaultValue) {
    return new platform::ProcessLocal<Prefs::Key<T>>([name = std::move(name), defaultValue] {
        return std::make_unique<Prefs::Key<T>>(name, defaultValue);
    });
}

} // namespace

const Prefs::Key<bool>& hideMenuBarIcon() {
    static auto* const key = makeKey("hideMenuBarIcon", false);
    return sharedKey(*key);
}

const Prefs::Key<bool>& playSoundEffects() {
    static auto* const key = makeKey("playSoundEffects", true);
    return sharedKey(*key);
}

const Prefs::Key<BundleIdentifierSet>& ignoreList() {
    static auto* const key = makeKey("_ignoreList", BundleIdentifierSet{});
    return sharedKey(*key);
}

const Prefs::Key<bool>& newMethod() {
    static auto* const key = makeKey("newMethod", false);
    return sharedKey(*key);
}

const Prefs::Key<bool>& useKeyCode() {
    static auto* const key = makeKey("useKeyCode", false);
    return sharedKey(*key);
}

} // namespace zestrel::AppPreferences
