#pragma once

// Locks that clang's thread-safety analysis understands. A field declared GUARDED_BY(mutex_)
// may only be touched with mutex_ held, and a helper marked REQUIRES(mutex_) may only be
// called with it held; clang with -Wthread-safety checks both at compile time. Under g++ the
// annotations expand to nothing and these are thin wrappers over the standard locks.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>

#if defined(__clang__)
#define ZESTREL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZESTREL_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ZESTREL_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ZESTREL_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ZESTREL_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) ZESTREL_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) ZESTREL_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) ZESTREL_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) ZESTREL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) ZESTREL_THREAD_ANNOTATION(requires_shared_capability(__VA_ARGS__))
#define ACQUIRE(...) ZESTREL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) ZESTREL_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define RELEASE(...) ZESTREL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) ZESTREL_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define RELEASE_GENERIC(...) ZESTREL_THREAD_ANNOTATION(release_generic_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) ZESTREL_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define TRY_ACQUIRE_SHARED(...)                                                                    \
    ZESTREL_THREAD_ANNOTATION(try_acquire_shared_capability(__VA_ARGS__))
#define EXCLUDES(...) ZESTREL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) ZESTREL_THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) ZESTREL_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS ZESTREL_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace zestrel::platform {

// A std::mutex the analysis can follow. Also a BasicLockable, so std::condition_variable_any
// and std::scoped_lock accept it.
class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    // Tells the analysis the caller holds the lock where it cannot see it (a callback run
    // under the lock by code it does not look into). Checks nothing at run time.
    void assertHeld() const ASSERT_CAPABILITY(this) {}

private:
    std::mutex mutex_;
};

// A recursive mutex: the same thread may take it again while holding it.
class CAPABILITY("mutex") RecursiveMutex {
public:
    RecursiveMutex() = default;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }
    void assertHeld() const ASSERT_CAPABILITY(this) {}

private:
    std::recursive_mutex mutex_;
};

// A readers-writer lock: many readers or one writer.
class CAPABILITY("mutex") SharedMutex {
public:
    SharedMutex() = default;
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }
    void lock_shared() ACQUIRE_SHARED() { mutex_.lock_shared(); }
    void unlock_shared() RELEASE_SHARED() { mutex_.unlock_shared(); }
    bool try_lock_shared() TRY_ACQUIRE_SHARED(true) { return mutex_.try_lock_shared(); }

private:
    std::shared_mutex mutex_;
};

// Holds a lock for its scope, like std::unique_lock: it can be released and taken again
// inside the scope, and condition waits go through it.
template <class M> class SCOPED_CAPABILITY BasicLock {
public:
    explicit BasicLock(M& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~BasicLock() RELEASE() {
        if (owns_)
            mutex_.unlock();
    }
    BasicLock(const BasicLock&) = delete;
    BasicLock& operator=(const BasicLock&) = delete;

    void lock() ACQUIRE() {
        mutex_.lock();
        owns_ = true;
    }
    void unlock() RELEASE() {
        owns_ = false;
        mutex_.unlock();
    }
    bool owns_lock() const { return owns_; }

    // Waits on cv, releasing the lock while blocked and holding it again on return; the
    // analysis sees the lock held throughout, which is what the caller's code observes.
    void wait(std::condition_variable_any& cv) { cv.wait(mutex_); }
    template <class Pred> void wait(std::condition_variable_any& cv, Pred pred) {
        cv.wait(mutex_, std::move(pred));
    }
    template <class Rep, class Period>
    std::cv_status waitFor(std::condition_variable_any& cv,
                           const std::chrono::duration<Rep, Period>& timeout) {
        return cv.wait_for(mutex_, timeout);
    }
    template <class Rep, class Period, class Pred>
    bool waitFor(std::condition_variable_any& cv, const std::chrono::duration<Rep, Period>& timeout,
                 Pred pred) {
        return cv.wait_for(mutex_, timeout, std::move(pred));
    }
    template <class Clock, class Duration>
    std::cv_status waitUntil(std::condition_variable_any& cv,
                             const std::chrono::time_point<Clock, Duration>& deadline) {
        return cv.wait_until(mutex_, deadline);
    }
    template <class Clock, class Duration, class Pred>
    bool waitUntil(std::condition_variable_any& cv,
                   const std::chrono::time_point<Clock, Duration>& deadline, Pred pred) {
        return cv.wait_until(mutex_, deadline, std::move(pred));
    }

private:
    M& mutex_;
    bool owns_ = true;
};

using MutexLock = BasicLock<Mutex>;
using RecursiveMutexLock = BasicLock<RecursiveMutex>;

// Holds a SharedMutex exclusively for its scope.
class SCOPED_CAPABILITY WriterLock {
public:
    explicit WriterLock(SharedMutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~WriterLock() RELEASE() { mutex_.unlock(); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    SharedMutex& mutex_;
};

// Holds a SharedMutex shared for its scope.
class SCOPED_CAPABILITY ReaderLock {
public:
    explicit ReaderLock(SharedMutex& mutex) ACQUIRE_SHARED(mutex) : mutex_(mutex) {
        mutex_.lock_shared();
    }
    ~ReaderLock() RELEASE() { mutex_.unlock_shared(); }
    ReaderLock(const ReaderLock&) = delete;
    ReaderLock& operator=(const ReaderLock&) = delete;

private:
    SharedMutex& mutex_;
};

} // namespace zestrel::platform
