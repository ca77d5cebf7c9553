#pragma once

#include "platform/base/Error.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/Value.h"
#include "platform/desktop/NSRunningApplication.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

inline constexpr const char* NSWorkspaceDidLaunchApplicationNotification =
    "NSWorkspaceDidLaunchApplicationNotification";
inline constexpr const char* NSWorkspaceDidTerminateApplicationNotification =
    "NSWorkspaceDidTerminateApplicationNotification";
inline constexpr const char* NSWorkspaceDidActivateApplicationNotification =
    "NSWorkspaceDidActivateApplicationNotification";
// User-info key of those notifications: the running application.
inline constexpr const char* NSWorkspaceApplicationKey = "NSWorkspaceApplicationKey";

// What opening an application asks for.
struct NSWorkspaceOpenConfiguration {
    bool activates = true;
    bool createsNewApplicationInstance = false;
};

// The process's view of the desktop's workspace. The object and its observers belong to
// the process (a relaunch makes a new one); what it answers is the current desktop's.
// Key-value observable keys: "frontmostApplication" and "menuBarOwningApplication".
class NSWorkspace final : public NSObject {
public:
    NSWorkspace();

    static std::shared_ptr<NSWorkspace> shared();

    // NotificationCenter::workspaceCenter().
    std::shared_ptr<NotificationCenter> notificationCenter() const;

    std::vector<std::shared_ptr<NSRunningApplication>> runningApplications() const;
    std::shared_ptr<NSRunningApplication> frontmostApplication() const;
    std::shared_ptr<NSRunningApplication> menuBarOwningApplication() const;

    std::optional<URL>
    urlForApplicationWithBundleIdentifier(const std::string& bundleIdentifier) const;
    // The application that opens the URL (by its scheme).
    std::optional<URL> urlForApplicationToOpenURL(const URL& url) const;
    // Every application that can open the URL, the default one first.
    std::vector<URL> urlsForApplicationsToOpenURL(const URL& url) const;

    using OpenCompletion =
        std::function<void(std::shared_ptr<NSRunningApplication>, std::optional<Error>)>;
    // Launches the application installed at the URL; the completion is called on the main
    // queue with the running application or an error.
    void openApplicationAtURL(const URL& applicationURL,
                              const NSWorkspaceOpenConfiguration& configuration,
                              OpenCompletion completion);

    // The user's Reduce Motion setting: animations are skipped or made instant.
    bool accessibilityDisplayShouldReduceMotion() const;
    // The user's Reduce Transparency, Increase Contrast and Differentiate Without Colour.
    bool accessibilityDisplayShouldReduceTransparency() const;
    bool accessibilityDisplayShouldIncreaseContrast() const;
    bool accessibilityDisplayShouldDifferentiateWithoutColor() const;

    KeyValueObserverRegistry& keyValueObservers() { return observers_; }

    std::string className() const override { return "NSWorkspace"; }

private:
    Value valueForKey(const std::string& key) const;
    KeyValueObserverRegistry observers_;
};

} // namespace zestrel::platform
