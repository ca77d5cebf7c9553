#include "platform/base/DispatchQueue.h"

#include "platform/base/Error.h"
#include "platform/base/MainThread.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"

#include <fmt/format.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <thread>
#include <unordered_set>
#include <vector>

namespace zestrel::platform {
namespace {

constexpr std::string_view kSyncDeadlock =
    "BUG IN CLIENT OF LIBDISPATCH: dispatch_sync called on queue already owned by current thread";

// Threads shared by every queue but the main one. A thread is added whenever a task finds
// no idle one, so a block that waits on another queue cannot starve the pool; idle threads
// sleep on a condition variable until the process state is reset.
class WorkerPool {
public:
    WorkerPool() = default;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool() {
        {
            MutexLock lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& thread : threads_) {
            thread.join(); // the queued tasks are run first
        }
    }

    void submit(std::function<void()> task) {
        MutexLock lock(mutex_);
        tasks_.push_back(std::move(task));
        if (tasks_.size() > idle_ && threads_.size() < kMaximumThreads) {
            threads_.emplace_back([this] { work(); });
        } else {
            wake_.notify_one();
        }
    }

private:
    static constexpr std::size_t kMaximumThreads = 64;

    void work() {
        for (;;) {
            std::function<void()> task;
            {
                MutexLock lock(mutex_);
                ++idle_;
                while (!(stopping_ || !tasks_.empty())) {
                    lock.wait(wake_);
                }
                --idle_;
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    Mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> tasks_ GUARDED_BY(mutex_);
    std::vector<std::thread> threads_ GUARDED_BY(mutex_);
    std::size_t idle_ GUARDED_BY(mutex_) = 0;
    bool stopping_ GUARDED_BY(mutex_) = false;
};

WorkerPool& workerPool() {
    static auto* const instance = new ProcessLocal<WorkerPool>;
    return instance->get();
}

std::string_view globalLabel(DispatchQoS qos) {
    switch (qos) {
    case DispatchQoS::background:
        return "com.apple.root.background-qos";
    case DispatchQoS::utility:
        return "com.apple.root.utility-qos";
    case DispatchQoS::userInitiated:
        return "com.apple.root.user-initiated-qos";
    case DispatchQoS::userInteractive:
        return "com.apple.root.user-interactive-qos";
    case DispatchQoS::unspecified:
    case DispatchQoS::defaultQoS:
        break;
    }
    return "com.apple.root.default-qos";
}

} // namespace

struct DispatchQueue::Impl {
    struct Waiter {
        Mutex mutex;
        std::condition_variable_any granted;
        bool isGranted GUARDED_BY(mutex) = false;
    };
    struct Pending {
        std::function<void()> block;
        bool exclusive;
        std::shared_ptr<Waiter> waiter; // a sync call waiting for its turn
        CallSite site;
    };

    // Made whole before it is listed: a lister on another thread reads the label.
    Impl(std::string label, Attributes attributes, DispatchQoS qos, bool isMain);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    const std::string label;
    const Attributes attributes;
    const DispatchQoS qos;
    const bool isMain;
    bool isGlobal = false;

    mutable Mutex mutex;
    std::deque<Pending> pending GUARDED_BY(mutex);
    int running GUARDED_BY(mutex) = 0;
    bool exclusiveRunning GUARDED_BY(mutex) = false;

    // Global queues ignore barriers, as the platform's do.
    bool exclusive(DispatchWorkItemFlags flags) const {
        return attributes == Attributes::serial ||
               (!isGlobal && flags == DispatchWorkItemFlags::barrier);
    }
};

namespace {

using Impl = DispatchQueue::Impl;

// Every live queue, so a test can list what waits on them. A queue registers itself when made
// and leaves in its destructor, before its members go; the lister holds the registry's lock
// while it reads the queues, so none can go away under it. Lock order: registry, then queue.
struct QueueRegistry {
    Mutex mutex;
    std::unordered_set<const Impl*> queues GUARDED_BY(mutex);
};

QueueRegistry& queueRegistry() {
    static auto* const instance = new QueueRegistry; // outlives queues held by statics
    return *instance;
}

} // namespace

Impl::Impl(std::string label, Attributes attributes, DispatchQoS qos, bool isMain)
    : label(std::move(label)), attributes(attributes), qos(qos), isMain(isMain) {
    QueueRegistry& registry = queueRegistry();
    MutexLock lock(registry.mutex);
    registry.queues.insert(this);
}

Impl::~Impl() {
    QueueRegistry& registry = queueRegistry();
    MutexLock lock(registry.mutex);
    registry.queues.erase(this);
}

namespace {

// The queues whose blocks run on this thread now, innermost last, and whether exclusively.
thread_local std::vector<std::pair<const Impl*, bool>> runningHere;

class RunningScope {
public:
    RunningScope(const Impl* queue, bool exclusive) { runningHere.emplace_back(queue, exclusive); }
    ~RunningScope() { runningHere.pop_back(); }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
};

void finish(const std::shared_ptr<Impl>& queue, bool exclusive);

void runBlock(const std::shared_ptr<Impl>& queue, std::function<void()>& block, bool exclusive) {
    // The queues are the process's: what was left on them when it ended never runs, and one
    // that runs when it ends stops where it stands.
    ProcessTeardown::callIn([&] {
        RunningScope scope(queue.get(), exclusive);
        try {
            block();
        } catch (const std::exception& error) {
            fatal(fmt::format("Uncaught exception in a block on queue \"{}\": {}", queue->label,
                              error.what()));
        } catch (...) {
            ProcessStop::passOn();
            fatal(fmt::format("Uncaught exception in a block on queue \"{}\"", queue->label));
        }
    });
    block = nullptr; // what it captured goes before the next block starts
    finish(queue, exclusive);
}

// Starts what may start now: the blocks at the head of the queue up to the first one that
// must wait for the running ones to finish.
void pump(const std::shared_ptr<Impl>& queue) {
    std::vector<Impl::Pending> starting;
    {
        MutexLock lock(queue->mutex);
        while (!queue->pending.empty() && !queue->exclusiveRunning) {
            Impl::Pending& next = queue->pending.front();
            if (next.exclusive && queue->running > 0) {
                break;
            }
            ++queue->running;
            queue->exclusiveRunning = next.exclusive;
            starting.push_back(std::move(next));
            queue->pending.pop_front();
        }
    }
    for (auto& item : starting) {
        if (item.waiter) {
            MutexLock lock(item.waiter->mutex);
            item.waiter->isGranted = true;
            item.waiter->granted.notify_one();
        } else {
            workerPool().submit(
                [queue, block = std::move(item.block), exclusive = item.exclusive]() mutable {
                    runBlock(queue, block, exclusive);
                });
        }
    }
}

void finish(const std::shared_ptr<Impl>& queue, bool exclusive) {
    {
        MutexLock lock(queue->mutex);
        --queue->running;
        if (exclusive) {
            queue->exclusiveRunning = false;
        }
    }
    pump(queue);
}

const std::shared_ptr<Impl>& mainImpl() {
    static auto* const instance = new std::shared_ptr<Impl>(
        std::make_shared<Impl>("com.apple.main-thread", DispatchQueue::Attributes::serial,
                               DispatchQoS::unspecified, true));
    return *instance;
}

struct GlobalQueues {
    Mutex mutex;
    std::map<DispatchQoS, DispatchQueue> queues GUARDED_BY(mutex);
};

} // namespace

DispatchQueue::DispatchQueue(std::string label, Attributes attributes, DispatchQoS qos)
    : impl_(std::make_shared<Impl>(std::move(label), attributes, qos, false)) {}

DispatchQueue DispatchQueue::main() {
    return DispatchQueue(mainImpl());
}

DispatchQueue DispatchQueue::global(DispatchQoS qos) {
    static auto* const globals = new ProcessLocal<GlobalQueues>;
    if (qos == DispatchQoS::unspecified) {
        qos = DispatchQoS::defaultQoS;
    }
    GlobalQueues& state = globals->get();
    MutexLock lock(state.mutex);
    auto it = state.queues.find(qos);
    if (it == state.queues.end()) {
        DispatchQueue queue(std::string(globalLabel(qos)), Attributes::concurrent, qos);
        queue.impl_->isGlobal = true;
        it = state.queues.emplace(qos, std::move(queue)).first;
    }
    return it->second;
}

const std::string& DispatchQueue::label() const {
    return impl_->label;
}
DispatchQoS DispatchQueue::qos() const {
    return impl_->qos;
}
bool DispatchQueue::isMain() const {
    return impl_->isMain;
}

void DispatchQueue::async(std::function<void()> block, DispatchWorkItemFlags flags,
                          const char* file, int line) {
    if (!block) {
        return;
    }
    if (impl_->isMain) {
        RunLoop::main().async(std::move(block), file, line);
        return;
    }
    {
        MutexLock lock(impl_->mutex);
        impl_->pending.push_back(
            {std::move(block), impl_->exclusive(flags), nullptr, CallSite{file, line}});
    }
    pump(impl_);
}

void DispatchQueue::async(const std::shared_ptr<DispatchWorkItem>& item, const char* file,
                          int line) {
    if (item) {
        async([item] { item->perform(); }, item->flags(), file, line);
    }
}

void DispatchQueue::asyncAfter(DispatchTime deadline, std::function<void()> block, const char* file,
                               int line) {
    if (!block) {
        return;
    }
    if (impl_->isMain) {
        RunLoop::main().asyncAt(deadline.uptime, std::move(block), file, line);
        return;
    }
    // The deadline is the clock's: another queue's block does not wait on the main queue.
    RunLoop::main().performBlockAt(
        deadline.uptime,
        [queue = *this, block = std::move(block), file, line]() mutable {
            queue.async(std::move(block), DispatchWorkItemFlags::none, file, line);
        },
        file, line);
}

void DispatchQueue::asyncAfter(DispatchTime deadline, const std::shared_ptr<DispatchWorkItem>& item,
                               const char* file, int line) {
    if (!item) {
        return;
    }
    if (impl_->isMain) {
        asyncAfter(
            deadline, [item] { item->perform(); }, file, line);
        return;
    }
    RunLoop::main().performBlockAt(
        deadline.uptime,
        [queue = *this, item, file, line]() mutable { queue.async(item, file, line); }, file, line);
}

std::vector<DispatchQueue::PendingBlock> DispatchQueue::pendingBlocks() {
    std::vector<PendingBlock> blocks;
    QueueRegistry& registry = queueRegistry();
    MutexLock registryLock(registry.mutex);
    for (const Impl* queue : registry.queues) {
        MutexLock lock(queue->mutex);
        for (const Impl::Pending& pending : queue->pending) {
            blocks.push_back({queue->label, pending.site});
        }
    }
    std::stable_sort(
        blocks.begin(), blocks.end(),
        [](const PendingBlock& a, const PendingBlock& b) { return a.label < b.label; });
    return blocks;
}

void DispatchQueue::syncBlock(const std::function<void()>& block, DispatchWorkItemFlags flags,
                              CallSite site) {
    if (impl_->isMain) {
        if (isMainThread()) {
            fatal(kSyncDeadlock);
        }
        struct State {
            Mutex mutex;
            std::condition_variable_any doneChanged;
            bool done GUARDED_BY(mutex) = false;
            bool ran GUARDED_BY(mutex) = false;
            std::exception_ptr error GUARDED_BY(mutex);

            void finish(bool blockRan, std::exception_ptr thrown = nullptr) {
                MutexLock lock(mutex);
                if (!done) {
                    done = true;
                    ran = blockRan;
                    error = std::move(thrown);
                    doneChanged.notify_one();
                }
            }
        };
        // Wakes the caller also when the block never runs: the main queue drops it with its
        // ended process (refused when posted, or left at the end), or stopped in it.
        struct Settle {
            std::shared_ptr<State> state = std::make_shared<State>();
            ~Settle() { state->finish(false); }
        };
        auto settle = std::make_shared<Settle>();
        const std::shared_ptr<State> state = settle->state;
        RunLoop::main().async(
            [settle, &block] {
                std::exception_ptr error;
                try {
                    block();
                } catch (...) {
                    ProcessStop::passOn();
                    error = std::current_exception();
                }
                settle->state->finish(true, error);
            },
            site.file, site.line);
        settle.reset();
        MutexLock lock(state->mutex);
        while (!(state->done)) {
            lock.wait(state->doneChanged);
        }
        if (!state->ran) {
            // The caller is the ended process's code: it stops here as well.
            throw ProcessStop{};
        }
        if (state->error) {
            std::rethrow_exception(state->error);
        }
        return;
    }

    const bool exclusive = impl_->exclusive(flags);
    for (const auto& [queue, runningExclusively] : runningHere) {
        if (queue == impl_.get() && (exclusive || runningExclusively)) {
            fatal(kSyncDeadlock);
        }
    }
    auto waiter = std::make_shared<Impl::Waiter>();
    {
        MutexLock lock(impl_->mutex);
        impl_->pending.push_back({nullptr, exclusive, waiter, site});
    }
    pump(impl_);
    {
        MutexLock lock(waiter->mutex);
        while (!(waiter->isGranted)) {
            lock.wait(waiter->granted);
        }
    }
    // The block runs here, on the caller's thread, holding the queue as its own block would.
    struct Finish {
        const std::shared_ptr<Impl>& queue;
        bool exclusive;
        ~Finish() { finish(queue, exclusive); }
    } finishAfterwards{impl_, exclusive};
    RunningScope scope(impl_.get(), exclusive);
    block();
}

} // namespace zestrel::platform
