#pragma once

namespace zestrel::platform {

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    static constexpr CGPoint zero() { return {}; }
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    static constexpr CGSize zero() { return {}; }
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    static constexpr CGRect zero() { return {}; }
    constexpr CGRect() = default;
    constexpr CGRect(CGPoint origin, CGSize size) : origin(origin), size(size) {}
    constexpr CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height)
        : origin{x, y}, size{width, height} {}
    bool operator==(const CGRect&) const = default;
};

inline constexpr CGRect CGRectZero{};

// Exact equality of origin and size.
constexpr bool CGRectEqualToRect(const CGRect& a, const CGRect& b) {
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
           a.size.height == b.size.height;
}

} // namespace zestrel::platform
