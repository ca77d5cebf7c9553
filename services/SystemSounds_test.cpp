#include "services/SystemSounds.h"

#include "platform/base/Bundle.h"
#include "platform/data/NSFileManager.h"
#include "platform/system/SystemSound.h"
#include "platform/testing/FileSizeLimit.h"
#include "platform/testing/TestEnvironment.h"
#include "services/TemporaryFileTracker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace zestrel {
namespace {

using platform::testing::FileSizeLimit;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SystemSoundsTest : public ::testing::Test {
protected:
    static platform::Data cutSoundData() {
        auto data = platform::Bundle::main()->dataAsset("CutSound");
        EXPECT_TRUE(data.has_value());
        return data.value_or(platform::Data{});
    }

    platform::testing::TestEnvironment environment;
};

TEST_F(SystemSoundsTest, RawValuesMatchExactly) {
    EXPECT_EQ(macSystemSound("Sosumi"), MacSystemSound::sosumi);
    EXPECT_EQ(macSystemSound("sosumi"), std::nullopt);
    EXPECT_EQ(rawValue(MacSystemSound::submarine), "Submarine");
    EXPECT_EQ(rawValue(kAllMacSystemSounds.back()), "Tink");
}

TEST_F(SystemSoundsTest, TwoCreationsGiveTwoSoundsAndTwoTrackedFiles) {
    const auto first = createSystemSound("CutSound", platform::Bundle::main());
    const auto second = createSystemSound("CutSound", platform::Bundle::main());
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    const auto firstFile = platform::SystemSoundServer::fileOfSound(*first);
    const auto secondFile = platform::SystemSoundServer::fileOfSound(*second);
    ASSERT_TRUE(firstFile && secondFile);
    EXPECT_NE(*firstFile, *secondFile);
    EXPECT_EQ(firstFile->lastPathComponent(), "file.wav");
    EXPECT_EQ(TemporaryFileTracker::shared()->trackedURLs(),
              (std::set<platform::URL>{*firstFile, *secondFile}));
}

TEST_F(SystemSoundsTest, FailedRegistrationIsReportedAndThrown) {
    platform::SystemSoundServer::failNextCreations(-1500);
    try {
        createSystemSound(cutSoundData(), "com.microsoft.waveform-audio");
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.localizedDescription(), "Failed to create system sound.");
    }
    ASSERT_EQ(environment.reports().size(), 1u);
}

TEST_F(SystemSoundsTest, ASoundFileTheDiskCannotHoldMakesNoSound) {
    // Short enough to wait in the stream's buffer (a longer write fails at once).
    const platform::Data sound = cutSoundData();
    const platform::Data data(sound.begin(), sound.begin() + 512);
    try {
        const FileSizeLimit limit(0);
        createSystemSound(data, "com.microsoft.waveform-audio");
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.domain(), platform::NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), platform::NSFileWriteUnknownError);
    }

    bool completed = false;
    {
        const FileSizeLimit limit(0);
        playDataAssetSound("CutSound", platform::Bundle::main(), false, [&] { completed = true; });
    }
    EXPECT_TRUE(completed); // at once: nothing plays
    ASSERT_EQ(environment.reports().size(), 1u);
    EXPECT_EQ(environment.reports()[0].code(), platform::NSFileWriteUnknownError);
    EXPECT_TRUE(TemporaryFileTracker::shared()->trackedURLs().empty());
}

TEST_F(SystemSoundsTest, PlayCompletesAfterTheSoundsDurationOnTheClock) {
    const auto sound = createSystemSound("CutSound", platform::Bundle::main());
    ASSERT_TRUE(sound);
    int completions = 0;
    play(*sound, false, [&] { ++completions; });
    const auto plays = platform::SystemSoundServer::plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_FALSE(plays[0].alert);
    EXPECT_EQ(plays[0].duration, 80ms);
    environment.advance(79ms);
    EXPECT_EQ(completions, 0);
    environment.advance(1ms);
    EXPECT_EQ(completions, 1);
    environment.advance(1s);
    EXPECT_EQ(completions, 1);
}

TEST_F(SystemSoundsTest, DataAssetSoundIsDisposedWithItsFolderOncePlayed) {
    bool done = false;
    playDataAssetSound("CutSound", platform::Bundle::main(), false, [&] { done = true; });
    const auto registered = platform::SystemSoundServer::registeredSounds();
    ASSERT_EQ(registered.size(), 1u);
    const auto file = platform::SystemSoundServer::fileOfSound(registered[0]);
    ASSERT_TRUE(file);
    EXPECT_TRUE(fs::exists(file->path()));

    environment.advance(100ms);
    EXPECT_TRUE(done);
    EXPECT_TRUE(platform::SystemSoundServer::registeredSounds().empty());
    EXPECT_FALSE(fs::exists(file->deletingLastPathComponent().path()));
    // Still tracked as a safety net for a play cut short by termination.
    EXPECT_EQ(TemporaryFileTracker::shared()->trackedURLs().count(*file), 1u);
}

TEST_F(SystemSoundsTest, MissingAssetOrFailedCreationIsReportedAndSkipped) {
    bool done = false;
    playDataAssetSound("NoSuchSound", platform::Bundle::main(), false, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(environment.reports().size(), 1u);

    platform::SystemSoundServer::failNextCreations(-1500);
    done = false;
    playDataAssetSound("CutSound", platform::Bundle::main(), true, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(environment.reports().size(), 2u); // once, not twice
    EXPECT_TRUE(platform::SystemSoundServer::plays().empty());
}

} // namespace
} // namespace zestrel
