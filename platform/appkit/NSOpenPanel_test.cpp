#include "platform/appkit/NSOpenPanel.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

// Greys out names starting with "x" and refuses names starting with "bad".
class Picky final : public NSOpenSavePanelDelegate {
public:
    bool panelShouldEnableURL(const NSOpenPanel&, const URL& url) override {
        return url.lastPathComponent().rfind('x', 0) != 0;
    }
    bool panelValidateURL(const NSOpenPanel&, const URL& url,
                          std::optional<Error>* error) override {
        validated.push_back(url.lastPathComponent());
        if (url.lastPathComponent().rfind("bad", 0) == 0) {
            if (error != nullptr) {
                *error = NSError::make("Picky", 7);
            }
            return false;
        }
        return true;
    }
    std::vector<std::string> validated;
};

class NSOpenPanelTest : public ::testing::Test {
protected:
    URL file(const std::string& name) {
        std::ofstream(environment.home() / name) << name;
        return URL::fileURL((environment.home() / name).string());
    }
    URL folder(const std::string& name) {
        fs::create_directories(environment.home() / name);
        return URL::fileURL((environment.home() / name).string(), true);
    }

    testing::TestEnvironment environment;
};

TEST_F(NSOpenPanelTest, RefusedTriesAreRecordedAndTheNextAnswerIsTried) {
    const auto picky = std::make_shared<Picky>();
    const auto panel = NSOpenPanel::openPanel();
    panel->message = "Choose a file";
    panel->setDelegate(picky);
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({file("x-ray.txt")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({folder("Music")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({file("bad.txt")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({file("good.txt")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::cancel());

    EXPECT_EQ(panel->runModal(), NSModalResponseOK);
    EXPECT_EQ(panel->url(), file("good.txt"));
    EXPECT_EQ(NSOpenPanel::pendingAnswers(), 1u);
    // Greyed-out items and folders the panel does not choose never reach validation.
    EXPECT_EQ(picky->validated, (std::vector<std::string>{"bad.txt", "good.txt"}));

    const auto records = NSOpenPanel::shownPanels();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "Choose a file");
    ASSERT_EQ(records[0].attempts.size(), 4u);
    EXPECT_EQ(records[0].attempts[0].disabledURL, file("x-ray.txt"));
    EXPECT_EQ(records[0].attempts[1].disabledURL, folder("Music"));
    ASSERT_TRUE(records[0].attempts[2].error);
    EXPECT_EQ(records[0].attempts[2].error->code(), 7);
    EXPECT_FALSE(records[0].attempts[3].refused());
    EXPECT_EQ(records[0].response, NSModalResponseOK);

    EXPECT_EQ(panel->runModal(), NSModalResponseCancel);
    EXPECT_TRUE(panel->URLs().empty());
}

TEST_F(NSOpenPanelTest, WithoutAnswersOrDelegateThePanelIsCancelledOrTakesTheChoice) {
    const auto panel = NSOpenPanel::openPanel();
    EXPECT_EQ(panel->runModal(), NSModalResponseCancel);
    EXPECT_EQ(panel->url(), std::nullopt);

    panel->canChooseDirectories = true;
    panel->canChooseFiles = false;
    {
        // A delegate that went away is not asked.
        auto gone = std::make_shared<Picky>();
        panel->setDelegate(gone);
    }
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({folder("Pictures"), folder("x")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({folder("Tools.app")}));
    NSOpenPanel::enqueueAnswer(OpenPanelAnswer::choose({folder("xylophone")}));
    EXPECT_EQ(panel->runModal(), NSModalResponseOK);
    EXPECT_EQ(panel->URLs(), std::vector<URL>{folder("xylophone")});
    const auto attempts = NSOpenPanel::shownPanels().back().attempts;
    ASSERT_EQ(attempts.size(), 3u);
    EXPECT_EQ(attempts[0].disabledURL, folder("x"));         // one item only
    EXPECT_EQ(attempts[1].disabledURL, folder("Tools.app")); // an app is a file
}

} // namespace
} // namespace zestrel::platform
