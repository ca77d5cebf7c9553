#include "platform/base/ThreadChecker.h"

#include "platform/base/Error.h"
#include "platform/base/MainThread.h"

#include <sstream>

namespace zestrel::platform {

ThreadChecker::ThreadChecker(const char* kind) : ThreadChecker(kind, std::this_thread::get_id()) {}

ThreadChecker::ThreadChecker(const char* kind, std::thread::id owner)
    : kind_(kind), owner_(owner) {}

void ThreadChecker::check() const {
    const std::thread::id current = std::this_thread::get_id();
    std::thread::id owner = owner_.load(std::memory_order_relaxed);
    if (owner == current) {
        return;
    }
    // A detached checker is taken by the first thread to check it.
    if (owner == std::thread::id() &&
        owner_.compare_exchange_strong(owner, current, std::memory_order_relaxed)) {
        return;
    }
    fail(owner);
}

void ThreadChecker::checkMainThread(const char* kind) {
    ThreadChecker(kind, mainThreadID()).check();
}

bool ThreadChecker::isCurrent() const {
    const std::thread::id owner = owner_.load(std::memory_order_relaxed);
    return owner == std::thread::id() || owner == std::this_thread::get_id();
}

void ThreadChecker::fail(std::thread::id owner) const {
    std::ostringstream message;
    message << kind_ << " used on thread " << std::this_thread::get_id()
            << ", but it belongs to thread " << owner << ".";
    fatal(message.str());
}

} // namespace zestrel::platform
