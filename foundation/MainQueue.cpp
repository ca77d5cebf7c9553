#include "foundation/MainQueue.h"

#include "platform/base/RunLoop.h"

#include <cmath>
#include <limits>
#include <utility>

namespace zestrel {

namespace {

// The deadline `seconds` from now. A deadline past the end of the clock's range is one that
// never comes; a past one counts as now.
platform::DispatchTime deadlineAfter(double seconds) {
    const platform::DispatchTime now = platform::DispatchTime::now();
    const double remaining = static_cast<double>(
        std::numeric_limits<platform::Nanoseconds::rep>::max() - now.uptime.count());
    const double nanoseconds = seconds * 1e9;
    if (nanoseconds >= remaining) {
        return platform::DispatchTime{platform::Nanoseconds::max()};
    }
    if (nanoseconds <= 0) {
        return now;
    }
    return now + platform::Nanoseconds(std::llround(nanoseconds));
}

} // namespace

void asyncAfter(platform::DispatchQueue queue, Duration delay, std::function<void()> block) {
    queue.asyncAfter(deadlineAfter(delay.timeInterval()), std::move(block));
}

std::shared_ptr<platform::Timer> commonModesTimer(Duration interval, bool repeats,
                                                  platform::Timer::Block block) {
    auto timer = makeTimer(interval, repeats, std::move(block));
    platform::RunLoop::current().add(timer, platform::RunLoopMode::common);
    return timer;
}

std::shared_ptr<platform::Timer> scheduledTimer(Duration interval, bool repeats,
                                                platform::Timer::Block block) {
    return platform::Timer::scheduledTimer(interval.timeInterval(), repeats, std::move(block));
}

} // namespace zestrel
