#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <limits>

namespace zestrel {

namespace detail {
template <std::floating_point T> bool isAlmostEqualFinite(T a, T b, T tolerance) {
    const T scale = std::max({std::abs(a), std::abs(b), std::numeric_limits<T>::min()});
    return std::abs(a - b) < scale * tolerance;
}

// At least one of the two is not finite.
template <std::floating_point T> bool isAlmostEqualRescaled(T a, T b, T tolerance) {
    if (std::isnan(a) || std::isnan(b)) {
        return false;
    }
    if (std::isfinite(a)) {
        return isAlmostEqualRescaled(b, a, tolerance);
    }
    if (std::isinf(b)) {
        return a == b;
    }
    // Infinity stands in as the power of two of the greatest finite exponent, and both
    // sides are halved, so the largest finite values still count as close to it.
    const T infinityStandIn =
        std::copysign(std::ldexp(T(1), std::numeric_limits<T>::max_exponent - 1), a);
    return isAlmostEqualFinite(infinityStandIn, std::ldexp(b, -1), tolerance);
}
} // namespace detail

// True when the two differ by less than `tolerance` relative to the larger magnitude (at
// least the least normal one). Infinities are close to equal infinities and to the largest
// finite values of their sign; NaN is close to nothing.
template <std::floating_point T> bool isAlmostEqual(T value, T other, T tolerance) {
    if (std::isfinite(value) && std::isfinite(other)) {
        return detail::isAlmostEqualFinite(value, other, tolerance);
    }
    return detail::isAlmostEqualRescaled(value, other, tolerance);
}

template <std::floating_point T> bool isAlmostZero(T value, T absoluteTolerance) {
    return std::abs(value) < absoluteTolerance;
}

} // namespace zestrel
