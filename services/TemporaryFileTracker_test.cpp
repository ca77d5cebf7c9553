#include "services/TemporaryFileTracker.h"

#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/NSFileManager.h"
#include "platform/testing/FileSizeLimit.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

using platform::testing::FileSizeLimit;
namespace fs = std::filesystem;
using platform::URL;

// The POSIX code under a file-writing error, or nothing.
std::optional<std::int64_t> posixCode(const platform::Error& error) {
    EXPECT_EQ(error.domain(), platform::NSCocoaErrorDomain);
    EXPECT_EQ(error.code(), platform::NSFileWriteUnknownError);
    const auto underlying = error.nsError()->underlyingError();
    if (!underlying || underlying->domain() != platform::NSPOSIXErrorDomain) {
        return std::nullopt;
    }
    return underlying->code();
}

class TemporaryFileTrackerTest : public ::testing::Test {
protected:
    URL makeFile(const std::string& name) {
        const fs::path path = environment.home() / name;
        std::ofstream(path) << "x";
        return URL::fileURL(path.string());
    }
    static void terminate() {
        platform::NotificationCenter::defaultCenter()->post(
            "NSApplicationWillTerminateNotification");
    }

    platform::testing::TestEnvironment environment;
};

TEST_F(TemporaryFileTrackerTest, FileTrackedJustBeforeTerminationIsDeleted) {
    const URL early = makeFile("early.txt");
    const URL late = makeFile("late.txt");
    TemporaryFileTracker::shared()->track(early);
    TemporaryFileTracker::shared()->track(late); // still queued when the notice comes
    terminate();
    EXPECT_FALSE(fs::exists(early.path()));
    EXPECT_FALSE(fs::exists(late.path()));
}

TEST_F(TemporaryFileTrackerTest, TrackedTwiceIsHeldOnceAndMissingFilesAreSkipped) {
    const URL gone = makeFile("gone.txt");
    const URL kept = makeFile("kept.txt");
    auto tracker = TemporaryFileTracker::shared();
    tracker->track(gone);
    tracker->track(gone);
    tracker->track(kept);
    EXPECT_EQ(tracker->trackedURLs().size(), 2u);
    fs::remove(gone.path());
    terminate();
    EXPECT_FALSE(fs::exists(kept.path()));
    EXPECT_EQ(tracker->trackedURLs().size(), 2u); // the set is not cleared
}

TEST_F(TemporaryFileTrackerTest, TrackerOfAnEndedProcessDeletesNothing) {
    const URL file = makeFile("survivor.txt");
    TemporaryFileTracker::shared()->track(file);
    TemporaryFileTracker::shared()->trackedURLs();
    platform::resetProcess();
    terminate();
    EXPECT_TRUE(fs::exists(file.path()));
}

TEST_F(TemporaryFileTrackerTest, UniqueDirectoriesAndTextFiles) {
    const URL first = createUniqueTemporaryDirectory();
    const URL second = createUniqueTemporaryDirectory();
    EXPECT_NE(first, second);
    EXPECT_TRUE(fs::is_directory(first.path()));
    EXPECT_TRUE(fs::is_empty(first.path()));

    const URL file =
        writeToUniqueTemporaryFile("héllo", std::nullopt, platform::UTType::plainText());
    EXPECT_EQ(file.lastPathComponent(), "file.txt");
    std::ifstream stream(file.path());
    std::string contents((std::istreambuf_iterator<char>(stream)), {});
    EXPECT_EQ(contents, "héllo");
    EXPECT_EQ(
        writeToUniqueTemporaryFile("{}", "report", platform::UTType::json()).lastPathComponent(),
        "report.json");
    EXPECT_TRUE(TemporaryFileTracker::shared()->trackedURLs().empty());
}

TEST_F(TemporaryFileTrackerTest, ATextTheDiskCannotHoldIsAnErrorNotATruncatedFile) {
    try {
        const FileSizeLimit limit(0);
        const URL file = writeToUniqueTemporaryFile("hello", "note", platform::UTType::plainText());
        ADD_FAILURE() << "no error; the file holds " << fs::file_size(file.path()) << " bytes";
    } catch (const platform::Error& error) {
        EXPECT_EQ(posixCode(error), EFBIG) << error.describe();
        const auto* path = error.nsError()->userInfo().at(platform::NSFilePathErrorKey).asString();
        ASSERT_NE(path, nullptr);
        EXPECT_TRUE(path->ends_with("/note.txt")) << *path;
    }
}

TEST_F(TemporaryFileTrackerTest, WritingToAFullDeviceThrowsWhatTheSystemSaid) {
    try {
        writeFileContents(URL::fileURL("/dev/full"), "a few bytes that stay in the buffer");
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(posixCode(error), ENOSPC) << error.describe();
    }
    try {
        writeFileContents(URL::fileURL((environment.home() / "missing" / "file").string()), "x");
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(posixCode(error), ENOENT) << error.describe();
        EXPECT_EQ(error.localizedDescription(),
                  "The file “file” couldn’t be saved in the folder “missing”.");
        EXPECT_EQ(error.nsError()->localizedFailureReason(), "No such file or directory");
    }
}

TEST_F(TemporaryFileTrackerTest, FailedItemReplacementDirectoryFallsBackAfterReporting) {
    platform::NSFileManager::defaultManager().failNextDirectoryLookups(
        platform::NSSearchPathDirectory::itemReplacementDirectory,
        platform::NSError::make(platform::NSCocoaErrorDomain, 513));
    const URL fallback = createUniqueTemporaryDirectory();
    EXPECT_TRUE(fs::is_directory(fallback.path()));
    EXPECT_TRUE(platform::UUID::parse(fallback.lastPathComponent()).has_value());
    ASSERT_EQ(environment.reports().size(), 1u);
    EXPECT_EQ(environment.reports()[0].code(), 513);
}

// Temporary items stay in the app's own folders, which end with the session, and never land
// in the machine's shared temporary folder.
TEST_F(TemporaryFileTrackerTest, TemporaryItemsLieInTheAppsOwnFolders) {
    setenv("TMPDIR", "/tmp", 1); // as a person's shell may have it; the environment puts it back
    const auto isInside = [](const URL& url, const fs::path& folder) {
        return fs::canonical(url.path()).string().starts_with(fs::canonical(folder).string() + "/");
    };
    EXPECT_TRUE(isInside(createUniqueTemporaryDirectory(), environment.home()));
    EXPECT_TRUE(isInside(makeFallbackTemporaryDirectory(), environment.home()));
    const URL file = writeToUniqueTemporaryFile("x", std::nullopt, platform::UTType::plainText());
    EXPECT_TRUE(isInside(file, environment.home())) << file.path();

    // A sandboxed app keeps them in its container.
    setenv("APP_SANDBOX_CONTAINER_ID", "com.quorvik.Zestrel", 1);
    const auto container = platform::NSFileManager::sandboxContainer();
    ASSERT_TRUE(container.has_value());
    EXPECT_EQ(fs::path(platform::NSFileManager::defaultManager().temporaryDirectory().path()),
              *container / "tmp");
    EXPECT_TRUE(isInside(createUniqueTemporaryDirectory(), *container / "tmp"));
    EXPECT_TRUE(isInside(makeFallbackTemporaryDirectory(), *container / "tmp"));
}

TEST_F(TemporaryFileTrackerTest, TemporaryDirectoryIsRemovedWithItsOwner) {
    URL url;
    {
        TemporaryDirectory directory(createUniqueTemporaryDirectory());
        url = directory.url();
        std::ofstream(fs::path(url.path()) / "inside") << "x";
    }
    EXPECT_FALSE(fs::exists(url.path()));
}

} // namespace
} // namespace zestrel
