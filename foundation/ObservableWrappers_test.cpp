#include "foundation/ObservableWrappers.h"

#include "platform/concurrency/Subjects.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using pf::Task;

class ObservableWrappersTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment env;
};

TEST_F(ObservableWrappersTest, ReleasingTheHolderCancelsItsTask) {
    Task<void> task =
        Task<void>::run([]() -> Task<void> { co_await Task<>::sleep(std::chrono::seconds(10)); });
    {
        AutoCancelling<void> holder(task);
        env.runUntilIdle();
        EXPECT_FALSE(task.isCancelled());
    }
    EXPECT_TRUE(task.isCancelled());
    AutoCancelling<void> empty;
}

TEST_F(ObservableWrappersTest, ObservableValueSignalsBeforeEachChangeUntilReleased) {
    pf::combine::PassthroughSubject<int> source;
    auto value = std::make_unique<ObservableValue<int>>(0, source.eraseToAnyPublisher());
    std::vector<int> seenAtSignal;
    auto observation = value->objectWillChange().sink(
        [&](const pf::combine::Void&) { seenAtSignal.push_back(value->wrappedValue()); });
    source.send(1);
    source.send(2);
    EXPECT_EQ(value->wrappedValue(), 2);
    EXPECT_EQ(seenAtSignal, (std::vector<int>{0, 1}));
    value.reset();
    source.send(3); // the subscription ended with the value: nothing touches it
    EXPECT_EQ(seenAtSignal.size(), 2u);
}

TEST_F(ObservableWrappersTest, KVOObservableSignalsThroughItsPublishedValue) {
    pf::combine::PassthroughSubject<std::string> source;
    auto value = std::make_shared<KVOObservable<std::string>>("a", source.eraseToAnyPublisher());
    int signals = 0;
    auto observation = value->objectWillChange().sink([&](const pf::combine::Void&) { ++signals; });
    source.send("b");
    EXPECT_EQ(value->value(), "b");
    EXPECT_EQ(signals, 1);
    value.reset();
    source.send("c");
    EXPECT_EQ(signals, 1);
}

TEST_F(ObservableWrappersTest, AsyncMapTransformsOnlyAPresentValue) {
    int calls = 0;
    std::vector<std::optional<std::string>> results;
    Task<void>::run([&]() -> Task<void> {
        auto describe = [&calls](int value) -> Task<std::string> {
            ++calls;
            co_return std::to_string(value * 2);
        };
        const std::optional<int> present(21);
        const std::optional<int> absent;
        auto mapPresent = asyncMap(present, describe);
        results.push_back(co_await mapPresent);
        auto mapAbsent = asyncMap(absent, describe);
        results.push_back(co_await mapAbsent);
    });
    env.runUntilIdle();
    EXPECT_EQ(results, (std::vector<std::optional<std::string>>{"42", std::nullopt}));
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace zestrel
