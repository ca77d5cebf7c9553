#include "foundation/ApplicationActivation.h"

#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"

namespace zestrel {

void forceActivate() {
    auto& app = platform::NSApp();
    if (app.activationPolicy() != platform::NSApplication::ActivationPolicy::accessory) {
        return;
    }
    app.yieldActivation(QVApp::id());
    app.activate();
}

void showSettingsWindow() {
    forceActivate();
    const auto mainMenu = platform::NSApp().mainMenu();
    const auto applicationItem = mainMenu ? mainMenu->item(0) : nullptr;
    const auto applicationMenu = applicationItem ? applicationItem->submenu() : nullptr;
    if (!applicationMenu) {
        return;
    }
    std::int64_t index = applicationMenu->indexOfItemWithTitle("Settings…");
    if (index < 0) {
        if (applicationMenu->numberOfItems() <= 2) {
            return;
        }
        index = 2;
    }
    applicationMenu->performActionForItem(index);
}

} // namespace zestrel
