#pragma once

#include "platform/base/CallSite.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/concurrency/Executor.h"

#include <atomic>
#include <condition_variable>
#include <coroutine>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace zestrel::platform {

template <class T = void> class Task;

namespace detail {

// What a result is kept as: a void result as an empty value.
template <class T> using Stored = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

class TaskContext;

// One started task: owns the frame of its outermost coroutine and runs its jobs. Whoever
// may resume the task (a queued job, a continuation, a timer, a waiting stream) holds it;
// when the last of them lets go, the task can never go on, and its frame is destroyed.
class TaskRun : public std::enable_shared_from_this<TaskRun> {
public:
    // `site` is where the task was started: every job of the task is posted with it.
    explicit TaskRun(std::shared_ptr<TaskContext> context, CallSite site = {});
    ~TaskRun();
    TaskRun(const TaskRun&) = delete;
    TaskRun& operator=(const TaskRun&) = delete;

    const std::shared_ptr<TaskContext>& context() const { return context_; }

    // Takes the outermost frame and enqueues its first job.
    void start(std::coroutine_handle<> root);
    // Enqueues a job that resumes `leaf` on the task's executor, or on `executor`.
    void schedule(std::coroutine_handle<> leaf);
    void scheduleOn(Executor& executor, std::coroutine_handle<> leaf);
    // Destroys the outermost frame (and with it every frame it awaits): when it has
    // returned, and for tasks still suspended when the process state is reset.
    void destroyFrame();

    // The task whose job runs on the calling thread; null outside a task.
    static TaskRun* current();
    // The executor that job runs on.
    static Executor* currentExecutor();

private:
    void resume(Executor& executor, std::coroutine_handle<> leaf);

    std::shared_ptr<TaskContext> context_;
    const CallSite site_;
    Mutex mutex_;
    std::coroutine_handle<> root_ GUARDED_BY(mutex_);
    std::weak_ptr<void> registry_ GUARDED_BY(mutex_);
};

// Resumes one suspended coroutine of a task through the task's executor.
struct Resumer {
    std::shared_ptr<TaskRun> run;
    std::coroutine_handle<> leaf;

    void operator()() const { run->schedule(leaf); }
    // For the calling task; awaiting outside a task stops the process.
    static Resumer forCurrent(std::coroutine_handle<> leaf);
};

// The end of one suspension, reached exactly once by whichever party comes first. The
// suspending side arms it last thing in `await_suspend`; a party that ends it earlier makes
// the arming fail, and the coroutine goes on without suspending. So nothing can resume a
// coroutine while its `await_suspend` still runs.
class OneShot {
public:
    // Ends the suspension; false when it had already ended.
    bool fire() {
        std::optional<Resumer> resumer;
        {
            MutexLock lock(mutex_);
            if (fired_) {
                return false;
            }
            fired_ = true;
            resumer = std::move(resumer_);
        }
        if (resumer) {
            (*resumer)();
        }
        return true;
    }
    // Whether the coroutine stays suspended.
    bool arm(Resumer resumer) {
        MutexLock lock(mutex_);
        if (fired_) {
            return false;
        }
        if (!abandoned_) {
            resumer_ = std::move(resumer);
        }
        return true;
    }
    // Nothing will ever fire it: lets go of the task, which then ends when nothing else
    // holds it.
    void abandon() {
        std::optional<Resumer> dropped;
        MutexLock lock(mutex_);
        if (!fired_) {
            abandoned_ = true;
            dropped = std::move(resumer_);
            resumer_.reset();
        }
    }
    bool hasFired() const {
        MutexLock lock(mutex_);
        return fired_;
    }

private:
    mutable Mutex mutex_;
    bool fired_ GUARDED_BY(mutex_) = false;
    bool abandoned_ GUARDED_BY(mutex_) = false;
    std::optional<Resumer> resumer_ GUARDED_BY(mutex_);
};

// Cancellation, priority, executor and completion of one task (a task handle's state).
class TaskContext {
public:
    using HandlerId = std::uint64_t;

    TaskContext(TaskPriority priority, Executor& executor)
        : priority_(priority), executor_(&executor) {}
    virtual ~TaskContext() = default;
    TaskContext(const TaskContext&) = delete;
    TaskContext& operator=(const TaskContext&) = delete;

    TaskPriority priority() const { return priority_; }
    Executor& executor() const { return *executor_; }

    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Marks the task cancelled and runs its cancellation handlers on the calling thread.
    void cancel();
    // Runs `handler` at once (and returns nothing) when already cancelled.
    std::optional<HandlerId> addCancellationHandler(std::function<void()> handler);
    // After it returns the handler does not run any more: one running on another thread
    // is waited for.
    void removeCancellationHandler(HandlerId id);
    void clearCancellationHandlers();

    bool isFinished() const;
    // Registers a waiter for the end of the task; false (not registered) when it has ended.
    bool awaitCompletion(Resumer resumer);

protected:
    // Called once the result is stored.
    void markFinished();

private:
    const TaskPriority priority_;
    Executor* const executor_;
    std::atomic<bool> cancelled_{false};
    mutable Mutex mutex_;
    std::condition_variable_any handlerDone_;
    std::map<HandlerId, std::function<void()>> handlers_ GUARDED_BY(mutex_);
    HandlerId nextHandler_ GUARDED_BY(mutex_) = 0;
    std::vector<HandlerId> running_ GUARDED_BY(mutex_);
    std::thread::id cancellingThread_ GUARDED_BY(mutex_);
    bool finished_ GUARDED_BY(mutex_) = false;
    std::vector<Resumer> waiters_ GUARDED_BY(mutex_);
};

// A cancellation handler registered for a scope.
class CancellationRegistration {
public:
    CancellationRegistration() = default;
    CancellationRegistration(std::shared_ptr<TaskContext> context, std::function<void()> handler);
    ~CancellationRegistration() { reset(); }
    CancellationRegistration(CancellationRegistration&& other) noexcept
        : context_(std::move(other.context_)), id_(std::exchange(other.id_, std::nullopt)) {}
    CancellationRegistration& operator=(CancellationRegistration&& other) noexcept {
        if (this != &other) {
            reset();
            context_ = std::move(other.context_);
            id_ = std::exchange(other.id_, std::nullopt);
        }
        return *this;
    }
    void reset();

private:
    std::shared_ptr<TaskContext> context_;
    std::optional<TaskContext::HandlerId> id_;
};

// The calling task's context; null outside a task.
std::shared_ptr<TaskContext> currentTaskContext();
// The priority a new task inherits: the calling task's; outside a task, user-initiated on
// the main thread and medium elsewhere.
TaskPriority inheritedPriority();

template <class T> class TaskState final : public TaskContext {
public:
    using TaskContext::TaskContext;

    void succeed(Stored<T> value) {
        value_.emplace(std::move(value));
        markFinished();
    }
    void fail(std::exception_ptr error) {
        error_ = std::move(error);
        markFinished();
    }
    // Once finished: the value (a copy, so it can be read again) or the error.
    T result() const {
        if (error_) {
            std::rethrow_exception(error_);
        }
        if constexpr (!std::is_void_v<T>) {
            return *value_;
        }
    }

private:
    std::optional<Stored<T>> value_;
    std::exception_ptr error_;
};

// The coroutine that drives an unstructured task: awaits the operation and destroys its own
// frame when done.
struct RootCoroutine {
    struct promise_type {
        RootCoroutine get_return_object() {
            return RootCoroutine{std::coroutine_handle<promise_type>::from_promise(*this)};
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final {
            bool await_ready() noexcept { return false; }
            void await_suspend(std::coroutine_handle<>) noexcept {
                TaskRun::current()->destroyFrame();
            }
            void await_resume() noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_void() {}
        // The bodies catch every error. A stop goes on out of the job that resumed the task,
        // to where the machine called into the process, and the task ends there unfinished.
        void unhandled_exception() {
            ProcessStop::passOn();
            std::terminate();
        }
    };
    std::coroutine_handle<promise_type> handle;
};

class TaskPromiseBase {
public:
    std::suspend_always initial_suspend() noexcept { return {}; }

    // The awaiting coroutine goes on here unless its `await_suspend` has not returned yet
    // (the operation finished without suspending): then it goes on from there, which keeps
    // the stack flat in long loops of such awaits.
    struct Final {
        bool await_ready() noexcept { return false; }
        template <class Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> handle) noexcept {
            TaskPromiseBase& promise = handle.promise();
            if (promise.handshake_.exchange(true, std::memory_order_acq_rel)) {
                return promise.continuation_;
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    Final final_suspend() noexcept { return {}; }
    // A stop leaves at once, to whatever resumed the coroutine (the awaiting one that started
    // it, or a job); the awaiting coroutine rethrows any other error as it goes on.
    void unhandled_exception() {
        ProcessStop::passOn();
        error_ = std::current_exception();
    }

    // Runs the coroutine inside the awaiting one; whether the awaiting one stays suspended.
    bool startFrom(std::coroutine_handle<> self, std::coroutine_handle<> awaiting) {
        continuation_ = awaiting;
        self.resume();
        return !handshake_.exchange(true, std::memory_order_acq_rel);
    }

protected:
    std::coroutine_handle<> continuation_;
    std::atomic<bool> handshake_{false};
    std::exception_ptr error_;
};

template <class T> class TaskPromise : public TaskPromiseBase {
public:
    Task<T> get_return_object();
    template <class U> void return_value(U&& value) { value_.emplace(std::forward<U>(value)); }
    T take() {
        if (error_) {
            std::rethrow_exception(error_);
        }
        return std::move(*value_);
    }

private:
    std::optional<T> value_;
};

template <> class TaskPromise<void> : public TaskPromiseBase {
public:
    Task<void> get_return_object();
    void return_void() {}
    void take() {
        if (error_) {
            std::rethrow_exception(error_);
        }
    }
};

template <class T, class F>
RootCoroutine runOperation(std::shared_ptr<TaskState<T>> state, F operation) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await operation();
            state->succeed(std::monostate{});
        } else {
            state->succeed(co_await operation());
        }
    } catch (...) {
        ProcessStop::passOn();
        state->fail(std::current_exception());
    }
}

[[noreturn]] void fatalTaskMisuse(const char* message);

// Ends a sleep: by its deadline, or by the task's cancellation.
class SleepAwaiter {
public:
    explicit SleepAwaiter(Nanoseconds deadline) : deadline_(deadline) {}
    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> handle);
    void await_resume();

private:
    struct State;
    Nanoseconds deadline_;
    std::shared_ptr<State> state_;
    CancellationRegistration registration_;
};

// Goes to the back of an executor's queue: the task's own, or another one (an actor hop).
class HopAwaiter {
public:
    explicit HopAwaiter(Executor* target = nullptr) : target_(target) {}
    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> handle);
    void await_resume() const noexcept {}

private:
    Executor* target_;
};

} // namespace detail

// What every `Task` type answers about the calling task (`Task<>::sleep(...)`).
class TaskStatics {
public:
    // Whether the calling task is cancelled; false outside a task.
    static bool isCurrentCancelled();
    // Throws `CancellationError` when the calling task is cancelled.
    static void checkCancellation();
    // The calling task's priority; none outside a task.
    static std::optional<TaskPriority> currentPriority();
    // Suspends for `duration` on the platform clock (the main run loop's deadlines, so the
    // virtual clock drives it in tests). Throws `CancellationError` when the task is or
    // becomes cancelled first, at once.
    static detail::SleepAwaiter sleep(Nanoseconds duration);
    // The same, until the clock's continuous time reaches `deadline`.
    static detail::SleepAwaiter sleepUntil(Nanoseconds deadline);
    // Lets the executor run what is queued before the task goes on.
    static detail::HopAwaiter yield() { return detail::HopAwaiter(); }
};

// An asynchronous operation with a result of type T, and the handle of a started task.
//
// Calling a coroutine that returns a `Task` makes the operation without running it;
// `co_await` runs it inside the awaiting task (same cancellation, same executor), once.
// `run`, `runOnMain` and `detached` start an operation as a task of its own; the `Task` they
// return is a handle that can be copied, cancelled and awaited (`co_await task` or
// `co_await task.value()`, which rethrows the task's error). Dropping every handle leaves
// the task running, and a task dropped by everything that could resume it ends.
//
// g++ 12 destroys a class temporary that is an argument inside a `co_await` expression twice.
// Name such arguments first (a lambda capturing a `shared_ptr` or a string, a string):
//     auto operation = [shared]() -> Task<void> { ... };
//     co_await withTaskCancellationHandler(std::move(operation), onCancel);
// Lambdas capturing only references and pointers are safe as temporaries.
template <class T> class Task : public TaskStatics {
public:
    using Value = T;
    using promise_type = detail::TaskPromise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    explicit Task(Handle frame) : frame_(frame) {}
    explicit Task(std::shared_ptr<detail::TaskState<T>> state) : state_(std::move(state)) {}
    Task(const Task& other) : state_(other.state_) {
        if (other.frame_) {
            detail::fatalTaskMisuse("An operation that has not started cannot be copied.");
        }
    }
    Task(Task&& other) noexcept
        : frame_(std::exchange(other.frame_, nullptr)), state_(std::move(other.state_)) {}
    Task& operator=(Task other) noexcept {
        std::swap(frame_, other.frame_);
        std::swap(state_, other.state_);
        return *this;
    }
    ~Task() {
        if (frame_) {
            frame_.destroy();
        }
    }

    // Starts `operation` (a callable returning a `Task<T>`, kept alive while it runs) as an
    // unstructured task on the global executor, with the given priority or the inherited one.
    // Its jobs are posted with the caller's file and line, for the list of pending work.
    template <class F>
    static Task run(F operation, std::optional<TaskPriority> priority = std::nullopt,
                    const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        return start(std::move(operation), priority.value_or(detail::inheritedPriority()),
                     Executor::global(), CallSite{file, line});
    }
    // The same on the main actor: every job of the task runs on the main run loop.
    template <class F>
    static Task runOnMain(F operation, std::optional<TaskPriority> priority = std::nullopt,
                          const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        return start(std::move(operation), priority.value_or(detail::inheritedPriority()),
                     Executor::main(), CallSite{file, line});
    }
    // A task that inherits nothing: global executor, medium priority unless given.
    template <class F>
    static Task detached(F operation, std::optional<TaskPriority> priority = std::nullopt,
                         const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        return start(std::move(operation), priority.value_or(TaskPriority::medium),
                     Executor::global(), CallSite{file, line});
    }

    bool hasStarted() const { return state_ != nullptr; }
    void cancel() const {
        if (state_) {
            state_->cancel();
        }
    }
    bool isCancelled() const { return state_ && state_->isCancelled(); }
    bool isFinished() const { return state_ && state_->isFinished(); }

    class Awaiter {
    public:
        bool await_ready() const {
            if (frame_) {
                if (frame_.done()) {
                    detail::fatalTaskMisuse("An operation was awaited twice.");
                }
                return false;
            }
            return state_->isFinished();
        }
        bool await_suspend(std::coroutine_handle<> awaiting) {
            if (frame_) {
                return frame_.promise().startFrom(frame_, awaiting);
            }
            return state_->awaitCompletion(detail::Resumer::forCurrent(awaiting));
        }
        T await_resume() {
            if (frame_) {
                return frame_.promise().take();
            }
            return state_->result();
        }

    private:
        friend class Task;
        Awaiter(Handle frame, std::shared_ptr<detail::TaskState<T>> state)
            : frame_(frame), state_(std::move(state)) {}
        Handle frame_;
        std::shared_ptr<detail::TaskState<T>> state_;
    };

    Awaiter operator co_await() const { return value(); }
    Awaiter value() const {
        if (!frame_ && !state_) {
            detail::fatalTaskMisuse("An empty task was awaited.");
        }
        return Awaiter(frame_, state_);
    }

private:
    template <class F>
    static Task start(F operation, TaskPriority priority, Executor& executor, CallSite site) {
        auto state = std::make_shared<detail::TaskState<T>>(priority, executor);
        auto run = std::make_shared<detail::TaskRun>(state, site);
        run->start(detail::runOperation<T>(state, std::move(operation)).handle);
        return Task(std::move(state));
    }

    Handle frame_;
    std::shared_ptr<detail::TaskState<T>> state_;
};

namespace detail {
template <class T> Task<T> TaskPromise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<TaskPromise<T>>::from_promise(*this));
}
inline Task<void> TaskPromise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<TaskPromise<void>>::from_promise(*this));
}

// The result type of an operation: a callable returning a `Task<R>`.
template <class F> using OperationResult = typename std::invoke_result_t<F&>::Value;
} // namespace detail

// Runs `operation` with `onCancel` registered as the calling task's cancellation handler.
// `onCancel` runs at once when the task is already cancelled, and otherwise when it is
// cancelled while the operation runs, on the cancelling thread.
template <class F, class OnCancel>
Task<detail::OperationResult<F>> withTaskCancellationHandler(F operation, OnCancel onCancel) {
    detail::CancellationRegistration registration(detail::currentTaskContext(),
                                                  std::function<void()>(std::move(onCancel)));
    co_return co_await operation();
}

// The main actor: runs a synchronous body on the main thread from any task.
struct MainActor {
    template <class F> static Task<std::invoke_result_t<F&>> run(F body) {
        using R = std::invoke_result_t<F&>;
        Executor* home = &detail::currentTaskContext()->executor();
        co_await detail::HopAwaiter(&Executor::main());
        std::exception_ptr error;
        std::optional<detail::Stored<R>> result;
        try {
            if constexpr (std::is_void_v<R>) {
                body();
                result.emplace();
            } else {
                result.emplace(body());
            }
        } catch (...) {
            ProcessStop::passOn(); // the process ended: no hop back, its code goes no further
            error = std::current_exception();
        }
        co_await detail::HopAwaiter(home);
        if (error) {
            std::rethrow_exception(error);
        }
        if constexpr (!std::is_void_v<R>) {
            co_return std::move(*result);
        }
    }
};

} // namespace zestrel::platform
