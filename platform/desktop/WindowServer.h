#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

using CGWindowID = std::uint32_t;
using CGWindowListOption = std::uint32_t;
using CGWindowLevel = std::int32_t;

inline constexpr CGWindowID kCGNullWindowID = 0;
inline constexpr CGWindowListOption kCGWindowListOptionAll = 0;
inline constexpr CGWindowListOption kCGWindowListOptionOnScreenOnly = 1;
inline constexpr CGWindowListOption kCGWindowListExcludeDesktopElements = 16;

// Window levels the desktop's windows use.
inline constexpr CGWindowLevel kCGDesktopWindowLevel = -2147483623;
inline constexpr CGWindowLevel kCGDesktopIconWindowLevel = -2147483603;
inline constexpr CGWindowLevel kCGNormalWindowLevel = 0;
inline constexpr CGWindowLevel kCGFloatingWindowLevel = 3;
inline constexpr CGWindowLevel kCGMainMenuWindowLevel = 24;
inline constexpr CGWindowLevel kCGStatusWindowLevel = 25;

// Sharing states under kCGWindowSharingState.
inline constexpr std::uint32_t kCGWindowSharingNone = 0;
inline constexpr std::uint32_t kCGWindowSharingReadOnly = 1;
inline constexpr std::uint32_t kCGWindowSharingReadWrite = 2;

// Keys of a window dictionary. The bounds are a dictionary of "X", "Y", "Width" and
// "Height". kCGWindowIsOnscreen is present, as the number 1, only for a window on screen,
// and kCGWindowName only for a window that has a title.
inline constexpr const char* kCGWindowNumber = "kCGWindowNumber";
inline constexpr const char* kCGWindowName = "kCGWindowName";
inline constexpr const char* kCGWindowOwnerName = "kCGWindowOwnerName";
inline constexpr const char* kCGWindowOwnerPID = "kCGWindowOwnerPID";
inline constexpr const char* kCGWindowBounds = "kCGWindowBounds";
inline constexpr const char* kCGWindowLayer = "kCGWindowLayer";
inline constexpr const char* kCGWindowAlpha = "kCGWindowAlpha";
inline constexpr const char* kCGWindowMemoryUsage = "kCGWindowMemoryUsage";
inline constexpr const char* kCGWindowSharingState = "kCGWindowSharingState";
inline constexpr const char* kCGWindowIsOnscreen = "kCGWindowIsOnscreen";

// One window the window server knows. Bounds are in the window server's global
// coordinates: origin at the top left of the main screen, y growing downwards.
struct ServerWindow {
    CGWindowID number = kCGNullWindowID;
    int ownerPID = -1;
    std::string ownerName;
    std::optional<std::string> name;
    CGRect bounds;
    CGWindowLevel layer = kCGNormalWindowLevel;
    double alpha = 1.0;
    std::uint32_t sharingState = kCGWindowSharingReadOnly;
    bool isOnScreen = true;

    // The desktop picture and the desktop icons.
    bool isDesktopElement() const { return layer <= kCGDesktopIconWindowLevel; }
    // The window dictionary of the window list.
    Value::Dictionary dictionary() const;
};

// The windows of every application, front to back: a higher layer is always in front of
// a lower one; within a layer the window ordered front last is in front. Thread-safe.
class WindowServer {
public:
    WindowServer() = default;
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;

    // Adds the window in front of its layer and answers its new number (the given number
    // is ignored).
    CGWindowID addWindow(ServerWindow window);
    void removeWindow(CGWindowID number);
    void removeWindows(int ownerPID);
    // Moves a window to the front of its layer.
    void orderFront(CGWindowID number);
    // Moves the windows of a process to the front of their layers, keeping their order.
    void orderFrontWindows(int ownerPID);
    // Changes a window in place; its number and owner stay. False when there is none.
    bool updateWindow(CGWindowID number, const std::function<void(ServerWindow&)>& change);

    std::optional<ServerWindow> window(CGWindowID number) const;
    // Front to back.
    std::vector<ServerWindow> windows() const;
    std::vector<ServerWindow> windows(int ownerPID) const;

    // The window list: option 1 keeps the windows on screen, option 16 leaves out the
    // desktop elements; other options are not served (the reference window is ignored).
    Value::Array copyWindowInfo(CGWindowListOption options, CGWindowID relativeToWindow) const;

    // The main screen's frame in window-server coordinates (its origin is the top left of
    // that screen); a zero rectangle when there is no screen. Screens are `NSScreen`'s.
    static CGRect mainScreenFrame();

private:
    void insertInFront(ServerWindow window) REQUIRES(mutex_);

    mutable Mutex mutex_;
    std::vector<ServerWindow> windows_ GUARDED_BY(mutex_); // front to back
    CGWindowID nextNumber_ GUARDED_BY(mutex_) = 101;
};

// The platform's window list of the current desktop: an array of window dictionaries,
// front to back.
Value CGWindowListCopyWindowInfo(CGWindowListOption options, CGWindowID relativeToWindow);

} // namespace zestrel::platform
