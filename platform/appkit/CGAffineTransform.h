#pragma once

#include "platform/base/Geometry.h"

namespace zestrel::platform {

// An affine map of points: x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static constexpr CGAffineTransform identity() { return {}; }
    static constexpr CGAffineTransform translation(CGFloat dx, CGFloat dy) {
        return {1, 0, 0, 1, dx, dy};
    }
    static constexpr CGAffineTransform scale(CGFloat sx, CGFloat sy) {
        return {sx, 0, 0, sy, 0, 0};
    }
    constexpr CGPoint apply(CGPoint p) const {
        return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
    }
    // This map after `first`: `first` applies, then this one.
    constexpr CGAffineTransform after(const CGAffineTransform& first) const {
        return {a * first.a + c * first.b,        b * first.a + d * first.b,
                a * first.c + c * first.d,        b * first.c + d * first.d,
                a * first.tx + c * first.ty + tx, b * first.tx + d * first.ty + ty};
    }
    // The map back; the map itself when it cannot be undone (it flattens the plane).
    constexpr CGAffineTransform inverted() const {
        const CGFloat det = a * d - b * c;
        if (det == 0) {
            return *this;
        }
        return {
            d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }
    bool operator==(const CGAffineTransform&) const = default;
};

} // namespace zestrel::platform
