#pragma once

#include "platform/base/Value.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class Bundle;
class Desktop;

// How an application may take part in the user interface: a Dock icon and menu bar
// (regular), neither but windows on demand (accessory, a menu-bar app), or nothing at all.
enum class NSApplicationActivationPolicy : std::int64_t {
    regular = 0,
    accessory = 1,
    prohibited = 2
};

// The policy an application starts with, as its bundle's information asks: accessory for an
// agent ("LSUIElement" true), else regular.
NSApplicationActivationPolicy activationPolicyOf(const Bundle& bundle);

// One process running on the desktop. The identity is fixed at launch; the state (active,
// terminated, policy) follows the desktop. The objects belong to the desktop, so they
// outlive a relaunch of this program as the processes they stand for do.
class NSRunningApplication final : public NSObject {
public:
    struct Identity {
        int processIdentifier = -1;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> localizedName;
        std::optional<URL> bundleURL;
        std::optional<URL> executableURL;
        NSApplicationActivationPolicy activationPolicy = NSApplicationActivationPolicy::regular;
        std::optional<Date> launchDate;
    };

    // Made by the desktop when it starts a process.
    NSRunningApplication(Identity identity, std::weak_ptr<Desktop> desktop);

    // This program, as the current desktop lists it.
    static std::shared_ptr<NSRunningApplication> current();
    static std::shared_ptr<NSRunningApplication>
    runningApplicationWithProcessIdentifier(int processIdentifier);
    // In launch order.
    static std::vector<std::shared_ptr<NSRunningApplication>>
    runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier);

    int processIdentifier() const { return identity_.processIdentifier; }
    const std::optional<std::string>& bundleIdentifier() const {
        return identity_.bundleIdentifier;
    }
    const std::optional<std::string>& localizedName() const { return identity_.localizedName; }
    const std::optional<URL>& bundleURL() const { return identity_.bundleURL; }
    const std::optional<URL>& executableURL() const { return identity_.executableURL; }
    const std::optional<Date>& launchDate() const { return identity_.launchDate; }
    NSApplicationActivationPolicy activationPolicy() const { return policy_.load(); }
    bool isActive() const { return active_.load(); }
    bool isTerminated() const { return terminated_.load(); }
    bool isFinishedLaunching() const { return !terminated_.load(); }

    // Brings the application to the front; false when it has quit or has no desktop.
    bool activate();
    // Asks the application to quit; false when it has already quit.
    bool terminate();
    bool forceTerminate() { return terminate(); }

    std::string className() const override { return "NSRunningApplication"; }
    // "<NSRunningApplication: pid=412 com.apple.finder Finder>".
    std::string describe() const override;

private:
    friend class Desktop;

    const Identity identity_;
    const std::weak_ptr<Desktop> desktop_;
    std::atomic<NSApplicationActivationPolicy> policy_;
    std::atomic<bool> active_{false};
    std::atomic<bool> terminated_{false};
};

} // namespace zestrel::platform
