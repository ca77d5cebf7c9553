#pragma once

#include "platform/base/Geometry.h"

namespace zestrel::platform {

// Distances in from each edge of a rectangle.
struct NSEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    bool operator==(const NSEdgeInsets&) const = default;
};

} // namespace zestrel::platform
