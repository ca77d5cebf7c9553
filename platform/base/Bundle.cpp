#include "platform/base/Bundle.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#ifndef ZESTREL_VERSION
#error "ZESTREL_VERSION must be defined by the build"
#endif
#ifndef ZESTREL_BUILD_NUMBER
#error "ZESTREL_BUILD_NUMBER must be defined by the build"
#endif
#ifndef ZESTREL_RESOURCES_DIR
#error "ZESTREL_RESOURCES_DIR must be defined by the build"
#endif

namespace zestrel::platform {
namespace {

constexpr const char* kResourcesEnvironmentVariable = "ZESTREL_RESOURCES_DIR";

std::filesystem::path executableDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.has_parent_path()) {
        return executable.parent_path();
    }
    return std::filesystem::current_path(error);
}

std::shared_ptr<const Bundle> makeOwnBundle() {
    const Value::Dictionary info = {
        {kCFBundleIdentifierKey, Value("com.quorvik.Zestrel")},
        {kCFBundleNameKey, Value("Zestrel")},
        {kCFBundleShortVersionStringKey, Value(ZESTREL_VERSION)},
        {kCFBundleVersionKey, Value(ZESTREL_BUILD_NUMBER)},
        {kLSUIElementKey, Value(true)}, // a menu-bar app
    };
    const char* resources = std::getenv(kResourcesEnvironmentVariable);
    return std::make_shared<const Bundle>(
        info, URL::fileURL((executableDirectory() / "Zestrel.app").string(), true),
        resources != nullptr && *resources != '\0' ? std::filesystem::path(resources)
                                                   : std::filesystem::path(ZESTREL_RESOURCES_DIR));
}

// Rebuilt per process, so a relaunch sees a changed resources variable.
ProcessLocal<std::shared_ptr<const Bundle>>& ownBundle() {
    static auto* const instance = new ProcessLocal<std::shared_ptr<const Bundle>>(
        [] { return std::make_unique<std::shared_ptr<const Bundle>>(makeOwnBundle()); });
    return *instance;
}

Mutex overrideMutex;
std::shared_ptr<const Bundle> mainOverride GUARDED_BY(overrideMutex);

std::optional<Data> readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    Data data{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        return std::nullopt;
    }
    return data;
}

} // namespace

Bundle::Bundle(Value::Dictionary infoDictionary, URL bundleURL,
               std::filesystem::path resourcesDirectory)
    : infoDictionary_(std::move(infoDictionary)), bundleURL_(std::move(bundleURL)),
      resourcesDirectory_(std::move(resourcesDirectory)) {}

std::shared_ptr<const Bundle> Bundle::main() {
    {
        MutexLock lock(overrideMutex);
        if (mainOverride) {
            return mainOverride;
        }
    }
    return *ownBundle();
}

void Bundle::setMainForTesting(std::shared_ptr<const Bundle> bundle) {
    MutexLock lock(overrideMutex);
    mainOverride = std::move(bundle);
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    const auto found = infoDictionary_.find(kCFBundleIdentifierKey);
    if (found == infoDictionary_.end()) {
        return std::nullopt;
    }
    if (const std::string* text = found->second.asString()) {
        return *text;
    }
    return std::nullopt;
}

std::optional<Data> Bundle::dataAsset(std::string_view name) const {
    if (name.empty() || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    std::error_code error;
    const auto exact = resourcesDirectory_ / std::string(name);
    if (std::filesystem::is_regular_file(exact, error)) {
        return readFile(exact);
    }
    // The first file, in name order, whose name without its extension is `name`.
    std::vector<std::filesystem::path> candidates;
    for (std::filesystem::directory_iterator it(resourcesDirectory_, error), end;
         !error && it != end; it.increment(error)) {
        const auto& path = it->path();
        if (path.stem() == name && it->is_regular_file(error)) {
            candidates.push_back(path);
        }
    }
    if (candidates.empty()) {
        return std::nullopt;
    }
    return readFile(*std::min_element(candidates.begin(), candidates.end()));
}

} // namespace zestrel::platform
