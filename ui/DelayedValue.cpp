#include "ui/DelayedValue.h"

#include "ui/PlatformValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zestrel {

platform::Nanoseconds debounceTime(Duration delay) {
    constexpr double kLargest = 9.2e18; // about 292 years: beyond it, the same as never
    const double nanoseconds = std::round(saturatingTimeInterval(delay) * 1e9);
    if (!(nanoseconds > 0)) {
        return platform::Nanoseconds::zero();
    }
    return platform::Nanoseconds(static_cast<std::int64_t>(std::min(nanoseconds, kLargest)));
}

} // namespace zestrel
