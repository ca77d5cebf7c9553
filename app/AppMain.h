#pragma once

#include "app/QVKit.h"
#include "cut_engine/AppState.h"
#include "platform/appkit/NSApplication.h"
#include "platform/swiftui/App.h"

#include <memory>
#include <vector>

namespace zestrel {

// Tells the running app when the user opens it again: the menu-bar icon shows for 5
// seconds (and Settings opens while the user hides it), and the system does nothing more.
class AppDelegate final : public platform::NSApplicationDelegate {
public:
    bool applicationShouldHandleReopen(platform::NSApplication& sender,
                                       bool hasVisibleWindows) override;
};

// The application: the launch-time support object first, then the app controller, then the
// delegate; then its two scenes, the menu-bar item with its menu and the Settings window.
// Holds both shared objects for the life of the process.
class AppMain final : public platform::swiftui::App {
public:
    AppMain();
    std::vector<platform::swiftui::Scene> body() const override;

    // The menu-bar menu and its "More" submenu.
    static platform::swiftui::View menuBarMenu();
    static platform::swiftui::View moreMenu();

private:
    QVKit& kit_;
    std::shared_ptr<AppState> appState_;
    platform::swiftui::NSApplicationDelegateAdaptor<AppDelegate> appDelegate_;
};

// The process's entry into the app: launches it (standard editing keys, `AppMain`, its
// scenes) without running the main run loop, for a host that runs the loop itself, such as
// the simulated desktop's program. Once per process.
void launchApp();
// The app's `main`: launches it, then runs the main run loop until the app terminates.
int appMain();

} // namespace zestrel
