#include "platform/desktop/FileViewer.h"

#include "platform/desktop/NSRunningApplication.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

class FileViewerTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
};

TEST_F(FileViewerTest, TheFinderComesForwardWithTheItemSelectedInItsFolder) {
    const fs::path folder = env.makeFolder("Data");
    const fs::path app = folder / "Helper.app";
    fs::create_directories(app / "Contents");
    env.writeFile(folder / "notes.txt", "n");
    env.desktop().launch(kTextEditBundleIdentifier, true);

    activateFileViewerSelectingURLs({URL::fileURL(app.string(), true)});

    const auto finder = env.finder();
    EXPECT_EQ(finder->currentFolder(), folder);
    EXPECT_EQ(finder->selection(), std::vector<fs::path>{app});
    EXPECT_EQ(env.desktop().frontmostApplication()->bundleIdentifier(), kFinderBundleIdentifier);
    // Revealed, not opened: the package's contents stay unlisted and nothing launched.
    EXPECT_EQ(revealedURLs().size(), 1u);
    EXPECT_EQ(env.desktop().logLines().back(), "Finder revealed " + app.string());
}

TEST_F(FileViewerTest, AFinderKeptInAFolderStaysWhereItIsButTheRevealIsRecorded) {
    const fs::path inside = env.makeFolder("Inside");
    const fs::path outside = env.makeFolder("Outside");
    env.writeFile(outside / "secret.txt", "s");
    const auto finder = env.finder();
    finder->confine(inside);

    activateFileViewerSelectingURLs({URL::fileURL((outside / "secret.txt").string())});

    EXPECT_EQ(finder->currentFolder(), inside);
    EXPECT_TRUE(finder->selection().empty());
    ASSERT_EQ(revealedURLs().size(), 1u);
    EXPECT_EQ(revealedURLs()[0].lastPathComponent(), "secret.txt");
}

} // namespace
} // namespace zestrel::platform
