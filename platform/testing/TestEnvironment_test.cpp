#include "platform/testing/TestEnvironment.h"

#include "platform/appkit/NSSound.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/ReportSink.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StandardStreams.h"
#include "platform/base/Timer.h"
#include "platform/concurrency/Continuation.h"
#include "platform/concurrency/Executor.h"
#include "platform/concurrency/Task.h"
#include "platform/system/SystemSound.h"
#include "platform/testing/CannotRunHere.h"
#include "platform/testing/FileContents.h"
#include "platform/testing/Unprivileged.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <grp.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kThisFile = "platform/testing/TestEnvironment_test.cpp:";

std::string postedHere(const char* kind, const char* due, int line) {
    return std::string("RunLoop ") + kind + " due " + due + " from " + kThisFile +
           std::to_string(line);
}

TEST(TestEnvironment, StartsAtTheFixedDateInFreshFolders) {
    const std::string outerHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    {
        TestEnvironment env;
        EXPECT_EQ(clock().now().description(), "2026-01-15 10:00:00 +0000");
        EXPECT_TRUE(clock().isVirtual());
        EXPECT_EQ(std::getenv("HOME"), env.home().string());
        EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), env.configHome().string());
        EXPECT_TRUE(std::filesystem::is_directory(env.configHome()));
        env.clock().advance(std::chrono::seconds(61));
        EXPECT_EQ(clock().now().description(), "2026-01-15 10:01:01 +0000");
    }
    EXPECT_FALSE(clock().isVirtual());
    EXPECT_EQ(std::getenv("HOME") ? std::getenv("HOME") : "", outerHome);
}

TEST(TestEnvironment, StartsOnAMachineThatHeardNoSound) {
    {
        TestEnvironment env;
        NSSound::beep();
        AudioServicesPlaySystemSoundWithCompletion(env.cutSound(), nullptr);
        ASSERT_EQ(NSSound::beepCount(), 1);
        ASSERT_EQ(SystemSoundServer::playCount(), 1u);
    }
    TestEnvironment env;
    EXPECT_EQ(NSSound::beepCount(), 0);
    EXPECT_EQ(SystemSoundServer::playCount(), 0u);
}

// With its own folders private, as a TMPDIR inside a home is, another user's part of a test
// opens none of them, nor any other folder above its own: each keeps its mode, seen from the
// part as it runs and after it. It still reaches its own folder.
TEST(TestEnvironment, AnUnprivilegedPartChangesNoFolderAboveItsOwn) {
    namespace fs = std::filesystem;
    TestEnvironment env;
    const fs::path privateTemp = env.home() / "Library" / "Caches" / "tmp";
    fs::create_directories(privateTemp);
    for (auto at = privateTemp; at != env.home().parent_path(); at = at.parent_path()) {
        fs::permissions(at, fs::perms::owner_all);
    }
    setenv("TMPDIR", privateTemp.c_str(), 1); // the environment puts it back
    // Every folder from the private chain and from the shared temporary folder up.
    const auto modes = [&] {
        std::map<fs::path, mode_t> all;
        for (const fs::path& start : {privateTemp, fs::path("/tmp")}) {
            for (auto at = start;; at = at.parent_path()) {
                all.emplace(at, modeOf(at));
                if (at == at.root_path()) {
                    break;
                }
            }
        }
        return all;
    };
    const auto before = modes();
    runUnprivileged([&before](const fs::path& own) {
        std::ofstream(own / "note") << "note";
        EXPECT_EQ(contentsOf(own / "note"), "note");
        for (auto at = own.parent_path();; at = at.parent_path()) {
            ASSERT_TRUE(before.contains(at)) << at << " was made for the part";
            EXPECT_EQ(modeOf(at), before.at(at)) << at;
            if (at == at.root_path()) {
                break;
            }
        }
    });
    EXPECT_EQ(modes(), before);
}

// Root's part keeps none of root's groups: one would open to it what that group may reach.
TEST(TestEnvironment, AnUnprivilegedPartHoldsNoOtherGroup) {
    std::vector<gid_t> groups(std::max(::getgroups(0, nullptr), 0));
    ::getgroups(static_cast<int>(groups.size()), groups.data());
    const gid_t rootsGroup = 0;
    if (::geteuid() != 0 || ::setgroups(1, &rootsGroup) != 0) {
        cannotRunHere("only root's part gives up the groups it holds");
        return;
    }
    const std::shared_ptr<void> restore(
        nullptr, [&groups](void*) { ::setgroups(groups.size(), groups.data()); });
    runUnprivileged([](const std::filesystem::path&) { EXPECT_EQ(::getgroups(0, nullptr), 0); });
}

// A part that cannot run says so where ctest shows it: the test is skipped, and under CI,
// where every part must run, it fails. Root's part cannot run where its shared folder is
// closed to the user it runs as, or where its child cannot become that user.
TEST(TestEnvironment, AnUnprivilegedPartThatCannotRunSkipsTheTestOrFailsItUnderCI) {
    if (::geteuid() != 0) {
        cannotRunHere("only root's part works in a shared folder");
        return;
    }
    TestEnvironment env;
    const auto closed = env.home() / "closed";
    std::filesystem::create_directory(closed);
    std::filesystem::permissions(closed, std::filesystem::perms::owner_all);
    struct Row {
        const char* why;
        std::filesystem::path shared;
        bool (*become)();
        std::string said;
    };
    const std::vector<Row> rows{
        {"closed shared folder", closed, becomeNobody,
         "the unprivileged part cannot run: " + closed.string() + " is closed to other users"},
        {"no switch of user", "/tmp", [] { return false; },
         "the unprivileged part cannot run: the test cannot run a process as the user nobody"},
    };
    const char* ci = std::getenv("CI");
    const std::shared_ptr<void> restore(
        nullptr, [saved = ci ? std::optional<std::string>(ci) : std::nullopt](void*) {
            saved ? setenv("CI", saved->c_str(), 1) : unsetenv("CI");
        });
    for (const auto& row : rows) {
        for (const bool underCI : {false, true}) {
            SCOPED_TRACE(std::string(row.why) + (underCI ? ", under CI" : ""));
            setenv("CI", underCI ? "true" : "false", 1);
            ::testing::TestPartResultArray results;
            {
                const ::testing::ScopedFakeTestPartResultReporter reporter(&results);
                // Run, it would end its process with a status the helper reports as a failure.
                runUnprivileged([](const std::filesystem::path&) { ::_exit(3); }, row.shared,
                                row.become);
            }
            ASSERT_EQ(results.size(), 1);
            EXPECT_EQ(results.GetTestPartResult(0).type(),
                      underCI ? ::testing::TestPartResult::kNonFatalFailure
                              : ::testing::TestPartResult::kSkip);
            EXPECT_THAT(results.GetTestPartResult(0).message(), HasSubstr(row.said));
        }
    }
}

TEST(TestEnvironment, CapturesLogsReportsAndStandardOutput) {
    TestEnvironment env;
    osLog(OSLog{"com.quorvik.Zestrel", "general"}, OSLogType::defaultLevel, "hello\n");
    deliverReport(NSError::make("D", 1));
    print("printed");
    EXPECT_EQ(env.logLines(), std::vector<std::string>{"hello\n"});
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].domain(), "D");
    EXPECT_EQ(env.standardOutput(), "printed\n");
    env.clearCaptures();
    EXPECT_TRUE(env.logLines().empty());
}

TEST(TestEnvironmentPendingWork, NamesWhereEachItemWasPostedAndWhenItFallsDue) {
    TestEnvironment env;
    const auto delayed = DispatchTime::now() + 2s;
    // clang-format off
    const int block = __LINE__; DispatchQueue::main().async([] {});
    const int later = __LINE__; RunLoop::main().asyncAt(delayed.uptime, [] {});
    const int timer = __LINE__; auto fires = Timer::scheduledTimer(0.5, false, [](Timer&) {});
    const int worker = __LINE__; DispatchQueue("worker").asyncAfter(3s, [] {});
    auto cancelled = Timer::scheduledTimer(1s, true, [](Timer&) {});
    // clang-format on
    cancelled->invalidate();

    EXPECT_EQ(env.pendingWork(), (std::vector<std::string>{
                                     postedHere("block", "+0.000s", block),
                                     postedHere("timer", "+0.500s", timer),
                                     postedHere("block", "+2.000s", later),
                                     postedHere("block", "+3.000s", worker),
                                 }));

    // Due times are counted from the clock's present; what ran is gone.
    env.advance(1s);
    EXPECT_EQ(env.pendingWork(), (std::vector<std::string>{
                                     postedHere("block", "+1.000s", later),
                                     postedHere("block", "+2.000s", worker),
                                 }));
}

TEST(TestEnvironmentPendingWork, ANestedRunThatGoesIdlePrintsWhatIsLeft) {
    TestEnvironment env;
    // A timer of the default mode can never fire in a modal run, so the run goes idle.
    const int timer = __LINE__ + 1;
    auto waiting = Timer::scheduledTimer(5s, false, [](Timer&) {});
    ::testing::internal::CaptureStderr();
    const auto result = RunLoop::main().runInMode(RunLoopMode::modalPanel, [] { return false; });
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, RunLoop::RunResult::idle);
    EXPECT_THAT(printed, HasSubstr("nested run went idle"));
    EXPECT_THAT(printed, HasSubstr(postedHere("timer", "+5.000s", timer)));

    // A run that finishes says nothing.
    ::testing::internal::CaptureStderr();
    RunLoop::main().runInMode(RunLoopMode::modalPanel, [] { return true; });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(TestEnvironmentPendingWork, ATaskIsListedWhereItWasStartedNotWhereItsExecutorPosts) {
    TestEnvironment env;
    std::optional<CheckedContinuation<void>> parked;
    auto parks = [&parked]() -> Task<void> {
        co_await withCheckedContinuation<void>(
            [&parked](CheckedContinuation<void> continuation) { parked = continuation; });
    };
    // clang-format off
    const int global = __LINE__; Task<void>::run(parks);
    const int main = __LINE__; Task<void>::runOnMain([]() -> Task<void> { co_return; });
    const int detached = __LINE__; Task<void>::detached([]() -> Task<void> { co_return; });
    // clang-format on
    EXPECT_EQ(env.pendingWork(), (std::vector<std::string>{
                                     postedHere("block", "+0.000s", global),
                                     postedHere("block", "+0.000s", main),
                                     postedHere("block", "+0.000s", detached),
                                 }));

    // A suspended task that is resumed elsewhere is still named by the line that started it.
    env.runUntilIdle();
    ASSERT_TRUE(parked.has_value());
    EXPECT_TRUE(env.pendingWork().empty());
    parked->resume();
    EXPECT_EQ(env.pendingWork(), std::vector<std::string>{postedHere("block", "+0.000s", global)});
    env.runUntilIdle();
}

TEST(TestEnvironmentPendingWork, ABlockWaitingBehindABusySerialQueueShowsTheQueueAndItsLine) {
    TestEnvironment env;
    DispatchQueue queue("com.quorvik.test.busy");
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    queue.async([&started, released] {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();
    // clang-format off
    const int waiting = __LINE__; queue.async([] {});
    // clang-format on
    EXPECT_EQ(env.pendingWork(),
              std::vector<std::string>{"DispatchQueue \"com.quorvik.test.busy\" "
                                       "block from " +
                                       std::string(kThisFile) + std::to_string(waiting)});

    release.set_value();
    queue.sync([] {}); // everything posted before it has run
    EXPECT_TRUE(env.pendingWork().empty());
}

TEST(TestEnvironmentPendingWork, JobsQueuedOnTheGlobalExecutorsThreadsAreListed) {
    TestEnvironment env;
    setGlobalExecutorMode(GlobalExecutorMode::threadPool);
    // More blockers than the pool has threads, so the job after them has to wait.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    for (int i = 0; i < 4; ++i) {
        Task<void>::run([released]() -> Task<void> {
            released.wait();
            co_return;
        });
    }
    std::promise<void> done;
    // clang-format off
    const int queued = __LINE__; Task<void>::run([&done]() -> Task<void> { done.set_value(); co_return; });
    // clang-format on
    EXPECT_THAT(env.pendingWork(), Contains("Global executor job from " + std::string(kThisFile) +
                                            std::to_string(queued)));

    release.set_value();
    done.get_future().wait();
    setGlobalExecutorMode(GlobalExecutorMode::mainRunLoop);
}

TEST(TestEnvironmentPendingWorkDeathTest, RunUntilIdleThatNeverSettlesPrintsWhatKeepsPosting) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestEnvironment env;
    int line = 0;
    std::function<void()> again;
    again = [&again, &line] {
        // clang-format off
        line = __LINE__; DispatchQueue::main().async(again);
        // clang-format on
    };
    again();
    EXPECT_DEATH(env.runUntilIdle(),
                 "did not settle(.|\n)*TestEnvironment_test.cpp:" + std::to_string(line));
}

} // namespace
} // namespace zestrel::platform::testing
