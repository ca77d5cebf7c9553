#include "app/FileBrowser.h"

#include "platform/appkit/QLPreviewPanel.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/FileViewer.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sys/stat.h>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;
namespace fs = std::filesystem;

class FileBrowserTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;
    fs::path data = env.makeFolder("Data");
    // 2026-01-15 10:00 UTC, the test clock's date.
    pf::Date now = pf::currentDate();

    FileBrowserTest() {
        if (const char* zone = std::getenv("TZ")) {
            savedZone_ = zone;
        }
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~FileBrowserTest() override {
        for (const auto& entry : fs::recursive_directory_iterator(
                 data, fs::directory_options::skip_permission_denied)) {
            std::error_code ignored;
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        std::error_code ignored;
        fs::permissions(data, fs::perms::owner_all, fs::perm_options::add, ignored);
        if (savedZone_) {
            setenv("TZ", savedZone_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    static pf::URL url(const fs::path& path) {
        return pf::URL::fileURL(path.string(), fs::is_directory(path));
    }
    fs::path write(const fs::path& relative, const std::string& contents) {
        return env.writeFile(data / relative, contents);
    }
    static void setModified(const fs::path& path, pf::Date date) {
        const timespec times[2] = {
            {static_cast<time_t>(date.timeIntervalSince1970()), 0},
            {static_cast<time_t>(date.timeIntervalSince1970()), 0},
        };
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    std::shared_ptr<ui::ViewHost> browse(std::vector<pf::URL> items) {
        auto host = ui::ViewHost::make(
            QV_FileBrowser{QV_FileBrowserModel::shared(), "Files", std::move(items)});
        // The folders' sizes are added up in tasks once their rows appear.
        env.runUntilIdle();
        host->update();
        return host;
    }
    // The row of an item, and a command of its context menu.
    static std::shared_ptr<ui::Node> row(const ui::ViewHost& host, const std::string& name) {
        return host.find(name);
    }
    static bool clickInMenu(const ui::ViewHost& host, const std::string& name,
                            const std::string& command) {
        const auto found = row(host, name);
        const auto item = found ? ui::findNode(found->children, command) : nullptr;
        if (!item || item->isDisabled || !item->action) {
            return false;
        }
        const auto action = item->action;
        action();
        return true;
    }
    static std::string texts(const ui::Node& node) {
        std::string result;
        for (const auto& child : node.children) {
            if (child->kind == "Text") {
                result += child->label + "|";
            }
            if (child->kind != "ContextMenu") {
                result += texts(*child);
            }
        }
        return result;
    }

private:
    std::optional<std::string> savedZone_;
};

TEST_F(FileBrowserTest, RootsAreListedOnceFoldersFirstAndMissingOnesLeftOut) {
    const fs::path file = write("a.txt", "alpha");
    fs::create_directories(data / "B");
    auto host = browse({url(file), url(data / "B"), url(file), url(data / "gone")});
    const std::string shown = host->outline();
    const auto folder = shown.find("navigation link \"B\"");
    const auto fileRow = shown.find("button \"a.txt\"");
    ASSERT_NE(folder, std::string::npos) << shown;
    ASSERT_NE(fileRow, std::string::npos) << shown;
    EXPECT_LT(folder, fileRow);
    EXPECT_EQ(shown.find("button \"a.txt\"", fileRow + 1), std::string::npos);
    EXPECT_EQ(shown.find("gone"), std::string::npos);
    EXPECT_NE(shown.find("navigationTitle(\"Files\")"), std::string::npos);
}

TEST_F(FileBrowserTest, SizesAddUpEverythingBelowAFolderAndSpellOutZero) {
    write("Folder/one.bin", std::string(1500, 'x'));
    write("Folder/.hidden/two.bin", std::string(2000, 'y'));
    write("Folder/Tool.app/Contents/binary", std::string(1000, 'z'));
    const fs::path empty = write("empty.txt", "");
    fs::create_directories(data / "Nothing");
    auto host = browse({url(data / "Folder"), url(empty), url(data / "Nothing")});

    EXPECT_EQ(directorySize(url(data / "Folder")).bytes, 4500);
    EXPECT_NE(texts(*row(*host, "Folder")).find("|4 KB|"), std::string::npos)
        << texts(*row(*host, "Folder"));
    EXPECT_NE(texts(*row(*host, "empty.txt")).find("|Zero KB|"), std::string::npos);
    // An empty folder says so and cannot be opened.
    const auto nothing = row(*host, "Nothing");
    EXPECT_NE(texts(*nothing).find("|Empty|"), std::string::npos);
    EXPECT_TRUE(nothing->isDisabled);
    EXPECT_FALSE(host->click("Nothing"));
    // A file is not a folder to add up.
    EXPECT_THROW(directorySize(url(empty)), pf::Error);
}

TEST_F(FileBrowserTest, AnUnreadableFolderSaysNoAccessAndOnlyItsMenuStaysUsable) {
    write("Locked/inside.txt", "secret");
    fs::permissions(data / "Locked", fs::perms::none, fs::perm_options::replace);
    auto host = browse({url(data / "Locked")});
    const auto locked = row(*host, "Locked");
    ASSERT_NE(locked, nullptr);
    EXPECT_NE(texts(*locked).find("|No Access|"), std::string::npos);
    EXPECT_TRUE(locked->isDisabled);
    EXPECT_FALSE(host->click("Locked"));
    EXPECT_TRUE(clickInMenu(*host, "Locked", "Copy Filename"));
    EXPECT_EQ(pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string), "Locked");
}

TEST_F(FileBrowserTest, TheDateIsTheTimeTodayAndTheDayBeforeAndNoneAtTheEpoch) {
    const fs::path today = write("today.txt", "t");
    const fs::path earlier = write("earlier.txt", "e");
    const fs::path ancient = write("ancient.txt", "a");
    setModified(today, now.addingTimeInterval(-2 * 3600));
    setModified(earlier, now.addingTimeInterval(-3 * 86400));
    setModified(ancient, pf::Date::fromTimeIntervalSince1970(0));
    auto host = browse({url(today), url(earlier), url(ancient)});
    EXPECT_EQ(texts(*row(*host, "today.txt")), "today.txt|1 byte|8:00 AM|");
    EXPECT_EQ(texts(*row(*host, "earlier.txt")), "earlier.txt|1 byte|Jan 12, 2026|");
    EXPECT_EQ(texts(*row(*host, "ancient.txt")), "ancient.txt|1 byte|");
    EXPECT_NE(ui::findNode(row(*host, "ancient.txt")->children, "Modified: Never"), nullptr);
}

TEST_F(FileBrowserTest, TheMenuDatesSayUnavailableAndNeverWhereThereIsNothingNew) {
    FileBrowserItemFacts facts;
    EXPECT_EQ(fileBrowserCreatedText(facts), "Created: Unavailable");
    EXPECT_EQ(fileBrowserModifiedMenuText(facts), "Modified: Never");
    facts.creationDate = now;
    facts.modificationDate = now;
    // Unchanged since it was made: the row has its date, the menu says never.
    EXPECT_EQ(fileBrowserModifiedText(facts, now), "10:00 AM");
    EXPECT_EQ(fileBrowserCreatedText(facts), "Created: 1/15/2026, 10:00 AM");
    EXPECT_EQ(fileBrowserModifiedMenuText(facts), "Modified: Never");
    facts.modificationDate = now.addingTimeInterval(90);
    EXPECT_EQ(fileBrowserModifiedMenuText(facts), "Modified: 1/15/2026, 10:01 AM");
}

TEST_F(FileBrowserTest, SizesThatDoNotFitStopAtTheLargestCount) {
    constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(fileSizeBytes(1e30).bytes, kLargest);
    EXPECT_EQ(fileSizeBytes(std::nullopt).bytes, 0);
    EXPECT_EQ(fileSizeBytes(-5).bytes, 0);
    EXPECT_EQ(fileSizeBytes(1500.0).bytes, 1500);
    FileBrowserItemFacts facts;
    facts.isReadable = true;
    facts.fileSize = 1e30;
    EXPECT_EQ(fileBrowserSizeText(facts, false, Bytes::zero()), "9.22 EB");
}

TEST_F(FileBrowserTest, TheHomeFolderIsCalledHome) {
    EXPECT_EQ(fileBrowserDisplayName(url(pf::homeDirectory())), "Home");
    EXPECT_EQ(fileBrowserDisplayName(pf::URL::fileURL(pf::homeDirectory().string(), false)),
              "Home");
    EXPECT_EQ(fileBrowserDisplayName(url(data)), "Data");
}

TEST_F(FileBrowserTest, ShowInFinderOpensFoldersAndRevealsFilesAndPackages) {
    const fs::path file = write("notes.txt", "n");
    fs::create_directories(data / "Tool.app" / "Contents");
    fs::create_directories(data / "Plain");
    fs::create_symlink(file, data / "link.txt");
    auto host =
        browse({url(data / "Plain"), url(data / "Tool.app"), url(file), url(data / "link.txt")});

    ASSERT_TRUE(clickInMenu(*host, "Plain", "Show in Finder"));
    ASSERT_EQ(pf::URLOpener::openedURLs().size(), 1u);
    EXPECT_EQ(pf::URLOpener::openedURLs()[0].lastPathComponent(), "Plain");
    ASSERT_TRUE(clickInMenu(*host, "Tool.app", "Show in Finder"));
    ASSERT_TRUE(clickInMenu(*host, "link.txt", "Show in Finder"));
    // The app is revealed, not launched; the link leads to the file it names.
    EXPECT_EQ(pf::URLOpener::openedURLs().size(), 1u);
    const auto revealed = pf::revealedURLs();
    ASSERT_EQ(revealed.size(), 2u);
    EXPECT_EQ(revealed[0].lastPathComponent(), "Tool.app");
    EXPECT_EQ(fs::path(revealed[1].path()), file);
    EXPECT_EQ(env.finder()->selection(), std::vector<fs::path>{file});
}

TEST_F(FileBrowserTest, CopyPathAndFilenameAndGetInfoShowWhereTheItemIs) {
    const fs::path file = write("Reports/summary.txt", "s");
    auto host = browse({url(data / "Reports")});
    ASSERT_TRUE(host->click("Reports"));
    host->update();
    env.runUntilIdle();
    ASSERT_NE(host->find("Back"), nullptr);
    ASSERT_TRUE(clickInMenu(*host, "summary.txt", "Copy Path"));
    EXPECT_EQ(pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string),
              file.string());
    EXPECT_EQ(
        pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType{"org.nspasteboard.source"}),
        "com.quorvik.Zestrel");
    ASSERT_TRUE(clickInMenu(*host, "summary.txt", "Copy Filename"));
    EXPECT_EQ(pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string),
              "summary.txt");
    ASSERT_TRUE(clickInMenu(*host, "summary.txt", "Get Info"));
    host->update();
    EXPECT_NE(host->find(file.string()), nullptr);
    // Clicking the file previews it.
    ASSERT_TRUE(host->click("Back"));
    host->update();
    ASSERT_TRUE(host->click("summary.txt"));
    host->update();
    host->update();
    ASSERT_EQ(pf::QLPreviewPanel::previewedURLs().size(), 1u);
    EXPECT_EQ(pf::QLPreviewPanel::previewedURLs()[0].path(), file.string());
}

TEST_F(FileBrowserTest, ANameThatIsNotUTF8IsCopiedAsValidTextAndShownEscaped) {
    // A stray byte, and a sequence cut short before the dot.
    const fs::path file = write("caf\xFF"
                                "e\xE2\x82.txt",
                                "x");
    const std::string shown = "caf\\xFFe\\xE2\\x82.txt";
    auto host = browse({url(data)});
    ASSERT_TRUE(host->click("Data"));
    host->update();
    ASSERT_NE(row(*host, shown), nullptr) << host->outline();

    const auto copied = [] {
        return pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string);
    };
    ASSERT_TRUE(clickInMenu(*host, shown, "Copy Filename"));
    EXPECT_EQ(copied(), "caf\uFFFDe\uFFFD.txt");
    ASSERT_TRUE(clickInMenu(*host, shown, "Copy Path"));
    EXPECT_EQ(copied(), data.string() + "/caf\uFFFDe\uFFFD.txt");
    ASSERT_TRUE(clickInMenu(*host, shown, "Get Info"));
    host->update();
    EXPECT_NE(host->find(data.string() + "/" + shown), nullptr) << host->outline();
}

TEST_F(FileBrowserTest, DeleteRemovesAtOnceAndWhatCannotGoStaysWithItsError) {
    const fs::path gone = write("gone.txt", "g");
    const fs::path kept = write("Locked/kept.txt", "k");
    auto host = browse({url(gone), url(data / "Locked")});
    ASSERT_TRUE(clickInMenu(*host, "gone.txt", "Delete"));
    env.runUntilIdle();
    host->update();
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_FALSE(fs::exists(pf::xdgDataHome() / "Trash" / "files" / "gone.txt"));
    EXPECT_EQ(row(*host, "gone.txt"), nullptr);

    // Inside a folder that may not be changed, the item cannot go: it stays, with the error.
    ASSERT_TRUE(host->click("Locked"));
    host->update();
    fs::permissions(data / "Locked", fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::replace);
    host->update();
    ASSERT_TRUE(clickInMenu(*host, "kept.txt", "Delete"));
    env.runUntilIdle();
    host->update();
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_NE(row(*host, "kept.txt"), nullptr);
    const std::string shown = host->outline();
    EXPECT_NE(shown.find("alert \""), std::string::npos) << shown;
}

TEST_F(FileBrowserTest, AFoldersSizeIsAddedUpAgainAfterADelete) {
    write("Folder/small.bin", std::string(3000, 's'));
    const fs::path big = write("Folder/big.bin", std::string(5000, 'b'));
    auto host = browse({url(data / "Folder"), url(big)});
    EXPECT_NE(texts(*row(*host, "Folder")).find("|8 KB|"), std::string::npos)
        << texts(*row(*host, "Folder"));
    ASSERT_TRUE(clickInMenu(*host, "big.bin", "Delete"));
    env.runUntilIdle();
    host->update();
    env.runUntilIdle();
    host->update();
    EXPECT_FALSE(fs::exists(big));
    EXPECT_NE(texts(*row(*host, "Folder")).find("|3 KB|"), std::string::npos)
        << texts(*row(*host, "Folder"));
}

TEST_F(FileBrowserTest, DeletingALinkRemovesTheLinkAndKeepsWhatItLeadsTo) {
    const fs::path file = write("Kept/notes.txt", "n");
    fs::create_symlink(file, data / "file link");
    fs::create_directory_symlink(data / "Kept", data / "folder link");
    auto host = browse({url(data / "folder link"), url(data / "file link")});
    for (const char* link : {"folder link", "file link"}) {
        ASSERT_TRUE(clickInMenu(*host, link, "Delete")) << link;
        env.runUntilIdle();
        host->update();
        EXPECT_FALSE(fs::exists(fs::symlink_status(data / link))) << link;
        EXPECT_EQ(row(*host, link), nullptr) << link;
    }
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(file), "n");
}

TEST_F(FileBrowserTest, AFolderThatCanBeReadButNotListedIsNotCalledEmpty) {
    // Readable but not searchable: its entries cannot be listed, so nobody knows it is empty.
    fs::create_directories(data / "Sealed");
    fs::permissions(data / "Sealed", fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    auto host = browse({url(data / "Sealed")});
    const auto sealed = row(*host, "Sealed");
    ASSERT_NE(sealed, nullptr);
    EXPECT_EQ(texts(*sealed).rfind("Sealed|Zero KB|", 0), 0u) << texts(*sealed);
    EXPECT_FALSE(sealed->isDisabled);
    // It opens, to an empty list.
    ASSERT_TRUE(host->click("Sealed"));
    host->update();
    EXPECT_NE(host->find("Back"), nullptr);
}

TEST_F(FileBrowserTest, DeleteIsOfferedOnlyForWhatCanBeWritten) {
    const fs::path file = write("readonly.txt", "r");
    fs::permissions(file, fs::perms::owner_read, fs::perm_options::replace);
    auto host = browse({url(file)});
    EXPECT_FALSE(clickInMenu(*host, "readonly.txt", "Delete"));
    EXPECT_TRUE(fs::exists(file));
}

} // namespace
} // namespace zestrel
