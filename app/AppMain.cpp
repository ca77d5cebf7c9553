#include "app/AppMain.h"

#include "app/AppLinks.h"
#include "app/Buttons.h"
#include "app/DebugWindowController.h"
#include "app/SettingsScreen.h"
#include "foundation/QVApp.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "ui/SwiftUIWindowAccess.h"
#include "ui/TextControls.h"

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;

bool AppDelegate::applicationShouldHandleReopen(pf::NSApplication&, bool) {
    AppState::shared()->revealMenuBarIconTemporarily();
    return false;
}

AppMain::AppMain() : kit_(QVKit::shared()), appState_(AppState::shared()) {}

std::vector<ui::Scene> AppMain::body() const {
    // Read through the registrar, so the item comes and goes with it.
    const bool visible = appState_->isMenuBarItemVisible();
    return {ui::MenuBarExtra{QVApp::name(), "command", ui::Binding<bool>::constant(visible),
                             menuBarMenu()},
            ui::Settings{SettingsScreen{}}};
}

ui::View AppMain::menuBarMenu() {
    return ui::Group({Buttons::About{}, ui::Divider(), SettingsButton(), ui::Divider(),
                      Buttons::SendFeedback{"Send Feedback…"}, ui::Divider(),
                      Buttons::AppFAQ{std::nullopt}, Buttons::AppWebsite{}, ui::Divider(),
                      Buttons::RateApp{}, Buttons::ShareApp{}, Buttons::MoreApps{}, ui::Divider(),
                      Buttons::Debug{}, ui::Menu("More", {moreMenu()}), ui::Divider(),
                      Buttons::Quit{true}});
}

ui::View AppMain::moreMenu() {
    return ui::Group({ui::Link("The App Does Not Work", AppLinks::troubleshootingPage()),
                      ui::Divider(),
                      ui::Button("Copy Debug Info", [] { copyDebugInfoToPasteboard(); })});
}

void launchApp() {
    installEditShortcuts();
    ui::launchApp([] { return std::make_shared<AppMain>(); });
}

int appMain() {
    launchApp();
    pf::NSApp().run();
    return 0;
}

} // namespace zestrel
