#include "services/FileSystem.h"

#include "foundation/QVApp.h"
#include "platform/data/NSFileManager.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using platform::URL;

class FileSystemTest : public ::testing::Test {
protected:
    URL makeFile(const std::string& name) {
        const fs::path path = environment.home() / name;
        std::ofstream(path) << name;
        return URL::fileURL(path.string());
    }
    static std::int64_t codeOf(const std::function<void()>& body, std::string* description) {
        try {
            body();
        } catch (const platform::Error& error) {
            *description = error.localizedDescription();
            return error.code();
        }
        return 0;
    }

    platform::testing::TestEnvironment environment;
};

TEST_F(FileSystemTest, DirectoryChecks) {
    std::string description;
    const URL missing = URL::fileURL((environment.home() / "none").string());
    EXPECT_EQ(codeOf([&] { ensureIsDirectory(missing); }, &description), 4);
    EXPECT_EQ(description, "The URL does not exist.");
    EXPECT_EQ(codeOf([&] { ensureIsDirectory(makeFile("plain.txt")); }, &description), 256);
    EXPECT_EQ(description, "The URL is not a directory.");
    EXPECT_EQ(codeOf([&] { ensureIsDirectory(URL::fileURL(environment.home().string(), true)); },
                     &description),
              0);
}

TEST_F(FileSystemTest, TrashStopsAtTheFirstFailure) {
    const URL first = makeFile("a.txt");
    const URL missing = URL::fileURL((environment.home() / "b.txt").string());
    const URL third = makeFile("c.txt");
    EXPECT_THROW(trashItems({first, missing, third}), platform::Error);
    EXPECT_FALSE(fs::exists(first.path()));
    EXPECT_TRUE(fs::exists(third.path()));
    const fs::path trashFolder = environment.home() / ".local" / "share" / "Trash";
    EXPECT_TRUE(fs::exists(trashFolder / "files" / "a.txt"));
    std::ifstream info(trashFolder / "info" / "a.txt.trashinfo");
    std::string contents((std::istreambuf_iterator<char>(info)), {});
    EXPECT_NE(contents.find("[Trash Info]\nPath=" + first.path() + "\nDeletionDate=2026-01-"),
              std::string::npos);

    const URL again = makeFile("a.txt");
    trash(again);
    EXPECT_TRUE(fs::exists(trashFolder / "files" / "a 2.txt"));
}

TEST_F(FileSystemTest, SystemDirectoriesFallBackToTheTemporaryDirectory) {
    const URL support = appDirectory(platform::NSSearchPathDirectory::applicationSupportDirectory);
    EXPECT_EQ(support.lastPathComponent(), QVApp::id());
    EXPECT_TRUE(fs::is_directory(support.path()));
    EXPECT_EQ(&applicationSupportDirectory(), &applicationSupportDirectory());

    platform::NSFileManager::defaultManager().failNextDirectoryLookups(
        platform::NSSearchPathDirectory::cachesDirectory,
        platform::NSError::make(platform::NSCocoaErrorDomain, 4));
    const URL caches = systemDirectory(platform::NSSearchPathDirectory::cachesDirectory);
    EXPECT_EQ(fs::path(caches.path()), fs::canonical(environment.home() / ".cache" / "tmp"));
    ASSERT_EQ(environment.reports().size(), 1u);
}

TEST_F(FileSystemTest, AFallbackToTheTemporaryDirectoryIsMarked) {
    EXPECT_FALSE(lookUpSystemDirectory(platform::NSSearchPathDirectory::cachesDirectory)
                     .isTemporaryFallback);
    EXPECT_FALSE(appDirectoryIsTemporaryFallback(
        platform::NSSearchPathDirectory::applicationSupportDirectory));

    platform::NSFileManager::defaultManager().failNextDirectoryLookups(
        platform::NSSearchPathDirectory::cachesDirectory,
        platform::NSError::make(platform::NSCocoaErrorDomain, 4));
    EXPECT_TRUE(appDirectoryIsTemporaryFallback(platform::NSSearchPathDirectory::cachesDirectory));
    const fs::path temporary = fs::canonical(environment.home() / ".cache" / "tmp");
    EXPECT_EQ(fs::path(cachesDirectory().path()), temporary / QVApp::id());
    // Only the failed lookup is marked.
    EXPECT_FALSE(
        lookUpAppDirectory(platform::NSSearchPathDirectory::cachesDirectory).isTemporaryFallback);
}

TEST_F(FileSystemTest, ResourceValuesOfTheAskedType) {
    const URL file = makeFile("named.txt");
    EXPECT_EQ(stringResourceValue(file, platform::NSURLNameKey), "named.txt");
    EXPECT_EQ(stringResourceValue(file, platform::NSURLIsDirectoryKey), std::nullopt);
    EXPECT_TRUE(dateResourceValue(file, platform::NSURLContentModificationDateKey).has_value());
    // A size is a whole number; read as a floating-point number it is still the size.
    EXPECT_EQ(doubleResourceValue(file, platform::NSURLFileSizeKey),
              static_cast<double>(fs::file_size(file.path())));
    EXPECT_EQ(doubleResourceValue(file, platform::NSURLNameKey), std::nullopt);
    EXPECT_TRUE(boolResourceValue(file, "NSURLUnknownKey", true));
    EXPECT_THROW(
        boolResourceValue(URL::fileURL("/no/such/file"), platform::NSURLIsDirectoryKey, false),
        platform::Error);
    EXPECT_TRUE(isEmptyOrWhitespace(" \n\t"));
    EXPECT_FALSE(isEmptyOrWhitespace(" a "));
}

TEST_F(FileSystemTest, InvalidURLLiteralStopsTheProcess) {
    EXPECT_DEATH(urlLiteral("not a url"), "not a url");
}

} // namespace
} // namespace zestrel
