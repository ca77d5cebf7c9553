#pragma once

#include <string>

namespace zestrel::platform {

// `Locale.current` as far as the program asks it: the language the system runs in. A
// machine setting that outlives the program's process; "en" unless set. The region is
// always the United States and the calendar always the Gregorian one.
class Locale {
public:
    // The language code of the current locale's language ("en", "ja", "zh", ...); empty
    // when the locale has none.
    static std::string currentLanguageCode();
    // The language and the region ("en_US"); empty when there is no language.
    static std::string currentIdentifier();
    // The identifier of the current locale's calendar ("gregorian").
    static std::string currentCalendarIdentifier();
    // The system's language, as the user sets it in System Settings (tests, the desktop).
    static void setCurrentLanguageCode(std::string code);
};

} // namespace zestrel::platform
