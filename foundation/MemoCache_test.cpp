#include "foundation/MemoCache.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace zestrel {
namespace {

namespace pf = platform;
using namespace std::chrono_literals;

class MemoCacheTest : public ::testing::Test {
protected:
    // Deferred passes are tasks, run by the test's run loop as time passes.
    void advance(pf::Nanoseconds duration) { environment.advance(duration); }
    pf::Date now() { return environment.clock().now(); }

    int lookUp(const std::string& name, Duration lifetime = Duration::seconds(1)) {
        return memoized(lifetime, {name}, [&] { return ++computed; });
    }

    pf::testing::TestEnvironment environment;
    int computed = 0;
};

TEST_F(MemoCacheTest, FirstLookupComputesStoresAndPrunesAtOnce) {
    EXPECT_EQ(lookUp("Finder"), 1);
    EXPECT_EQ(memoCache().count(), 1u);
    const auto state = memoMaintenanceState();
    EXPECT_EQ(state.lastPruneDate, now());
    EXPECT_TRUE(state.toggle);
    EXPECT_FALSE(state.hasPruneTask);
}

TEST_F(MemoCacheTest, RemembersWithinTheLifetimeAndRecomputesAfter) {
    EXPECT_EQ(lookUp("Finder"), 1);
    environment.advance(999ms);
    EXPECT_EQ(lookUp("Finder"), 1);
    EXPECT_EQ(lookUp("Mail"), 2);
    environment.advance(1ms); // the lifetime is over: exactly now is no longer fresh
    EXPECT_EQ(lookUp("Finder"), 3);
    EXPECT_EQ(lookUp("Finder"), 3);
}

TEST_F(MemoCacheTest, CallSitesAreRememberedSeparately) {
    auto first = memoized(Duration::seconds(60), {"same"}, [] { return std::string("first"); });
    auto second = memoized(Duration::seconds(60), {"same"}, [] { return std::string("second"); });
    EXPECT_EQ(first, "first");
    EXPECT_EQ(second, "second");
    EXPECT_FALSE(memoKey("a/File.cpp", "f", 1, {"k"}) == memoKey("b/File.cpp", "f", 2, {"k"}));
    EXPECT_TRUE(memoKey("a/File.cpp", "f", 1, {"k"}) == memoKey("b/File.cpp", "f", 1, {"k"}));
}

TEST_F(MemoCacheTest, PruneKeepsWhatExpiresExactlyNow) {
    memoCache().set(memoKey("F.cpp", "f", 1, {}), MemoEntry{now().addingTimeInterval(-10), 1});
    memoCache().set(memoKey("F.cpp", "f", 2, {}), MemoEntry{now().addingTimeInterval(-10.5), 2});
    pruneMemoCache(Duration::seconds(10));
    EXPECT_TRUE(memoCache().value(memoKey("F.cpp", "f", 1, {})).has_value());
    EXPECT_FALSE(memoCache().value(memoKey("F.cpp", "f", 2, {})).has_value());
    EXPECT_EQ(memoMaintenanceState().lastPruneDate, now());
}

// A lifetime too long to count in nanoseconds saturates toward its own sign, as durations
// convert everywhere: a vast negative lifetime never keeps a result, a vast positive one
// keeps it.
TEST_F(MemoCacheTest, LifetimesBeyondTheNanosecondRangeKeepTheirSign) {
    const Duration vast{9'223'372'036, 900'000'000'000'000'000};
    EXPECT_EQ(lookUp("Finder", vast.negated()), 1);
    EXPECT_EQ(lookUp("Finder", vast.negated()), 2);
    pruneMemoCache(vast.negated());
    EXPECT_EQ(memoCache().count(), 0u);

    EXPECT_EQ(lookUp("Mail", vast), 3);
    environment.advance(std::chrono::hours(24 * 365));
    EXPECT_EQ(lookUp("Mail", vast), 3);
}

TEST_F(MemoCacheTest, MaintenanceActsOnEveryOtherCall) {
    const pf::Date start = now();
    maintainMemoCache(Duration::seconds(1)); // 1: full pass
    environment.advance(61s);
    maintainMemoCache(Duration::seconds(1)); // 2: ignored although a pass is due
    EXPECT_EQ(memoMaintenanceState().lastPruneDate, start);
    maintainMemoCache(Duration::seconds(1)); // 3: full pass
    EXPECT_EQ(memoMaintenanceState().lastPruneDate, now());
}

// Within a minute of a full pass, lookups 2 seconds apart push one deferred pass ahead;
// the replaced pass removes nothing.
TEST_F(MemoCacheTest, DeferredPassIsPushedAheadAndCancelledPassesDoNothing) {
    const pf::Date start = now();
    lookUp("Finder"); // 1: full pass
    lookUp("Finder"); // 2: ignored
    advance(2s);
    lookUp("Finder"); // 3: schedules a pass for start + 12 s
    EXPECT_EQ(memoMaintenanceState().lastScheduleDate, now());
    lookUp("Finder"); // 4: ignored
    advance(1s);
    lookUp("Finder"); // 5: within 2 s of the last schedule: nothing
    lookUp("Finder"); // 6: ignored
    EXPECT_EQ(memoMaintenanceState().lastScheduleDate, start.addingTimeInterval(2));
    advance(1s);
    lookUp("Finder"); // 7: the 2 s window is inclusive: nothing
    lookUp("Finder"); // 8: ignored
    advance(1s);
    lookUp("Finder"); // 9: replaces the pass by one for start + 15 s
    EXPECT_EQ(memoMaintenanceState().lastScheduleDate, start.addingTimeInterval(5));

    advance(9s); // start + 14: the replaced pass fell due but was cancelled
    EXPECT_EQ(memoMaintenanceState().lastPruneDate, start);
    EXPECT_EQ(memoCache().count(), 1u);
    advance(1s); // start + 15: the pending pass prunes the expired entry
    EXPECT_EQ(memoMaintenanceState().lastPruneDate, now());
    EXPECT_EQ(memoCache().count(), 0u);
}

} // namespace
} // namespace zestrel
