#include "platform/concurrency/Task.h"
#include "platform/base/Mutex.h"

#include "platform/base/MainThread.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"

#include <algorithm>
#include <unordered_map>

namespace zestrel::platform {
namespace detail {
namespace {

thread_local TaskRun* currentRun = nullptr;
thread_local Executor* currentJobExecutor = nullptr;

class CurrentScope {
public:
    CurrentScope(TaskRun* run, Executor* executor)
        : savedRun_(std::exchange(currentRun, run)),
          savedExecutor_(std::exchange(currentJobExecutor, executor)) {}
    ~CurrentScope() {
        currentRun = savedRun_;
        currentJobExecutor = savedExecutor_;
    }
    CurrentScope(const CurrentScope&) = delete;
    CurrentScope& operator=(const CurrentScope&) = delete;

private:
    TaskRun* savedRun_;
    Executor* savedExecutor_;
};

// Every started task that has not ended, so that resetting the process state ends the
// tasks still suspended (their frames would otherwise keep each other alive for ever).
struct RegistryCore {
    Mutex mutex;
    std::unordered_map<TaskRun*, std::weak_ptr<TaskRun>> runs GUARDED_BY(mutex);
};

class TaskRegistry {
public:
    TaskRegistry() : core_(std::make_shared<RegistryCore>()) {}
    TaskRegistry(const TaskRegistry&) = delete;
    TaskRegistry& operator=(const TaskRegistry&) = delete;
    ~TaskRegistry() {
        for (;;) {
            std::vector<std::shared_ptr<TaskRun>> alive;
            {
                MutexLock lock(core_->mutex);
                for (auto& [run, weak] : core_->runs) {
                    if (auto strong = weak.lock()) {
                        alive.push_back(std::move(strong));
                    }
                }
                core_->runs.clear();
            }
            if (alive.empty()) {
                return;
            }
            for (auto& run : alive) {
                run->destroyFrame();
                run->context()->clearCancellationHandlers();
            }
        }
    }

    std::weak_ptr<void> add(const std::shared_ptr<TaskRun>& run) {
        MutexLock lock(core_->mutex);
        core_->runs.emplace(run.get(), run);
        return core_;
    }

private:
    std::shared_ptr<RegistryCore> core_;
};

TaskRegistry& registry() {
    static auto* const instance = new ProcessLocal<TaskRegistry>;
    return instance->get();
}

} // namespace

TaskRun::TaskRun(std::shared_ptr<TaskContext> context, CallSite site)
    : context_(std::move(context)), site_(site) {}

TaskRun::~TaskRun() {
    destroyFrame();
}

void TaskRun::start(std::coroutine_handle<> root) {
    {
        MutexLock lock(mutex_);
        root_ = root;
    }
    std::weak_ptr<void> registration = registry().add(shared_from_this());
    {
        // A process reset may already be ending the task on another thread.
        MutexLock lock(mutex_);
        registry_ = std::move(registration);
    }
    schedule(root);
}

void TaskRun::schedule(std::coroutine_handle<> leaf) {
    scheduleOn(context_->executor(), leaf);
}

void TaskRun::scheduleOn(Executor& executor, std::coroutine_handle<> leaf) {
    executor.enqueue([self = shared_from_this(), &executor, leaf] { self->resume(executor, leaf); },
                     context_->priority(), site_);
}

void TaskRun::resume(Executor& executor, std::coroutine_handle<> leaf) {
    {
        MutexLock lock(mutex_);
        if (!root_) {
            return; // ended while the job was queued
        }
    }
    CurrentScope scope(this, &executor);
    leaf.resume();
}

void TaskRun::destroyFrame() {
    std::coroutine_handle<> root;
    std::shared_ptr<void> registration;
    {
        MutexLock lock(mutex_);
        root = std::exchange(root_, nullptr);
        registration = registry_.lock();
    }
    if (auto core = std::static_pointer_cast<RegistryCore>(registration)) {
        MutexLock lock(core->mutex);
        core->runs.erase(this);
    }
    if (root) {
        root.destroy();
    }
}

TaskRun* TaskRun::current() {
    return currentRun;
}

Executor* TaskRun::currentExecutor() {
    return currentJobExecutor;
}

Resumer Resumer::forCurrent(std::coroutine_handle<> leaf) {
    TaskRun* run = TaskRun::current();
    if (run == nullptr) {
        fatalTaskMisuse("A task operation was awaited outside a task.");
    }
    return Resumer{run->shared_from_this(), leaf};
}

void TaskContext::cancel() {
    std::map<HandlerId, std::function<void()>> handlers;
    {
        MutexLock lock(mutex_);
        if (cancelled_.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        handlers.swap(handlers_);
        for (const auto& entry : handlers) {
            running_.push_back(entry.first);
        }
        cancellingThread_ = std::this_thread::get_id();
    }
    for (auto& [id, handler] : handlers) {
        handler();
        MutexLock lock(mutex_);
        running_.erase(std::find(running_.begin(), running_.end(), id));
        handlerDone_.notify_all();
    }
}

std::optional<TaskContext::HandlerId>
TaskContext::addCancellationHandler(std::function<void()> handler) {
    {
        MutexLock lock(mutex_);
        if (!isCancelled()) {
            const HandlerId id = nextHandler_++;
            handlers_.emplace(id, std::move(handler));
            return id;
        }
    }
    handler();
    return std::nullopt;
}

void TaskContext::removeCancellationHandler(HandlerId id) {
    std::function<void()> removed; // released outside the lock
    MutexLock lock(mutex_);
    if (auto it = handlers_.find(id); it != handlers_.end()) {
        removed = std::move(it->second);
        handlers_.erase(it);
        return;
    }
    if (cancellingThread_ == std::this_thread::get_id()) {
        return; // removed from inside a handler of the same cancellation
    }
    while (std::find(running_.begin(), running_.end(), id) != running_.end()) {
        lock.wait(handlerDone_);
    }
}

void TaskContext::clearCancellationHandlers() {
    std::map<HandlerId, std::function<void()>> handlers;
    MutexLock lock(mutex_);
    handlers.swap(handlers_);
}

bool TaskContext::isFinished() const {
    MutexLock lock(mutex_);
    return finished_;
}

bool TaskContext::awaitCompletion(Resumer resumer) {
    MutexLock lock(mutex_);
    if (finished_) {
        return false;
    }
    waiters_.push_back(std::move(resumer));
    return true;
}

void TaskContext::markFinished() {
    std::vector<Resumer> waiters;
    {
        MutexLock lock(mutex_);
        finished_ = true;
        waiters.swap(waiters_);
        handlers_.clear();
    }
    for (const auto& waiter : waiters) {
        waiter();
    }
}

CancellationRegistration::CancellationRegistration(std::shared_ptr<TaskContext> context,
                                                   std::function<void()> handler) {
    if (!context) {
        return;
    }
    id_ = context->addCancellationHandler(std::move(handler));
    if (id_) {
        context_ = std::move(context);
    }
}

void CancellationRegistration::reset() {
    if (context_ && id_) {
        context_->removeCancellationHandler(*id_);
    }
    context_.reset();
    id_.reset();
}

std::shared_ptr<TaskContext> currentTaskContext() {
    TaskRun* run = TaskRun::current();
    return run ? run->context() : nullptr;
}

TaskPriority inheritedPriority() {
    if (TaskRun* run = TaskRun::current()) {
        return run->context()->priority();
    }
    return isMainThread() ? TaskPriority::userInitiated : TaskPriority::medium;
}

void fatalTaskMisuse(const char* message) {
    fatal(message);
}

struct SleepAwaiter::State {
    OneShot end;
    std::atomic<bool> cancelled{false};
};

bool SleepAwaiter::await_suspend(std::coroutine_handle<> handle) {
    auto state = std::make_shared<State>();
    state_ = state;
    registration_ = CancellationRegistration(currentTaskContext(), [state] {
        state->cancelled.store(true, std::memory_order_release);
        state->end.fire();
    });
    if (state->end.hasFired()) {
        return false; // cancelled already
    }
    // The clock's, not the main queue's: a task on another executor wakes whatever runs there.
    RunLoop::main().performBlockAt(deadline_, [state] { state->end.fire(); });
    return state->end.arm(Resumer::forCurrent(handle));
}

void SleepAwaiter::await_resume() {
    registration_.reset();
    if (state_->cancelled.load(std::memory_order_acquire)) {
        throw Error::make<CancellationError>();
    }
}

bool HopAwaiter::await_ready() const noexcept {
    return target_ != nullptr && target_ == TaskRun::currentExecutor();
}

void HopAwaiter::await_suspend(std::coroutine_handle<> handle) {
    TaskRun* run = TaskRun::current();
    if (run == nullptr) {
        fatalTaskMisuse("A task operation was awaited outside a task.");
    }
    if (target_ != nullptr) {
        run->scheduleOn(*target_, handle);
    } else {
        run->schedule(handle);
    }
}

} // namespace detail

bool TaskStatics::isCurrentCancelled() {
    auto context = detail::currentTaskContext();
    return context && context->isCancelled();
}

void TaskStatics::checkCancellation() {
    if (isCurrentCancelled()) {
        throw Error::make<CancellationError>();
    }
}

std::optional<TaskPriority> TaskStatics::currentPriority() {
    auto context = detail::currentTaskContext();
    return context ? std::optional(context->priority()) : std::nullopt;
}

detail::SleepAwaiter TaskStatics::sleep(Nanoseconds duration) {
    return detail::SleepAwaiter(clock().uptime() + duration);
}

detail::SleepAwaiter TaskStatics::sleepUntil(Nanoseconds deadline) {
    return detail::SleepAwaiter(deadline);
}

} // namespace zestrel::platform
