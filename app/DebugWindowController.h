#pragma once

#include "platform/base/Geometry.h"
#include "ui/MenuBarAppWindows.h"

namespace zestrel {

// The developer debug window's controller, one at most: its window holds the debug screens
// (`IOSDebug_MainView`) on the dashboard, floats above other windows and is placed a little
// above the middle of its screen. Closing the window ends the controller; the next show
// builds a new one. Main thread only.
class DebugWindowController final : public SingletonWindowController {
public:
    DebugWindowController();
    std::string className() const override { return "DebugWindowController"; }

    // Brings the app forward, then the window, in a main-actor task. The one way in: the
    // Debug command and menu, Share App with Option, the user debug window, a triple click
    // on the share window's code.
    static void show();
};

// Where a window of `window` size goes on a screen whose visible frame has `visible` size:
// centred across, 12% of the height above the middle. The visible frame's own origin is not
// added.
platform::CGPoint debugWindowOrigin(platform::CGSize window, platform::CGSize visible);

// Puts the debug report on the general pasteboard, then the app's bundle identifier under
// the source type. With `currentHostOnly` the pasteboard keeps it from other devices.
void copyDebugInfoToPasteboard(bool currentHostOnly = false);

} // namespace zestrel
