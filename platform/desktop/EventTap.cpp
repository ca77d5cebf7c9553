#include "platform/desktop/EventTap.h"
#include "platform/base/Mutex.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/desktop/Accessibility.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

// The taps this process holds. The end of the process removes them, as the system does
// when a process exits, whoever still holds their ports.
class ProcessTaps {
public:
    ProcessTaps() = default;
    ProcessTaps(const ProcessTaps&) = delete;
    ProcessTaps& operator=(const ProcessTaps&) = delete;
    ~ProcessTaps() { invalidateAll(); }

    void invalidateAll() {
        std::vector<std::weak_ptr<CFMachPort>> ports;
        {
            MutexLock lock(mutex_);
            ports = std::exchange(ports_, {});
        }
        for (const auto& weak : ports) {
            if (auto port = weak.lock()) {
                port->invalidate();
            }
        }
    }

    void add(const CFMachPortRef& port);

private:
    Mutex mutex_;
    std::vector<std::weak_ptr<CFMachPort>> ports_ GUARDED_BY(mutex_);
};

ProcessLocal<ProcessTaps>& processTaps() {
    static auto* const instance = new ProcessLocal<ProcessTaps>;
    return *instance;
}

void ProcessTaps::add(const CFMachPortRef& port) {
    {
        MutexLock lock(mutex_);
        std::erase_if(ports_, [](const auto& weak) { return weak.expired(); });
        ports_.push_back(port);
    }
    // The process's taps go as soon as it ends, not only when its state is dropped.
    ProcessTeardown::addOnce(&processTaps(), [] {
        if (processTaps().exists()) {
            processTaps()->invalidateAll();
        }
    });
}

bool mayCreateTap(CGEventTapOptions options) {
    const auto access = Accessibility::current();
    return access->isTrusted() ||
           (options == CGEventTapOptions::listenOnly && access->hasListenEventAccess());
}

CFMachPortRef createTap(std::int32_t pid, CGEventTapLocation location, CGEventTapPlacement place,
                        CGEventTapOptions options, CGEventMask mask, CGEventTapCallBack callback,
                        void* userInfo) {
    if (!callback || ProcessTeardown::hasEnded() || !mayCreateTap(options) ||
        static_cast<std::uint32_t>(location) > 2 || static_cast<std::uint32_t>(place) > 1 ||
        static_cast<std::uint32_t>(options) > 1) {
        return nullptr;
    }
    const auto system = EventSystem::current();
    auto tap = std::make_shared<EventTapEntry>();
    tap->tappingProcess = system->ownProcessIdentifier();
    tap->processBeingTapped = pid;
    tap->location = location;
    tap->placement = place;
    tap->options = options;
    tap->mask = mask;
    tap->callback = std::move(callback);
    tap->userInfo = userInfo;
    auto port = std::make_shared<CFMachPort>(system, system->install(std::move(tap)));
    processTaps()->add(port);
    return port;
}

} // namespace

CFMachPort::CFMachPort(std::weak_ptr<EventSystem> system, std::shared_ptr<EventTapEntry> tap)
    : system_(std::move(system)), tap_(std::move(tap)) {}

CFMachPort::~CFMachPort() {
    invalidate();
}

bool CFMachPort::isValid() const {
    return tap_->installed.load();
}

void CFMachPort::invalidate() {
    if (!tap_->installed.load()) {
        return;
    }
    if (auto system = system_.lock()) {
        system->uninstall(tap_);
    }
    tap_->installed.store(false);
    if (auto source = tap_->source()) {
        source->invalidate();
    }
}

std::uint32_t CFMachPort::eventTapID() const {
    return tap_->id;
}

CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo) {
    return createTap(0, tap, place, options, eventsOfInterest, std::move(callback), userInfo);
}

CFMachPortRef CGEventTapCreateForPid(std::int32_t pid, CGEventTapPlacement place,
                                     CGEventTapOptions options, CGEventMask eventsOfInterest,
                                     CGEventTapCallBack callback, void* userInfo) {
    if (pid <= 0) {
        return nullptr;
    }
    return createTap(pid, CGEventTapLocation::annotatedSession, place, options, eventsOfInterest,
                     std::move(callback), userInfo);
}

void CGEventTapEnable(const CFMachPortRef& tap, bool enable) {
    if (tap && tap->isValid()) {
        tap->tap()->enabled.store(enable);
    }
}

bool CGEventTapIsEnabled(const CFMachPortRef& tap) {
    return tap && tap->isValid() && tap->tap()->enabled.load();
}

CGError CGGetEventTapList(std::uint32_t maxNumberOfTaps, CGEventTapInformation* tapList,
                          std::uint32_t* eventTapCount) {
    return EventSystem::current()->tapList(maxNumberOfTaps, tapList, eventTapCount);
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(const void* /*allocator*/,
                                                 const CFMachPortRef& port,
                                                 std::int64_t /*order*/) {
    if (!port || !port->isValid() || EventSystem::current()->faults().runLoopSourceCreation) {
        return nullptr;
    }
    const auto& tap = port->tap();
    if (auto existing = tap->source(); existing && existing->isValid()) {
        return existing;
    }
    std::weak_ptr<EventTapEntry> weakTap = tap;
    auto source = RunLoopSource::make([weakTap] {
        const auto tap = weakTap.lock();
        if (!tap) {
            return;
        }
        for (const auto type : tap->takeNotices()) {
            if (!tap->installed.load()) {
                return;
            }
            const auto notice = std::make_shared<CGEvent>(type, 0, CGEventFlags{});
            try {
                tap->callback(tap.get(), type, notice, tap->userInfo);
            } catch (...) {
                ProcessStop::passOn(); // what a callback answers to a notice is not used
            }
        }
    });
    tap->setSource(source);
    // A notice that came before the source waits for it.
    if (auto pending = tap->takeNotices(); !pending.empty()) {
        for (const auto type : pending) {
            tap->addNotice(type);
        }
        source->signal();
    }
    return source;
}

void CFMachPortInvalidate(const CFMachPortRef& port) {
    if (port) {
        port->invalidate();
    }
}

bool CFMachPortIsValid(const CFMachPortRef& port) {
    return port && port->isValid();
}

CFRunLoopRef CFRunLoopGetCurrent() {
    return &RunLoop::current();
}

CFRunLoopRef CFRunLoopGetMain() {
    return &RunLoop::main();
}

void CFRunLoopAddSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, RunLoopMode mode) {
    if (loop) {
        loop->add(source, mode);
    }
}

void CFRunLoopRemoveSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, RunLoopMode mode) {
    if (loop) {
        loop->remove(source, mode);
    }
}

void CFRunLoopSourceInvalidate(const CFRunLoopSourceRef& source) {
    if (source) {
        source->invalidate();
    }
}

bool CFRunLoopSourceIsValid(const CFRunLoopSourceRef& source) {
    return source && source->isValid();
}

} // namespace zestrel::platform
