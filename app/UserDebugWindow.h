#pragma once

#include "platform/swiftui/View.h"
#include "ui/MenuBarAppWindows.h"

#include <string>

// The user debug window: a small floating window, opened by launching the app with
// Shift+Control+Option held, that lets a user whose app misbehaves copy, e-mail or save the
// debug report, learn how to send a crash log, open the developer debug screens, reach the
// feedback page, delete all settings and data, or quit. Main thread only.
namespace zestrel {

// The window's controller, one at most; closing the window ends it, so the next show starts
// with a fresh view.
class UserDebugWindowController final : public SingletonWindowController {
public:
    UserDebugWindowController();
    std::string className() const override { return "UserDebugWindowController"; }

    // Brings the app and the window forward (the same window while it is open).
    static void show();
};

// The window's rows: delete everything, the debug report, the crash log, the debug screens,
// feedback, quit.
struct UserDebugView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // "Find the files that start with “<app>” in the “DiagnosticReports” directory and email
    // them to <support address>".
    static std::string crashLogInstructions();
    // Reveals the machine's crash reports folder in the Finder.
    static void revealDiagnosticReports();
};

// In debug mode (Shift+Control at launch), a "Debug" menu at the end of the main menu whose
// "Show" opens the developer debug window. Nothing otherwise, nor without a main menu. Once,
// after launch.
void addDebugMenu();

} // namespace zestrel
