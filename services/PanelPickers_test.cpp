#include "services/PanelPickers.h"

#include "foundation/QVApp.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
namespace pf = platform;

class PanelPickersTest : public ::testing::Test {
protected:
    pf::URL folder(const std::string& name) {
        fs::create_directories(environment.home() / name);
        return pf::URL::fileURL((environment.home() / name).string(), true);
    }
    pf::URL file(const std::string& name) {
        std::ofstream(environment.home() / name) << name;
        return pf::URL::fileURL((environment.home() / name).string());
    }
    // Runs a panel with the delegate through the answers; answers the panel's record.
    static pf::NSOpenPanel::Record run(const std::shared_ptr<pf::NSOpenSavePanelDelegate>& delegate,
                                       const std::vector<pf::URL>& choices) {
        const auto panel = pf::NSOpenPanel::openPanel();
        panel->canChooseDirectories = true;
        panel->setDelegate(delegate);
        for (const auto& choice : choices) {
            pf::NSOpenPanel::enqueueAnswer(pf::OpenPanelAnswer::choose({choice}));
        }
        panel->runModal();
        return pf::NSOpenPanel::shownPanels().back();
    }

    pf::testing::TestEnvironment environment;
    const std::shared_ptr<pf::NSOpenPanel> panel = pf::NSOpenPanel::openPanel();
};

TEST_F(PanelPickersTest, TheAppPickerGreysOutThisAppWhereverItLies) {
    AppPicker::NSOpenSavePanelDelegateHandler picker;
    const std::string ownBundle = QVApp::name() + ".app";
    EXPECT_EQ(picker.filename, ownBundle);
    EXPECT_FALSE(picker.panelShouldEnableURL(*panel, folder("Applications/" + ownBundle)));
    EXPECT_FALSE(picker.panelShouldEnableURL(*panel, folder("Downloads/" + ownBundle)));
    EXPECT_TRUE(picker.panelShouldEnableURL(*panel, folder("Applications/Other.app")));
    EXPECT_TRUE(picker.panelShouldEnableURL(*panel, folder("Applications")));
    EXPECT_TRUE(picker.panelShouldEnableURL(*panel, folder(QVApp::name())));
}

TEST_F(PanelPickersTest, TheAppPickerAcceptsOnlyApplicationsThatPassTheCallersCheck) {
    const auto picker = std::make_shared<AppPicker::NSOpenSavePanelDelegateHandler>();
    const auto record = run(picker, {file("notes.txt"), folder("Music"), folder("Tools.app")});
    EXPECT_EQ(record.response, pf::NSModalResponseOK);
    ASSERT_EQ(record.attempts.size(), 3u);
    for (const std::size_t refused : {0u, 1u}) {
        ASSERT_TRUE(record.attempts[refused].error);
        const auto error = record.attempts[refused].error->nsError();
        EXPECT_EQ(error->localizedDescription(), "The selected item is not an app.");
        EXPECT_EQ(error->localizedRecoverySuggestion(), "Please select an app.");
    }

    std::vector<pf::URL> checked;
    picker->validate = [&](const pf::URL& url) {
        checked.push_back(url);
        throw pf::NSError::make("Checks", 3);
    };
    const auto refusedByCheck = run(picker, {folder("Tools.app")});
    EXPECT_EQ(refusedByCheck.response, pf::NSModalResponseCancel);
    ASSERT_EQ(refusedByCheck.attempts.size(), 1u);
    EXPECT_EQ(refusedByCheck.attempts[0].error->code(), 3);
    EXPECT_EQ(checked, std::vector<pf::URL>{folder("Tools.app")});

    // An item that cannot be read is refused with the read's own error.
    std::optional<pf::Error> error;
    EXPECT_FALSE(
        picker->panelValidateURL(*panel, pf::URL::fileURL("/no/such/Thing.app", true), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 260);
    EXPECT_EQ(checked.size(), 1u);
}

TEST_F(PanelPickersTest, TheDirectoryPickerEnablesWhatTheTestLetsThrough) {
    DirectoryPicker::NSOpenSavePanelDelegateHandler open;
    EXPECT_TRUE(open.panelShouldEnableURL(*panel, folder("Anything")));

    const auto picker = std::make_shared<DirectoryPicker::NSOpenSavePanelDelegateHandler>(
        [](const pf::URL& url) { return url.lastPathComponent() != "Private"; });
    const auto record = run(picker, {folder("Private"), folder("Public")});
    EXPECT_EQ(record.response, pf::NSModalResponseOK);
    ASSERT_EQ(record.attempts.size(), 2u);
    EXPECT_EQ(record.attempts[0].disabledURL, folder("Private"));
}

} // namespace
} // namespace zestrel
