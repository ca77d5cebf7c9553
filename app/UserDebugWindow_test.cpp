#include "app/UserDebugWindow.h"

#include "app/AppMain.h"
#include "app/QVKit.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSSavePanel.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Bundle.h"
#include "platform/data/UserDefaults.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/CodeSigning.h"
#include "platform/desktop/FileViewer.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zestrel {
namespace {

namespace pf = platform;
namespace fs = std::filesystem;
using Flags = pf::NSEvent::ModifierFlags;

class UserDebugWindowTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;

    std::shared_ptr<pf::NSWindow> open() {
        UserDebugWindowController::show();
        env.runUntilIdle();
        for (const auto& window : pf::NSApp().windows()) {
            if (window->isVisible() && window->title().ends_with(" — Debug")) {
                return window;
            }
        }
        return nullptr;
    }
    // The rows a person reads, top to bottom: buttons, dividers and section headers.
    static std::vector<std::string> rows(const pf::OutlineNode& node) {
        std::vector<std::string> found;
        for (const auto& child : node.children) {
            if (child.kind == "button" || child.kind == "section") {
                found.push_back(child.kind == "section" ? "[" + child.label + "]" : child.label);
            } else if (child.kind == "divider") {
                found.emplace_back("—");
            }
            const auto inner = rows(child);
            found.insert(found.end(), inner.begin(), inner.end());
        }
        return found;
    }
    void signWithUserSelectedFiles() {
        env.desktop().setSigningInformation(
            pf::Bundle::main()->bundleURL(),
            {{pf::kSecCodeInfoEntitlementsDict,
              pf::Value(pf::Value::Dictionary{
                  {"com.apple.security.files.user-selected.read-write", pf::Value(true)}})}});
    }
};

TEST_F(UserDebugWindowTest, AFloatingWindowWithTheRowsInOrderAndNoSaveWithoutTheEntitlement) {
    const auto window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), "Zestrel " + QVApp::version() + " — Debug");
    EXPECT_EQ(window->level(), pf::NSWindow::Level::floating);
    EXPECT_EQ(window->styleMask(),
              pf::NSWindow::StyleMask::titled | pf::NSWindow::StyleMask::fullSizeContentView);
    EXPECT_TRUE(window->areStandardButtonsHidden());
    EXPECT_EQ(rows(pf::outline(*window)),
              (std::vector<std::string>{"Delete Data & Settings", "—", "[Debug Info]", "Copy",
                                        "Email", "—", "Send Crash Log", "—", "Show Debug Screen",
                                        "—", "Feedback & Support", "—", "Quit"}));
    // A second show brings the same window forward.
    EXPECT_EQ(open(), window);
    EXPECT_EQ(SingletonWindowController::liveCount(), 1u);
}

TEST_F(UserDebugWindowTest, WithTheEntitlementSaveWritesTheReportWhereTheUserChooses) {
    signWithUserSelectedFiles();
    const auto window = open();
    ASSERT_NE(window, nullptr);
    const fs::path target = env.home() / "report.txt";
    pf::NSSavePanel::enqueueAnswer(pf::SavePanelAnswer::save(pf::URL::fileURL(target.string())));
    ASSERT_TRUE(pf::click(pf::outline(*window), "Save"));
    env.runUntilIdle();
    const auto panels = pf::NSSavePanel::shownPanels();
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_EQ(panels[0].nameFieldStringValue, "Zestrel - Debug Info.txt");
    EXPECT_EQ(panels[0].identifier, "saveDebugInfo");
    ASSERT_TRUE(panels[0].directoryURL);
    EXPECT_EQ(fs::path(panels[0].directoryURL->path()), env.home() / "Downloads");
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target).rfind("# Zestrel ", 0), 0u);
}

TEST_F(UserDebugWindowTest, ASaveThatFailsStaysOnScreenUntilDismissed) {
    signWithUserSelectedFiles();
    const auto window = open();
    ASSERT_NE(window, nullptr);
    // A folder that is not there cannot take the file, whoever runs the app.
    const fs::path target = env.home() / "Gone" / "report.txt";
    pf::NSSavePanel::enqueueAnswer(pf::SavePanelAnswer::save(pf::URL::fileURL(target.string())));
    ASSERT_TRUE(pf::click(pf::outline(*window), "Save"));
    env.runUntilIdle();
    EXPECT_FALSE(fs::exists(target));
    // The error's own texts; it offers no way to recover, so the alert's one button is OK.
    const auto alert = [&window]() -> std::optional<pf::OutlineNode> {
        const auto find = [](const auto& self,
                             const pf::OutlineNode& node) -> std::optional<pf::OutlineNode> {
            if (node.kind == "alert") {
                return node;
            }
            for (const auto& child : node.children) {
                if (auto found = self(self, child)) {
                    return found;
                }
            }
            return std::nullopt;
        };
        return find(find, pf::outline(*window));
    };
    const auto shown = alert();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->label.empty());
    std::vector<std::string> buttons;
    for (const auto& child : shown->children) {
        if (child.kind == "button") {
            buttons.push_back(child.label);
        }
    }
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    env.advance(std::chrono::seconds(5));
    ASSERT_TRUE(alert()) << "it stays until dismissed";
    ASSERT_TRUE(pf::click(*shown, "OK"));
    env.runUntilIdle();
    EXPECT_FALSE(alert());

    // The next save is offered again and succeeds.
    const fs::path kept = env.home() / "report.txt";
    pf::NSSavePanel::enqueueAnswer(pf::SavePanelAnswer::save(pf::URL::fileURL(kept.string())));
    ASSERT_TRUE(pf::click(pf::outline(*window), "Save"));
    env.runUntilIdle();
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_FALSE(alert());
}

TEST_F(UserDebugWindowTest, CancellingTheDeletionKeepsEverythingAndDeleteRelaunches) {
    pf::UserDefaults::standard()->set(pf::Value(false), "playSoundEffects");
    const auto window = open();
    ASSERT_TRUE(pf::click(pf::outline(*window), "Delete Data & Settings"));
    env.runUntilIdle();
    const pf::OutlineNode shown = pf::outline(*window);
    const auto* asked = pf::findNode(shown, "Delete all data and settings for Zestrel?");
    ASSERT_NE(asked, nullptr);
    ASSERT_TRUE(pf::click(*asked, "Cancel"));
    env.runUntilIdle();
    EXPECT_EQ(pf::UserDefaults::standard()->object("playSoundEffects"), pf::Value(false));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(pf::findNode(pf::outline(*window), "Delete all data and settings for Zestrel?"),
              nullptr);
    EXPECT_FALSE(env.desktop().relaunchRequested());

    ASSERT_TRUE(pf::click(pf::outline(*window), "Delete Data & Settings"));
    env.runUntilIdle();
    ASSERT_TRUE(pf::click(pf::outline(*window), "Delete"));
    env.runUntilIdle();
    EXPECT_TRUE(pf::UserDefaults::standard()->object("playSoundEffects").isAbsent());
    EXPECT_TRUE(env.desktop().relaunchRequested());
}

TEST_F(UserDebugWindowTest, TheCrashLogAlertTellsWhatToSendAndRevealsTheReportsFolder) {
    fs::create_directories(pf::diagnosticReportsDirectory()); // a machine that has had a crash
    const auto window = open();
    ASSERT_TRUE(pf::click(pf::outline(*window), "Send Crash Log"));
    env.runUntilIdle();
    const std::string shown = pf::render(pf::outline(*window));
    EXPECT_NE(shown.find("How to send crash log"), std::string::npos) << shown;
    EXPECT_NE(shown.find(UserDebugView::crashLogInstructions()), std::string::npos);
    EXPECT_EQ(UserDebugView::crashLogInstructions().rfind(
                  "Find the files that start with “Zestrel” in the “DiagnosticReports” directory "
                  "and email them to ",
                  0),
              0u);
    ASSERT_TRUE(pf::click(pf::outline(*window), "Reveal “DiagnosticReports” Directory"));
    env.runUntilIdle();
    ASSERT_EQ(pf::revealedURLs().size(), 1u);
    EXPECT_EQ(fs::path(pf::revealedURLs()[0].path()), pf::diagnosticReportsDirectory());
    EXPECT_EQ(pf::findNode(pf::outline(*window), "How to send crash log"), nullptr);
}

TEST_F(UserDebugWindowTest, FeedbackOpensThePageThenQuitsAndCopyPutsTheReportThere) {
    const auto window = open();
    ASSERT_TRUE(pf::click(pf::outline(*window), "Copy"));
    EXPECT_EQ(pf::NSPasteboard::general()
                  ->stringForType(pf::NSPasteboardType::string)
                  .value_or("")
                  .rfind("# Zestrel ", 0),
              0u);
    ASSERT_TRUE(pf::click(pf::outline(*window), "Show Debug Screen"));
    env.runUntilIdle();
    EXPECT_EQ(pf::NSApp().keyWindow()->title(), "Dashboard");
    ASSERT_TRUE(pf::click(pf::outline(*window), "Feedback & Support"));
    env.runUntilIdle();
    ASSERT_EQ(pf::URLOpener::openedURLs().size(), 1u);
    EXPECT_EQ(
        pf::URLOpener::openedURLs()[0].absoluteString().rfind("https://zestrel.app/feedback?", 0),
        0u);
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

TEST_F(UserDebugWindowTest, TheDebugMenuComesOnlyInDebugMode) {
    launchApp();
    env.runUntilIdle();
    const auto mainMenu = QVApp::initialMainMenu();
    ASSERT_NE(mainMenu, nullptr);
    EXPECT_EQ(pf::findNode(pf::outline(*mainMenu), "Debug"), nullptr);
}

TEST_F(UserDebugWindowTest, InDebugModeTheDebugMenuShowsTheDebugScreens) {
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::capsLock);
    launchApp();
    env.runUntilIdle();
    pf::NSEvent::setHeldModifierFlags({});
    ASSERT_TRUE(QVKit::isDebugMode());
    const auto mainMenu = QVApp::initialMainMenu();
    ASSERT_NE(mainMenu, nullptr);
    const auto item = mainMenu->item(mainMenu->numberOfItems() - 1);
    EXPECT_EQ(item->title(), "Debug");
    ASSERT_NE(item->submenu(), nullptr);
    EXPECT_EQ(item->submenu()->title(), "Debug");
    const pf::OutlineNode shown = pf::outline(*mainMenu);
    ASSERT_TRUE(pf::click(shown, "Show"));
    env.runUntilIdle();
    ASSERT_NE(pf::NSApp().keyWindow(), nullptr);
    EXPECT_EQ(pf::NSApp().keyWindow()->title(), "Dashboard");
}

} // namespace
} // namespace zestrel
