#include "foundation/AsyncSemaphore.h"

#include "platform/base/Error.h"

#include <algorithm>

namespace zestrel {

using platform::CancellationError;
using platform::CheckedContinuation;
using platform::CheckedThrowingContinuation;
using platform::Error;
using platform::Task;

AsyncSemaphore::AsyncSemaphore(std::ptrdiff_t value) : value_(value) {
    if (value < 0) {
        platform::fatal("AsyncSemaphore requires a value equal or greater than zero");
    }
}

AsyncSemaphore::~AsyncSemaphore() {
    platform::RecursiveMutexLock lock(lock_);
    if (!suspensions_.empty()) {
        platform::fatal("AsyncSemaphore is deallocated while some task(s) are suspended "
                        "waiting for a signal.");
    }
}

std::ptrdiff_t AsyncSemaphore::value() const {
    platform::RecursiveMutexLock lock(lock_);
    return value_;
}

std::size_t AsyncSemaphore::suspendedCount() const {
    platform::RecursiveMutexLock lock(lock_);
    return suspensions_.size();
}

namespace {

// Ends a hold taken by the awaiting coroutine and handed to the closure of its co_await: the
// analysis sees each function alone, so it cannot know the closure's caller holds `lock`.
void releaseHandedOver(platform::RecursiveMutexLock& lock) NO_THREAD_SAFETY_ANALYSIS {
    lock.unlock();
}

} // namespace

Task<void> AsyncSemaphore::wait() {
    platform::RecursiveMutexLock lock(lock_);
    --value_;
    if (value_ >= 0) {
        co_return;
    }
    // The closure runs inside the co_await, while `lock` still holds lock_, and releases it
    // once the waiter is listed.
    co_await platform::withCheckedContinuation<void>(
        [this, &lock](CheckedContinuation<void> continuation) {
            lock_.assertHeld();
            auto suspension = std::make_shared<Suspension>();
            suspension->state = Suspension::Suspended{continuation};
            suspensions_.insert(suspensions_.begin(), std::move(suspension));
            releaseHandedOver(lock);
        });
}

Task<void> AsyncSemaphore::waitUnlessCancelled() {
    platform::RecursiveMutexLock lock(lock_);
    --value_;
    if (value_ >= 0) {
        if (Task<>::isCurrentCancelled()) {
            ++value_; // a cancelled waiter takes nothing
            lock.unlock();
            throw Error::make<CancellationError>();
        }
        co_return;
    }
    auto suspension = std::make_shared<Suspension>();
    auto suspend = [this, &lock, suspension]() -> Task<void> {
        co_await platform::withCheckedThrowingContinuation<void>(
            // Holds lock_ through `lock` on entry, as in wait().
            [this, &lock, &suspension](CheckedThrowingContinuation<void> continuation) {
                lock_.assertHeld();
                if (std::holds_alternative<Suspension::Cancelled>(suspension->state)) {
                    releaseHandedOver(lock);
                    continuation.resumeThrowing(Error::make<CancellationError>());
                    return;
                }
                suspension->state = Suspension::SuspendedUnlessCancelled{continuation};
                suspensions_.insert(suspensions_.begin(), suspension);
                releaseHandedOver(lock);
            });
    };
    auto onCancel = [this, suspension] { cancelWaiter(suspension); };
    // Named, not temporaries: g++ 12 destroys class temporaries of a co_await twice.
    co_await platform::withTaskCancellationHandler(std::move(suspend), std::move(onCancel));
}

// Only a waiter still listed, or one that has not suspended yet, gets its unit back and
// throws. One that `signal()` has already resumed keeps its unit: restoring the count and
// resuming it again would count the unit twice and resume the task twice.
void AsyncSemaphore::cancelWaiter(const std::shared_ptr<Suspension>& suspension) {
    platform::RecursiveMutexLock lock(lock_);
    auto it = std::find(suspensions_.begin(), suspensions_.end(), suspension);
    if (it != suspensions_.end()) {
        suspensions_.erase(it);
        ++value_;
        auto continuation =
            std::get<Suspension::SuspendedUnlessCancelled>(suspension->state).continuation;
        suspension->state = Suspension::Cancelled{};
        lock.unlock();
        continuation.resumeThrowing(Error::make<CancellationError>());
    } else if (std::holds_alternative<Suspension::Pending>(suspension->state)) {
        ++value_;
        suspension->state = Suspension::Cancelled{};
    }
}

bool AsyncSemaphore::signal() {
    platform::RecursiveMutexLock lock(lock_);
    ++value_;
    if (suspensions_.empty()) {
        return false;
    }
    std::shared_ptr<Suspension> oldest = std::move(suspensions_.back());
    suspensions_.pop_back();
    Suspension::State state = std::exchange(oldest->state, Suspension::Resumed{});
    lock.unlock();
    if (auto* waiter = std::get_if<Suspension::SuspendedUnlessCancelled>(&state)) {
        waiter->continuation.resume();
        return true;
    }
    if (auto* waiter = std::get_if<Suspension::Suspended>(&state)) {
        waiter->continuation.resume();
        return true;
    }
    return false;
}

} // namespace zestrel
