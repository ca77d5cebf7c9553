#include "foundation/MainQueue.h"

#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using namespace std::chrono_literals;

class MainQueueTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment env;
    pf::Nanoseconds start = pf::clock().uptime();
    std::vector<std::string> events;

    std::string elapsed() const {
        return std::to_string((pf::clock().uptime() - start) / 1ms) + " ms";
    }
    std::function<void()> record(std::string what) {
        return [this, what] { events.push_back(what + " at " + elapsed()); };
    }
};

TEST_F(MainQueueTest, ZeroAndNegativeDelaysRunInALaterTurnNeverInline) {
    asyncAfter(pf::DispatchQueue::main(), Duration::zero(), record("zero"));
    asyncAfter(pf::DispatchQueue::main(), Duration::seconds(-1), record("negative"));
    EXPECT_TRUE(events.empty());
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"zero at 0 ms", "negative at 0 ms"}));
}

TEST_F(MainQueueTest, CutChecksRunInOrderOfTheirDelays) {
    const auto main = pf::DispatchQueue::main();
    asyncAfter(main, Duration::milliseconds(600), record("third check"));
    asyncAfter(main, Duration::milliseconds(200), record("first check"));
    asyncAfter(main, Duration::seconds(0.4), record("second check"));
    asyncAfter(main, Duration::milliseconds(400), record("second check, queued later"));
    env.advance(199ms);
    EXPECT_TRUE(events.empty());
    env.advance(1s);
    EXPECT_EQ(events, (std::vector<std::string>{
                          "first check at 200 ms",
                          "second check at 400 ms",
                          "second check, queued later at 400 ms",
                          "third check at 600 ms",
                      }));
}

TEST_F(MainQueueTest, DelayBeyondTheClocksRangeNeverComes) {
    asyncAfter(pf::DispatchQueue::main(), Duration(9'223'372'036, 900'000'000'000'000'000),
               record("far future"));
    env.advance(24h);
    EXPECT_TRUE(events.empty());
}

TEST_F(MainQueueTest, CommonModesTimerFiresOnceWhileAMenuTracksAndADefaultOneWaits) {
    auto common = commonModesTimer(Duration::milliseconds(100), false,
                                   [this](pf::Timer&) { record("common timer")(); });
    scheduledTimer(Duration::milliseconds(100), false,
                   [this](pf::Timer&) { record("default timer")(); });
    bool menuClosed = false;
    // The person closes the menu: the main queue waits on the block that tracks it.
    pf::RunLoop::main().machineAsyncAt(pf::clock().uptime() + 300ms,
                                       [&menuClosed] { menuClosed = true; });
    pf::DispatchQueue::main().async([&] {
        pf::RunLoop::main().runInMode(pf::RunLoopMode::eventTracking,
                                      [&menuClosed] { return menuClosed; });
        record("menu closed")();
    });
    env.runUntilIdle();
    env.advance(1s);
    EXPECT_EQ(events, (std::vector<std::string>{
                          "common timer at 100 ms",
                          "menu closed at 300 ms",
                          "default timer at 300 ms",
                      }));
    EXPECT_FALSE(common->isValid());
}

TEST_F(MainQueueTest, RepeatingCommonModesTimerKeepsFiringInAModalPanelUntilItStopsItself) {
    int polls = 0;
    auto poll = commonModesTimer(Duration::milliseconds(250), true, [&polls](pf::Timer& timer) {
        if (++polls == 3) {
            timer.invalidate();
        }
    });
    EXPECT_TRUE(
        pf::RunLoop::main().runModal(pf::RunLoopMode::modalPanel, [&polls] { return polls == 3; }));
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(elapsed(), "750 ms");
    EXPECT_FALSE(poll->isValid());
    env.advance(1s);
    EXPECT_EQ(polls, 3);
}

} // namespace
} // namespace zestrel
