#include "platform/base/RunLoop.h"

#include "platform/base/Error.h"
#include "platform/base/MainThread.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Timer.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

using Key = detail::ScheduleKey;

constexpr unsigned kCommonModes = 0b111;

constexpr unsigned maskOf(RunLoopMode mode) {
    switch (mode) {
    case RunLoopMode::defaultMode:
        return 0b001;
    case RunLoopMode::eventTracking:
        return 0b010;
    case RunLoopMode::modalPanel:
        return 0b100;
    case RunLoopMode::common:
        return kCommonModes;
    }
    return 0;
}

// The machine's loop: made on first use, replaced only by `RunLoop::resetMain()`.
struct MainLoopHolder {
    Mutex mutex;
    std::unique_ptr<RunLoop> loop GUARDED_BY(mutex);
    std::atomic<RunLoop*> current{nullptr};
};

MainLoopHolder& mainLoopHolder() {
    static auto* const holder = new MainLoopHolder; // posted to until the very end
    return *holder;
}

} // namespace

struct RunLoop::Core {
    // Where a scheduled timer stands in this loop.
    struct TimerEntry {
        unsigned modes = 0;
        Key key;
    };
    // A source added to this loop: its modes, and its place in `signalled` while signalled.
    struct SourceEntry {
        std::shared_ptr<RunLoopSource> source;
        unsigned modes = 0;
        std::optional<Key> signalKey;
    };
    struct ObserverEntry {
        std::shared_ptr<RunLoopObserver> observer;
        unsigned modes;
    };

    // A block on the loop, where it was posted from, and whose it is: the generation of
    // the process that posted it, or none for the machine's; and whether it is a block of the
    // process's main queue, which waits while another of them runs.
    struct QueuedBlock {
        std::function<void()> block;
        CallSite site;
        std::optional<std::uint64_t> process;
        bool mainQueue = false;
    };

    mutable Mutex mutex;
    std::condition_variable_any wake;
    std::uint64_t nextSequence GUARDED_BY(mutex) = 0;
    std::map<Key, QueuedBlock> blocks GUARDED_BY(mutex);
    std::map<Key, std::shared_ptr<Timer>> timers GUARDED_BY(mutex);
    std::map<const Timer*, TimerEntry> timerEntries GUARDED_BY(mutex);
    std::map<Key, std::shared_ptr<RunLoopSource>> signalled GUARDED_BY(mutex);
    std::map<const RunLoopSource*, SourceEntry> sources GUARDED_BY(mutex);
    std::vector<ObserverEntry> observers GUARDED_BY(mutex);
    RunLoopMode mode GUARDED_BY(mutex) = RunLoopMode::defaultMode;
    bool stopRequested GUARDED_BY(mutex) = false;
    bool wakePending GUARDED_BY(mutex) = false;
    // How many main-queue blocks are running, one inside the other's nested run: while any
    // is, the main queue takes no other.
    unsigned mainQueueRunning GUARDED_BY(mutex) = 0;
    // The process whose end drops its items from this loop is arranged for.
    std::atomic<std::uint64_t> endArrangedFor{~std::uint64_t{0}};

    Key nextKey(Nanoseconds deadline) REQUIRES(mutex) { return Key{deadline, nextSequence++}; }

    // The first block the loop may take, due or not: past the main queue's while one of its
    // blocks runs.
    std::map<Key, QueuedBlock>::iterator firstTakenBlock() REQUIRES(mutex) {
        if (mainQueueRunning == 0) {
            return blocks.begin();
        }
        return std::find_if(blocks.begin(), blocks.end(),
                            [](const auto& entry) { return !entry.second.mainQueue; });
    }

    std::optional<Nanoseconds> nextBlockDeadline() REQUIRES(mutex) {
        const auto block = firstTakenBlock();
        return block == blocks.end() ? std::nullopt : std::optional(block->first.deadline);
    }

    void wakeLocked() REQUIRES(mutex) {
        wakePending = true;
        wake.notify_all();
    }

    // Sleeps until woken or stopped, or until `timeout` has passed.
    void sleepLocked(MutexLock& lock, std::optional<Nanoseconds> timeout) REQUIRES(mutex) {
        const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(Nanoseconds{0});
        while (!wakePending && !stopRequested) {
            if (!timeout) {
                lock.wait(wake);
            } else if (lock.waitUntil(wake, deadline) == std::cv_status::timeout) {
                return;
            }
        }
    }

    unsigned timerModes(const Timer& timer) const REQUIRES(mutex) {
        const auto found = timerEntries.find(&timer);
        return found == timerEntries.end() ? 0 : found->second.modes;
    }

    // Takes a source off the signalled list.
    void unsignal(SourceEntry& entry) REQUIRES(mutex) {
        if (entry.signalKey) {
            signalled.erase(*entry.signalKey);
            entry.signalKey.reset();
        }
    }

    // Puts an added source on the signalled list unless it is there already.
    void markSignalled(SourceEntry& entry, Nanoseconds now) REQUIRES(mutex) {
        if (!entry.signalKey) {
            entry.signalKey = nextKey(now);
            signalled.emplace(*entry.signalKey, entry.source);
        }
    }

    // The first timer due by `now` that fires in `mask`.
    std::map<Key, std::shared_ptr<Timer>>::iterator dueTimer(Nanoseconds now, unsigned mask)
        REQUIRES(mutex) {
        for (auto it = timers.begin(); it != timers.end() && it->first.deadline <= now; ++it) {
            if (timerModes(*it->second) & mask) {
                return it;
            }
        }
        return timers.end();
    }

    std::map<Key, std::shared_ptr<RunLoopSource>>::iterator signalledSource(unsigned mask)
        REQUIRES(mutex) {
        for (auto it = signalled.begin(); it != signalled.end(); ++it) {
            const auto entry = sources.find(it->second.get());
            if (entry != sources.end() && (entry->second.modes & mask)) {
                return it;
            }
        }
        return signalled.end();
    }

    bool runnableNow(Nanoseconds now) REQUIRES(mutex) {
        const unsigned mask = maskOf(mode);
        const std::optional<Nanoseconds> block = nextBlockDeadline();
        return (block && *block <= now) || dueTimer(now, mask) != timers.end() ||
               signalledSource(mask) != signalled.end();
    }

    std::optional<Nanoseconds> nextDeadline(Nanoseconds now) REQUIRES(mutex) {
        const unsigned mask = maskOf(mode);
        std::optional<Nanoseconds> next;
        auto consider = [&next](Nanoseconds deadline) {
            if (!next || deadline < *next) {
                next = deadline;
            }
        };
        if (const std::optional<Nanoseconds> block = nextBlockDeadline()) {
            consider(*block);
        }
        for (const auto& [key, timer] : timers) {
            if (timerModes(*timer) & mask) {
                consider(key.deadline);
                break;
            }
        }
        if (signalledSource(mask) != signalled.end()) {
            consider(now);
        }
        return next;
    }
};

struct RunLoop::Item {
    Core::QueuedBlock queued;
    std::shared_ptr<Timer> timer;
    std::shared_ptr<RunLoopSource> source;
};

namespace {

// A main-queue block running: the queue takes no other until it returns (also by an
// exception).
class MainQueueRunning {
public:
    MainQueueRunning(Mutex& mutex, unsigned* running) : mutex_(mutex), running_(running) {
        MutexLock lock(mutex_);
        ++*running_;
    }
    ~MainQueueRunning() {
        MutexLock lock(mutex_);
        --*running_;
    }
    MainQueueRunning(const MainQueueRunning&) = delete;
    MainQueueRunning& operator=(const MainQueueRunning&) = delete;

private:
    Mutex& mutex_;
    unsigned* running_ PT_GUARDED_BY(mutex_);
};

// The mode of a run, restored when it ends (also by an exception from a callback).
class ModeScope {
public:
    ModeScope(Mutex& mutex, RunLoopMode* mode, RunLoopMode newMode) : mutex_(mutex), mode_(mode) {
        MutexLock lock(mutex_);
        saved_ = *mode_;
        *mode_ = newMode;
    }
    ~ModeScope() {
        MutexLock lock(mutex_);
        *mode_ = saved_;
    }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

private:
    Mutex& mutex_;
    RunLoopMode* mode_ PT_GUARDED_BY(mutex_);
    RunLoopMode saved_;
};

} // namespace

RunLoop::RunLoop() : core_(std::make_shared<Core>()), thread_(std::this_thread::get_id()) {}

RunLoop::~RunLoop() {
    discard(*core_, false);
}

void RunLoop::discard(Core& core, bool processOnly) {
    // What an ended process queued goes as its objects go: what their destructors ask is
    // refused. Made first, so it outlives what it covers.
    std::optional<ProcessTeardown::Destruction> going;
    if (processOnly) {
        going.emplace();
    }
    // What was queued dies outside the lock: its destructors may post.
    std::vector<Core::QueuedBlock> blocks;
    std::map<Key, std::shared_ptr<Timer>> timers;
    std::map<Key, std::shared_ptr<RunLoopSource>> signalled;
    std::map<const RunLoopSource*, Core::SourceEntry> sources;
    std::vector<Core::ObserverEntry> observers;
    {
        MutexLock lock(core.mutex);
        for (auto it = core.blocks.begin(); it != core.blocks.end();) {
            if (processOnly && !it->second.process) {
                ++it;
            } else {
                blocks.push_back(std::move(it->second));
                it = core.blocks.erase(it);
            }
        }
        // Timers, sources and observers are all the process's.
        timers.swap(core.timers);
        core.timerEntries.clear();
        signalled.swap(core.signalled);
        sources.swap(core.sources);
        observers.swap(core.observers);
        for (auto& [key, timer] : timers) {
            timer->valid_ = false;
        }
    }
    for (auto& [source, entry] : sources) {
        MutexLock lock(entry.source->mutex_);
        entry.source->loop_.reset();
    }
}

RunLoop& RunLoop::main() {
    MainLoopHolder& holder = mainLoopHolder();
    if (RunLoop* loop = holder.current.load(std::memory_order_acquire)) {
        return *loop;
    }
    MutexLock lock(holder.mutex);
    if (!holder.loop) {
        holder.loop = std::make_unique<RunLoop>();
        detail::setMainThread(holder.loop->thread());
        holder.current.store(holder.loop.get(), std::memory_order_release);
    }
    return *holder.loop;
}

void RunLoop::resetMain() {
    MainLoopHolder& holder = mainLoopHolder();
    std::unique_ptr<RunLoop> old; // destroyed outside the lock: what it drops may post
    {
        MutexLock lock(holder.mutex);
        holder.current.store(nullptr, std::memory_order_release);
        old = std::move(holder.loop);
    }
}

std::optional<std::uint64_t> RunLoop::takesProcessItem() {
    const std::uint64_t generation = detail::processGeneration();
    if (ProcessTeardown::hasEnded()) {
        return std::nullopt;
    }
    // Read first: posts of the same process leave the shared line alone.
    if (core_->endArrangedFor.load(std::memory_order_acquire) != generation &&
        core_->endArrangedFor.exchange(generation, std::memory_order_acq_rel) != generation) {
        ProcessTeardown::addOnce(core_.get(), [weak = std::weak_ptr<Core>(core_)] {
            if (const auto core = weak.lock()) {
                discard(*core, true);
            }
        });
    }
    return generation;
}

void RunLoop::post(Nanoseconds deadline, std::function<void()> block, Poster poster,
                   CallSite site) {
    if (!block) {
        return;
    }
    // The process the block is of: the one that was there when it was posted.
    std::optional<std::uint64_t> process;
    if (poster != Poster::machine && !(process = takesProcessItem())) {
        return;
    }
    const Nanoseconds now = clock().uptime();
    std::function<void()> refused; // dies after the lock: its captures may post
    MutexLock lock(core_->mutex);
    // Posted from another thread as its process ended: the end's sweep may be past already.
    if (process && (*process != detail::processGeneration() || ProcessTeardown::hasEnded())) {
        refused = std::move(block);
        return;
    }
    core_->blocks.emplace(
        core_->nextKey(std::max(deadline, now)),
        Core::QueuedBlock{std::move(block), site, process, poster == Poster::mainQueue});
    core_->wakeLocked();
}

void RunLoop::async(std::function<void()> block, const char* file, int line) {
    post(Nanoseconds{0}, std::move(block), Poster::mainQueue, {file, line});
}

void RunLoop::asyncAt(Nanoseconds deadline, std::function<void()> block, const char* file,
                      int line) {
    post(deadline, std::move(block), Poster::mainQueue, {file, line});
}

void RunLoop::performBlock(std::function<void()> block, const char* file, int line) {
    post(Nanoseconds{0}, std::move(block), Poster::process, {file, line});
}

void RunLoop::performBlockAt(Nanoseconds deadline, std::function<void()> block, const char* file,
                             int line) {
    post(deadline, std::move(block), Poster::process, {file, line});
}

void RunLoop::machineAsync(std::function<void()> block, const char* file, int line) {
    post(Nanoseconds{0}, std::move(block), Poster::machine, {file, line});
}

void RunLoop::machineAsyncAt(Nanoseconds deadline, std::function<void()> block, const char* file,
                             int line) {
    post(deadline, std::move(block), Poster::machine, {file, line});
}

void RunLoop::add(const std::shared_ptr<Timer>& timer, RunLoopMode mode) {
    threadChecker_.check();
    if (!timer || !timer->valid_) {
        return;
    }
    if (!takesProcessItem()) {
        timer->valid_ = false;
        return;
    }
    MutexLock lock(core_->mutex);
    if (auto other = timer->loop_.lock(); other && other != core_) {
        fatal("A timer cannot be added to a second run loop.");
    }
    auto [entry, added] = core_->timerEntries.try_emplace(timer.get());
    entry->second.modes |= maskOf(mode);
    if (added) {
        timer->loop_ = core_;
        entry->second.key = core_->nextKey(timer->deadline_);
        timer->threadChecker_.bind(thread_); // from now on it belongs to this loop's thread
        core_->timers.emplace(entry->second.key, timer);
    }
    core_->wakeLocked();
}

void RunLoop::removeTimer(const std::shared_ptr<Core>& core, Timer& timer) {
    std::shared_ptr<Timer> removed; // released outside the lock
    MutexLock lock(core->mutex);
    const auto entry = core->timerEntries.find(&timer);
    if (entry != core->timerEntries.end()) {
        auto it = core->timers.find(entry->second.key);
        if (it != core->timers.end()) {
            removed = std::move(it->second);
            core->timers.erase(it);
        }
        core->timerEntries.erase(entry);
    }
}

void RunLoop::add(const std::shared_ptr<RunLoopSource>& source, RunLoopMode mode) {
    threadChecker_.check();
    if (!source || !source->isValid() || !takesProcessItem()) {
        return;
    }
    MutexLock sourceLock(source->mutex_);
    MutexLock lock(core_->mutex);
    if (auto other = source->loop_.lock(); other && other != core_) {
        fatal("A run-loop source cannot be added to a second run loop.");
    }
    Core::SourceEntry& entry = core_->sources[source.get()];
    entry.source = source;
    source->loop_ = core_;
    entry.modes |= maskOf(mode);
    if (source->pendingSignal_) {
        source->pendingSignal_ = false;
        core_->markSignalled(entry, clock().uptime());
        core_->wakeLocked();
    }
}

void RunLoop::remove(const std::shared_ptr<RunLoopSource>& source, RunLoopMode mode) {
    threadChecker_.check();
    if (!source) {
        return;
    }
    std::shared_ptr<RunLoopSource> removed; // released outside the locks
    MutexLock sourceLock(source->mutex_);
    MutexLock lock(core_->mutex);
    const auto entry = core_->sources.find(source.get());
    if (entry == core_->sources.end()) {
        return;
    }
    entry->second.modes &= ~maskOf(mode);
    if (entry->second.modes != 0) {
        return;
    }
    core_->unsignal(entry->second);
    removed = std::move(entry->second.source);
    core_->sources.erase(entry);
    source->loop_.reset();
}

void RunLoop::signalSource(const std::shared_ptr<Core>& core,
                           const std::shared_ptr<RunLoopSource>& source) {
    const Nanoseconds now = clock().uptime();
    MutexLock lock(core->mutex);
    const auto entry = core->sources.find(source.get());
    if (entry == core->sources.end()) {
        return; // removed meanwhile
    }
    core->markSignalled(entry->second, now);
    core->wakeLocked();
}

void RunLoopSource::signal() {
    if (!isValid()) {
        return;
    }
    std::shared_ptr<void> loop;
    {
        MutexLock lock(mutex_);
        loop = loop_.lock();
        if (!loop) {
            pendingSignal_ = true;
            return;
        }
    }
    RunLoop::signalSource(std::static_pointer_cast<RunLoop::Core>(loop), shared_from_this());
}

bool RunLoopSource::isServedInCurrentMode() const {
    if (!isValid()) {
        return false;
    }
    MutexLock sourceLock(mutex_);
    const auto loop = loop_.lock();
    if (!loop) {
        return false;
    }
    const auto core = std::static_pointer_cast<RunLoop::Core>(loop);
    MutexLock lock(core->mutex);
    const auto entry = core->sources.find(this);
    return entry != core->sources.end() && (entry->second.modes & maskOf(core->mode)) != 0;
}

void RunLoopSource::invalidate() {
    valid_.store(false);
    std::shared_ptr<void> loop;
    {
        MutexLock lock(mutex_);
        loop = loop_.lock();
        pendingSignal_ = false;
    }
    if (!loop) {
        return;
    }
    auto core = std::static_pointer_cast<RunLoop::Core>(loop);
    std::shared_ptr<RunLoopSource> removed;
    MutexLock sourceLock(mutex_);
    MutexLock lock(core->mutex);
    const auto entry = core->sources.find(this);
    if (entry != core->sources.end()) {
        core->unsignal(entry->second);
        removed = std::move(entry->second.source);
        core->sources.erase(entry);
    }
    loop_.reset();
}

void RunLoop::add(const std::shared_ptr<RunLoopObserver>& observer, RunLoopMode mode) {
    threadChecker_.check();
    if (!observer || !takesProcessItem()) {
        return;
    }
    MutexLock lock(core_->mutex);
    for (auto& entry : core_->observers) {
        if (entry.observer == observer) {
            entry.modes |= maskOf(mode);
            return;
        }
    }
    core_->observers.push_back({observer, maskOf(mode)});
}

void RunLoop::remove(const std::shared_ptr<RunLoopObserver>& observer, RunLoopMode mode) {
    threadChecker_.check();
    std::shared_ptr<RunLoopObserver> removed;
    MutexLock lock(core_->mutex);
    auto& observers = core_->observers;
    auto it = std::find_if(observers.begin(), observers.end(),
                           [&](const auto& entry) { return entry.observer == observer; });
    if (it == observers.end()) {
        return;
    }
    it->modes &= ~maskOf(mode);
    if (it->modes == 0) {
        removed = std::move(it->observer);
        observers.erase(it);
    }
}

std::vector<RunLoop::PendingItem> RunLoop::pendingItems() const {
    std::vector<PendingItem> items;
    {
        MutexLock lock(core_->mutex);
        items.reserve(core_->blocks.size() + core_->timers.size());
        for (const auto& [key, queued] : core_->blocks) {
            items.push_back({PendingItem::Kind::block, key.deadline, queued.site});
        }
        for (const auto& [key, timer] : core_->timers) {
            items.push_back({PendingItem::Kind::timer, key.deadline, timer->site_});
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const PendingItem& a, const PendingItem& b) { return a.due < b.due; });
    return items;
}

void RunLoop::setStuckHandler(std::function<void(std::string_view why)> handler) {
    threadChecker_.check();
    stuckHandler_ = std::move(handler);
}

RunLoopMode RunLoop::currentMode() const {
    MutexLock lock(core_->mutex);
    return core_->mode;
}

void RunLoop::notify(RunLoopActivity activity) {
    const auto bit = static_cast<unsigned>(activity);
    std::vector<std::shared_ptr<RunLoopObserver>> toCall;
    std::vector<Core::ObserverEntry> dropped;
    {
        MutexLock lock(core_->mutex);
        const unsigned mask = maskOf(core_->mode);
        auto& observers = core_->observers;
        for (auto it = observers.begin(); it != observers.end();) {
            auto& observer = *it->observer;
            if (observer.isValid() && (it->modes & mask) && (observer.activities_ & bit)) {
                toCall.push_back(it->observer);
                if (!observer.repeats_) {
                    observer.invalidate();
                }
            }
            if (!observer.isValid()) {
                dropped.push_back(std::move(*it));
                it = observers.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& observer : toCall) {
        // An observer invalidated by an earlier one in this round is not called.
        if (observer->repeats_ && !observer->isValid()) {
            continue;
        }
        ProcessTeardown::callIn([&] { observer->callback_(activity); });
    }
}

std::optional<RunLoop::Item> RunLoop::takeNext(std::uint64_t sequenceLimit) {
    const Nanoseconds now = clock().uptime();
    MutexLock lock(core_->mutex);
    const unsigned mask = maskOf(core_->mode);

    std::optional<Key> best;
    enum class Kind { block, timer, source } kind = Kind::block;
    auto consider = [&](const Key& key, Kind candidate) {
        if (key.sequence < sequenceLimit && (!best || key < *best)) {
            best = key;
            kind = candidate;
        }
    };
    const auto block = core_->firstTakenBlock();
    if (block != core_->blocks.end() && block->first.deadline <= now) {
        consider(block->first, Kind::block);
    }
    const auto timer = core_->dueTimer(now, mask);
    if (timer != core_->timers.end()) {
        consider(timer->first, Kind::timer);
    }
    const auto source = core_->signalledSource(mask);
    if (source != core_->signalled.end()) {
        consider(source->first, Kind::source);
    }
    if (!best) {
        return std::nullopt;
    }

    Item item;
    switch (kind) {
    case Kind::block:
        item.queued = std::move(block->second);
        core_->blocks.erase(block);
        break;
    case Kind::timer: {
        item.timer = timer->second;
        core_->timers.erase(timer);
        Timer& t = *item.timer;
        if (t.repeats_) {
            // From the scheduled time, skipping the intervals already missed.
            Nanoseconds next = t.deadline_ + t.interval_;
            if (next <= now) {
                next = t.deadline_ + t.interval_ * ((now - t.deadline_) / t.interval_ + 1);
            }
            t.deadline_ = next;
            Key& key = core_->timerEntries[&t].key;
            key = core_->nextKey(next);
            core_->timers.emplace(key, item.timer);
        } else {
            core_->timerEntries.erase(&t);
        }
        break;
    }
    case Kind::source:
        item.source = std::move(source->second);
        core_->signalled.erase(source);
        core_->sources.at(item.source.get()).signalKey.reset();
        break;
    }
    return item;
}

void RunLoop::perform(Item& item) {
    ++performed_;
    const auto& block = item.queued.block;
    if (block && !item.queued.process) {
        const ProcessTeardown::MachineWork machine;
        block();
    } else if (block && item.queued.process == detail::processGeneration()) {
        // One posted from another thread as its process ended may have missed the end's
        // sweep: it is that process's all the same, and no later one's. Its captures go inside
        // the call too: once the block has ended its process, what they ask is refused.
        std::optional<MainQueueRunning> running;
        if (item.queued.mainQueue) {
            running.emplace(core_->mutex, &core_->mainQueueRunning);
        }
        ProcessTeardown::callIn([&queued = item.queued.block] {
            const std::function<void()> run = std::move(queued);
            run();
        });
    } else if (item.timer) {
        if (!item.timer->valid_) {
            return;
        }
        ProcessTeardown::callIn([&timer = *item.timer] { timer.callBlock(); });
        if (!item.timer->repeats_) {
            item.timer->invalidate();
        }
    } else if (item.source && item.source->isValid()) {
        ProcessTeardown::callIn(item.source->perform_);
    }
}

bool RunLoop::runnableNow() const {
    const Nanoseconds now = clock().uptime();
    MutexLock lock(core_->mutex);
    return core_->runnableNow(now);
}

std::optional<Nanoseconds> RunLoop::nextDeadline() const {
    const Nanoseconds now = clock().uptime();
    MutexLock lock(core_->mutex);
    return core_->nextDeadline(now);
}

bool RunLoop::takeStop() {
    MutexLock lock(core_->mutex);
    return std::exchange(core_->stopRequested, false);
}

bool RunLoop::drain(const std::function<bool()>& done, bool honourStop) {
    auto finished = [&] {
        if (done && done()) {
            return true;
        }
        if (honourStop) {
            MutexLock lock(core_->mutex);
            return core_->stopRequested;
        }
        return false;
    };
    for (;;) {
        if (finished()) {
            return true;
        }
        notify(RunLoopActivity::beforeTimers);
        notify(RunLoopActivity::beforeSources);
        // What is posted during this turn runs in the next one.
        std::uint64_t limit;
        {
            MutexLock lock(core_->mutex);
            limit = core_->nextSequence;
        }
        bool ran = false;
        while (auto item = takeNext(limit)) {
            perform(*item);
            // A run the process's code waits in goes no further once the process has ended.
            ProcessTeardown::stopIfEnded();
            ran = true;
            if (finished()) {
                return true;
            }
        }
        if (!ran) {
            notify(RunLoopActivity::beforeWaiting);
            if (!runnableNow()) {
                return false;
            }
            // An observer posted work: the loop does not sleep after all.
            notify(RunLoopActivity::afterWaiting);
        }
    }
}

void RunLoop::runUntilIdle() {
    threadChecker_.check();
    // Far more callbacks than any real settling takes: past it, work keeps posting work.
    constexpr std::uint64_t kSettleLimit = 100'000;
    std::uint64_t callbacks = 0;
    notify(RunLoopActivity::entry);
    const bool unsettled = drain([&callbacks] { return ++callbacks > kSettleLimit; }, false);
    if (unsettled) {
        if (stuckHandler_) {
            stuckHandler_("runUntilIdle did not settle: work keeps posting work");
        }
        fatal("RunLoop::runUntilIdle did not settle: work keeps posting work.");
    }
    notify(RunLoopActivity::exit);
}

void RunLoop::advance(Nanoseconds duration) {
    threadChecker_.check();
    const std::shared_ptr<VirtualClock> virtualTime = virtualClock();
    if (!virtualTime) {
        fatal("RunLoop::advance needs the virtual clock.");
    }
    const Nanoseconds end = virtualTime->uptime() + duration;
    notify(RunLoopActivity::entry);
    for (;;) {
        drain({}, false);
        const std::optional<Nanoseconds> next = nextDeadline();
        const Nanoseconds now = virtualTime->uptime();
        const bool reachesEnd = !next || *next >= end;
        const Nanoseconds target = reachesEnd ? end : *next;
        if (target > now) {
            virtualTime->advance(target - now);
        }
        notify(RunLoopActivity::afterWaiting);
        if (reachesEnd) {
            break;
        }
    }
    drain({}, false);
    notify(RunLoopActivity::exit);
}

void RunLoop::run() {
    threadChecker_.check();
    ProcessTeardown::stopIfEnded();
    ModeScope scope(core_->mutex, &core_->mode, RunLoopMode::defaultMode);
    notify(RunLoopActivity::entry);
    for (;;) {
        if (drain({}, true) && takeStop()) {
            break;
        }
        {
            MutexLock lock(core_->mutex);
            if (!core_->wakePending && !core_->stopRequested) {
                const Nanoseconds now = clock().uptime();
                if (!core_->runnableNow(now)) {
                    auto next = core_->nextDeadline(now);
                    if (next && clock().isVirtual()) {
                        next.reset();
                    }
                    core_->sleepLocked(lock, next ? std::optional(*next - now) : std::nullopt);
                }
            }
            core_->wakePending = false;
        }
        notify(RunLoopActivity::afterWaiting);
    }
    notify(RunLoopActivity::exit);
}

void RunLoop::stop() {
    MutexLock lock(core_->mutex);
    core_->stopRequested = true;
    core_->wakeLocked();
}

RunLoop::RunResult RunLoop::runInMode(RunLoopMode mode, const std::function<bool()>& done,
                                      std::optional<Nanoseconds> timeout) {
    threadChecker_.check();
    if (mode == RunLoopMode::common) {
        fatal("A run loop cannot run in the common modes, only in one of them.");
    }
    ProcessTeardown::stopIfEnded();
    ModeScope scope(core_->mutex, &core_->mode, mode);
    const std::shared_ptr<VirtualClock> virtualTime = virtualClock();
    std::optional<Nanoseconds> limit;
    if (timeout) {
        limit = clock().uptime() + *timeout;
    }
    notify(RunLoopActivity::entry);
    RunResult result;
    for (;;) {
        if (drain(done, true)) {
            result = (done && done()) ? RunResult::finished
                     : takeStop()     ? RunResult::stopped
                                      : RunResult::finished;
            break;
        }
        const Nanoseconds now = clock().uptime();
        if (limit && now >= *limit) {
            result = RunResult::timedOut;
            break;
        }
        if (virtualTime) {
            // Nothing else can happen on a virtual clock, so move it on rather than hang.
            std::optional<Nanoseconds> target = nextDeadline();
            if (limit && (!target || *target > *limit)) {
                target = limit;
            }
            if (!target) {
                result = RunResult::idle;
                if (stuckHandler_) {
                    stuckHandler_("a nested run went idle before its condition became true");
                }
                break;
            }
            virtualTime->advance(*target - now);
        } else {
            MutexLock lock(core_->mutex);
            if (!core_->wakePending && !core_->stopRequested && !core_->runnableNow(now)) {
                std::optional<Nanoseconds> until = core_->nextDeadline(now);
                if (limit && (!until || *limit < *until)) {
                    until = limit;
                }
                core_->sleepLocked(lock, until ? std::optional(*until - now) : std::nullopt);
            }
            core_->wakePending = false;
        }
        notify(RunLoopActivity::afterWaiting);
    }
    notify(RunLoopActivity::exit);
    return result;
}

} // namespace zestrel::platform
