#pragma once

#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/base/ThreadChecker.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>

namespace zestrel::platform {

// Seconds, as dates and timers count them.
using TimeInterval = double;

// A run-loop timer (NSTimer). It fires only while its loop runs in one of its modes. A
// repeating timer is rescheduled from its scheduled fire date, skipping the intervals it
// missed, so a late loop does not fire it in a burst. A timer belongs to the thread of its
// loop once added to it (before that, to the first thread that uses it); invalidating or
// firing it from another thread stops the process.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

private:
    struct Key {
        explicit Key() = default;
    };

public:
    // Made only by make() and scheduledTimer(): the key is theirs.
    Timer(Key, Nanoseconds interval, bool repeats, Block block);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // An unscheduled timer first due `interval` from now; add it with RunLoop::add. An
    // interval of zero or less is taken as 0.1 milliseconds.
    // Each keeps where it was made, for the loop's list of pending work.
    static std::shared_ptr<Timer> make(Nanoseconds interval, bool repeats, Block block,
                                       const char* file = __builtin_FILE(),
                                       int line = __builtin_LINE());
    static std::shared_ptr<Timer> make(TimeInterval interval, bool repeats, Block block,
                                       const char* file = __builtin_FILE(),
                                       int line = __builtin_LINE());
    // Made and added to the current run loop in the default mode.
    static std::shared_ptr<Timer> scheduledTimer(Nanoseconds interval, bool repeats, Block block,
                                                 const char* file = __builtin_FILE(),
                                                 int line = __builtin_LINE());
    static std::shared_ptr<Timer> scheduledTimer(TimeInterval interval, bool repeats, Block block,
                                                 const char* file = __builtin_FILE(),
                                                 int line = __builtin_LINE());

    // Stops the timer for good and lets go of its block.
    void invalidate();
    bool isValid() const { return valid_; }
    // The date it fires next.
    Date fireDate() const;
    // The repeat interval; 0 for a timer that does not repeat.
    TimeInterval interval() const;
    // Runs the block now; a timer that does not repeat is then invalidated, a repeating one
    // keeps its schedule.
    void fire();

private:
    friend class RunLoop;
    void callBlock();

    Nanoseconds interval_;
    bool repeats_;
    std::shared_ptr<Block> block_;
    bool valid_ = true;
    Nanoseconds deadline_;
    CallSite site_; // where it was made
    // The loop it was added to; its modes and place there are that loop's own.
    std::weak_ptr<void> loop_;
    ThreadChecker threadChecker_{"Timer", std::thread::id()};
};

} // namespace zestrel::platform
