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

TEST_F(FileViewerTest, AFinderKeptInAFolderRefusesWhatLiesOutsideAndStaysWhereItWas) {
    const fs::path inside = env.makeFolder("Inside");
    const fs::path outside = env.makeFolder("Outside");
    env.writeFile(outside / "secret.txt", "s");
    env.writeFile(inside / "a.txt", "a");
    fs::create_directories(inside / "Links");
    fs::create_symlink(outside / "secret.txt", inside / "Links" / "secret.txt");
    const auto finder = env.finder();
    finder->confine(inside);
    finder->select({"a.txt"});
    env.desktop().launch(kTextEditBundleIdentifier, true);

    // The folder itself is refused; so is a link in an allowed folder that leads out.
    activateFileViewerSelectingURLs({URL::fileURL((outside / "secret.txt").string())});
    activateFileViewerSelectingURLs({URL::fileURL((inside / "Links" / "secret.txt").string())});

    EXPECT_EQ(finder->currentFolder(), fs::path(realPath(inside)));
    EXPECT_EQ(finder->selection(), std::vector<fs::path>{fs::path(realPath(inside)) / "a.txt"});
    EXPECT_TRUE(revealedURLs().empty());
    EXPECT_EQ(env.desktop().frontmostApplication()->bundleIdentifier(), kTextEditBundleIdentifier);
    const auto lines = env.desktop().logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Finder did not reveal " + (outside / "secret.txt").string() + ": “" +
                                 outside.string() + "” is outside “",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("Finder did not reveal " + (inside / "Links" / "secret.txt").string() +
                                 ": “secret.txt” leads outside “",
                             0),
              0u)
        << lines[1];
}

TEST_F(FileViewerTest, OnlyWhatTheFinderShowsIsRevealedAndEachRefusalSaysWhy) {
    const fs::path data = env.makeFolder("Data");
    const fs::path other = env.makeFolder("Other");
    env.writeFile(data / "a.txt", "a");
    env.writeFile(data / "b.txt", "b");
    env.writeFile(other / "c.txt", "c");
    env.desktop().launch(kTextEditBundleIdentifier, true);

    // A path that does not exist reveals nothing and leaves the Finder behind.
    activateFileViewerSelectingURLs({URL::fileURL((data / "gone.txt").string())});
    EXPECT_TRUE(revealedURLs().empty());
    EXPECT_EQ(env.desktop().logLines(),
              std::vector<std::string>{"Finder did not reveal " + (data / "gone.txt").string() +
                                       ": it does not exist"});
    EXPECT_EQ(env.desktop().frontmostApplication()->bundleIdentifier(), kTextEditBundleIdentifier);

    // The one window shows the first folder revealed; what lies elsewhere is refused.
    env.desktop().log("--");
    activateFileViewerSelectingURLs(
        {URL::fileURL((data / "missing").string()), URL::fileURL((data / "a.txt").string()),
         URL::fileURL((other / "c.txt").string()), URL::fileURL((data / "b.txt").string())});
    const auto finder = env.finder();
    EXPECT_EQ(finder->currentFolder(), data);
    EXPECT_EQ(finder->selection(), (std::vector<fs::path>{data / "a.txt", data / "b.txt"}));
    ASSERT_EQ(revealedURLs().size(), 2u);
    EXPECT_EQ(revealedURLs()[1].lastPathComponent(), "b.txt");
    const auto lines = env.desktop().logLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              (std::vector<std::string>{
                  "Finder did not reveal " + (data / "missing").string() + ": it does not exist",
                  "Finder revealed " + (data / "a.txt").string(),
                  "Finder did not reveal " + (other / "c.txt").string() + ": it is not in “" +
                      data.string() + "”, the folder shown",
                  "Finder revealed " + (data / "b.txt").string()}));
    EXPECT_EQ(env.desktop().frontmostApplication()->bundleIdentifier(), kFinderBundleIdentifier);
}

TEST_F(FileViewerTest, WithoutAFinderNothingIsRevealed) {
    const fs::path file = env.writeFile(env.makeFolder("Data") / "a.txt", "a");
    env.desktop().terminate(env.finder()->processIdentifier());
    env.desktop().log("--");

    activateFileViewerSelectingURLs({URL::fileURL(file.string())});

    EXPECT_TRUE(revealedURLs().empty());
    EXPECT_EQ(env.desktop().logLines().back(),
              "Finder did not reveal " + file.string() + ": the Finder is not running");
}

} // namespace
} // namespace zestrel::platform
