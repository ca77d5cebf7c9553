#include "platform/desktop/NSRunningApplication.h"

#include "platform/base/Bundle.h"
#include "platform/desktop/Desktop.h"

namespace zestrel::platform {

NSApplicationActivationPolicy activationPolicyOf(const Bundle& bundle) {
    const auto& info = bundle.infoDictionary();
    const auto agent = info.find(kLSUIElementKey);
    return agent != info.end() && agent->second.asBool().value_or(false)
               ? NSApplicationActivationPolicy::accessory
               : NSApplicationActivationPolicy::regular;
}

NSRunningApplication::NSRunningApplication(Identity identity, std::weak_ptr<Desktop> desktop)
    : identity_(std::move(identity)), desktop_(std::move(desktop)),
      policy_(identity_.activationPolicy) {}

std::shared_ptr<NSRunningApplication> NSRunningApplication::current() {
    return Desktop::current()->ownApplication();
}

std::shared_ptr<NSRunningApplication>
NSRunningApplication::runningApplicationWithProcessIdentifier(int processIdentifier) {
    return Desktop::current()->runningApplication(processIdentifier);
}

std::vector<std::shared_ptr<NSRunningApplication>>
NSRunningApplication::runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) {
    return Desktop::current()->runningApplications(bundleIdentifier);
}

bool NSRunningApplication::activate() {
    auto desktop = desktop_.lock();
    return desktop && desktop->activate(processIdentifier());
}

bool NSRunningApplication::terminate() {
    auto desktop = desktop_.lock();
    return desktop && desktop->terminate(processIdentifier());
}

std::string NSRunningApplication::describe() const {
    std::string text = "<NSRunningApplication: pid=" + std::to_string(processIdentifier());
    if (identity_.bundleIdentifier) {
        text += " " + *identity_.bundleIdentifier;
    }
    if (identity_.localizedName) {
        text += " " + *identity_.localizedName;
    }
    return text + ">";
}

} // namespace zestrel::platform
