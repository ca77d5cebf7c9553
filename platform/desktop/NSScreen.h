#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel::platform {

// A display as the window server describes it. Frames are in global coordinates with the
// origin at the bottom left of the first screen, y growing upward.
class NSScreen final {
public:
    NSScreen(CGRect frame, CGRect visibleFrame, CGFloat backingScaleFactor,
             std::uint32_t screenNumber,
             std::optional<CGRect> auxiliaryTopRightArea = std::nullopt);

    const CGRect& frame() const { return frame_; }
    // The frame less the menu bar and the Dock.
    const CGRect& visibleFrame() const { return visibleFrame_; }
    // The area right of a camera housing, on screens that have one.
    const std::optional<CGRect>& auxiliaryTopRightArea() const { return auxiliaryTopRightArea_; }
    CGFloat backingScaleFactor() const { return backingScaleFactor_; }
    // {"NSScreenNumber": the display's number}.
    Value::Dictionary deviceDescription() const;

    // The screens of the machine, the one with the menu bar first: unless a test set others,
    // one 1920×1080 screen with a 24-point menu bar
    // and the one-point line under it.
    static std::vector<std::shared_ptr<NSScreen>> screens();
    // The first screen; nothing when there is none.
    static std::shared_ptr<NSScreen> main();
    // Replaces the screens until the process state is reset.
    static void setScreens(std::vector<std::shared_ptr<NSScreen>> screens);

private:
    CGRect frame_;
    CGRect visibleFrame_;
    CGFloat backingScaleFactor_;
    std::uint32_t screenNumber_;
    std::optional<CGRect> auxiliaryTopRightArea_;
};

} // namespace zestrel::platform
