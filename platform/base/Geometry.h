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

// Whether the rectangle has no area (a side of zero or less).
constexpr bool CGRectIsEmpty(const CGRect& r) {
    return !(r.size.width > 0 && r.size.height > 0);
}

// Whether the point lies in the rectangle: its minimum edges included, its maximum ones not.
constexpr bool CGRectContainsPoint(const CGRect& r, CGPoint p) {
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
           p.y < r.origin.y + r.size.height;
}

// The part two rectangles share; the zero rectangle when they share no area.
constexpr CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    const CGFloat minX = a.origin.x > b.origin.x ? a.origin.x : b.origin.x;
    const CGFloat minY = a.origin.y > b.origin.y ? a.origin.y : b.origin.y;
    const CGFloat aMaxX = a.origin.x + a.size.width, bMaxX = b.origin.x + b.size.width;
    const CGFloat aMaxY = a.origin.y + a.size.height, bMaxY = b.origin.y + b.size.height;
    const CGFloat maxX = aMaxX < bMaxX ? aMaxX : bMaxX;
    const CGFloat maxY = aMaxY < bMaxY ? aMaxY : bMaxY;
    if (maxX <= minX || maxY <= minY) {
        return CGRect{};
    }
    return CGRect{minX, minY, maxX - minX, maxY - minY};
}

} // namespace zestrel::platform
