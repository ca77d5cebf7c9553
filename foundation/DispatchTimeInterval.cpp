#include "foundation/DispatchTimeInterval.h"

#include "platform/base/Error.h"

#include <cstdint>

namespace zestrel {

namespace {

std::int64_t multiplied(std::int64_t count, std::int64_t factor) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(count, factor, &product)) {
        platform::fatal("DispatchTimeInterval too long to count in nanoseconds");
    }
    return product;
}

// The length of every interval but `never`.
std::int64_t lengthInNanoseconds(const DispatchTimeInterval& interval) {
    using Case = DispatchTimeInterval::Case;
    switch (interval.kind()) {
    case Case::seconds:
        return multiplied(interval.count(), 1'000'000'000);
    case Case::milliseconds:
        return multiplied(interval.count(), 1'000'000);
    case Case::microseconds:
        return multiplied(interval.count(), 1'000);
    case Case::nanoseconds:
        return interval.count();
    case Case::never:
        break;
    }
    return 0;
}

bool isNever(const DispatchTimeInterval& interval) {
    return interval.kind() == DispatchTimeInterval::Case::never;
}

} // namespace

bool operator<(const DispatchTimeInterval& a, const DispatchTimeInterval& b) {
    if (isNever(a)) {
        return false;
    }
    return isNever(b) || lengthInNanoseconds(a) < lengthInNanoseconds(b);
}

bool operator<=(const DispatchTimeInterval& a, const DispatchTimeInterval& b) {
    if (isNever(b)) {
        return true;
    }
    return !isNever(a) && lengthInNanoseconds(a) <= lengthInNanoseconds(b);
}

bool operator>(const DispatchTimeInterval& a, const DispatchTimeInterval& b) {
    return b < a;
}

bool operator>=(const DispatchTimeInterval& a, const DispatchTimeInterval& b) {
    return b <= a;
}

} // namespace zestrel
