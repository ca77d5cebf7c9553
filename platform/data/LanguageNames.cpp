#include "platform/data/LanguageNames.h"

#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include <array>

namespace zestrel::platform {

std::optional<std::string> localizedLanguageName(std::string_view languageCode,
                                                 std::string_view localeIdentifier) {
    if (languageCode.empty()) {
        return std::nullopt;
    }
    std::array<UChar, 128> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length = uloc_getDisplayLanguage(
        std::string(languageCode).c_str(), std::string(localeIdentifier).c_str(), buffer.data(),
        static_cast<std::int32_t>(buffer.size()), &status);
    // For a code without a name the locale data answers the code itself, with this warning.
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || length <= 0) {
        return std::nullopt;
    }
    std::string text;
    icu::UnicodeString(buffer.data(), length).toUTF8String(text);
    return text;
}

} // namespace zestrel::platform
