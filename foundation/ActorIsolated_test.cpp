#include "foundation/ActorIsolated.h"

#include "foundation/Box.h"
#include "foundation/GeneralError.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::Error;
using platform::Task;

class ActorIsolatedTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
};

TEST_F(ActorIsolatedTest, ChangesBeforeAThrowInsideWithValueStay) {
    auto actor = ActorIsolated<std::vector<int>>::make(std::vector<int>{1});
    bool threw = false;
    std::vector<int> after;
    Task<void>::run([&]() -> Task<void> {
        try {
            co_await actor->withValue([](std::vector<int>& value) -> int {
                value.push_back(2);
                throw GeneralError::make("Stop.");
            });
        } catch (const Error&) {
            threw = true;
        }
        after = co_await actor->value();
    });
    env.runUntilIdle();
    EXPECT_TRUE(threw);
    EXPECT_EQ(after, (std::vector<int>{1, 2}));
}

TEST_F(ActorIsolatedTest, WithValueAnswersTheOperationsResult) {
    auto actor = ActorIsolated<int>::make(20);
    int answer = 0;
    Task<void>::run([&]() -> Task<void> {
        answer = co_await actor->withValue([](int& value) { return ++value * 2; });
    });
    env.runUntilIdle();
    EXPECT_EQ(answer, 42);
}

TEST_F(ActorIsolatedTest, AThrowingSetValueKeepsTheOldValue) {
    auto actor = ActorIsolated<int>::make(5);
    int after = 0;
    Task<void>::run([&]() -> Task<void> {
        try {
            co_await actor->setValue([]() -> int { throw GeneralError::make("No value."); });
        } catch (const Error&) {
        }
        co_await actor->setValue([] { return 6; });
        after = co_await actor->value();
    });
    env.runUntilIdle();
    EXPECT_EQ(after, 6);
}

TEST_F(ActorIsolatedTest, AThrowingProducerMakesNoActor) {
    EXPECT_THROW(
        ActorIsolated<int>::make([]() -> int { throw GeneralError::make("Cannot start."); }),
        Error);
}

// The box of the actor family is the one box of that name, usable beside the kit's other
// boxes.
TEST_F(ActorIsolatedTest, AsyncValueBoxReadsWhatWasWritten) {
    AsyncValueBox<std::string> text("a");
    AsyncValueBox<MutableBox<int>> boxed(MutableBox<int>(1));
    std::string read;
    std::optional<MutableBox<int>> readBox;
    Task<void>::run([&]() -> Task<void> {
        const std::string written = "a text longer than the small-string buffer";
        co_await text.setValue(written);
        read = co_await text.value();
        co_await boxed.setValue(MutableBox<int>(2));
        readBox = co_await boxed.value();
    });
    env.runUntilIdle();
    EXPECT_EQ(read, "a text longer than the small-string buffer");
    EXPECT_EQ(readBox, MutableBox<int>(2));
}

} // namespace
} // namespace zestrel
