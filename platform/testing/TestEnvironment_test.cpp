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
#include "platform/testing/FileContents.h"
#include "platform/testing/Unprivileged.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
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
// opens none of them.
TEST(TestEnvironment, AnUnprivilegedPartChangesNoFolderAboveItsOwn) {
    TestEnvironment env;
    const auto modes = [&] {
        std::vector<mode_t> all;
        for (auto at = env.home(); at != at.root_path(); at = at.parent_path()) {
            all.push_back(modeOf(at));
        }
        return all;
    };
    const auto before = modes();
    runUnprivileged([](const std::filesystem::path&) {});
    EXPECT_EQ(modes(), before);
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
