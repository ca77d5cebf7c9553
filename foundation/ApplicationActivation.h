#pragma once

// Bringing this menu-bar app forward, and opening its Settings window from the main menu.
namespace zestrel {

// `NSApplication.forceActivate()`: only for an accessory app (a menu-bar app is usually not
// active): yields activation to the app's own bundle identifier, then activates it. Does
// nothing under any other activation policy.
void forceActivate();

// `NSApplication.showSettingsWindow()`: activates the app (as forceActivate), then performs,
// through its menu, the application menu's item titled "Settings…", or its third item when
// there is no such item and the menu has more than two. Does nothing without a main menu,
// application menu or suitable item.
void showSettingsWindow();

} // namespace zestrel
