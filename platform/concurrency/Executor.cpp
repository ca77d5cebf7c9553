#include "platform/concurrency/Executor.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <queue>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

// Jobs must not throw: a task keeps its errors in its own result. A stop (the process ended
// in the job) goes on to where the machine called into the process.
void runJob(const Executor::Job& job) {
    try {
        job();
    } catch (const std::exception& error) {
        fatal(std::string("Uncaught exception in a task job: ") + error.what());
    } catch (...) {
        ProcessStop::passOn();
        fatal("Uncaught exception in a task job");
    }
}

class MainExecutor final : public Executor {
public:
    void enqueue(Job job, TaskPriority, CallSite site) override {
        RunLoop::main().async([job = std::move(job)] { runJob(job); }, site.file, site.line);
    }
    bool isMain() const override { return true; }
};

// A few threads taking jobs by priority, then in submission order. The threads are the
// process's: each job runs through the call-in, so once the process has ended a running job's
// asks are refused (it stops at its next call that would wait on the process) and no job
// queued or submitted afterwards runs. Destroying the pool runs what is still queued (nothing,
// after an end), then joins the threads.
class TaskThreadPool {
public:
    TaskThreadPool() {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
        for (unsigned i = 0; i < count; ++i) {
            threads_.emplace_back([this] { work(); });
        }
    }
    TaskThreadPool(const TaskThreadPool&) = delete;
    TaskThreadPool& operator=(const TaskThreadPool&) = delete;
    ~TaskThreadPool() {
        {
            MutexLock lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& thread : threads_) {
            thread.join();
        }
    }

    std::vector<CallSite> queued() const {
        std::vector<Entry> entries;
        {
            MutexLock lock(mutex_);
            // A priority queue shows only its top: read its container through a subclass.
            struct Exposed : std::priority_queue<Entry> {
                static const std::vector<Entry>& of(const std::priority_queue<Entry>& queue) {
                    return queue.*&Exposed::c;
                }
            };
            for (const Entry& entry : Exposed::of(jobs_)) {
                entries.push_back(Entry{entry.priority, entry.sequence, nullptr, entry.site});
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return b < a; });
        std::vector<CallSite> sites;
        sites.reserve(entries.size());
        for (const Entry& entry : entries) {
            sites.push_back(entry.site);
        }
        return sites;
    }

    void submit(Executor::Job job, TaskPriority priority, CallSite site) {
        {
            MutexLock lock(mutex_);
            jobs_.push(Entry{static_cast<int>(priority), next_++, std::move(job), site});
        }
        wake_.notify_one();
    }

private:
    struct Entry {
        int priority;
        std::uint64_t sequence;
        Executor::Job job;
        CallSite site;
        // The queue's top is the greatest: highest priority, then earliest.
        bool operator<(const Entry& other) const {
            return priority != other.priority ? priority < other.priority
                                              : sequence > other.sequence;
        }
    };

    void work() {
        for (;;) {
            Executor::Job job;
            {
                MutexLock lock(mutex_);
                while (!(stopping_ || !jobs_.empty())) {
                    lock.wait(wake_);
                }
                if (jobs_.empty()) {
                    return;
                }
                job = std::move(const_cast<Entry&>(jobs_.top()).job);
                jobs_.pop();
            }
            ProcessTeardown::callIn([&job] { runJob(job); });
            // What the job held (its task's frames) goes as the process's objects go.
            const ProcessTeardown::Destruction going;
            job = nullptr;
        }
    }

    mutable Mutex mutex_;
    std::condition_variable_any wake_;
    std::priority_queue<Entry> jobs_ GUARDED_BY(mutex_);
    std::uint64_t next_ GUARDED_BY(mutex_) = 0;
    bool stopping_ GUARDED_BY(mutex_) = false;
    std::vector<std::thread> threads_ GUARDED_BY(mutex_);
};

ProcessLocal<TaskThreadPool>& threadPoolLocal() {
    static auto* const instance = new ProcessLocal<TaskThreadPool>;
    return *instance;
}

TaskThreadPool& threadPool() {
    return threadPoolLocal().get();
}

std::atomic<GlobalExecutorMode> mode{GlobalExecutorMode::threadPool};

class GlobalExecutor final : public Executor {
public:
    void enqueue(Job job, TaskPriority priority, CallSite site) override {
        if (mode.load(std::memory_order_acquire) == GlobalExecutorMode::mainRunLoop) {
            // Stands in for the pool's threads: no main-queue block it waits behind.
            RunLoop::main().performBlock([job = std::move(job)] { runJob(job); }, site.file,
                                         site.line);
        } else {
            threadPool().submit(std::move(job), priority, site);
        }
    }
    bool isMain() const override { return false; }
};

} // namespace

Executor& Executor::main() {
    static auto* const instance = new MainExecutor;
    return *instance;
}

Executor& Executor::global() {
    static auto* const instance = new GlobalExecutor;
    return *instance;
}

void setGlobalExecutorMode(GlobalExecutorMode newMode) {
    mode.store(newMode, std::memory_order_release);
}

GlobalExecutorMode globalExecutorMode() {
    return mode.load(std::memory_order_acquire);
}

std::vector<CallSite> queuedGlobalJobs() {
    // Listing must not start the pool's threads when no job ever went there.
    if (!threadPoolLocal().exists()) {
        return {};
    }
    return threadPool().queued();
}

} // namespace zestrel::platform
