#include "platform/desktop/NSWorkspace.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/Desktop.h"

namespace zestrel::platform {

namespace {

using WorkspaceLocal = ProcessLocal<std::shared_ptr<NSWorkspace>>;

WorkspaceLocal& workspaceLocal() {
    static auto* const local = new WorkspaceLocal( // deliberately leaked, like the process
        [] {
            return std::make_unique<std::shared_ptr<NSWorkspace>>(std::make_shared<NSWorkspace>());
        });
    return *local;
}

} // namespace

NSWorkspace::NSWorkspace()
    : observers_(*this, [this](const std::string& key) { return valueForKey(key); }) {}

std::shared_ptr<NSWorkspace> NSWorkspace::shared() {
    return workspaceLocal().get();
}

std::shared_ptr<NotificationCenter> NSWorkspace::notificationCenter() const {
    return NotificationCenter::workspaceCenter();
}

std::vector<std::shared_ptr<NSRunningApplication>> NSWorkspace::runningApplications() const {
    return Desktop::current()->runningApplications();
}

std::shared_ptr<NSRunningApplication> NSWorkspace::frontmostApplication() const {
    return Desktop::current()->frontmostApplication();
}

std::shared_ptr<NSRunningApplication> NSWorkspace::menuBarOwningApplication() const {
    return Desktop::current()->menuBarOwningApplication();
}

std::optional<URL>
NSWorkspace::urlForApplicationWithBundleIdentifier(const std::string& bundleIdentifier) const {
    auto installed = Desktop::current()->installedApplication(bundleIdentifier);
    return installed ? std::optional(installed->bundleURL) : std::nullopt;
}

std::optional<URL> NSWorkspace::urlForApplicationToOpenURL(const URL& url) const {
    auto installed = Desktop::current()->applicationToOpen(url);
    return installed ? std::optional(installed->bundleURL) : std::nullopt;
}

std::vector<URL> NSWorkspace::urlsForApplicationsToOpenURL(const URL& url) const {
    std::vector<URL> urls;
    for (const auto& installed : Desktop::current()->applicationsToOpen(url)) {
        urls.push_back(installed.bundleURL);
    }
    return urls;
}

void NSWorkspace::openApplicationAtURL(const URL& applicationURL,
                                       const NSWorkspaceOpenConfiguration& configuration,
                                       OpenCompletion completion) {
    auto desktop = Desktop::current();
    std::shared_ptr<NSRunningApplication> running;
    std::optional<Error> failure;
    try {
        auto own = desktop->ownApplication();
        const bool isOwnBundle =
            own && own->bundleURL() && desktop->installedApplicationAt(applicationURL) &&
            desktop->installedApplicationAt(applicationURL)->bundleIdentifier ==
                own->bundleIdentifier();
        if (isOwnBundle && configuration.createsNewApplicationInstance) {
            // This process cannot start a second copy of itself: the desktop's holder does
            // it after this turn, once this instance has quit.
            desktop->requestRelaunch();
            running = own;
        } else {
            running = desktop->launchAt(applicationURL, configuration.activates,
                                        configuration.createsNewApplicationInstance);
        }
    } catch (const Error& error) {
        failure = error;
    }
    if (completion) {
        RunLoop::main().async([completion = std::move(completion), running, failure] {
            completion(running, failure);
        });
    }
}

Value NSWorkspace::valueForKey(const std::string& key) const {
    if (key == "frontmostApplication") {
        return Value(frontmostApplication());
    }
    if (key == "menuBarOwningApplication") {
        return Value(menuBarOwningApplication());
    }
    if (key == "runningApplications") {
        Value::Array list;
        for (const auto& app : runningApplications()) {
            list.emplace_back(app);
        }
        return Value(std::move(list));
    }
    return Value();
}

bool NSWorkspace::accessibilityDisplayShouldReduceMotion() const {
    return Desktop::current()->reduceMotion();
}

bool NSWorkspace::accessibilityDisplayShouldReduceTransparency() const {
    return Desktop::current()->reduceTransparency();
}

bool NSWorkspace::accessibilityDisplayShouldIncreaseContrast() const {
    return Desktop::current()->increaseContrast();
}

bool NSWorkspace::accessibilityDisplayShouldDifferentiateWithoutColor() const {
    return Desktop::current()->differentiateWithoutColor();
}

} // namespace zestrel::platform
