#include "services/Bookmarks.h"

#include "platform/data/URLBookmark.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/CannotRunHere.h"
#include "platform/testing/TestEnvironment.h"
#include "services/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unordered_set>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
namespace pf = platform;
using SecurityScopedBookmarkManager::NSOpenSavePanelDelegateHandler;

class BookmarksTest : public ::testing::Test {
protected:
    pf::URL folder(const std::string& name) {
        fs::create_directories(environment.home() / name);
        return pf::URL::fileURL((environment.home() / name).string(), true);
    }
    static std::shared_ptr<pf::UserDefaults> defaults() { return pf::UserDefaults::standard(); }

    pf::testing::TestEnvironment environment;
};

TEST(HomeRelativeDisplayPathTest, OnlyTheWholeHomeFolderBecomesATilde) {
    EXPECT_EQ(homeRelativeDisplayPath("/Users/bob/Music", "/Users/bob"), "~/Music");
    EXPECT_EQ(homeRelativeDisplayPath("/Users/bob", "/Users/bob"), "~");
    EXPECT_EQ(homeRelativeDisplayPath("/Users/bob/Music", "/Users/bob/"), "~/Music");
    EXPECT_EQ(homeRelativeDisplayPath("/Users/bobby/Music", "/Users/bob"), "/Users/bobby/Music");
    EXPECT_EQ(homeRelativeDisplayPath("/Volumes/Backup", "/Users/bob"), "/Volumes/Backup");
    // A home at the root would turn every path into one under "~".
    EXPECT_EQ(homeRelativeDisplayPath("/Volumes/Backup", "/"), "/Volumes/Backup");
}

TEST_F(BookmarksTest, ABookmarkIsStoredAsItsBytesAndLeadsBackToTheFolder) {
    const pf::URL music = folder("Music");
    const SandboxURLBookmark bookmark{
        pf::bookmarkData(music, pf::NSURLBookmarkCreationWithSecurityScope)};
    EXPECT_EQ(pf::ValueEncoder().encode(bookmark), pf::Value(bookmark.bookmarkData));
    const std::string json =
        pf::JSONEncoder().encodeToString(std::vector<SandboxURLBookmark>{bookmark});
    EXPECT_EQ(json, pf::JSONEncoder().encodeToString(std::vector<pf::Data>{bookmark.bookmarkData}));
    EXPECT_EQ(pf::JSONDecoder().decode<std::vector<SandboxURLBookmark>>(std::string_view(json)),
              std::vector<SandboxURLBookmark>{bookmark});

    const Prefs::Key<std::optional<SandboxURLBookmark>> key("musicFolderBookmark");
    Prefs::set(key, bookmark);
    EXPECT_EQ(defaults()->object("musicFolderBookmark"), pf::Value(bookmark.bookmarkData));
    const auto stored = Prefs::value(key);
    ASSERT_TRUE(stored);
    const auto resolved =
        pf::resolveBookmarkData(stored->bookmarkData, pf::NSURLBookmarkResolutionWithSecurityScope);
    EXPECT_EQ(resolved.url, music);
    EXPECT_TRUE(pf::startAccessingSecurityScopedResource(resolved.url));
    pf::stopAccessingSecurityScopedResource(resolved.url);

    const SandboxURLBookmark copy{bookmark.bookmarkData};
    const SandboxURLBookmark other{pf::bookmarkData(folder("Pictures"))};
    EXPECT_EQ(copy, bookmark);
    EXPECT_NE(other, bookmark);
    EXPECT_EQ(std::hash<SandboxURLBookmark>()(copy), std::hash<SandboxURLBookmark>()(bookmark));
    EXPECT_EQ((std::unordered_set<SandboxURLBookmark>{bookmark, copy, other}).size(), 2u);
}

TEST_F(BookmarksTest, TheManagersPreferenceKeepsBookmarkDataByName) {
    const SecurityScopedBookmarkManager::BookmarksUserDefaults holder("securityScopedBookmarks");
    EXPECT_TRUE(Prefs::value(holder.userDefaultsKey).empty());
    const pf::Data data = pf::bookmarkData(folder("Music"));
    Prefs::set(holder.userDefaultsKey, {{"music", data}});
    EXPECT_EQ(defaults()->object("securityScopedBookmarks"),
              pf::Value(pf::Value::Dictionary{{"music", pf::Value(data)}}));
    EXPECT_EQ(Prefs::value(holder.userDefaultsKey).at("music"), data);
}

TEST_F(BookmarksTest, OnlyTheVeryDirectoryIsAcceptedAndTheRefusalNamesIt) {
    const pf::URL music = folder("Music");
    const auto handler = std::make_shared<NSOpenSavePanelDelegateHandler>(music);
    const auto panel = pf::NSOpenPanel::openPanel();
    panel->canChooseDirectories = true;
    panel->setDelegate(handler);
    pf::NSOpenPanel::enqueueAnswer(pf::OpenPanelAnswer::choose({folder("Music/Albums")}));
    pf::NSOpenPanel::enqueueAnswer(pf::OpenPanelAnswer::choose({music}));
    EXPECT_EQ(panel->runModal(), pf::NSModalResponseOK);
    EXPECT_EQ(panel->url(), music);

    const auto attempts = pf::NSOpenPanel::shownPanels().back().attempts;
    ASSERT_EQ(attempts.size(), 2u);
    ASSERT_TRUE(attempts[0].error);
    const auto refusal = attempts[0].error->nsError();
    EXPECT_EQ(refusal->localizedDescription(), "Incorrect directory.");
    // The test's home is not the real user's, so the path shows in full.
    EXPECT_EQ(refusal->localizedRecoverySuggestion(),
              "Select the directory \u201C" + music.path() + "\u201D.");
    EXPECT_EQ(refusal->code(), 1);

    // The panel may not ask for the error; the answer is the same.
    EXPECT_FALSE(handler->panelValidateURL(*panel, folder("Pictures"), nullptr));
}

TEST_F(BookmarksTest, ADirectoryInTheRealHomeIsShownFromTheTilde) {
    const pf::URL home = realHomeDirectory();
    if (home.path() == "/") {
        pf::testing::cannotRunHere("the real user's home is the root");
        return;
    }
    NSOpenSavePanelDelegateHandler handler(home.appendingPathComponent("Music", true));
    std::optional<pf::Error> error;
    EXPECT_FALSE(handler.panelValidateURL(*pf::NSOpenPanel::openPanel(), home, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->nsError()->localizedRecoverySuggestion(),
              "Select the directory \u201C~/Music\u201D.");
}

TEST(BookmarksDeathTest, AHandlerWithoutItsDirectoryStopsTheProcess) {
    EXPECT_DEATH(NSOpenSavePanelDelegateHandler(),
                 "unimplemented initializer 'init\\(\\)' for class "
                 "'SecurityScopedBookmarkManager.NSOpenSavePanelDelegateHandler'");
}

} // namespace
} // namespace zestrel
