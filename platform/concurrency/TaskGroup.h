#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/concurrency/Task.h"

#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace zestrel::platform {

namespace detail {

template <class T> struct GroupShared {
    struct Outcome {
        std::optional<Stored<T>> value;
        std::exception_ptr error;
    };

    Mutex mutex;
    std::deque<Outcome> finished GUARDED_BY(mutex);
    std::size_t running GUARDED_BY(mutex) = 0;
    bool cancelled GUARDED_BY(mutex) = false;
    std::vector<std::shared_ptr<TaskContext>> children GUARDED_BY(mutex);
    std::shared_ptr<OneShot> waiting GUARDED_BY(mutex);

    void childFinished(Outcome outcome) {
        std::shared_ptr<OneShot> toFire;
        {
            MutexLock lock(mutex);
            finished.push_back(std::move(outcome));
            --running;
            toFire = std::move(waiting);
        }
        if (toFire) {
            toFire->fire();
        }
    }

    void cancelAll() {
        std::vector<std::shared_ptr<TaskContext>> toCancel;
        {
            MutexLock lock(mutex);
            cancelled = true;
            toCancel = children;
        }
        for (const auto& child : toCancel) {
            child->cancel();
        }
    }
};

template <class T, class F>
RootCoroutine runGroupChild(std::shared_ptr<GroupShared<T>> group, F operation) {
    typename GroupShared<T>::Outcome outcome;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await operation();
            outcome.value.emplace();
        } else {
            outcome.value.emplace(co_await operation());
        }
    } catch (...) {
        ProcessStop::passOn(); // the process ended: its code goes no further
        outcome.error = std::current_exception();
    }
    group->childFinished(std::move(outcome));
}

} // namespace detail

// The children of one scope (`withThrowingTaskGroup`): each runs as a task of its own on the
// global executor; the scope learns their outcomes in the order they finish. Cancelling the
// group, or the task that owns it, cancels every child.
template <class T> class ThrowingTaskGroup {
public:
    ThrowingTaskGroup()
        : shared_(std::make_shared<detail::GroupShared<T>>()),
          registration_(detail::currentTaskContext(), [weak = std::weak_ptr(shared_)] {
              if (auto shared = weak.lock()) {
                  shared->cancelAll();
              }
          }) {}
    ThrowingTaskGroup(const ThrowingTaskGroup&) = delete;
    ThrowingTaskGroup& operator=(const ThrowingTaskGroup&) = delete;

    // Starts `operation` (a callable returning a `Task<T>`) as a child, with the given
    // priority or the inherited one. A child added to a cancelled group starts cancelled.
    template <class F>
    void addTask(F operation, std::optional<TaskPriority> priority = std::nullopt,
                 const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        auto context = std::make_shared<detail::TaskContext>(
            priority.value_or(detail::inheritedPriority()), Executor::global());
        bool cancelled;
        {
            MutexLock lock(shared_->mutex);
            ++shared_->running;
            shared_->children.push_back(context);
            cancelled = shared_->cancelled;
        }
        if (cancelled) {
            context->cancel();
        }
        auto run = std::make_shared<detail::TaskRun>(context, CallSite{file, line});
        run->start(detail::runGroupChild<T>(shared_, std::move(operation)).handle);
    }
    // Adds the child unless the group is cancelled; whether it was added.
    template <class F>
    bool addTaskUnlessCancelled(F operation, std::optional<TaskPriority> priority = std::nullopt,
                                const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        if (isCancelled()) {
            return false;
        }
        addTask(std::move(operation), priority, file, line);
        return true;
    }

    class NextAwaiter {
    public:
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> handle) {
            auto waiting = std::make_shared<detail::OneShot>();
            {
                MutexLock lock(shared_->mutex);
                if (!shared_->finished.empty() || shared_->running == 0) {
                    return false;
                }
                shared_->waiting = waiting;
            }
            return waiting->arm(detail::Resumer::forCurrent(handle));
        }
        // The outcome of the next child to finish (its error is thrown); nothing when no
        // child is left.
        std::optional<detail::Stored<T>> await_resume() {
            typename detail::GroupShared<T>::Outcome outcome;
            {
                MutexLock lock(shared_->mutex);
                if (shared_->finished.empty()) {
                    return std::nullopt;
                }
                outcome = std::move(shared_->finished.front());
                shared_->finished.pop_front();
            }
            if (outcome.error) {
                std::rethrow_exception(outcome.error);
            }
            return std::move(outcome.value);
        }

    private:
        friend class ThrowingTaskGroup;
        explicit NextAwaiter(std::shared_ptr<detail::GroupShared<T>> shared)
            : shared_(std::move(shared)) {}
        std::shared_ptr<detail::GroupShared<T>> shared_;
    };

    NextAwaiter next() { return NextAwaiter(shared_); }
    void cancelAll() { shared_->cancelAll(); }
    bool isCancelled() const {
        MutexLock lock(shared_->mutex);
        return shared_->cancelled || TaskStatics::isCurrentCancelled();
    }
    bool isEmpty() const {
        MutexLock lock(shared_->mutex);
        return shared_->running == 0 && shared_->finished.empty();
    }

private:
    std::shared_ptr<detail::GroupShared<T>> shared_;
    detail::CancellationRegistration registration_;
};

// Runs `body` (a callable taking the group and returning a `Task<R>`) with a new group
// whose children produce T. Leaving the scope awaits every child that is left; when the
// body throws, the children are cancelled first and the error is passed on.
template <class T, class Body>
Task<typename std::invoke_result_t<Body&, ThrowingTaskGroup<T>&>::Value>
withThrowingTaskGroup(Body body) {
    using R = typename std::invoke_result_t<Body&, ThrowingTaskGroup<T>&>::Value;
    ThrowingTaskGroup<T> group;
    std::exception_ptr error;
    std::optional<detail::Stored<R>> result;
    try {
        if constexpr (std::is_void_v<R>) {
            co_await body(group);
            result.emplace();
        } else {
            result.emplace(co_await body(group));
        }
    } catch (...) {
        ProcessStop::passOn();
        error = std::current_exception();
    }
    if (error) {
        group.cancelAll();
    }
    for (bool more = true; more;) {
        try {
            auto outcome = co_await group.next();
            more = outcome.has_value();
        } catch (...) {
            ProcessStop::passOn();
            // The outcomes nobody asked for are dropped.
        }
    }
    if (error) {
        std::rethrow_exception(error);
    }
    if constexpr (!std::is_void_v<R>) {
        co_return std::move(*result);
    }
}

} // namespace zestrel::platform
