#include "platform/data/URLBookmark.h"

#include "platform/base/Error.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/NSFileManager.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

class URLBookmarkTest : public ::testing::Test {
protected:
    URL makeFile(const std::string& name) {
        const fs::path path = environment.home() / name;
        std::ofstream(path) << name;
        return URL::fileURL(path.string());
    }
    static std::int64_t codeOf(const std::function<void()>& body) {
        try {
            body();
        } catch (const Error& error) {
            return error.code();
        }
        return 0;
    }

    testing::TestEnvironment environment;
};

TEST_F(URLBookmarkTest, AnItemIsFoundAgainAndARenameMakesTheBookmarkStale) {
    const URL report = makeFile("report.txt");
    const Data data = bookmarkData(report);
    const ResolvedBookmark same = resolveBookmarkData(data);
    EXPECT_EQ(same.url, report);
    EXPECT_FALSE(same.isStale);

    const fs::path renamed = environment.home() / "final report.txt";
    fs::rename(report.path(), renamed);
    const ResolvedBookmark moved = resolveBookmarkData(data);
    EXPECT_EQ(moved.url.path(), renamed.string());
    EXPECT_TRUE(moved.isStale);

    // Another item now at the old path is answered, but as stale.
    makeFile("report.txt");
    const ResolvedBookmark replaced = resolveBookmarkData(data);
    EXPECT_EQ(replaced.url, report);
    EXPECT_TRUE(replaced.isStale);
}

TEST_F(URLBookmarkTest, FoldersKeepTheirDirectoryForm) {
    const fs::path folder = environment.home() / "Music";
    fs::create_directory(folder);
    const auto resolved = resolveBookmarkData(bookmarkData(URL::fileURL(folder.string(), true)));
    EXPECT_EQ(resolved.url, URL::fileURL(folder.string(), true));
}

TEST_F(URLBookmarkTest, FailuresCarryTheFileErrors) {
    const URL gone = makeFile("gone.txt");
    const Data data = bookmarkData(gone);
    fs::remove(gone.path());
    EXPECT_EQ(codeOf([&] { resolveBookmarkData(data); }), NSFileNoSuchFileError);
    EXPECT_EQ(codeOf([&] { bookmarkData(gone); }), NSFileReadNoSuchFileError);
    EXPECT_EQ(codeOf([&] { bookmarkData(*URL::parse("https://example.com/a")); }),
              NSFileReadUnsupportedSchemeError);
    EXPECT_EQ(codeOf([] { resolveBookmarkData(Data{1, 2, 3}); }), NSFileReadCorruptFileError);
    Data truncated = bookmarkData(makeFile("kept.txt"));
    truncated.pop_back();
    EXPECT_EQ(codeOf([&] { resolveBookmarkData(truncated); }), NSFileReadCorruptFileError);
}

TEST_F(URLBookmarkTest, OnlyScopedResolutionsOfScopedBookmarksGiveAccess) {
    const URL plain = makeFile("plain.txt");
    const URL scoped = makeFile("scoped.txt");
    const Data plainData = bookmarkData(plain);
    const Data scopedData = bookmarkData(scoped, NSURLBookmarkCreationWithSecurityScope);

    EXPECT_FALSE(startAccessingSecurityScopedResource(scoped)); // not resolved yet
    resolveBookmarkData(plainData, NSURLBookmarkResolutionWithSecurityScope);
    EXPECT_FALSE(startAccessingSecurityScopedResource(plain));
    resolveBookmarkData(scopedData); // without scope
    EXPECT_FALSE(startAccessingSecurityScopedResource(scoped));

    const URL url = resolveBookmarkData(scopedData, NSURLBookmarkResolutionWithSecurityScope).url;
    EXPECT_TRUE(startAccessingSecurityScopedResource(url));
    EXPECT_TRUE(startAccessingSecurityScopedResource(url));
    EXPECT_EQ(securityScopedAccessCount(url), 2);
    stopAccessingSecurityScopedResource(url);
    stopAccessingSecurityScopedResource(url);
    stopAccessingSecurityScopedResource(url);
    EXPECT_EQ(securityScopedAccessCount(url), 0);

    resetProcess();
    EXPECT_FALSE(startAccessingSecurityScopedResource(url));
}

} // namespace
} // namespace zestrel::platform
