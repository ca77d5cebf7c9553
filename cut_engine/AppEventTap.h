#pragma once

#include "cut_engine/SystemEventTap.h"
#include "foundation/NotificationTokens.h"
#include "preferences/BundleIdentifier.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace zestrel {

// One per-process tap on each served application that runs, keyed by bundle identifier.
// When a served application is launched (again), its tap is made anew on the new process
// and the earlier one is released. Made and used on the main thread: adding a tap or
// releasing it on another stops the process.
class AppEventTap : public std::enable_shared_from_this<AppEventTap> {
    struct Key {
        explicit Key() = default;
    };

public:
    // Taps every running application of `bundleIdentifiers`, in order; throws the first
    // tap's failure (the taps made so far are released).
    static std::shared_ptr<AppEventTap> make(std::vector<BundleIdentifier> bundleIdentifiers,
                                             std::vector<platform::CGEventType> events,
                                             platform::CGEventTapPlacement place,
                                             platform::CGEventTapOptions options,
                                             SystemEventTap::Action action);
    // Made only by `make`: it watches launches through a weak reference to itself.
    explicit AppEventTap(Key) {}
    ~AppEventTap();
    AppEventTap(const AppEventTap&) = delete;
    AppEventTap& operator=(const AppEventTap&) = delete;

    // Taps the first running application of the identifier, replacing its earlier tap;
    // nothing (but a log line) when none runs. Throws the tap's failure.
    void addTap(const BundleIdentifier& bundleIdentifier,
                const std::vector<platform::CGEventType>& events,
                platform::CGEventTapPlacement place, platform::CGEventTapOptions options,
                const SystemEventTap::Action& action);

    const std::unordered_map<BundleIdentifier, std::shared_ptr<SystemEventTap>>& eventTaps() const {
        return eventTaps_;
    }

private:
    struct Arguments {
        std::vector<BundleIdentifier> bundleIdentifiers;
        std::vector<platform::CGEventType> events;
        platform::CGEventTapPlacement place;
        platform::CGEventTapOptions options;
        SystemEventTap::Action action;
    };
    void subscribeToLaunches(Arguments arguments);

    std::unordered_map<BundleIdentifier, std::shared_ptr<SystemEventTap>> eventTaps_;
    std::unique_ptr<NotificationToken> cancellable_;
    platform::ThreadChecker threadChecker_{"AppEventTap"};
};

} // namespace zestrel
