#include "app/ShareAppScreen.h"

#include "app/AppLinks.h"
#include "app/DebugWindowController.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "foundation/URLUtilities.h"
#include "platform/appkit/NSApplication.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "services/QVAppMetadata.h"
#include "ui/MenuBarAppWindows.h"
#include "ui/Pasteboard.h"
#include "ui/QRCodeImage.h"
#include "ui/SwiftUIHelpers.h"
#include "ui/SwiftUIWindowAccess.h"

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;

pf::URL ShareAppScreen::shareURL() {
    if (const auto store = QVApp::appStoreURL()) {
        return replacingScheme(*store, "https");
    }
    if (const auto& website = QVApp::website()) {
        return *website;
    }
    return AppLinks::makerAppsPage();
}

ui::View ShareAppScreen::body(ui::ViewContext&) const {
    const pf::URL url = shareURL();
    const ui::View linkRow =
        ui::HStack({CopyButton{"Copy Link", [url] { copyToPasteboard(url); }}, ui::Spacer(),
                    ui::View(ui::ShareLink("Share Link", url))
                        .modifier("preview", "SharePreview(\"" + QVApp::name() +
                                                 "\", icon: applicationIconImage)"),
                    ui::Button("Open Link", [url] { openURL(url); })})
            .modifier("alignment", ".center");
    const ui::View code =
        ui::View(QRCodeView{url.absoluteString(), QRCodeErrorCorrectionLevel::medium})
            .modifier("frame", "maxWidth: 300, maxHeight: 300")
            .modifier("contentShape", "Rectangle()")
            .onTapGesture(3,
                          [] {
                              startMainActorTask(std::nullopt, []() -> pf::Task<void> {
                                  forceActivate();
                                  DebugWindowController::show();
                                  co_return;
                              });
                          })
            .modifier("frame", "maxWidth: .infinity, alignment: .center")
            .modifier("padding");
    ui::View screen =
        ui::NavigationStack(ui::Form({ui::Section({linkRow}), ui::Section({code})})
                                .modifier("tint", ".primary")
                                .modifier("formStyle", ".grouped")
                                .modifier("navigationTitle", "\"Share " + QVApp::name() + "\"")
                                .modifier("navigationBarTitleDisplayMode", ".inline")
                                .modifier("toolbar", "Color.clear.frame(width: 1, height: 1)")
                                .modifier("labelStyle", ".titleOnly")
                                .modifier("frame", "width: 340")
                                .modifier("fixedSize"));
    screen = windowLevel(std::move(screen), pf::NSWindow::Level::floating);
    screen = windowIsMiniaturizable(std::move(screen), false);
    return windowIsRestorable(std::move(screen), false);
}

void ShareAppScreen::showWindow() {
    const auto window = SwiftUIWindow::make<ShareAppScreen>();
    window->setContentViewController(std::make_shared<ui::NSHostingController>(ShareAppScreen{}));
    window->setStyleMask(pf::NSWindow::StyleMask::titled | pf::NSWindow::StyleMask::closable |
                         pf::NSWindow::StyleMask::miniaturizable |
                         pf::NSWindow::StyleMask::fullSizeContentView);
    window->center();
    forceActivate();
    window->setTitle("Share " + QVApp::name());
    window->show(true, false);
}

std::shared_ptr<pf::NSImage> applicationIconImage() {
    if (auto icon = pf::NSApp().applicationIconImage()) {
        return icon;
    }
    return pf::NSImage::withDrawingHandler({1, 1}, false, [](pf::CGRect) { return true; });
}

} // namespace zestrel
