#pragma once

#include "platform/swiftui/View.h"

namespace zestrel {

// The content of the Settings window: launch at login, the menu-bar icon, the cut sound and
// the method of handling Command+X, with a help link under them. Changing the method
// relaunches the app into this window, since the method is chosen at launch.
struct SettingsScreen {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static platform::swiftui::View mainSection();
    static platform::swiftui::View helpFooter();
};

// "Show menu bar icon": turning it off explains in an alert how to get the icon back.
struct ShowMenuBarIconSetting {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// The change handler of the method switch: relaunches into the Settings window, once per
// process.
void relaunchForMethodChange();

} // namespace zestrel
