#include "app/UserDebugWindow.h"

#include "app/Buttons.h"
#include "app/DebugInfo.h"
#include "app/DebugWindowController.h"
#include "app/FeedbackEmail.h"
#include "app/QVKit.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/EmailAddress.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/Bundle.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/FileViewer.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Presentation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "services/Entitlements.h"
#include "services/FileSystem.h"
#include "services/Relaunch.h"
#include "ui/FileExport.h"
#include "ui/Menus.h"
#include "ui/SwiftUIHelpers.h"

#include <filesystem>

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;
namespace fs = std::filesystem;

namespace {

ui::View spacedDivider() {
    return ui::View(ui::Divider()).modifier("padding", ".vertical");
}

// Saving is offered only where the signature lets the user pick where to write.
bool canSaveUserSelectedFiles() {
    return contains(entitlements(*pf::Bundle::main()),
                    Entitlement::securityFilesUserSelectedReadWrite);
}

ui::View debugInfoRow(const ui::State<std::optional<std::string>>& exportableFileItem) {
    std::vector<ui::View> buttons{
        ui::Button("Copy", [] { copyDebugInfoToPasteboard(); }),
        ui::Button("Email", [] { sendDebugInfoToDeveloper(); }),
    };
    if (canSaveUserSelectedFiles()) {
        buttons.emplace_back(
            ui::Button("Save", [exportableFileItem] { exportableFileItem.set(debugInfoText()); }));
    }
    return ui::Section({ui::HStack(std::move(buttons))}, "Debug Info");
}

} // namespace

UserDebugWindowController::UserDebugWindowController()
    : SingletonWindowController(std::make_shared<SwiftUIWindowForMenuBarApp>()) {
    const auto window = this->window();
    window->setContentViewController(std::make_shared<ui::NSHostingController>(UserDebugView{}));
    window->setTitlebarAppearsTransparent(true);
    window->setMovableByWindowBackground(true);
    window->setStyleMask(pf::NSWindow::StyleMask::titled |
                         pf::NSWindow::StyleMask::fullSizeContentView);
    window->setStandardButtonsHidden(true);
    window->setLevel(pf::NSWindow::Level::floating);
    window->center();
    window->setTitle(QVApp::name() + " " + QVApp::version() + " — Debug");
    window->setTitleVisible(true);
}

void UserDebugWindowController::show() {
    SingletonWindowController::show<UserDebugWindowController>();
}

std::string UserDebugView::crashLogInstructions() {
    return "Find the files that start with “" + QVApp::name() +
           "” in the “DiagnosticReports” directory and email them to " +
           EmailAddress::support().rawValue;
}

void UserDebugView::revealDiagnosticReports() {
    fs::path folder = pf::diagnosticReportsDirectory();
    std::error_code error;
    if (const auto resolved = fs::weakly_canonical(folder, error); !error) {
        folder = resolved;
    }
    pf::activateFileViewerSelectingURLs({pf::URL::fileURL(folder.string(), true)});
}

ui::View UserDebugView::body(ui::ViewContext& context) const {
    const auto isConfirmationDialogPresented =
        context.state<bool>("isConfirmationDialogPresented", false);
    const auto isCrashLogInstructionsPresented =
        context.state<bool>("isCrashLogInstructionsPresented", false);
    const auto exportableFileItem =
        context.state<std::optional<std::string>>("exportableFileItem", std::nullopt);

    ui::View form =
        ui::Form(
            {ui::VStack(
                {ui::Button(
                     "Delete Data & Settings",
                     [isConfirmationDialogPresented] { isConfirmationDialogPresented.set(true); },
                     "destructive"),
                 spacedDivider(), debugInfoRow(exportableFileItem), spacedDivider(),
                 ui::Button("Send Crash Log",
                            [isCrashLogInstructionsPresented] {
                                isCrashLogInstructionsPresented.set(true);
                            }),
                 spacedDivider(),
                 ui::Button("Show Debug Screen",
                            [] { SingletonWindowController::show<DebugWindowController>(); }),
                 spacedDivider(),
                 ui::Button("Feedback & Support",
                            [] {
                                openURL(feedbackURL(std::nullopt, std::nullopt));
                                pf::NSApp().terminate();
                            }),
                 spacedDivider(), Buttons::Quit{}})})
            .modifier("controlSize", ".large")
            .modifier("padding")
            .modifier("fixedSize");
    form = fileExporterShowingErrors<std::string>(form, exportableFileItem.binding(),
                                                  {"public.utf8-plain-text"},
                                                  QVApp::name() + " - Debug Info.txt")
               .fileDialogCustomizationID("saveDebugInfo")
               .fileDialogDefaultDirectory(
                   systemDirectory(pf::NSSearchPathDirectory::downloadsDirectory));
    form = ui::confirmationDialog(
        form, "Delete all data and settings for " + QVApp::name() + "?",
        isConfirmationDialogPresented.binding(),
        {ui::Button(
            "Delete",
            [] {
                deleteSettingsAndData();
                startMainActorTask(std::nullopt, [] { return relaunchApp(RelaunchOptions{}); });
            },
            "destructive")});
    return form.alert(
        "How to send crash log", isCrashLogInstructionsPresented.binding(),
        {ui::Button("Reveal “DiagnosticReports” Directory", [] { revealDiagnosticReports(); })},
        crashLogInstructions());
}

void addDebugMenu() {
    if (!QVKit::isDebugMode()) {
        return;
    }
    const auto mainMenu = QVApp::initialMainMenu();
    if (!mainMenu) {
        return;
    }
    auto item = std::make_shared<pf::NSMenuItem>("Debug");
    item->setEnabled(true);
    item->setState(pf::NSControlStateValue::off);
    auto menu = QVMenu::make("Debug");
    menu->addItem(CallbackMenuItem::make("Show", "", true, false, false,
                                         [] { DebugWindowController::show(); }));
    item->setSubmenu(menu);
    mainMenu->addItem(item);
}

} // namespace zestrel
