#pragma once

#include <string>

namespace zestrel::platform {

// `Locale.current` as far as the program asks it: the language the system runs in. A
// machine setting that outlives the program's process; "en" unless set.
class Locale {
public:
    // The language code of the current locale's language ("en", "ja", "zh", ...).
    static std::string currentLanguageCode();
    // The system's language, as the user sets it in System Settings (tests, the desktop).
    static void setCurrentLanguageCode(std::string code);
};

} // namespace zestrel::platform
