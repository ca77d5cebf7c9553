#include "platform/system/SMAppService.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/system/NSTask.h"
#include "platform/system/SystemSound.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zestrel::platform {
namespace {

class SystemServicesTest : public ::testing::Test {
protected:
    testing::TestEnvironment environment;
};

TEST_F(SystemServicesTest, LoginItemIsAnAutostartEntry) {
    const auto service = SMAppService::mainAppService();
    EXPECT_EQ(service.autostartEntryPath(),
              environment.configHome() / "autostart" / "com.quorvik.Zestrel.desktop");
    EXPECT_EQ(service.status(), SMAppService::Status::notRegistered);
    service.registerAndReturnError();
    EXPECT_EQ(service.status(), SMAppService::Status::enabled);
    std::ifstream entry(service.autostartEntryPath());
    std::string contents((std::istreambuf_iterator<char>(entry)), {});
    EXPECT_EQ(contents.rfind("[Desktop Entry]\nType=Application\nName=Zestrel\nExec=\"", 0), 0u);
    EXPECT_THROW(service.registerAndReturnError(), Error);

    SMAppService::failNext(SMAppService::Operation::unregistering,
                           NSError::make(SMAppServiceErrorDomain, kSMErrorInternalFailure));
    EXPECT_THROW(service.unregisterAndReturnError(), Error);
    EXPECT_EQ(service.status(), SMAppService::Status::enabled);
    service.unregisterAndReturnError();
    EXPECT_EQ(service.status(), SMAppService::Status::notRegistered);
    try {
        service.unregisterAndReturnError();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), kSMErrorJobNotFound);
    }
}

TEST_F(SystemServicesTest, SoundsAreMadeFromWaveFilesOnly) {
    const auto text = environment.home() / "note.txt";
    std::ofstream(text) << "not a sound";
    SystemSoundID sound = 0;
    EXPECT_EQ(AudioServicesCreateSystemSoundID(URL::fileURL(text.string()), sound),
              kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(AudioServicesCreateSystemSoundID(URL::fileURL("/no/such.wav"), sound),
              kAudioFileFileNotFoundError);
    bool completed = false;
    AudioServicesPlaySystemSoundWithCompletion(12345, [&] { completed = true; });
    environment.runUntilIdle();
    EXPECT_TRUE(completed); // an unknown sound never leaves its caller waiting
    EXPECT_TRUE(SystemSoundServer::plays().empty());
}

TEST_F(SystemServicesTest, ALongSessionKeepsItsLastPlaysAndCountsThemAll) {
    const auto sound = environment.cutSound();
    const auto total = SystemSoundServer::kKeptPlays + 5;
    const auto start = clock().uptime();
    for (std::size_t play = 0; play < total; ++play) {
        AudioServicesPlaySystemSoundWithCompletion(sound, {});
        environment.advance(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(SystemSoundServer::playCount(), total);
    const auto kept = SystemSoundServer::plays();
    ASSERT_EQ(kept.size(), SystemSoundServer::kKeptPlays);
    // The oldest went first: the first kept play is the sixth, the last kept the last.
    EXPECT_EQ(kept.front().startedAt - start, std::chrono::milliseconds(5));
    EXPECT_EQ(kept.back().startedAt - start, std::chrono::milliseconds(total - 1));
}

TEST_F(SystemServicesTest, PlaysAreTheMachinesAndOutliveTheProcessThatPlayed) {
    const auto playOnce = [&] {
        AudioServicesPlayAlertSoundWithCompletion(environment.cutSound(), {});
    };
    playOnce();
    ProcessTeardown::run();
    playOnce(); // what is left of the ended process's code is not heard
    resetProcess();
    EXPECT_TRUE(SystemSoundServer::registeredSounds().empty()); // the process's own
    EXPECT_EQ(SystemSoundServer::playCount(), 1u);
    playOnce();
    EXPECT_EQ(SystemSoundServer::playCount(), 2u);
    ASSERT_EQ(SystemSoundServer::plays().size(), 2u);
    EXPECT_TRUE(SystemSoundServer::plays().front().alert);
}

TEST_F(SystemServicesTest, LauncherSeamSeesTheTask) {
    std::vector<std::string> seen;
    NSTask::setLauncher([&](const NSTask& task) {
        seen = task.arguments();
        seen.insert(seen.begin(), task.executableURL().path());
        return 77;
    });
    NSTask task;
    task.setExecutableURL(URL::fileURL("/bin/sh"));
    task.setArguments({"-c", "sleep 0.2; open \"/Applications/A B.app\""});
    task.launchAndReturnError();
    NSTask::setLauncher({});
    EXPECT_EQ(task.processIdentifier(), 77);
    EXPECT_EQ(seen, (std::vector<std::string>{"/bin/sh", "-c",
                                              "sleep 0.2; open \"/Applications/A B.app\""}));
}

} // namespace
} // namespace zestrel::platform
