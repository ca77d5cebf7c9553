#include "services/FileSystem.h"

#include "foundation/ErrorReporter.h"
#include "foundation/ErrorUserInfo.h"
#include "foundation/FileOperations.h"
#include "foundation/QVApp.h"
#include "foundation/TextDateUtilities.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/MDItem.h"
#include "services/ExtendedAttributes.h"

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using platform::URL;

URL resolvingSymlinks(const URL& url) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::path(url.path()), error);
    if (error) {
        return url;
    }
    return URL::fileURL(resolved.string(), true);
}

platform::Value resourceValue(const URL& url, const std::string& key) {
    const auto values = platform::NSFileManager::defaultManager().resourceValuesForKeys(url, {key});
    const auto found = values.find(key);
    return found == values.end() ? platform::Value() : found->second;
}

const SystemDirectory& lazyDirectory(platform::NSSearchPathDirectory directory) {
    using Local = platform::ProcessLocal<SystemDirectory>;
    auto make = [](platform::NSSearchPathDirectory which) {
        return new Local(
            [which] { return std::make_unique<SystemDirectory>(lookUpAppDirectory(which)); });
    };
    static Local* const support =
        make(platform::NSSearchPathDirectory::applicationSupportDirectory);
    static Local* const caches = make(platform::NSSearchPathDirectory::cachesDirectory);
    static Local* const documents = make(platform::NSSearchPathDirectory::documentDirectory);
    switch (directory) {
    case platform::NSSearchPathDirectory::cachesDirectory:
        return **caches;
    case platform::NSSearchPathDirectory::documentDirectory:
        return **documents;
    default:
        return **support;
    }
}

} // namespace

void trash(const URL& url) {
    platform::NSFileManager::defaultManager().trashItemAtURL(url);
}

void trashItems(const std::vector<URL>& urls) {
    for (const auto& url : urls) {
        trash(url);
    }
}

void ensureExists(const URL& url) {
    if (!platform::NSFileManager::defaultManager().fileExistsAtPath(url.path())) {
        throw platform::NSError::make(
            platform::NSCocoaErrorDomain, platform::NSFileNoSuchFileError,
            {{platform::NSLocalizedDescriptionKey, platform::Value("The URL does not exist.")},
             {platform::NSURLErrorKey, platform::Value(url)}});
    }
}

void ensureIsDirectory(const URL& url) {
    ensureExists(url);
    if (!boolResourceValue(url, platform::NSURLIsDirectoryKey, false)) {
        throw platform::NSError::make(
            platform::NSCocoaErrorDomain, platform::NSFileReadUnknownError,
            {{platform::NSLocalizedDescriptionKey, platform::Value("The URL is not a directory.")},
             {platform::NSURLErrorKey, platform::Value(url)}});
    }
}

std::optional<std::string> stringResourceValue(const URL& url, const std::string& key) {
    const platform::Value value = resourceValue(url, key);
    const std::string* text = value.asString();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<platform::Date> dateResourceValue(const URL& url, const std::string& key) {
    return resourceValue(url, key).asDate();
}

std::optional<double> doubleResourceValue(const URL& url, const std::string& key) {
    // Any number reads as a double, as the platform's numbers do: a file size is an integer.
    return resourceValue(url, key).asDouble();
}

bool boolResourceValue(const URL& url, const std::string& key, bool defaultValue) {
    return resourceValue(url, key).asBool().value_or(defaultValue);
}

SystemDirectory lookUpSystemDirectory(platform::NSSearchPathDirectory directory) {
    auto& manager = platform::NSFileManager::defaultManager();
    try {
        return {
            resolvingSymlinks(manager.URLForDirectory(
                directory, platform::NSSearchPathDomainMask::userDomainMask, std::nullopt, false)),
            false};
    } catch (const platform::Error&) {
        reportError(appError("Could not get system directory: " + platform::describe(directory)));
        return {resolvingSymlinks(manager.temporaryDirectory()), true};
    }
}

URL systemDirectory(platform::NSSearchPathDirectory directory) {
    return lookUpSystemDirectory(directory).url;
}

SystemDirectory lookUpAppDirectory(platform::NSSearchPathDirectory directory) {
    SystemDirectory found = lookUpSystemDirectory(directory);
    found.url = found.url.appendingPathComponent(QVApp::id(), true);
    try {
        createDirectory(found.url, true);
    } catch (const platform::Error& error) {
        reportTypedError(error);
    }
    return found;
}

URL appDirectory(platform::NSSearchPathDirectory directory) {
    return lookUpAppDirectory(directory).url;
}

const URL& applicationSupportDirectory() {
    return lazyDirectory(platform::NSSearchPathDirectory::applicationSupportDirectory).url;
}

const URL& cachesDirectory() {
    return lazyDirectory(platform::NSSearchPathDirectory::cachesDirectory).url;
}

const URL& documentsDirectory() {
    return lazyDirectory(platform::NSSearchPathDirectory::documentDirectory).url;
}

bool appDirectoryIsTemporaryFallback(platform::NSSearchPathDirectory directory) {
    return lazyDirectory(directory).isTemporaryFallback;
}

const URL& realHomeDirectory() {
    static auto* const home = new platform::ProcessLocal<URL>([] {
        const passwd* entry = getpwuid(getuid());
        const std::string path = entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
        return std::make_unique<URL>(URL::fileURL(path, true));
    });
    return **home;
}

bool isScreenshot(const URL& url) {
    if (const auto marked = spotlightBool(url, platform::kMDItemIsScreenCapture)) {
        return *marked;
    }
    try {
        return extendedAttributeSpotlightBool(url, platform::kMDItemIsScreenCapture)
            .value_or(false);
    } catch (const platform::Error&) {
        return false;
    }
}

URL urlLiteral(std::string_view text) {
    auto url = URL::parse(text);
    if (!url) {
        platform::fatal("Invalid URL literal: " + std::string(text));
    }
    return *url;
}

bool isEmptyOrWhitespace(std::string_view text) {
    return text.empty() || isBlankOrNewline(text);
}

void reportTypedError(const platform::Error& error, platform::Value::Dictionary userInfo,
                      std::string_view file, std::int64_t line) {
    reportError(platform::Error(error.nsError()), std::move(userInfo), file, line);
}

} // namespace zestrel
