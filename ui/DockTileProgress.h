#pragma once

#include "platform/appkit/NSColor.h"
#include "platform/base/Geometry.h"
#include "platform/base/Progress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace zestrel {

// The progress of a long task on the application's Dock tile: the icon redrawn with an
// indicator while the progress is strictly between 0 and 1, the plain icon otherwise. The
// progress is set directly or follows an observed `Progress`. All of it is state of the
// process, used on the main thread; the tile is redrawn only when the change shows.
class DockTileProgress {
public:
    struct Squircle {
        std::optional<double> inset;
        std::shared_ptr<platform::NSColor> color;
    };
    struct Circle {
        double radius = 0;
        std::shared_ptr<platform::NSColor> color;
    };
    struct Badge {
        std::shared_ptr<platform::NSColor> color;
        std::function<std::int64_t()> badgeValue;
    };
    struct Pie {
        std::shared_ptr<platform::NSColor> color;
    };
    struct Custom {
        std::function<void(platform::CGRect)> drawHandler;
    };
    struct Bar {};
    // How the progress is drawn: a ring along a rounded square inside the icon, a ring
    // around its centre, a badge in its corner with a ring and a count, the same badge
    // filled as a pie, the caller's own drawing, or a bar near the bottom.
    using Style = std::variant<Squircle, Circle, Badge, Pie, Custom, Bar>;

    DockTileProgress() = delete;

    static double progress();
    // Redraws when the tile would change: the first value after a drawn 0, a step of more
    // than 0.01 from the value drawn last, a value at or beyond either end, or a move
    // between the plain icon and the indicator. Smaller steps are kept but not drawn.
    static void setProgress(double progress);
    // Held weakly. Its fraction sets the progress while it is neither finished nor
    // cancelled, its finish sets 1 (not when cancelled); none resets the progress.
    static std::shared_ptr<platform::Progress> progressInstance();
    static void setProgressInstance(const std::shared_ptr<platform::Progress>& progress);
    // Changing the style does not redraw; the next drawn progress uses it.
    static const Style& style();
    static void setStyle(Style style);
    // Progress 0 and a redraw, whatever was drawn last.
    static void resetProgress();
};

} // namespace zestrel
