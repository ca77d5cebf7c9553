#include "services/Relaunch.h"

#include "foundation/QVApp.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Bundle.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/system/NSTask.h"
#include "platform/testing/DesktopEnvironment.h"
#include "services/InstalledApp.h"
#include "services/QVAppLaunch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Counts the requests to quit and answers them as told.
class CountingDelegate final : public pf::NSApplicationDelegate {
public:
    TerminateReply applicationShouldTerminate(pf::NSApplication&) override {
        ++asked;
        return reply;
    }
    int asked = 0;
    TerminateReply reply = TerminateReply::terminateNow;
};

// The main bundle, lying somewhere else, for the length of a test.
class MovedMainBundle {
public:
    explicit MovedMainBundle(const std::string& path) {
        const auto real = pf::Bundle::main();
        pf::Bundle::setMainForTesting(std::make_shared<pf::Bundle>(
            real->infoDictionary(), pf::URL::fileURL(path, true), real->resourcesDirectory()));
    }
    ~MovedMainBundle() { pf::Bundle::setMainForTesting(nullptr); }
};

// Records the processes the app starts instead of starting them.
class RecordingLauncher {
public:
    RecordingLauncher() {
        pf::NSTask::setLauncher([this](const pf::NSTask& task) {
            if (failure) {
                throw *failure;
            }
            launched.push_back(task);
            return 4242;
        });
    }
    ~RecordingLauncher() { pf::NSTask::setLauncher({}); }

    std::vector<pf::NSTask> launched;
    std::optional<pf::Error> failure;
};

class RelaunchTest : public ::testing::Test {
protected:
    RelaunchTest() : responder(pf::ScriptedModalResponder::install()) {}

    static void startRelaunch(RelaunchOptions options) {
        pf::Task<void>::runOnMain([options] { return relaunchApp(options); });
    }
    static pf::Value stored(const std::string& key) {
        return pf::UserDefaults::standard()->object(key);
    }
    int ownPid() { return env.desktop().ownApplication()->processIdentifier(); }

    pf::testing::DesktopEnvironment env;
    std::shared_ptr<pf::ScriptedModalResponder> responder;
};

TEST_F(RelaunchTest, TheNewProcessIsToldOnceThatItWasRelaunched) {
    const int before = ownPid();
    startRelaunch({.showsSettingsAfterRelaunch = true});
    env.runUntilIdle();
    EXPECT_TRUE(pf::NSApp().isTerminated());
    ASSERT_TRUE(env.desktop().relaunchRequested());
    EXPECT_TRUE(env.reports().empty());

    env.desktop().relaunchOwnApplication();
    const int relaunched = ownPid();
    EXPECT_NE(relaunched, before);
    EXPECT_FALSE(pf::NSApp().isTerminated()) << "a fresh application object";
    EXPECT_TRUE(QVApp::wasRelaunched());
    EXPECT_TRUE(Prefs::value(QVApp::isShowingSettingsAfterRelaunchKey()));
    env.runUntilIdle();

    env.desktop().relaunchOwnApplication(); // quit and started by hand
    EXPECT_NE(ownPid(), relaunched);
    EXPECT_FALSE(QVApp::wasRelaunched());
}

TEST_F(RelaunchTest, ASecondRequestWhileTheFirstIsPendingDoesNothing) {
    auto delegate = std::make_shared<CountingDelegate>();
    delegate->reply = CountingDelegate::TerminateReply::terminateCancel;
    pf::NSApp().setDelegate(delegate);
    startRelaunch({});
    startRelaunch({.showsSettingsAfterRelaunch = true});
    env.runUntilIdle();
    EXPECT_EQ(delegate->asked, 1);
    EXPECT_FALSE(Prefs::value(QVApp::isShowingSettingsAfterRelaunchKey()));
    // Still pending for this process: the mark lasts until the process ends.
    startRelaunch({});
    env.runUntilIdle();
    EXPECT_EQ(delegate->asked, 1);
}

TEST_F(RelaunchTest, AMovedBundleIsRelaunchedFromWhereTheWorkspaceFindsIt) {
    MovedMainBundle moved("/Volumes/Old/Zestrel.app");
    startRelaunch({});
    env.runUntilIdle();
    EXPECT_TRUE(env.desktop().relaunchRequested());
    EXPECT_TRUE(pf::NSApp().isTerminated());
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(RelaunchTest, AFailureIsReportedShownAndLeavesNoMarks) {
    const auto installed = env.desktop().installedApplication(QVApp::id());
    ASSERT_TRUE(installed);
    env.desktop().uninstall(QVApp::id());
    responder->enqueue(pf::ModalAnswer::button("OK", std::chrono::seconds(1)));
    startRelaunch({.showsSettingsAfterRelaunch = true});
    env.advance(std::chrono::seconds(2));

    EXPECT_FALSE(env.desktop().relaunchRequested());
    EXPECT_FALSE(pf::NSApp().isTerminated());
    ASSERT_EQ(env.reports().size(), 1u);
    const auto& info = env.reports()[0].as<pf::NSError>()->userInfo();
    EXPECT_EQ(info.count("isFallback"), 0u);
    EXPECT_THAT(*info.at("fileLine").asString(), ::testing::StartsWith("Relaunch.cpp:"));
    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_THAT(env.logLines().back(), HasSubstr("PRESENTED ERROR:"));
    EXPECT_EQ(stored("QVApp_wasRelaunched"), pf::Value(false));
    EXPECT_EQ(stored("QV_isShowingSettingsAfterRelaunch"), pf::Value(false));

    // A later attempt starts clean.
    env.desktop().install(*installed);
    startRelaunch({});
    env.runUntilIdle();
    EXPECT_TRUE(env.desktop().relaunchRequested());
}

TEST_F(RelaunchTest, AFailedRetryIsReportedAsTheFallbackAndSilentlyWhenAsked) {
    // The workspace's answer is kept for a second, so the retry uses a bundle gone since.
    ASSERT_TRUE(urlForApplication(*pf::NSWorkspace::shared(), QVApp::id()));
    env.desktop().uninstall(QVApp::id());
    startRelaunch({.isSilent = true});
    env.runUntilIdle();

    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].as<pf::NSError>()->userInfo().at("isFallback"), pf::Value(true));
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
    EXPECT_EQ(stored("QVApp_wasRelaunched"), pf::Value(false));
}

// A path that runs commands when it is spliced into the shell's command text.
std::string hostilePath(const std::filesystem::path& home) {
    return (home / "Apps" / "It's \"$(touch $HOME/dollar)\" `touch $HOME/tick` a.app").string();
}

// Runs a recorded shell with `sleep` and `open` stand-ins first on the path; `open` writes
// the number of its arguments and each one, a line each, to "opened" in HOME.
void runWithStandIns(const pf::NSTask& task, const std::filesystem::path& home) {
    const auto bin = home / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin / "sleep") << "#!/bin/sh\n";
    std::ofstream(bin / "open") << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$HOME/opened\"\n";
    for (const char* name : {"sleep", "open"}) {
        std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
    }
    std::vector<std::string> arguments{task.executableURL().path()};
    arguments.insert(arguments.end(), task.arguments().begin(), task.arguments().end());
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::string path = "PATH=" + bin.string() + ":/usr/bin:/bin";
    std::string homeEntry = "HOME=" + home.string();
    std::vector<char*> envp{path.data(), homeEntry.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RelaunchTest, TheShellOpensTheBundlePathAsOneArgumentAndRunsNothingInIt) {
    const std::string path = hostilePath(env.home());
    MovedMainBundle moved(path);
    RecordingLauncher launcher;
    startRelaunch({.usesShell = true});
    env.runUntilIdle();
    EXPECT_TRUE(pf::NSApp().isTerminated());
    EXPECT_EQ(stored("QVApp_wasRelaunched"), pf::Value(true));
    EXPECT_FALSE(env.desktop().relaunchRequested()) << "the workspace is not asked";

    ASSERT_EQ(launcher.launched.size(), 1u);
    const pf::NSTask& task = launcher.launched[0];
    EXPECT_EQ(task.executableURL().path(), "/bin/sh");
    EXPECT_THAT(task.arguments(), ElementsAre("-c", "sleep 0.2; open \"$1\"", "sh", path));

    runWithStandIns(task, env.home());
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(env.home() / "opened"),
              "1\n" + path + "\n");
    EXPECT_FALSE(std::filesystem::exists(env.home() / "dollar"));
    EXPECT_FALSE(std::filesystem::exists(env.home() / "tick"));
}

TEST_F(RelaunchTest, AShellThatCannotStartIsShownAndLeavesNoMarks) {
    RecordingLauncher launcher;
    launcher.failure = pf::NSError::make(pf::NSCocoaErrorDomain, 4);
    startRelaunch({.showsSettingsAfterRelaunch = true, .usesShell = true});
    env.runUntilIdle();
    EXPECT_FALSE(pf::NSApp().isTerminated());
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].code(), 4);
    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_THAT(env.logLines().back(), HasSubstr("[presentAsModalLegacy() in ErrorPresentation:"));
    EXPECT_EQ(stored("QVApp_wasRelaunched"), pf::Value(false));
    EXPECT_EQ(stored("QV_isShowingSettingsAfterRelaunch"), pf::Value(false));

    launcher.failure.reset();
    startRelaunch({.usesShell = true});
    env.runUntilIdle();
    EXPECT_EQ(launcher.launched.size(), 1u) << "a later attempt is not taken as pending";
}

TEST_F(RelaunchTest, AShellRelaunchAloneTouchesNoMarks) {
    RecordingLauncher launcher;
    launcher.failure = pf::NSError::make(pf::NSCocoaErrorDomain, 4);
    shellRelaunch(false, true);
    env.runUntilIdle();
    EXPECT_EQ(env.reports().size(), 1u);
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty()) << "silent";
    EXPECT_EQ(stored("QVApp_wasRelaunched"), pf::Value());
}

TEST_F(RelaunchTest, LeavingAtOnceExitsWithTheFlagsWritten) {
    RecordingLauncher launcher;
    EXPECT_EXIT(
        {
            startRelaunch({.exitsImmediately = true, .usesShell = true});
            env.runUntilIdle();
        },
        ::testing::ExitedWithCode(0), "");
    // The child wrote the defaults under this test's folders before it exited.
    const auto file = env.configHome() / "zestrel" / "Preferences" / (QVApp::id() + ".plist");
    EXPECT_THAT(pf::testing::DesktopEnvironment::readFile(file), HasSubstr("QVApp_wasRelaunched"));
}

} // namespace
} // namespace zestrel
