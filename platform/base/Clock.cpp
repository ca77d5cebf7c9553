#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"

#include <atomic>
#include <time.h>

namespace zestrel::platform {

Nanoseconds RealClock::uptime() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + Nanoseconds(ts.tv_nsec);
}

Date RealClock::now() const {
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return Date::fromTimeIntervalSince1970(std::chrono::duration<double>(since1970).count());
}

VirtualClock::VirtualClock(Date start) : date_(start) {}

Nanoseconds VirtualClock::uptime() const {
    MutexLock lock(mutex_);
    return uptime_;
}

Date VirtualClock::now() const {
    MutexLock lock(mutex_);
    return date_;
}

void VirtualClock::advance(Nanoseconds duration) {
    if (duration.count() <= 0) {
        return;
    }
    MutexLock lock(mutex_);
    uptime_ += duration;
    date_ = date_.addingTimeInterval(std::chrono::duration<double>(duration).count());
}

void VirtualClock::setDate(Date date) {
    MutexLock lock(mutex_);
    date_ = date;
}

namespace {

Mutex installMutex;
std::shared_ptr<Clock> installed GUARDED_BY(installMutex);
std::atomic<Clock*> current{nullptr};

RealClock& realClock() {
    static RealClock* const instance = new RealClock;
    return *instance;
}

} // namespace

Clock& clock() {
    Clock* c = current.load(std::memory_order_acquire);
    return c ? *c : realClock();
}

void installClock(std::shared_ptr<Clock> clock) {
    MutexLock lock(installMutex);
    installed = std::move(clock);
    current.store(installed.get(), std::memory_order_release);
}

std::shared_ptr<VirtualClock> virtualClock() {
    MutexLock lock(installMutex);
    return std::dynamic_pointer_cast<VirtualClock>(installed);
}

} // namespace zestrel::platform
