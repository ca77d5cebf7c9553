#include "platform/base/Timer.h"

#include <chrono>
#include <cmath>

namespace zestrel::platform {
namespace {

// The platform's floor for a timer interval: zero or less would fire without end.
constexpr Nanoseconds kMinimumInterval = std::chrono::microseconds(100);

Nanoseconds atLeastMinimum(Nanoseconds interval) {
    return std::max(kMinimumInterval, interval);
}

Nanoseconds toNanoseconds(TimeInterval seconds) {
    if (!(seconds > 0)) {
        return kMinimumInterval;
    }
    const double nanoseconds = std::round(seconds * 1e9);
    constexpr double kLargest = 9.2e18; // about 292 years: beyond it, the same as never
    return atLeastMinimum(Nanoseconds(static_cast<std::int64_t>(std::min(nanoseconds, kLargest))));
}

} // namespace

Timer::Timer(Key, Nanoseconds interval, bool repeats, Block block)
    : interval_(atLeastMinimum(interval)), repeats_(repeats),
      block_(std::make_shared<Block>(std::move(block))), deadline_(clock().uptime() + interval_) {}

std::shared_ptr<Timer> Timer::make(Nanoseconds interval, bool repeats, Block block,
                                   const char* file, int line) {
    auto timer = std::make_shared<Timer>(Key(), interval, repeats, std::move(block));
    timer->site_ = CallSite{file, line};
    return timer;
}

std::shared_ptr<Timer> Timer::make(TimeInterval interval, bool repeats, Block block,
                                   const char* file, int line) {
    return make(toNanoseconds(interval), repeats, std::move(block), file, line);
}

std::shared_ptr<Timer> Timer::scheduledTimer(Nanoseconds interval, bool repeats, Block block,
                                             const char* file, int line) {
    auto timer = make(interval, repeats, std::move(block), file, line);
    RunLoop::current().add(timer, RunLoopMode::defaultMode);
    return timer;
}

std::shared_ptr<Timer> Timer::scheduledTimer(TimeInterval interval, bool repeats, Block block,
                                             const char* file, int line) {
    return scheduledTimer(toNanoseconds(interval), repeats, std::move(block), file, line);
}

void Timer::invalidate() {
    threadChecker_.check();
    if (!valid_) {
        return;
    }
    valid_ = false;
    if (auto loop = loop_.lock()) {
        RunLoop::removeTimer(std::static_pointer_cast<RunLoop::Core>(loop), *this);
    }
    loop_.reset();
    block_.reset(); // a running block holds its own reference
}

Date Timer::fireDate() const {
    const Nanoseconds remaining = deadline_ - clock().uptime();
    return clock().now().addingTimeInterval(std::chrono::duration<double>(remaining).count());
}

TimeInterval Timer::interval() const {
    return repeats_ ? std::chrono::duration<double>(interval_).count() : 0.0;
}

void Timer::fire() {
    threadChecker_.check();
    if (!valid_) {
        return;
    }
    callBlock();
    if (!repeats_) {
        invalidate();
    }
}

void Timer::callBlock() {
    const std::shared_ptr<Block> block = block_;
    if (block && *block) {
        (*block)(*this);
    }
}

} // namespace zestrel::platform
