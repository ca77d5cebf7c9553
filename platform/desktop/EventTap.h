#pragma once

#include "platform/base/RunLoop.h"
#include "platform/desktop/EventSystem.h"

#include <cstdint>
#include <memory>

namespace zestrel::platform {

// The handle of one event tap of this process. The tap exists while the port is valid: the
// port's release or invalidation removes it, and so does the end of the process
// (`resetProcess()`), which invalidates every port the process still holds.
class CFMachPort {
public:
    CFMachPort(std::weak_ptr<EventSystem> system, std::shared_ptr<EventTapEntry> tap);
    ~CFMachPort();
    CFMachPort(const CFMachPort&) = delete;
    CFMachPort& operator=(const CFMachPort&) = delete;

    bool isValid() const;
    // Removes the tap and invalidates the port's run-loop source.
    void invalidate();
    // The tap's identifier in the tap list (for tests and diagnostics).
    std::uint32_t eventTapID() const;
    const std::shared_ptr<EventTapEntry>& tap() const { return tap_; }

private:
    std::weak_ptr<EventSystem> system_;
    std::shared_ptr<EventTapEntry> tap_;
};

using CFMachPortRef = std::shared_ptr<CFMachPort>;
using CFRunLoopSourceRef = std::shared_ptr<RunLoopSource>;
using CFRunLoopRef = RunLoop*;
inline constexpr RunLoopMode kCFRunLoopCommonModes = RunLoopMode::common;
inline constexpr RunLoopMode kCFRunLoopDefaultMode = RunLoopMode::defaultMode;

// Tap creation: nothing without Accessibility trust (a listener also may have the right to
// listen instead), without a callback, or for a process identifier that is not positive.
// The tap starts enabled but calls back only once its run-loop source is scheduled.
CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo);
CFMachPortRef CGEventTapCreateForPid(std::int32_t pid, CGEventTapPlacement place,
                                     CGEventTapOptions options, CGEventMask eventsOfInterest,
                                     CGEventTapCallBack callback, void* userInfo);
void CGEventTapEnable(const CFMachPortRef& tap, bool enable);
bool CGEventTapIsEnabled(const CFMachPortRef& tap);
CGError CGGetEventTapList(std::uint32_t maxNumberOfTaps, CGEventTapInformation* tapList,
                          std::uint32_t* eventTapCount);

// The port's run-loop source (one per port): it delivers the tap's disable notices.
// Nothing for an invalid port, or when the desktop's fault switch says so.
CFRunLoopSourceRef CFMachPortCreateRunLoopSource(const void* allocator, const CFMachPortRef& port,
                                                 std::int64_t order);
void CFMachPortInvalidate(const CFMachPortRef& port);
bool CFMachPortIsValid(const CFMachPortRef& port);

CFRunLoopRef CFRunLoopGetCurrent();
CFRunLoopRef CFRunLoopGetMain();
void CFRunLoopAddSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, RunLoopMode mode);
void CFRunLoopRemoveSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, RunLoopMode mode);
void CFRunLoopSourceInvalidate(const CFRunLoopSourceRef& source);
bool CFRunLoopSourceIsValid(const CFRunLoopSourceRef& source);

} // namespace zestrel::platform
