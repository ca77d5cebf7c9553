#pragma once

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Mutex.h"

#include <functional>
#include <memory>

namespace zestrel {

// Runs only the last of a burst of actions, `delay` after it was given, on the main queue.
class Debouncer final {
public:
    explicit Debouncer(platform::Nanoseconds delay) : delay_(delay) {}
    Debouncer(const Debouncer&) = delete;
    Debouncer& operator=(const Debouncer&) = delete;

    platform::Nanoseconds delay() const { return delay_; }

    // Cancels the pending action, if any, and schedules `action` in its place.
    void operator()(std::function<void()> action);

private:
    platform::Nanoseconds delay_;
    platform::Mutex mutex_;
    std::shared_ptr<platform::DispatchWorkItem> workItem_ GUARDED_BY(mutex_);
};

} // namespace zestrel
