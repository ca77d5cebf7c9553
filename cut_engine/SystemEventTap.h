#pragma once

#include "platform/base/ThreadChecker.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/EventTap.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel {

// The mask of a list of event types: one bit per type; the disable notices have no bit.
platform::CGEventMask eventMask(const std::vector<platform::CGEventType>& events);

// One Quartz event tap, on one process or at one location of the event stream. Each event
// goes to the action as an NSEvent; the action's answer replaces the event, and no answer
// drops it. The tap is enabled from creation until the object is released, which disables
// it and removes its run-loop source. Made and used on the main thread: called back or
// released on another, it stops the process.
class SystemEventTap {
    struct Key {
        explicit Key() = default;
    };

public:
    using Action = std::function<std::shared_ptr<platform::NSEvent>(
        const std::shared_ptr<platform::NSEvent>&)>;

    // Throws a GeneralError when the system refuses the tap ("Failed to listen to system
    // events.", with "hasAccess") or its run-loop source ("Failed to create run loop
    // source."). `tap` is used only without a pid.
    static std::shared_ptr<SystemEventTap> make(const std::vector<platform::CGEventType>& events,
                                                std::optional<std::int32_t> pid,
                                                platform::CGEventTapLocation tap,
                                                platform::CGEventTapPlacement place,
                                                platform::CGEventTapOptions options, Action action);

    // Made only by `make`: the object is the tap's context, so it never moves.
    SystemEventTap(Key, const std::vector<platform::CGEventType>& events,
                   std::optional<std::int32_t> pid, platform::CGEventTapLocation tap,
                   platform::CGEventTapPlacement place, platform::CGEventTapOptions options,
                   Action action);
    ~SystemEventTap();
    SystemEventTap(const SystemEventTap&) = delete;
    SystemEventTap& operator=(const SystemEventTap&) = delete;

    const platform::CFMachPortRef& port() const { return port_; }
    const platform::CFRunLoopSourceRef& runLoopSource() const { return runLoopSource_; }

private:
    static platform::CGEventRef callback(platform::CGEventTapProxy proxy,
                                         platform::CGEventType type,
                                         const platform::CGEventRef& event, void* userInfo);
    platform::CGEventRef handle(platform::CGEventType type, const platform::CGEventRef& event);

    platform::CFMachPortRef port_;
    platform::CFRunLoopSourceRef runLoopSource_;
    Action action_;
    platform::ThreadChecker threadChecker_{"SystemEventTap"};
};

} // namespace zestrel
