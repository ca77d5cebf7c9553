#pragma once

#include <memory>
#include <mutex>

namespace zestrel {

// A non-recursive lock for tiny critical sections. The lock word lives in a heap block of
// its own, so its address never moves while the owner is moved about. Users lock and
// unlock it around their critical section (it is BasicLockable, so std::lock_guard works).
class UnfairLock final {
public:
    UnfairLock();
    ~UnfairLock();
    UnfairLock(const UnfairLock&) = delete;
    UnfairLock& operator=(const UnfairLock&) = delete;

    void lock() { _lock->lock(); }
    void unlock() { _lock->unlock(); }
    bool try_lock() { return _lock->try_lock(); }

private:
    std::unique_ptr<std::mutex> _lock;
};

} // namespace zestrel
