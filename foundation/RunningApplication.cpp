#include "foundation/RunningApplication.h"

#include "platform/base/Error.h"
#include "platform/desktop/NSWorkspace.h"

#include <string>

namespace zestrel {

std::optional<int> processIdentifiers(std::string_view bundleIdentifier) {
    const auto applications =
        platform::NSRunningApplication::runningApplicationsWithBundleIdentifier(
            std::string(bundleIdentifier));
    if (applications.empty()) {
        return std::nullopt;
    }
    return applications.front()->processIdentifier();
}

std::shared_ptr<platform::NSRunningApplication>
runningApplication(const platform::Notification& notification) {
    const auto found = notification.userInfo.find(platform::NSWorkspaceApplicationKey);
    if (found == notification.userInfo.end()) {
        platform::fatal("Notification \"" + notification.name +
                        "\" carries no running application");
    }
    auto application = found->second.flattened().asObject<platform::NSRunningApplication>();
    if (!application) {
        platform::fatal("Notification \"" + notification.name +
                        "\" carries no running application but " + found->second.typeName());
    }
    return application;
}

} // namespace zestrel
