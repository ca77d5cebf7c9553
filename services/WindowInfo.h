#pragma once

#include "foundation/Bytes.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/WindowServer.h"
#include "preferences/BundleIdentifier.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace zestrel {

// One on-screen window of any application, as the window server lists it.
struct WindowInfo {
    struct Owner {
        // The window server's owner name, else the application's display name, else
        // "<Unknown>".
        std::string name;
        int processIdentifier = 0;
        // Absent when no running application has the process identifier, or it has none.
        std::optional<BundleIdentifier> bundleIdentifier;
        std::shared_ptr<platform::NSRunningApplication> app;
    };

    // The application a window stands for: where it is installed and who it is.
    struct UserApp {
        platform::URL url;
        BundleIdentifier bundleIdentifier;

        const platform::URL& id() const { return url; }
        bool operator==(const UserApp&) const = default;

        // Nothing for no application, one without bundle URL or identifier, this program
        // while it is not active, and (when `requiresFrontmostForRegularApps` and not
        // `ignoresFrontmost`) a regular application other than the frontmost one.
        static std::optional<UserApp>
        make(const std::shared_ptr<platform::NSRunningApplication>& runningApplication,
             bool ignoresFrontmost, bool requiresFrontmostForRegularApps);
    };

    platform::CGWindowID identifier = platform::kCGNullWindowID;
    std::optional<std::string> name;
    Owner owner;
    // In window-server coordinates: origin at the top left of the primary screen.
    platform::CGRect bounds;
    std::int64_t level = 0;
    double alpha = 1;
    Bytes memoryUsage;
    std::uint32_t sharingState = 0;
    bool isOnScreen = false;
    // The bounds are exactly those of a screen.
    bool fillsScreen = false;

    // The window list for the options, front to back; empty when the window server gives
    // no list.
    static std::vector<WindowInfo> list(platform::CGWindowListOption options);
    // A window dictionary of the window list. Nothing for a dictionary without a number,
    // owner, bounds, layer or alpha, which cannot be placed or attributed; a missing memory
    // usage or sharing state reads as 0.
    static std::optional<WindowInfo> make(const platform::Value::Dictionary& dictionary);
    // The windows of applications a user works in, in their order: no menus, dimming
    // overlays, tiny or transparent windows, agents or system furniture.
    static std::vector<WindowInfo> userAppWindows(const std::vector<WindowInfo>& windows);
};

std::unordered_set<std::string> makeStringSet(const std::vector<std::string>& texts);

} // namespace zestrel

template <> struct std::hash<zestrel::WindowInfo::UserApp> {
    std::size_t operator()(const zestrel::WindowInfo::UserApp& app) const noexcept {
        return std::hash<std::string>()(app.url.absoluteString()) ^
               (std::hash<zestrel::BundleIdentifier>()(app.bundleIdentifier) * 31);
    }
};
