#include "app/SettingsScreen.h"

#include "app/AppLinks.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "foundation/TaskStarters.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "preferences/PrefsToggle.h"
#include "services/LoginItem.h"
#include "services/QVAppRunOnce.h"
#include "services/Relaunch.h"
#include "services/SystemInfo.h"
#include "ui/SwiftUIWindowAccess.h"

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;

ui::View SettingsScreen::body(ui::ViewContext&) const {
    // Room for a section that shows on the second and third launches; this build has
    // nothing to promote there.
    const ui::View promotion = ShowForAppRuns(ui::View(), 2, "settingsPromotion", 2, false);
    const ui::View form = ui::Form({ui::Section({mainSection()}, "", helpFooter()), promotion})
                              .modifier("formStyle", ".grouped")
                              .modifier("frame", "width: 320")
                              .modifier("fixedSize");
    return windowLevel(form, pf::NSWindow::Level::floating);
}

ui::View SettingsScreen::mainSection() {
    std::vector<ui::View> rows{LoginItemToggle("Launch at login"), ShowMenuBarIconSetting{}};
    // Read when the form is built; the system setting is not followed live.
    if (isSystemUserInterfaceSoundEnabled()) {
        rows.emplace_back(
            Prefs::Toggle("Play sound effect when cutting", AppPreferences::playSoundEffects()));
    }
    rows.emplace_back(Prefs::Toggle(AppPreferences::newMethod(), false, [] {
                          return ui::VStack({ui::Text("Use more reliable way of handling "
                                                      "Command+X"),
                                             ui::Text("Let me know through the feedback button "
                                                      "in the app if you encounter any issues "
                                                      "when this new setting is enabled")
                                                 .modifier("foregroundStyle", ".secondary")});
                      }).onChange([](bool) { relaunchForMethodChange(); }));
    return ui::Group(std::move(rows));
}

ui::View SettingsScreen::helpFooter() {
    return ui::View(ui::Link("Help, the app does not work", AppLinks::troubleshootingPage()))
        .modifier("controlSize", ".small");
}

ui::View ShowMenuBarIconSetting::body(ui::ViewContext& context) const {
    const auto isAlertPresented = context.state<bool>("isAlertPresented", false);
    const ui::View toggle =
        Prefs::Toggle("Show menu bar icon", AppPreferences::hideMenuBarIcon(), true)
            .onChange([isAlertPresented](bool hidden) { isAlertPresented.set(hidden); });
    return toggle.background(ui::View().alert(
        "If you need to access the menu bar icon, launch the app to reveal it for 5 seconds.",
        isAlertPresented.binding()));
}

void relaunchForMethodChange() {
    startMainActorTask(std::nullopt, [] {
        return relaunchApp(RelaunchOptions{.showsSettingsAfterRelaunch = true});
    });
}

} // namespace zestrel
