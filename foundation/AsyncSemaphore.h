#pragma once

#include "platform/base/Mutex.h"
#include "platform/concurrency/Continuation.h"
#include "platform/concurrency/Task.h"

#include <cstddef>
#include <memory>
#include <variant>
#include <vector>

namespace zestrel {

// A counting semaphore for tasks: waiting suspends the task instead of blocking a thread,
// and waiters are resumed in the order they began to wait.
class AsyncSemaphore {
public:
    // A negative count stops the process.
    explicit AsyncSemaphore(std::ptrdiff_t value);
    // Releasing a semaphore that tasks still wait in stops the process.
    ~AsyncSemaphore();
    AsyncSemaphore(const AsyncSemaphore&) = delete;
    AsyncSemaphore& operator=(const AsyncSemaphore&) = delete;

    // Takes one unit, suspending until one is available.
    platform::Task<void> wait();
    // The same, but throws `CancellationError` (and takes nothing) when the task is or
    // becomes cancelled before it has the unit.
    platform::Task<void> waitUnlessCancelled();
    // Gives one unit back, resuming the oldest waiter; whether a waiter was resumed.
    bool signal();

    // The count: negative, the number of suspended tasks.
    std::ptrdiff_t value() const;
    std::size_t suspendedCount() const;

    class Suspension {
    public:
        struct SuspendedUnlessCancelled {
            platform::CheckedThrowingContinuation<void> continuation;
        };
        struct Suspended {
            platform::CheckedContinuation<void> continuation;
        };
        struct Pending {};
        struct Cancelled {};
        // Taken out of the list by `signal()` and resumed: a later cancellation leaves it be.
        struct Resumed {};
        using State =
            std::variant<Pending, SuspendedUnlessCancelled, Suspended, Cancelled, Resumed>;

        State state;
    };

private:
    void cancelWaiter(const std::shared_ptr<Suspension>& suspension);

    std::ptrdiff_t value_ GUARDED_BY(lock_);
    // Newest first; `signal()` takes from the back.
    std::vector<std::shared_ptr<Suspension>> suspensions_ GUARDED_BY(lock_);
    // Recursive: the cancellation handler of an already cancelled task runs on the waiting
    // thread while it holds the lock.
    mutable platform::RecursiveMutex lock_;
};

} // namespace zestrel
