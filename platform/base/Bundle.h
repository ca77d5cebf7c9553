#pragma once

#include "platform/base/Value.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// Information-dictionary keys of a bundle.
inline constexpr const char* kCFBundleIdentifierKey = "CFBundleIdentifier";
inline constexpr const char* kCFBundleNameKey = "CFBundleName";
inline constexpr const char* kCFBundleVersionKey = "CFBundleVersion";
inline constexpr const char* kCFBundleShortVersionStringKey = "CFBundleShortVersionString";
// True for an agent (a menu-bar app): no Dock icon, no menu bar, windows on demand.
inline constexpr const char* kLSUIElementKey = "LSUIElement";

// An application bundle: its information dictionary, where it lies and its resources.
//
// The main bundle of this program is "Zestrel.app" beside the running executable: there
// is no bundle on disk, only its address, which is what the app reads of it. Its
// information comes from the build (project version and ZESTREL_BUILD_NUMBER); its
// resources are the source tree's resources/ folder, or the folder named by the
// environment variable ZESTREL_RESOURCES_DIR.
class Bundle {
public:
    Bundle(Value::Dictionary infoDictionary, URL bundleURL,
           std::filesystem::path resourcesDirectory);

    // The current main bundle: the one set for testing, else this process's own.
    static std::shared_ptr<const Bundle> main();
    // Replaces the main bundle (a moved app, a bad build); nullptr restores the real one.
    // Survives `resetProcess()`, as the bundle on disk survives a relaunch.
    static void setMainForTesting(std::shared_ptr<const Bundle> bundle);

    // The information dictionary's "CFBundleIdentifier" when it is a text.
    std::optional<std::string> bundleIdentifier() const;
    const Value::Dictionary& infoDictionary() const { return infoDictionary_; }
    const URL& bundleURL() const { return bundleURL_; }
    const std::filesystem::path& resourcesDirectory() const { return resourcesDirectory_; }

    // `NSDataAsset(name:)?.data`: the contents of the resource file named `name`, with or
    // without an extension ("CutSound" finds "CutSound.wav"); nothing when there is none
    // or it cannot be read.
    std::optional<Data> dataAsset(std::string_view name) const;

private:
    Value::Dictionary infoDictionary_;
    URL bundleURL_;
    std::filesystem::path resourcesDirectory_;
};

} // namespace zestrel::platform
