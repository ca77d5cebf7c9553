#include "platform/base/Locale.h"

#include "platform/base/Mutex.h"

namespace zestrel::platform {

namespace {

struct SystemLanguage {
    Mutex mutex;
    std::string code GUARDED_BY(mutex) = "en";
};

SystemLanguage& systemLanguage() {
    static auto* const language = new SystemLanguage;
    return *language;
}

} // namespace

std::string Locale::currentLanguageCode() {
    auto& language = systemLanguage();
    MutexLock lock(language.mutex);
    return language.code;
}

std::string Locale::currentIdentifier() {
    const std::string language = currentLanguageCode();
    return language.empty() ? std::string() : language + "_US";
}

std::string Locale::currentCalendarIdentifier() {
    return "gregorian";
}

void Locale::setCurrentLanguageCode(std::string code) {
    auto& language = systemLanguage();
    MutexLock lock(language.mutex);
    language.code = std::move(code);
}

} // namespace zestrel::platform
