#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/ThreadChecker.h"
#include "platform/desktop/CGEvent.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel::platform {

class RunLoopSource;

// The platform's error codes of Quartz calls; other values may be carried too.
enum class CGError : std::int32_t {
    success = 0,
    failure = 1000,
    illegalArgument = 1001,
    invalidConnection = 1002,
    invalidContext = 1003,
    cannotComplete = 1004,
    notImplemented = 1006,
    rangeCheck = 1007,
    typeCheck = 1008,
    invalidOperation = 1010,
    noneAvailable = 1011,
};

// The platform's record of one installed tap.
struct CGEventTapInformation {
    std::uint32_t eventTapID = 0;
    CGEventTapLocation tapPoint = CGEventTapLocation::hid;
    CGEventTapOptions options = CGEventTapOptions::defaultTap;
    CGEventMask eventsOfInterest = 0;
    std::int32_t tappingProcess = 0;
    std::int32_t processBeingTapped = 0; // 0: not a tap on one process
    bool enabled = false;
    float minUsecLatency = 0;
    float avgUsecLatency = 0;
    float maxUsecLatency = 0;
};

// Opaque to callbacks; it names the tap that is calling.
using CGEventTapProxy = const void*;
// Answers the event to pass on (the same one, a changed one, another one) or nothing to
// drop it. `userInfo` is what the tap was created with.
using CGEventTapCallBack =
    std::function<CGEventRef(CGEventTapProxy, CGEventType, const CGEventRef&, void* userInfo)>;

// One installed tap, ours or another process's. Settings are fixed at creation.
class EventTapEntry {
public:
    std::uint32_t id = 0;
    std::int32_t tappingProcess = 0;
    std::int32_t processBeingTapped = 0;
    CGEventTapLocation location = CGEventTapLocation::hid;
    CGEventTapPlacement placement = CGEventTapPlacement::head;
    CGEventTapOptions options = CGEventTapOptions::defaultTap;
    CGEventMask mask = 0;
    CGEventTapCallBack callback;
    void* userInfo = nullptr;
    // Another process's tap: listed, and run when it has a callback, but not ours to own.
    bool foreign = false;

    std::atomic<bool> enabled{true};
    std::atomic<bool> installed{true}; // false once removed; a removed tap is never called

    // Our taps call back on the main run loop only: through their run-loop source.
    void setSource(const std::shared_ptr<RunLoopSource>& source);
    std::shared_ptr<RunLoopSource> source() const;
    // Whether its source would be performed now: valid and added to its run loop in the
    // mode that loop runs in, as the system serves a port only in the source's modes.
    bool isSourceScheduled() const;
    // Disable notices waiting for the run-loop source to perform.
    void addNotice(CGEventType type);
    std::vector<CGEventType> takeNotices();

private:
    mutable Mutex mutex_;
    std::weak_ptr<RunLoopSource> source_ GUARDED_BY(mutex_);
    std::vector<CGEventType> notices_ GUARDED_BY(mutex_);
};

// The desktop's event path. Keyboard events enter at a tap location and pass, in order,
// the HID taps, the session taps, the annotated-session taps, the hot-key stage, the taps on
// the target process (the one with keyboard focus), and reach that application.
//
// Taps are called synchronously while an event is posted, on the posting thread (the main
// thread: where our taps' run-loop sources are scheduled). Posting, installing and
// uninstalling belong to the first thread that does one of them; another stops the process. A tap
// of ours is called only while its run-loop source is valid and added to its run loop in the
// mode the loop runs in now (a source added for the common modes serves in all three);
// disable notices go through that source and so arrive when the run loop next turns.
//
// A desktop-level object: it outlives the app process. The desktop that owns it makes it
// current; without one, a default instance serves.
class EventSystem : public std::enable_shared_from_this<EventSystem> {
public:
    using ApplicationDelivery = std::function<void(int pid, const CGEventRef& event)>;
    using KeyboardFocusProvider = std::function<int()>;
    // Answers true when a registered hot key consumed the event.
    using HotKeyStage = std::function<bool(const CGEvent& event)>;

    // Switches that make event conversions and creations fail, for tests.
    struct Faults {
        bool nsEventFromCGEvent = false;
        bool cgEventFromNSEvent = false;
        bool keyboardEventCreation = false;
        bool eventSourceCreation = false;
        bool runLoopSourceCreation = false;
    };

    EventSystem();
    EventSystem(const EventSystem&) = delete;
    EventSystem& operator=(const EventSystem&) = delete;

    static std::shared_ptr<EventSystem> current();
    // nullptr installs a fresh default instance.
    static void setCurrent(std::shared_ptr<EventSystem> system);

    void setApplicationDelivery(ApplicationDelivery delivery);
    void setKeyboardFocusProvider(KeyboardFocusProvider provider);
    void setHotKeyStage(HotKeyStage stage);

    // Runs the pipeline for `event` from `location` on, at once.
    void post(CGEventTapLocation location, const CGEventRef& event);

    // The process the app runs as: the tapping process of our taps.
    int ownProcessIdentifier() const { return ownPid_.load(); }
    void setOwnProcessIdentifier(int pid) { ownPid_.store(pid); }

    // Installs a tap: at the head or the tail of the taps of its place. `processBeingTapped`
    // 0 makes a tap at `location`, any other a tap on that process.
    std::shared_ptr<EventTapEntry> install(std::shared_ptr<EventTapEntry> tap);
    void uninstall(const std::shared_ptr<EventTapEntry>& tap);

    // Another process's tap, as tests describe it.
    struct ForeignTap {
        std::int32_t tappingProcess = 0;
        std::int32_t processBeingTapped = 0;
        CGEventTapLocation location = CGEventTapLocation::session;
        CGEventTapOptions options = CGEventTapOptions::listenOnly;
        CGEventMask eventsOfInterest = 0;
        bool enabled = true;
        CGEventTapPlacement placement = CGEventTapPlacement::tail;
        CGEventTapCallBack callback{}; // optional: without one it only shows in the list
    };
    std::uint32_t addForeignTap(ForeignTap tap);
    void removeForeignTap(std::uint32_t eventTapID);
    // Removes every tap a process installed, as the system does when it exits.
    void removeTapsOfProcess(std::int32_t tappingProcess);

    // CGGetEventTapList: every installed tap in pipeline order, at most `maxNumberOfTaps`;
    // with no room given, the count of all of them. A set error is answered instead.
    CGError tapList(std::uint32_t maxNumberOfTaps, CGEventTapInformation* tapList,
                    std::uint32_t* eventTapCount) const;
    void setTapListError(std::optional<CGError> error);

    // The system switching a tap off; its callback is told once, through its source.
    void disableTapByTimeout(std::uint32_t eventTapID);
    void disableTapByUserInput(std::uint32_t eventTapID);

    Faults faults() const;
    void setFaults(Faults faults);

    // One event this program posted (`CGEventPost`), as it was at the moment of posting.
    struct PostedEvent {
        CGEventTapLocation location = CGEventTapLocation::hid;
        CGEventType type = CGEventType::null;
        std::uint16_t keyCode = 0;
        CGEventFlags flags;
        // The source's state and local-events filter during suppression; nothing for an
        // event made without a source.
        std::optional<CGEventSourceStateID> sourceState;
        std::optional<CGEventFilterMask> suppressionFilter;
        // Posted without the right to post: it went nowhere.
        bool refused = false;
    };
    void recordPost(PostedEvent event);
    // Every post so far, oldest first, refused ones included.
    std::vector<PostedEvent> postedEvents() const;
    void clearPostedEvents();

private:
    using TapList = std::vector<std::shared_ptr<EventTapEntry>>;

    std::shared_ptr<const TapList> taps() const;
    std::shared_ptr<EventTapEntry> find(std::uint32_t eventTapID) const;
    void disable(std::uint32_t eventTapID, CGEventType notice);
    // Passes `event` through the enabled taps that `matches`; nothing when one dropped it.
    template <class Matches>
    static CGEventRef runTaps(const TapList& taps, CGEventRef event, Matches matches);

    mutable Mutex mutex_;
    std::shared_ptr<const TapList>
        taps_ GUARDED_BY(mutex_); // replaced whole, so a post reads a stable list
    std::shared_ptr<const ApplicationDelivery> delivery_ GUARDED_BY(mutex_);
    std::shared_ptr<const KeyboardFocusProvider> focus_ GUARDED_BY(mutex_);
    std::shared_ptr<const HotKeyStage> hotKeyStage_ GUARDED_BY(mutex_);
    std::optional<CGError> tapListError_ GUARDED_BY(mutex_);
    Faults faults_ GUARDED_BY(mutex_);
    std::vector<PostedEvent> posted_ GUARDED_BY(mutex_);
    std::uint32_t nextTapID_ GUARDED_BY(mutex_) = 1;
    std::atomic<int> ownPid_;
    // Unbound until first used: the system may be made on another thread than the main one.
    ThreadChecker threadChecker_{"EventSystem", std::thread::id()};
};

} // namespace zestrel::platform
