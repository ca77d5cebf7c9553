#include "cut_engine/SystemEventTap.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/Logger.h"
#include "platform/desktop/Accessibility.h"

#include <string>

namespace zestrel {
namespace {

using platform::CGEventType;

constexpr const char* kFunction = "init(events:pid:tap:place:options:action:)";
constexpr const char* kFile = "Utilities";

void log(std::initializer_list<platform::Value> items, const char* function = kFunction,
         std::int64_t line = __builtin_LINE()) {
    logMessage(items, platform::OSLogType::defaultLevel, function, kFile, line);
}

} // namespace

platform::CGEventMask eventMask(const std::vector<CGEventType>& events) {
    platform::CGEventMask mask = 0;
    for (const CGEventType type : events) {
        mask |= platform::CGEventMaskBit(type);
    }
    return mask;
}

std::shared_ptr<SystemEventTap>
SystemEventTap::make(const std::vector<CGEventType>& events, std::optional<std::int32_t> pid,
                     platform::CGEventTapLocation tap, platform::CGEventTapPlacement place,
                     platform::CGEventTapOptions options, Action action) {
    return std::make_shared<SystemEventTap>(Key(), events, pid, tap, place, options,
                                            std::move(action));
}

SystemEventTap::SystemEventTap(Key, const std::vector<CGEventType>& events,
                               std::optional<std::int32_t> pid, platform::CGEventTapLocation tap,
                               platform::CGEventTapPlacement place,
                               platform::CGEventTapOptions options, Action action) {
    // The answers are not needed here: asking is what lets the system prompt the user.
    if (options == platform::kCGEventTapOptionDefault) {
        platform::AXIsProcessTrustedWithOptions(
            platform::Value::Dictionary{{platform::kAXTrustedCheckOptionPrompt, true}});
    } else {
        platform::CGRequestListenEventAccess();
    }
    action_ = std::move(action);
    const platform::CGEventMask mask = eventMask(events);
    port_ = pid ? platform::CGEventTapCreateForPid(*pid, place, options, mask, callback, this)
                : platform::CGEventTapCreate(tap, place, options, mask, callback, this);
    if (!port_) {
        log({std::string("Failed to list. Has access? ") +
             (platform::AXIsProcessTrusted() ? "true" : "false")});
        throw GeneralError::make("Failed to listen to system events.", {},
                                 {{"hasAccess", platform::AXIsProcessTrusted()}});
    }
    runLoopSource_ = platform::CFMachPortCreateRunLoopSource(nullptr, port_, 0);
    if (!runLoopSource_) {
        throw GeneralError::make("Failed to create run loop source.");
    }
    platform::CFRunLoopAddSource(platform::CFRunLoopGetCurrent(), runLoopSource_,
                                 platform::kCFRunLoopCommonModes);
    platform::CGEventTapEnable(port_, true);
}

SystemEventTap::~SystemEventTap() {
    threadChecker_.check();
    log({"DEINIT - SystemEventTap"}, "deinit");
    platform::CGEventTapEnable(port_, false);
    if (runLoopSource_) {
        platform::CFRunLoopSourceInvalidate(runLoopSource_);
    }
}

platform::CGEventRef SystemEventTap::callback(platform::CGEventTapProxy /*proxy*/, CGEventType type,
                                              const platform::CGEventRef& event, void* userInfo) {
    return static_cast<SystemEventTap*>(userInfo)->handle(type, event);
}

platform::CGEventRef SystemEventTap::handle(CGEventType type, const platform::CGEventRef& event) {
    threadChecker_.check();
    if (type == CGEventType::tapDisabledByTimeout || type == CGEventType::tapDisabledByUserInput) {
        log({"Tap disabled, enabling it again.",
             type == CGEventType::tapDisabledByTimeout ? "timeout" : "userInput"});
        platform::CGEventTapEnable(port_, true);
        return nullptr;
    }
    const auto nsEvent = platform::NSEvent::eventWithCGEvent(event);
    if (!nsEvent) {
        reportError(GeneralError::make("Failed to convert CGEvent to NSEvent"), {}, kFile);
        return event;
    }
    const auto answer = action_(nsEvent);
    if (!answer) {
        return nullptr;
    }
    if (auto answered = answer->cgEvent()) {
        return answered;
    }
    reportError(GeneralError::make("Failed to convert NSEvent to CGEvent"), {}, kFile);
    return event;
}

} // namespace zestrel
