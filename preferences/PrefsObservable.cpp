#include "preferences/PrefsObservable.h"

namespace zestrel::Prefs {

void reset(const std::vector<std::string>& names,
           const std::shared_ptr<platform::UserDefaults>& suite) {
    for (const std::string& name : names) {
        suite->removeObject(name);
    }
}

} // namespace zestrel::Prefs
