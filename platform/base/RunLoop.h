#pragma once

// Everything the program does later ends up as an item of the main run loop, run on the main
// thread when a driver (`run()`, a modal run, or a test's `TestEnvironment::advance`) turns
// it. The loop is the machine's: the desktop and the console post to it too, and no end or
// relaunch of the app's process destroys it. What the process puts on it (its main queue,
// timers, sources, observers) is its own and goes with it (see `ProcessTeardown`). Five
// ways in for the process:
//
//   1. A block on the main queue:      DispatchQueue::main().async([] { ... });
//                                      RunLoop::main().asyncAt(deadline, [] { ... });
//      or one that does not wait       RunLoop::main().performBlock([] { ... });
//      behind the main queue's blocks (an event's dispatch, a deadline of the clock)
//   2. A timer:                        auto timer = Timer::scheduledTimer(500ms, false,
//                                          [](Timer&) { ... });  // keep `timer` to cancel
//   3. A run-loop source, signalled    auto source = RunLoopSource::make([] { ... });
//      from any thread:                RunLoop::main().add(source, RunLoopMode::common);
//                                      source->signal();         // from a tap, a worker
//   4. A task on the main executor:    Task<void>::runOnMain(...); co_await MainActor::run(...);
//                                      (its jobs are blocks on the main queue)
//   5. A dispatch queue posting back:  DispatchQueue("work").async([] {
//                                          ...                   // on a pool thread
//                                          DispatchQueue::main().async([] { ... });
//                                      });
//
// Posting (1, 4, 5) and signalling (3) are open to every thread; adding timers and sources,
// and running the loop, belong to the main thread and stop the process elsewhere. The
// machine's own work goes in by `machineAsync` and `machineAsyncAt`.

#include "platform/base/CallSite.h"
#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"
#include "platform/base/ThreadChecker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace zestrel::platform {

class Timer;

namespace detail {
// Where an item stands in a loop's order: by due time, then by submission.
struct ScheduleKey {
    Nanoseconds deadline{0};
    std::uint64_t sequence = 0;
    auto operator<=>(const ScheduleKey&) const = default;
};
} // namespace detail

// The modes a run loop runs in. `common` is not a mode of its own: registering a timer,
// source or observer for it registers it for all three.
enum class RunLoopMode { defaultMode, eventTracking, modalPanel, common };

// What a run-loop observer is told about, as a bit set.
enum class RunLoopActivity : unsigned {
    entry = 1u << 0,
    beforeTimers = 1u << 1,
    beforeSources = 1u << 2,
    beforeWaiting = 1u << 5,
    afterWaiting = 1u << 6,
    exit = 1u << 7,
    allActivities = 0x0FFFFFFFu,
};
constexpr RunLoopActivity operator|(RunLoopActivity a, RunLoopActivity b) {
    return static_cast<RunLoopActivity>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// Something outside the loop (an event-tap port) that wants its callback run on the loop:
// signalled from any thread, performed on the loop's thread in one of its modes.
class RunLoopSource : public std::enable_shared_from_this<RunLoopSource> {
    struct Key {
        explicit Key() = default;
    };

public:
    static std::shared_ptr<RunLoopSource> make(std::function<void()> perform) {
        return std::make_shared<RunLoopSource>(Key(), std::move(perform));
    }
    // Made only by make(): signal() needs the shared pointer that owns it.
    RunLoopSource(Key, std::function<void()> perform) : perform_(std::move(perform)) {}
    RunLoopSource(const RunLoopSource&) = delete;
    RunLoopSource& operator=(const RunLoopSource&) = delete;

    // Marks the source ready and wakes its loop; performed once however often it is
    // signalled before it runs. A source not yet added keeps the signal until it is.
    void signal();
    // Removes the source from its loop for good.
    void invalidate();
    bool isValid() const { return valid_.load(); }
    // Whether it is valid and added to a run loop in some mode.
    bool isScheduled() const {
        MutexLock lock(mutex_);
        return isValid() && !loop_.expired();
    }
    // Whether it is valid and its loop would perform it now: added in the mode the loop
    // runs in (the default mode while the loop is not running).
    bool isServedInCurrentMode() const;

private:
    friend class RunLoop;
    std::function<void()> perform_;
    std::atomic<bool> valid_{true};
    mutable Mutex mutex_;
    std::weak_ptr<void> loop_ GUARDED_BY(mutex_); // the loop's core, once added
    bool pendingSignal_ GUARDED_BY(mutex_) = false;
};

// A callback told about the loop's activities while it runs in one of the observer's modes.
class RunLoopObserver {
public:
    RunLoopObserver(RunLoopActivity activities, bool repeats,
                    std::function<void(RunLoopActivity)> callback)
        : activities_(static_cast<unsigned>(activities)), repeats_(repeats),
          callback_(std::move(callback)) {}
    RunLoopObserver(const RunLoopObserver&) = delete;
    RunLoopObserver& operator=(const RunLoopObserver&) = delete;

    void invalidate() { valid_.store(false); }
    bool isValid() const { return valid_.load(); }

private:
    friend class RunLoop;
    unsigned activities_;
    bool repeats_;
    std::function<void(RunLoopActivity)> callback_;
    std::atomic<bool> valid_{true};
};

// The main run loop: the main queue (blocks, run in every mode, in the order they fall
// due and then in submission order), timers, sources and observers. The main queue is
// serial: while one of its blocks runs a nested run (an alert's), its other blocks wait
// until that block returns; the machine's work and the process's other items go on. Blocks are
// posted, and sources signalled, from any thread, and stop() is called from any thread; adding and
// removing timers, sources and observers and running the loop belong to the loop's thread,
// and stop the process when called from another. Nothing posted ever runs inline: it runs
// when a driver turns the loop.
//
// Whose an item is decides what an end does to it. The process's (`async`, `asyncAt`,
// timers, sources, observers) run as its code (`ProcessTeardown::callIn`); at its end they
// are dropped, timers made invalid, and afterwards nothing of it is taken. The machine's
// (`machineAsync`, `machineAsyncAt`) run as the machine's code and are never dropped by an
// end. A run entered by the process's code (an alert's, a menu's) stops its code once the
// process has ended, as soon as the item it performed returns.
class RunLoop {
public:
    enum class RunResult {
        finished, // the predicate became true
        stopped,  // stop() was called
        timedOut, // the time limit passed
        idle,     // on the virtual clock: nothing left that could ever run in the mode
    };

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The machine's main run loop, created on first use; its thread is the main thread. It
    // lives until `resetMain()`, whatever happens to the process.
    static RunLoop& main();
    // Replaces the main run loop by a fresh one, as a new machine has: for test fixtures and
    // harnesses that start a machine per case, between cases. Nothing may hold on to the old
    // one.
    static void resetMain();
    // The run loop of the calling thread: only the main thread has one here.
    static RunLoop& current() { return main(); }

    // Main queue: runs `block` in a later turn, after everything already due.
    void async(std::function<void()> block, const char* file = __builtin_FILE(),
               int line = __builtin_LINE());
    // Main queue: runs `block` when the clock's uptime reaches `deadline` (a past deadline
    // counts as now).
    void asyncAt(Nanoseconds deadline, std::function<void()> block,
                 const char* file = __builtin_FILE(), int line = __builtin_LINE());
    // The process's work that is not a main-queue block, such as an event's dispatch or a
    // timer's firing: it runs in every mode, and a modal run begun by a main-queue block runs
    // it as it runs the timers and sources of its mode.
    void performBlock(std::function<void()> block, const char* file = __builtin_FILE(),
                      int line = __builtin_LINE());
    void performBlockAt(Nanoseconds deadline, std::function<void()> block,
                        const char* file = __builtin_FILE(), int line = __builtin_LINE());
    // The same for the machine's own work (the desktop, the console): it runs as the
    // machine's code, and no end of the process drops it.
    void machineAsync(std::function<void()> block, const char* file = __builtin_FILE(),
                      int line = __builtin_LINE());
    void machineAsyncAt(Nanoseconds deadline, std::function<void()> block,
                        const char* file = __builtin_FILE(), int line = __builtin_LINE());

    // The loop keeps a timer until it is invalidated or, when not repeating, has fired.
    // Adding in more modes widens the set of modes it fires in.
    void add(const std::shared_ptr<Timer>& timer, RunLoopMode mode);
    void add(const std::shared_ptr<RunLoopSource>& source, RunLoopMode mode);
    void remove(const std::shared_ptr<RunLoopSource>& source, RunLoopMode mode);
    void add(const std::shared_ptr<RunLoopObserver>& observer, RunLoopMode mode);
    void remove(const std::shared_ptr<RunLoopObserver>& observer, RunLoopMode mode);

    // What waits on the loop: blocks not yet run and scheduled timers, in the order they
    // fall due, each with where it was posted or made.
    struct PendingItem {
        enum class Kind { block, timer };
        Kind kind = Kind::block;
        Nanoseconds due{0};
        CallSite site;
    };
    std::vector<PendingItem> pendingItems() const;

    // Told, on the loop's thread, when a run cannot finish: a nested run went idle on the
    // virtual clock with its condition still false, or runUntilIdle kept finding work
    // after a very long run of callbacks (work that posts itself for ever). The latter then
    // stops the process. Test drivers use it to print what was still pending.
    void setStuckHandler(std::function<void(std::string_view why)> handler);

    // How many blocks, timer firings and source callbacks the loop has run: an idle program
    // runs none.
    std::uint64_t performedCount() const { return performed_.load(); }

    // The mode of the innermost run; the default mode when the loop is not running.
    RunLoopMode currentMode() const;
    std::thread::id thread() const { return thread_; }

    // Runs everything runnable now, including what that posts, and timers already due.
    // Does not move the clock.
    void runUntilIdle();
    // Virtual clock only: moves the clock to each deadline that falls within `duration`
    // in turn, running what falls due there, then to the end, then runs until idle.
    void advance(Nanoseconds duration);
    // Runs in the default mode until stop(), sleeping until the next deadline, a post, a
    // source signal or stop(). On the virtual clock only a post moves it on.
    void run();
    // Ends the innermost run()/runInMode() (from any thread); remembered when none runs.
    void stop();

    // A nested run in `mode` (alerts, menu tracking) until `done` is true, checked before
    // the first and after every callback. On the virtual clock an idle loop moves the
    // clock to the next deadline of the mode, never beyond `timeout`.
    RunResult runInMode(RunLoopMode mode, const std::function<bool()>& done,
                        std::optional<Nanoseconds> timeout = std::nullopt);
    // runInMode with no time limit: whether `done` became true.
    bool runModal(RunLoopMode mode, const std::function<bool()>& done) {
        return runInMode(mode, done) == RunResult::finished;
    }

private:
    friend class Timer;
    friend class RunLoopSource;
    struct Core;
    struct Item;

    static void removeTimer(const std::shared_ptr<Core>& core, Timer& timer);
    // What waits on the loop goes, timers made invalid: the process's blocks, timers,
    // sources and observers, or (for the loop's end) the machine's blocks too.
    static void discard(Core& core, bool processOnly);
    // Whether the loop takes an item of the process (the process it is of), not once it has
    // ended. The first item of each process arranges for its items to go at its end.
    std::optional<std::uint64_t> takesProcessItem();
    enum class Poster { mainQueue, process, machine };
    void post(Nanoseconds deadline, std::function<void()> block, Poster poster, CallSite site);
    static void signalSource(const std::shared_ptr<Core>& core,
                             const std::shared_ptr<RunLoopSource>& source);

    void notify(RunLoopActivity activity);
    std::optional<Item> takeNext(std::uint64_t sequenceLimit);
    void perform(Item& item);
    // Runs turns until nothing is runnable now (or until `done`/stop); returns whether it
    // ended because of `done` or stop().
    bool drain(const std::function<bool()>& done, bool honourStop);
    bool runnableNow() const;
    std::optional<Nanoseconds> nextDeadline() const;
    bool takeStop();

    std::shared_ptr<Core> core_;
    std::thread::id thread_;
    std::function<void(std::string_view)> stuckHandler_; // the loop's thread only
    std::atomic<std::uint64_t> performed_{0};
    ThreadChecker threadChecker_{"RunLoop", thread_};
};

} // namespace zestrel::platform
