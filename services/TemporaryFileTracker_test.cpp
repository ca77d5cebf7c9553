#include "services/TemporaryFileTracker.h"

#include "platform/NSFileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using platform::URL;

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
