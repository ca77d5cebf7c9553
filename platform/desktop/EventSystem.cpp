#include "platform/desktop/EventSystem.h"
#include "platform/base/Mutex.h"

#include "platform/base/MachineLocal.h"
#include "platform/base/ProcessTeardown.h"

#include "platform/base/RunLoop.h"

#include <algorithm>
#include <unistd.h>
#include <utility>

namespace zestrel::platform {
namespace {

MachineLocal<EventSystem>& machineLocal() {
    static auto* const local = new MachineLocal<EventSystem>; // used until the very end
    return *local;
}

// A tap that throws cannot lose the key: the event goes on as it came. So it does when the
// tap's process ends in its callback: the callback stops there, and the tap is gone.
CGEventRef callTap(const EventTapEntry& tap, const CGEventRef& event) {
    CGEventRef answer = event;
    const auto call = [&] {
        try {
            answer = tap.callback(&tap, event->type(), event, tap.userInfo);
        } catch (...) {
            ProcessStop::passOn();
            answer = event;
        }
    };
    if (tap.foreign) {
        call(); // another process's
    } else if (!ProcessTeardown::callIn(call)) {
        return event;
    }
    return answer;
}

} // namespace

void EventTapEntry::setSource(const std::shared_ptr<RunLoopSource>& source) {
    MutexLock lock(mutex_);
    source_ = source;
}

std::shared_ptr<RunLoopSource> EventTapEntry::source() const {
    MutexLock lock(mutex_);
    return source_.lock();
}

bool EventTapEntry::isSourceScheduled() const {
    const auto current = source();
    return current && current->isServedInCurrentMode();
}

void EventTapEntry::addNotice(CGEventType type) {
    MutexLock lock(mutex_);
    notices_.push_back(type);
}

std::vector<CGEventType> EventTapEntry::takeNotices() {
    MutexLock lock(mutex_);
    return std::exchange(notices_, {});
}

EventSystem::EventSystem()
    : taps_(std::make_shared<const TapList>()), ownPid_(static_cast<int>(::getpid())) {}

std::shared_ptr<EventSystem> EventSystem::current() {
    return machineLocal().current();
}

void EventSystem::setCurrent(std::shared_ptr<EventSystem> system) {
    machineLocal().setCurrent(std::move(system));
}

void EventSystem::setApplicationDelivery(ApplicationDelivery delivery) {
    auto shared =
        delivery ? std::make_shared<const ApplicationDelivery>(std::move(delivery)) : nullptr;
    MutexLock lock(mutex_);
    delivery_ = std::move(shared);
}

void EventSystem::setKeyboardFocusProvider(KeyboardFocusProvider provider) {
    auto shared =
        provider ? std::make_shared<const KeyboardFocusProvider>(std::move(provider)) : nullptr;
    MutexLock lock(mutex_);
    focus_ = std::move(shared);
}

void EventSystem::setHotKeyStage(HotKeyStage stage) {
    auto shared = stage ? std::make_shared<const HotKeyStage>(std::move(stage)) : nullptr;
    MutexLock lock(mutex_);
    hotKeyStage_ = std::move(shared);
}

std::shared_ptr<const EventSystem::TapList> EventSystem::taps() const {
    MutexLock lock(mutex_);
    return taps_;
}

template <class Matches>
CGEventRef EventSystem::runTaps(const TapList& taps, CGEventRef event, Matches matches) {
    for (const auto& tap : taps) {
        if (!matches(*tap) || !tap->installed.load() || !tap->enabled.load() ||
            (tap->mask & CGEventMaskBit(event->type())) == 0 || !tap->callback) {
            continue;
        }
        if (!tap->foreign && !tap->isSourceScheduled()) {
            continue;
        }
        if (tap->options == CGEventTapOptions::listenOnly) {
            // A listener watches a copy, so nothing it does reaches the stream.
            callTap(*tap, std::make_shared<CGEvent>(*event));
            continue;
        }
        event = callTap(*tap, event);
        if (!event) {
            return nullptr;
        }
    }
    return event;
}

void EventSystem::post(CGEventTapLocation location, const CGEventRef& event) {
    threadChecker_.check();
    if (!event || static_cast<std::uint32_t>(location) > 2) {
        return;
    }
    std::shared_ptr<const TapList> taps;
    std::shared_ptr<const HotKeyStage> hotKeyStage;
    std::shared_ptr<const KeyboardFocusProvider> focus;
    std::shared_ptr<const ApplicationDelivery> delivery;
    {
        MutexLock lock(mutex_);
        taps = taps_;
        hotKeyStage = hotKeyStage_;
        focus = focus_;
        delivery = delivery_;
    }

    CGEventRef current = event;
    for (auto stage : {CGEventTapLocation::hid, CGEventTapLocation::session,
                       CGEventTapLocation::annotatedSession}) {
        if (static_cast<std::uint32_t>(stage) < static_cast<std::uint32_t>(location)) {
            continue;
        }
        current = runTaps(*taps, std::move(current), [stage](const EventTapEntry& tap) {
            return tap.processBeingTapped == 0 && tap.location == stage;
        });
        if (!current) {
            return;
        }
    }

    if (hotKeyStage && (*hotKeyStage)(*current)) {
        return;
    }

    const int target = focus ? (*focus)() : 0;
    if (target <= 0) {
        return; // no application has keyboard focus
    }
    current = runTaps(*taps, std::move(current), [target](const EventTapEntry& tap) {
        return tap.processBeingTapped == target;
    });
    if (current && delivery) {
        (*delivery)(target, current);
    }
}

std::shared_ptr<EventTapEntry> EventSystem::install(std::shared_ptr<EventTapEntry> tap) {
    threadChecker_.check();
    MutexLock lock(mutex_);
    tap->id = nextTapID_++;
    auto list = std::make_shared<TapList>(*taps_);
    if (tap->placement == CGEventTapPlacement::head) {
        list->insert(list->begin(), tap);
    } else {
        list->push_back(tap);
    }
    taps_ = std::move(list);
    return tap;
}

void EventSystem::uninstall(const std::shared_ptr<EventTapEntry>& tap) {
    threadChecker_.check();
    if (!tap) {
        return;
    }
    tap->installed.store(false);
    std::shared_ptr<const TapList> old; // released outside the lock
    MutexLock lock(mutex_);
    auto list = std::make_shared<TapList>(*taps_);
    list->erase(std::remove(list->begin(), list->end(), tap), list->end());
    old = std::exchange(taps_, std::move(list));
}

std::uint32_t EventSystem::addForeignTap(ForeignTap foreign) {
    auto tap = std::make_shared<EventTapEntry>();
    tap->tappingProcess = foreign.tappingProcess;
    tap->processBeingTapped = foreign.processBeingTapped;
    tap->location = foreign.location;
    tap->placement = foreign.placement;
    tap->options = foreign.options;
    tap->mask = foreign.eventsOfInterest;
    tap->callback = std::move(foreign.callback);
    tap->foreign = true;
    tap->enabled.store(foreign.enabled);
    return install(std::move(tap))->id;
}

void EventSystem::removeForeignTap(std::uint32_t eventTapID) {
    if (auto tap = find(eventTapID); tap && tap->foreign) {
        uninstall(tap);
    }
}

void EventSystem::removeTapsOfProcess(std::int32_t tappingProcess) {
    const auto list = taps();
    for (const auto& tap : *list) {
        if (tap->tappingProcess == tappingProcess) {
            uninstall(tap);
        }
    }
}

std::shared_ptr<EventTapEntry> EventSystem::find(std::uint32_t eventTapID) const {
    const auto list = taps();
    const auto it = std::find_if(list->begin(), list->end(),
                                 [eventTapID](const auto& tap) { return tap->id == eventTapID; });
    return it == list->end() ? nullptr : *it;
}

CGError EventSystem::tapList(std::uint32_t maxNumberOfTaps, CGEventTapInformation* tapList,
                             std::uint32_t* eventTapCount) const {
    std::shared_ptr<const TapList> list;
    {
        MutexLock lock(mutex_);
        if (tapListError_) {
            if (eventTapCount) {
                *eventTapCount = 0;
            }
            return *tapListError_;
        }
        list = taps_;
    }
    if (!eventTapCount) {
        return CGError::illegalArgument;
    }
    if (!tapList) {
        *eventTapCount = static_cast<std::uint32_t>(list->size());
        return CGError::success;
    }
    std::uint32_t count = 0;
    for (const auto& tap : *list) {
        if (count == maxNumberOfTaps) {
            break;
        }
        CGEventTapInformation& info = tapList[count++];
        info = CGEventTapInformation{};
        info.eventTapID = tap->id;
        // A tap on one process sits where its process's events are annotated.
        info.tapPoint =
            tap->processBeingTapped == 0 ? tap->location : CGEventTapLocation::annotatedSession;
        info.options = tap->options;
        info.eventsOfInterest = tap->mask;
        info.tappingProcess = tap->tappingProcess;
        info.processBeingTapped = tap->processBeingTapped;
        info.enabled = tap->enabled.load();
    }
    *eventTapCount = count;
    return CGError::success;
}

void EventSystem::setTapListError(std::optional<CGError> error) {
    MutexLock lock(mutex_);
    tapListError_ = error;
}

void EventSystem::disableTapByTimeout(std::uint32_t eventTapID) {
    disable(eventTapID, CGEventType::tapDisabledByTimeout);
}

void EventSystem::disableTapByUserInput(std::uint32_t eventTapID) {
    disable(eventTapID, CGEventType::tapDisabledByUserInput);
}

void EventSystem::disable(std::uint32_t eventTapID, CGEventType notice) {
    const auto tap = find(eventTapID);
    if (!tap || !tap->enabled.exchange(false) || tap->foreign) {
        return;
    }
    tap->addNotice(notice);
    if (auto source = tap->source()) {
        source->signal();
    }
}

EventSystem::Faults EventSystem::faults() const {
    MutexLock lock(mutex_);
    return faults_;
}

void EventSystem::setFaults(Faults faults) {
    MutexLock lock(mutex_);
    faults_ = faults;
}

void EventSystem::recordPost(PostedEvent event) {
    MutexLock lock(mutex_);
    posted_.push_back(std::move(event));
}

std::vector<EventSystem::PostedEvent> EventSystem::postedEvents() const {
    MutexLock lock(mutex_);
    return posted_;
}

void EventSystem::clearPostedEvents() {
    MutexLock lock(mutex_);
    posted_.clear();
}

} // namespace zestrel::platform
