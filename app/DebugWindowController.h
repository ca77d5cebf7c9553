#pragma once

#include "ui/MenuBarAppWindows.h"

namespace zestrel {

// The developer debug window's controller, one at most. This build has no developer debug
// screens: the controller has no window, so showing it only brings the app forward.
class DebugWindowController final : public SingletonWindowController {
public:
    DebugWindowController();
    std::string className() const override { return "DebugWindowController"; }

    // Brings the app forward, then the window, when there is one, in a main-actor task.
    static void show();
};

} // namespace zestrel
