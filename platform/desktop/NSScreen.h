#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// Posted on the default centre, with no object, after the screens were changed: added,
// removed, moved or resized.
inline constexpr const char* NSApplicationDidChangeScreenParametersNotification =
    "NSApplicationDidChangeScreenParametersNotification";

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
    // The name the system shows for the display ("Display 2" unless set).
    const std::string& localizedName() const { return localizedName_; }
    void setLocalizedName(std::string name) { localizedName_ = std::move(name); }
    // Whether the display is the machine's own panel rather than one plugged in.
    bool isBuiltin() const { return isBuiltin_; }
    void setBuiltin(bool builtin) { isBuiltin_ = builtin; }

    // The screens of the machine, the one with the menu bar first: unless a test set others,
    // one built-in 1920×1080 screen with a 24-point menu bar
    // and the one-point line under it.
    static std::vector<std::shared_ptr<NSScreen>> screens();
    // The first screen; nothing when there is none.
    static std::shared_ptr<NSScreen> main();
    // Replaces the screens until the process state is reset, then posts
    // NSApplicationDidChangeScreenParametersNotification.
    static void setScreens(std::vector<std::shared_ptr<NSScreen>> screens);

private:
    CGRect frame_;
    CGRect visibleFrame_;
    CGFloat backingScaleFactor_;
    std::uint32_t screenNumber_;
    std::optional<CGRect> auxiliaryTopRightArea_;
    std::string localizedName_;
    bool isBuiltin_ = false;
};

} // namespace zestrel::platform
