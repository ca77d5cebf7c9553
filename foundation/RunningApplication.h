#pragma once

#include "platform/Error.h"
#include "platform/NSRunningApplication.h"
#include "platform/NotificationCenter.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Lookups over the running applications of the workspace, for the platform's
// `NSRunningApplication` unless another application type that answers as it does is named:
//     static std::vector<std::shared_ptr<App>> runningApplicationsWithBundleIdentifier(
//         const std::string&);
//     ProcessId processIdentifier() const;
// and an application object that is a `platform::NSObject`.

namespace zestrel {

// The user-info key under which workspace notifications carry the application.
inline constexpr const char* NSWorkspaceApplicationKey = "NSWorkspaceApplicationKey";

// The process identifier of the first application the platform lists for the bundle
// identifier; nothing when none runs.
template <class Application = platform::NSRunningApplication>
auto processIdentifiers(std::string_view bundleIdentifier)
    -> std::optional<decltype(std::declval<const Application&>().processIdentifier())> {
    const auto applications =
        Application::runningApplicationsWithBundleIdentifier(std::string(bundleIdentifier));
    if (applications.empty()) {
        return std::nullopt;
    }
    return applications.front()->processIdentifier();
}

// The application a workspace notification names. Only notifications that always carry
// one are asked, so a missing or foreign value is a programming error.
template <class Application = platform::NSRunningApplication>
std::shared_ptr<Application> runningApplication(const platform::Notification& notification) {
    auto found = notification.userInfo.find(NSWorkspaceApplicationKey);
    if (found == notification.userInfo.end()) {
        platform::fatal("Notification \"" + notification.name +
                        "\" carries no running application");
    }
    auto application = found->second.flattened().template asObject<Application>();
    if (!application) {
        platform::fatal("Notification \"" + notification.name +
                        "\" carries no running application but " + found->second.typeName());
    }
    return application;
}

// Maps any notification to false (the second of a pair of on/off notifications).
inline bool setFalse(const platform::Notification& /*notification*/) {
    return false;
}

} // namespace zestrel
