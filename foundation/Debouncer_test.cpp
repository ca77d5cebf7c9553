#include "foundation/Debouncer.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace zestrel {
namespace {

using namespace std::chrono_literals;

TEST(DebouncerTest, OnlyTheLastActionOfABurstRunsAfterTheDelay) {
    platform::testing::TestEnvironment environment;
    Debouncer debouncer(500ms);
    std::vector<int> ran;
    debouncer([&] { ran.push_back(1); });
    environment.advance(400ms);
    debouncer([&] { ran.push_back(2); });
    environment.advance(400ms);
    EXPECT_TRUE(ran.empty());
    environment.advance(100ms);
    EXPECT_EQ(ran, std::vector<int>{2});
}

} // namespace
} // namespace zestrel
