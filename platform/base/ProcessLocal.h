#pragma once

#include "platform/base/Mutex.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace zestrel::platform {

namespace detail {
// Every created process-local registers its reset here, in creation order.
void registerProcessLocalReset(std::function<void()> reset);
// Which process this is: `resetProcess()` starts the next one once the last local is gone.
std::uint64_t processGeneration();
} // namespace detail

// A lazily created process-wide instance: created once on first use (thread-safe) and
// destroyed, in reverse order of creation, by `resetProcess()`. Declare as a function
// static or a namespace-scope object; the instance itself lives on the heap.
template <class T> class ProcessLocal {
public:
    ProcessLocal() : make_([] { return std::make_unique<T>(); }) {}
    explicit ProcessLocal(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}
    ProcessLocal(const ProcessLocal&) = delete;
    ProcessLocal& operator=(const ProcessLocal&) = delete;
    ~ProcessLocal() { delete instance_.load(std::memory_order_acquire); }

    T& get() {
        if (T* existing = instance_.load(std::memory_order_acquire)) {
            return *existing;
        }
        MutexLock lock(mutex_);
        if (T* existing = instance_.load(std::memory_order_relaxed)) {
            return *existing;
        }
        // Created outside the registry's lock, so a constructor may use other locals.
        std::unique_ptr<T> created = make_();
        T* raw = created.release();
        instance_.store(raw, std::memory_order_release);
        lock.unlock();
        detail::registerProcessLocalReset([this] { reset(); });
        return *raw;
    }
    T& operator*() { return get(); }
    T* operator->() { return &get(); }
    bool exists() const { return instance_.load(std::memory_order_acquire) != nullptr; }

    // Destroys the instance now; the next use creates a new one.
    void reset() {
        std::unique_ptr<T> old;
        {
            MutexLock lock(mutex_);
            old.reset(instance_.exchange(nullptr, std::memory_order_acq_rel));
        }
    }

private:
    std::function<std::unique_ptr<T>()> make_;
    std::atomic<T*> instance_{nullptr};
    Mutex mutex_;
};

// Destroys every process-local in reverse order of creation, as if the process ended:
// how tests isolate themselves and how a simulated relaunch starts a fresh process. Called
// only from the machine's code, with none of the process's frames on the stack; it stops
// the program otherwise.
void resetProcess();

} // namespace zestrel::platform
