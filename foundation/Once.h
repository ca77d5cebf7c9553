#pragma once

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

#include <any>
#include <functional>
#include <type_traits>
#include <utility>
#include <variant>

namespace zestrel {

// Runs a closure once and keeps its result; later calls answer the kept result, whatever
// closure they pass. The closure runs under the lock, so a concurrent caller waits for the
// first run to finish. The closure must not call `run` on the same object.
class Once final {
public:
    Once() = default;
    Once(const Once&) = delete;
    Once& operator=(const Once&) = delete;

    template <class F> std::invoke_result_t<F&> run(F&& closure) {
        using Result = std::invoke_result_t<F&>;
        platform::MutexLock guard(lock);
        if (!hasRun) {
            // Marked first: a closure that fails cannot be run again, and leaving no value
            // behind would break every later call, so a throw stops the process.
            hasRun = true;
            try {
                if constexpr (std::is_void_v<Result>) {
                    closure();
                    value = std::monostate{};
                    return;
                } else {
                    Result result = closure();
                    value = result;
                    return result;
                }
            } catch (...) {
                platform::ProcessStop::passOn();
                platform::fatal("Once.run: the closure threw; a run-once closure must not fail");
            }
        }
        if constexpr (std::is_void_v<Result>) {
            return;
        } else {
            const Result* kept = std::any_cast<Result>(&value);
            if (kept == nullptr) {
                platform::fatal(
                    "Once.run: the kept result has another type than the one asked for");
            }
            return *kept;
        }
    }

private:
    platform::Mutex lock;
    bool hasRun GUARDED_BY(lock) = false;
    std::any value GUARDED_BY(lock);
};

// A closure that is queued until it is run once, and then gone.
class Once2 final {
public:
    struct Queued {
        std::function<void()> closure;
    };
    struct Executed {};
    using State = std::variant<Queued, Executed>;

    explicit Once2(std::function<void()> closure) : state(Queued{std::move(closure)}) {}
    Once2(const Once2&) = delete;
    Once2& operator=(const Once2&) = delete;

    // Runs the queued closure on the first call; later calls do nothing. A concurrent
    // caller waits until the first run has finished.
    void run() {
        platform::MutexLock guard(lock);
        if (auto* queued = std::get_if<Queued>(&state)) {
            std::function<void()> closure = std::move(queued->closure);
            state = Executed{};
            closure();
        }
    }

    bool isExecuted() const {
        platform::MutexLock guard(lock);
        return std::holds_alternative<Executed>(state);
    }

private:
    mutable platform::Mutex lock;
    State state GUARDED_BY(lock);
};

} // namespace zestrel
