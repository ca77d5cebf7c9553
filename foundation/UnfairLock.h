#pragma once

#include "platform/base/Mutex.h"

#include <memory>
#include <mutex>

namespace zestrel {

// A non-recursive lock for tiny critical sections. The lock word lives in a heap block of
// its own, so its address never moves while the owner is moved about. Users hold it for a
// scope with UnfairLockGuard (it is BasicLockable too), and mark what it guards with
// GUARDED_BY, which clang checks.
class CAPABILITY("mutex") UnfairLock final {
public:
    UnfairLock();
    ~UnfairLock();
    UnfairLock(const UnfairLock&) = delete;
    UnfairLock& operator=(const UnfairLock&) = delete;

    void lock() ACQUIRE() { _lock->lock(); }
    void unlock() RELEASE() { _lock->unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return _lock->try_lock(); }

    // Tells the analysis the caller holds the lock where it cannot see it (code run under
    // the lock by a caller it does not look into). Checks nothing at run time.
    void assertHeld() const ASSERT_CAPABILITY(this) {}

private:
    std::unique_ptr<std::mutex> _lock;
};

using UnfairLockGuard = platform::BasicLock<UnfairLock>;

} // namespace zestrel
