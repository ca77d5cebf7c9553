#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <chrono>
#include <memory>

namespace zestrel::platform {

using Nanoseconds = std::chrono::nanoseconds;

// The one clock of the process: continuous time (sleeps, timers, deadlines) and
// wall time (dates). The app runs on the real clock; tests and scripts install a
// virtual one that moves only when told.
class Clock {
public:
    virtual ~Clock() = default;
    // Continuous time since an arbitrary origin; never goes back.
    virtual Nanoseconds uptime() const = 0;
    // Wall time.
    virtual Date now() const = 0;
    virtual bool isVirtual() const = 0;
};

class RealClock final : public Clock {
public:
    Nanoseconds uptime() const override;
    Date now() const override;
    bool isVirtual() const override { return false; }
};

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(Date start);
    Nanoseconds uptime() const override;
    Date now() const override;
    bool isVirtual() const override { return true; }

    // Moves both continuous and wall time forward. Use `RunLoop::advance` to also fire
    // what falls due on the way.
    void advance(Nanoseconds duration);
    // Sets the wall time alone (continuous time is unaffected), as a user changing the date.
    void setDate(Date date);

private:
    mutable Mutex mutex_;
    Nanoseconds uptime_ GUARDED_BY(mutex_){std::chrono::hours(1)};
    Date date_ GUARDED_BY(mutex_);
};

// The process's clock: a `RealClock` unless another was installed.
Clock& clock();
// Installs a clock for the process (tests, scripts); nullptr restores the real one.
void installClock(std::shared_ptr<Clock> clock);
// The installed clock when it is virtual.
std::shared_ptr<VirtualClock> virtualClock();

inline Date currentDate() {
    return clock().now();
}

} // namespace zestrel::platform
