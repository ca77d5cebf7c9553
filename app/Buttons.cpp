#include "app/Buttons.h"

#include "app/AppLinks.h"
#include "app/DebugInfo.h"
#include "app/DebugWindowController.h"
#include "app/QVKit.h"
#include "app/ShareAppScreen.h"
#include "foundation/AlertBuilder.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "foundation/URLUtilities.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Error.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "services/QVAppMetadata.h"
#include "services/QVAppRunOnce.h"
#include "ui/SwiftUIHelpers.h"

#include <memory>
#include <string>

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;
using Flags = pf::NSEvent::ModifierFlags;

namespace {

// A command with a symbol: the menu shows only its title.
ui::View labelledButton(std::string title, std::string systemImage, std::function<void()> action) {
    return ui::Button(ui::Label(std::move(title), std::move(systemImage)), std::move(action))
        .modifier("labelStyle", ".titleOnly");
}

void open(const pf::URL& url) {
    // Nothing is reported when the workspace cannot open it.
    openURL(url);
}

} // namespace

pf::URL feedbackURL(const std::optional<std::string>& message,
                    const std::optional<std::string>& extraInfo) {
    pf::Value::Dictionary items{{"product", pf::Value(QVApp::name())},
                                {"metadata", pf::Value(feedbackMetadata())}};
    if (message) {
        items["messageField"] = pf::Value(*message);
    }
    if (extraInfo) {
        items["extraInfo"] = pf::Value(*extraInfo);
    }
    auto url = addingQueryItems(AppLinks::feedbackPage().absoluteString(), items);
    if (!url) {
        pf::fatal("The feedback page's address does not take query items");
    }
    return *url;
}

std::optional<pf::URL> writeReviewURL(const std::string& appStoreID) {
    return pf::URL::parse("macappstore://" + std::string(QVApp::kAppStoreHost) + "/app/id" +
                          appStoreID + "?action=write-review");
}

void openWriteReviewPage() {
    if (const auto& appStoreID = QVApp::metadata().appStoreID) {
        if (const auto url = writeReviewURL(*appStoreID)) {
            open(*url);
        }
    } else if (const auto url = QVApp::purchaseURL()) {
        open(*url);
    }
}

void showRateAppPrompt() {
    pf::NSApp().yieldActivation(QVApp::id());
    pf::NSApp().activate();
    const auto alert = makeAlert(AlertOptions{
        .title = "Thanks for wanting to rate " + QVApp::name(),
        .message = "If this is about a bug or a feature request, it's recommended to instead "
                   "send feedback directly to the developer. All feedback submissions will "
                   "receive a quick response.",
        .style = pf::NSAlert::Style::warning,
        .buttonTitles = {"Rate App", "Send Feedback to Developer"},
    });
    run(alert, nullptr, Duration::seconds(1), [](pf::NSModalResponse response) {
        if (response == pf::NSAlertFirstButtonReturn) {
            openWriteReviewPage();
        } else if (response == pf::NSAlertSecondButtonReturn) {
            open(feedbackURL(std::nullopt, "From RateOnAppStoreButton"));
        }
    });
}

namespace Buttons {

ui::View About::body(ui::ViewContext&) const {
    return ui::Button("About", [] { action(); });
}

void About::action() {
    forceActivate();
    pf::NSApp().orderFrontStandardAboutPanel();
    // The standard panel is the last untitled panel; above other windows it stays in view.
    const auto windows = pf::NSApp().windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (const auto panel = std::dynamic_pointer_cast<pf::NSPanel>(*it);
            panel && panel->title().empty()) {
            panel->setLevel(pf::NSWindow::Level::modalPanel);
            return;
        }
    }
}

ui::View SendFeedback::body(ui::ViewContext&) const {
    return labelledButton(title, "exclamationmark.bubble",
                          [] { open(feedbackURL(std::nullopt, std::nullopt)); });
}

ui::View AppFAQ::body(ui::ViewContext&) const {
    std::optional<pf::URL> destination = url;
    if (!destination && QVApp::website()) {
        destination = modifyingComponents(*QVApp::website(), [](pf::URLComponents& components) {
            components.setFragment("faq");
        });
    }
    if (!destination) {
        return ui::View();
    }
    return ui::Link("FAQ", *destination).modifier("labelStyle", ".titleOnly");
}

ui::View AppWebsite::body(ui::ViewContext&) const {
    return labelledButton("Website", "safari", [] {
        if (const auto& website = QVApp::website()) {
            open(*website);
        }
    });
}

ui::View RateApp::body(ui::ViewContext&) const {
    if (!QVApp::metadata().appStoreID && !QVApp::gumroadID()) {
        return ui::View();
    }
    return labelledButton("Rate App", "star", [] { action(); });
}

void RateApp::action() {
    if (QVApp::runOnce("rateOnTheAppStorePrompt")) {
        startMainActorTask(std::nullopt, []() -> pf::Task<void> {
            showRateAppPrompt();
            co_return;
        });
    } else {
        openWriteReviewPage();
    }
}

ui::View ShareApp::body(ui::ViewContext&) const {
    return ui::Button("Share App", [] { action(); });
}

void ShareApp::action() {
    const Flags held = launchModifierMask();
    if (held == (Flags::control | Flags::option)) {
        copyDebugInfoToPasteboard(true);
        showModalOnMainQueue(AlertOptions{.title = "Debug info copied to the clipboard"});
    } else if (held == Flags::option) {
        DebugWindowController::show();
    } else {
        startMainActorTask(std::nullopt, []() -> pf::Task<void> {
            ShareAppScreen::showWindow();
            co_return;
        });
    }
}

ui::View MoreApps::body(ui::ViewContext&) const {
    const pf::URL& destination =
        QVApp::metadata().appStoreID ? AppLinks::storeDeveloperPage() : AppLinks::makerAppsPage();
    return ui::Link("More Apps by Me", destination).modifier("labelStyle", ".titleOnly");
}

ui::View Debug::body(ui::ViewContext&) const {
    if (!QVKit::isDebugMode()) {
        return ui::View();
    }
    return labelledButton("Debug", "hammer.fill", [] { DebugWindowController::show(); });
}

ui::View Quit::body(ui::ViewContext&) const {
    return ui::Button(showName ? "Quit " + QVApp::name() : "Quit", [] { pf::NSApp().terminate(); })
        .keyboardShortcut({"q"});
}

} // namespace Buttons

} // namespace zestrel
