#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// `Locale(identifier:).localizedString(forLanguageCode:)`: the name of a language in the
// language of a locale ("English" for "en" named in "en_US_POSIX", "Japanese" for "ja");
// nothing for an empty code or one the locale data has no name for.
std::optional<std::string> localizedLanguageName(std::string_view languageCode,
                                                 std::string_view localeIdentifier);

} // namespace zestrel::platform
