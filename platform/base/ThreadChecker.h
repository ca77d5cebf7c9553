#pragma once

#include <atomic>
#include <thread>

namespace zestrel::platform {

// Checks that an object that belongs to one thread is only used there: `check()` stops the
// process with a message naming the object's kind and both threads when called from any
// other. The check is one thread-id compare.
//
// A checker is bound to the thread that constructs it, or to a given thread. An object that
// legitimately changes hands (made on one thread, then handed to a loop that lives on
// another) calls `detach()`; the next `check()` then binds it to the thread it runs on. A
// detached checker accepts `isCurrent()` from any thread.
class ThreadChecker {
public:
    // `kind` names the object in the message ("RunLoop", "Timer"); it must outlive the checker.
    explicit ThreadChecker(const char* kind);
    ThreadChecker(const char* kind, std::thread::id owner);

    // Stops the process when called off the owning thread; binds a detached checker.
    void check() const;
    // Whether the caller is on the owning thread (or the checker is detached).
    bool isCurrent() const;
    std::thread::id owner() const { return owner_.load(std::memory_order_relaxed); }

    // For what is promised to the main thread without an object to hold a checker.
    static void checkMainThread(const char* kind);

    // Lets the object move: the next check() binds to the thread it runs on.
    void detach() { owner_.store(std::thread::id(), std::memory_order_relaxed); }
    // Binds to `owner` now, whatever it was bound to.
    void bind(std::thread::id owner) { owner_.store(owner, std::memory_order_relaxed); }

private:
    [[noreturn]] void fail(std::thread::id owner) const;

    const char* kind_;
    mutable std::atomic<std::thread::id> owner_;
};

} // namespace zestrel::platform
