#include "cut_engine/AppEventTap.h"

#include "foundation/ErrorReporter.h"
#include "foundation/Logger.h"
#include "foundation/RunningApplication.h"
#include "platform/base/StandardStreams.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/NSWorkspace.h"

#include <algorithm>
#include <string>

namespace zestrel {
namespace {

constexpr const char* kFile = "Utilities";

void log(std::initializer_list<platform::Value> items, const char* function,
         std::int64_t line = __builtin_LINE()) {
    logMessage(items, platform::OSLogType::defaultLevel, function, kFile, line);
}

} // namespace

std::shared_ptr<AppEventTap> AppEventTap::make(std::vector<BundleIdentifier> bundleIdentifiers,
                                               std::vector<platform::CGEventType> events,
                                               platform::CGEventTapPlacement place,
                                               platform::CGEventTapOptions options,
                                               SystemEventTap::Action action) {
    auto appEventTap = std::make_shared<AppEventTap>(Key());
    for (const BundleIdentifier& bundleIdentifier : bundleIdentifiers) {
        appEventTap->addTap(bundleIdentifier, events, place, options, action);
    }
    appEventTap->subscribeToLaunches(
        {std::move(bundleIdentifiers), std::move(events), place, options, std::move(action)});
    return appEventTap;
}

AppEventTap::~AppEventTap() {
    threadChecker_.check();
    platform::print("DEINIT - AppEventTap");
}

void AppEventTap::addTap(const BundleIdentifier& bundleIdentifier,
                         const std::vector<platform::CGEventType>& events,
                         platform::CGEventTapPlacement place, platform::CGEventTapOptions options,
                         const SystemEventTap::Action& action) {
    threadChecker_.check();
    const auto pid = processIdentifiers(bundleIdentifier.rawValue);
    if (!pid) {
        log({"Skipped setting up app as it's not running: " + bundleIdentifier.rawValue},
            "addTap(for:events:place:options:action:)");
        return;
    }
    auto tap = SystemEventTap::make(events, *pid, platform::kCGAnnotatedSessionEventTap, place,
                                    options, action);
    // Assigning releases the tap of the earlier process, which disables it.
    eventTaps_.insert_or_assign(bundleIdentifier, std::move(tap));
}

void AppEventTap::subscribeToLaunches(Arguments arguments) {
    const auto center = platform::NSWorkspace::shared()->notificationCenter();
    std::weak_ptr<AppEventTap> weakSelf = weak_from_this();
    auto observer = center->addObserver(
        platform::NSWorkspaceDidLaunchApplicationNotification, platform::Value(),
        [weakSelf, arguments = std::move(arguments)](const platform::Notification& notification) {
            const auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            const auto application = runningApplication(notification);
            const auto& launched = application->bundleIdentifier();
            if (!launched) {
                return;
            }
            const auto served =
                std::find(arguments.bundleIdentifiers.begin(), arguments.bundleIdentifiers.end(),
                          BundleIdentifier{*launched});
            if (served == arguments.bundleIdentifiers.end()) {
                return;
            }
            constexpr const char* kFunction = "init(for:events:place:options:action:)";
            log({"Re-adding tap for " + served->rawValue}, kFunction);
            try {
                self->addTap(*served, arguments.events, arguments.place, arguments.options,
                             arguments.action);
            } catch (const platform::Error& error) {
                addBreadcrumb(
                    "has accessibility permission",
                    platform::Value::Dictionary{{"hasAccess", platform::AXIsProcessTrusted()}});
                reportError(error, {}, kFile);
                log({"QVEvents.anyAppDidLaunch.sink addTap", platform::Value(error)}, kFunction);
            }
        });
    cancellable_ = std::make_unique<NotificationToken>(center, std::move(observer));
}

} // namespace zestrel
