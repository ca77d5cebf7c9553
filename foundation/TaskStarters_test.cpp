#include "foundation/TaskStarters.h"

#include "foundation/GeneralError.h"
#include "foundation/ResumeThrowing.h"
#include "platform/base/MainThread.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::CheckedThrowingContinuation;
using platform::Error;
using platform::Task;
using platform::TaskPriority;

class TaskStartersTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
};

TEST_F(TaskStartersTest, StartedTasksRunLaterWithTheGivenOrInheritedPriority) {
    std::vector<std::optional<TaskPriority>> seen;
    auto task = startTask(TaskPriority::utility, [&seen]() -> Task<int> {
        seen.push_back(Task<>::currentPriority());
        co_return 3;
    });
    startMainActorTask(std::nullopt, [&seen]() -> Task<void> {
        seen.push_back(Task<>::currentPriority());
        co_return;
    });
    EXPECT_TRUE(seen.empty());
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::optional<TaskPriority>>{TaskPriority::utility,
                                                              TaskPriority::userInitiated}));
    EXPECT_TRUE(task.isFinished());
}

TEST_F(TaskStartersTest, ResumeThrowingPrefersTheErrorOverTheValue) {
    std::vector<std::string> outcomes;
    auto await = [&outcomes](std::optional<int> value, std::optional<Error> error) {
        Task<void>::run([&outcomes, value, error]() -> Task<void> {
            try {
                const int got = co_await platform::withCheckedThrowingContinuation<int>(
                    [&](CheckedThrowingContinuation<int> continuation) {
                        resumeThrowing(continuation, value, error);
                    });
                outcomes.push_back(std::to_string(got));
            } catch (const Error& thrown) {
                outcomes.push_back(thrown.localizedDescription());
            }
        });
    };
    await(5, std::nullopt);
    await(5, GeneralError::make("Failed."));
    env.runUntilIdle();
    EXPECT_EQ(outcomes, (std::vector<std::string>{"5", "Failed."}));
}

using TaskStartersDeathTest = TaskStartersTest;

TEST_F(TaskStartersDeathTest, ResumeThrowingWithNeitherValueNorErrorStopsTheProcess) {
    EXPECT_DEATH(
        {
            Task<void>::run([]() -> Task<void> {
                co_await platform::withCheckedThrowingContinuation<int>(
                    [](CheckedThrowingContinuation<int> continuation) {
                        resumeThrowing<int>(continuation, std::nullopt, std::nullopt);
                    });
            });
            env.runUntilIdle();
        },
        "neither a value nor an error");
}

} // namespace
} // namespace zestrel
