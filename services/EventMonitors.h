#pragma once

#include "platform/base/RunLoop.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/concurrency/Subjects.h"
#include "platform/desktop/CarbonEvents.h"
#include "platform/desktop/NSEvent.h"
#include "platform/system/CLLocationManager.h"

#include <functional>
#include <memory>
#include <set>

// Ways for code inside the app to watch the input events the app receives and pass each
// on, replace it or swallow it. All of them live on the main thread: create, start and
// release them there.

namespace zestrel {

using EventFilter =
    std::function<std::shared_ptr<platform::NSEvent>(const std::shared_ptr<platform::NSEvent>&)>;

// The platform's local monitor: events addressed to this app, before the app sees them.
// Every event seen is also sent on `objectWillChange`. Idle until start(); releasing it
// removes the platform monitor, also from inside its own callback: from then on it sees no
// event, not even one sent while that callback runs.
class LocalEventMonitor : public std::enable_shared_from_this<LocalEventMonitor> {
    struct Key {
        explicit Key() = default;
    };

public:
    // `callback` may be empty: events then pass unchanged.
    static std::shared_ptr<LocalEventMonitor> make(platform::NSEvent::EventTypeMask events,
                                                   EventFilter callback = {});
    // Made only by `make`: its handler reaches it through a weak reference.
    LocalEventMonitor(Key, platform::NSEvent::EventTypeMask events, EventFilter callback);
    LocalEventMonitor(const LocalEventMonitor&) = delete;
    LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;
    ~LocalEventMonitor();

    // Starts watching; answers the monitor itself.
    std::shared_ptr<LocalEventMonitor> start();

    const platform::combine::PassthroughSubject<std::shared_ptr<platform::NSEvent>>&
    objectWillChange() const {
        return objectWillChange_;
    }

private:
    platform::NSEvent::EventTypeMask events_;
    // Shared with a call in progress, which may outlive the monitor.
    std::shared_ptr<const EventFilter> callback_;
    std::weak_ptr<platform::NSObject> monitor_;
    platform::combine::PassthroughSubject<std::shared_ptr<platform::NSEvent>> objectWillChange_;
};

// A run-loop observer that, each time its run loop is about to handle sources in the modes
// its owner added it for, drains the app's event queue, hands the events of the masked
// types to the callback and puts back, at the end of the queue and in order, those the
// callback returns and every event of another type. The owner adds `observer()` to the
// current run loop in `runLoopMode()` and removes it; releasing the monitor removes it too.
class RunLoopLocalEventMonitor {
public:
    RunLoopLocalEventMonitor(platform::NSEvent::EventTypeMask events,
                             platform::RunLoopMode runLoopMode, EventFilter callback);
    RunLoopLocalEventMonitor(const RunLoopLocalEventMonitor&) = delete;
    RunLoopLocalEventMonitor& operator=(const RunLoopLocalEventMonitor&) = delete;
    ~RunLoopLocalEventMonitor();

    platform::RunLoopMode runLoopMode() const { return runLoopMode_; }
    const std::shared_ptr<platform::RunLoopObserver>& observer() const { return observer_; }

private:
    platform::RunLoopMode runLoopMode_;
    std::shared_ptr<platform::RunLoopObserver> observer_;
};

// A Carbon handler for raw keyboard and mouse events, on the event dispatcher or on the
// application's target; the callback answers true to consume the event. While started the
// installed handler keeps the monitor alive: stop() lets it go.
class CarbonLocalEventMonitor : public std::enable_shared_from_this<CarbonLocalEventMonitor> {
    struct Key {
        explicit Key() = default;
    };

public:
    enum class EventType {
        keyDown,
        keyRepeat,
        keyUp,
        keyModifiersChanged,
        mouseDown,
        mouseUp,
        mouseMoved,
        mouseDragged,
        mouseEntered,
        mouseExited,
        mouseWheelMoved,
        mouseScroll,
    };
    using Callback = std::function<bool(const std::shared_ptr<platform::NSEvent>&)>;

    static std::shared_ptr<CarbonLocalEventMonitor>
    make(std::set<EventType> events, bool useGlobalEventDispatcher, Callback callback);
    // Made only by `make`: its installed handler holds it strongly until stop().
    CarbonLocalEventMonitor(Key, std::set<EventType> events, bool useGlobalEventDispatcher,
                            Callback callback);
    CarbonLocalEventMonitor(const CarbonLocalEventMonitor&) = delete;
    CarbonLocalEventMonitor& operator=(const CarbonLocalEventMonitor&) = delete;
    // Prints "DEINIT - CarbonLocalEventMonitor".
    ~CarbonLocalEventMonitor();

    // Replaces any handler installed before; installs nothing for an empty set of events.
    std::shared_ptr<CarbonLocalEventMonitor> start();
    void stop();
    bool isInstalled() const { return eventHandler_ != nullptr; }

private:
    using Processor = std::function<platform::OSStatus(const platform::EventRef&)>;
    platform::OSStatus handle(const platform::EventRef& event);

    std::set<EventType> events_;
    bool useGlobalEventDispatcher_;
    Callback callback_;
    platform::EventHandlerRef eventHandler_;
    // Holds the monitor strongly while installed; the handler's user data points at it.
    std::unique_ptr<Processor> eventProcessor_;
};

// The holder of a platform global monitor (events of other applications): releasing it
// removes the monitor. Nothing here starts one.
class GlobalEventMonitor {
public:
    GlobalEventMonitor(platform::NSEvent::EventTypeMask events,
                       std::function<void(const std::shared_ptr<platform::NSEvent>&)> callback)
        : events_(events), callback_(std::move(callback)) {}
    GlobalEventMonitor(const GlobalEventMonitor&) = delete;
    GlobalEventMonitor& operator=(const GlobalEventMonitor&) = delete;
    ~GlobalEventMonitor();

private:
    platform::NSEvent::EventTypeMask events_;
    std::function<void(const std::shared_ptr<platform::NSEvent>&)> callback_;
    std::weak_ptr<platform::NSObject> monitor_;
};

// Turns a location manager's compass readings into a stream: each reading is yielded, a
// failure ends the stream with its error. Releasing the delegate releases the continuation,
// which is all that keeps the stream fed.
class HeadingDelegate : public platform::CLLocationManagerDelegate {
public:
    using Stream = platform::AsyncThrowingStream<platform::CLHeading>;

    explicit HeadingDelegate(Stream::Continuation continuation)
        : continuation_(std::move(continuation)) {}
    // There is no delegate without a stream to feed: like the platform's unavailable plain
    // initializer, this one stops the process.
    [[noreturn]] HeadingDelegate();
    HeadingDelegate(const HeadingDelegate&) = delete;
    HeadingDelegate& operator=(const HeadingDelegate&) = delete;

    void locationManagerDidUpdateHeading(platform::CLLocationManager& manager,
                                         const platform::CLHeading& heading) override;
    void locationManagerDidFailWithError(platform::CLLocationManager& manager,
                                         const platform::Error& error) override;

private:
    Stream::Continuation continuation_;
};

} // namespace zestrel
