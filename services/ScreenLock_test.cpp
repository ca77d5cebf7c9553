#include "services/ScreenLock.h"

#include "foundation/IOKitError.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/PowerAssertions.h"
#include "platform/desktop/SessionInfo.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using pf::Value;

Value assertion(std::initializer_list<std::pair<const std::string, Value>> entries) {
    return Value(Value::Dictionary(entries));
}

class ScreenLockTest : public ::testing::Test {
protected:
    // Starts a wait on the main actor; `waitEnded` turns true when it returns normally.
    pf::Task<void> startWait() {
        return pf::Task<void>::runOnMain([ended = waitEnded]() -> pf::Task<void> {
            co_await waitForScreenLockChange();
            *ended = true;
        });
    }
    void lock(bool locked) { env.desktop().setScreenLocked(locked); }
    pf::PowerAssertions& assertions() { return env.desktop().powerAssertions(); }

    pf::testing::DesktopEnvironment env;
    std::shared_ptr<bool> waitEnded = std::make_shared<bool>(false);
};

TEST_F(ScreenLockTest, TheLockedStateIsTheSessionsBooleanFlag) {
    EXPECT_FALSE(isScreenLocked());
    lock(true);
    EXPECT_TRUE(isScreenLocked());
    lock(false);
    EXPECT_FALSE(isScreenLocked());

    auto& session = env.desktop().session();
    session.setDictionary(Value::Dictionary{{pf::kCGSSessionScreenIsLockedKey, Value(1)}});
    EXPECT_FALSE(isScreenLocked());
    session.setDictionary(std::nullopt);
    EXPECT_FALSE(isScreenLocked());
}

TEST_F(ScreenLockTest, ThePublisherMapsLockToTrueAndUnlockToFalseInOrder) {
    std::vector<bool> seen;
    auto subscription = screenLockPublisher().sink([&](bool locked) { seen.push_back(locked); });
    lock(true);
    lock(false);
    pf::NotificationCenter::distributedCenter()->post("com.apple.screenIsUnlocked");
    pf::NotificationCenter::distributedCenter()->post("com.apple.screensaver.didstart");
    EXPECT_EQ(seen, (std::vector<bool>{true, false, false}));
}

TEST_F(ScreenLockTest, AWaitOnAnUnlockedScreenEndsAtOnce) {
    auto wait = startWait();
    env.runUntilIdle();
    EXPECT_TRUE(*waitEnded);
}

TEST_F(ScreenLockTest, AWaitOnALockedScreenEndsWithTheUnlock) {
    lock(true);
    auto wait = startWait();
    env.runUntilIdle();
    env.advance(pf::Nanoseconds(3600LL * 1'000'000'000));
    EXPECT_FALSE(*waitEnded);
    lock(false);
    env.runUntilIdle();
    EXPECT_TRUE(*waitEnded);
}

// The wait must listen before it looks: an unlock that comes between the two steps would
// otherwise leave it waiting for a change that already happened.
TEST_F(ScreenLockTest, AnUnlockBetweenListeningAndLookingIsNotLost) {
    lock(true);
    setScreenLockWaitHookForTesting([this] { lock(false); });
    auto wait = startWait();
    env.runUntilIdle();
    EXPECT_TRUE(*waitEnded);
}

TEST_F(ScreenLockTest, CancellingAWaitEndsItQuietly) {
    lock(true);
    auto wait = startWait();
    env.runUntilIdle();
    wait.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(wait.isFinished());
    EXPECT_TRUE(*waitEnded);
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(ScreenLockTest, TheDarkWakeLingerAssertionOfAnyProcessMeansDarkWake) {
    EXPECT_FALSE(isInDarkWake());
    assertions().setAssertions(
        74, Value(Value::Array{assertion({{"AssertType", Value("PreventUserIdleSystemSleep")},
                                          {"AssertName", Value("Playing audio")}})}));
    EXPECT_FALSE(isInDarkWake());
    // The system's own assertion may carry its type only as the "true type".
    assertions().setAssertions(
        91, Value(Value::Array{
                assertion({{"AssertionTrueType", Value("InternalPreventSleep")},
                           {"AssertName", Value("com.apple.powermanagement.darkwakelinger")}})}));
    EXPECT_TRUE(isInDarkWake());
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(ScreenLockTest, TheTypeOrNameAloneIsNoDarkWake) {
    assertions().setAssertions(
        91, Value(Value::Array{
                assertion({{"AssertType", Value("InternalPreventSleep")},
                           {"AssertName", Value("com.apple.powermanagement.other")}}),
                assertion({{"AssertType", Value("PreventSystemSleep")},
                           {"AssertName", Value("com.apple.powermanagement.darkwakelinger")}}),
                assertion({{"AssertType", Value("InternalPreventSleep")}})}));
    EXPECT_FALSE(isInDarkWake());
}

TEST_F(ScreenLockTest, ParsingFallsBackFromTypeToTrueTypeAndFromNameToType) {
    EXPECT_EQ(parsePowerAssertion({{"AssertType", Value("A")},
                                   {"AssertionTrueType", Value("B")},
                                   {"AssertName", Value("n")}}),
              (PowerAssertion{"A", "n"}));
    EXPECT_EQ(parsePowerAssertion({{"AssertType", Value(3)}, {"AssertionTrueType", Value("B")}}),
              (PowerAssertion{"B", "B"}));
    EXPECT_TRUE(env.reports().empty());

    EXPECT_EQ(parsePowerAssertion({{"AssertName", Value("n")}}), (PowerAssertion{"", "n"}));
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports.front().localizedDescription().find(".type should not be empty"),
              std::string::npos)
        << reports.front().describe();
}

TEST_F(ScreenLockTest, AFailedListingThrowsTheKernelsTextButIsNoDarkWake) {
    assertions().setFailure(pf::kIOReturnNotPrivileged);
    try {
        powerAssertionsByProcess();
        FAIL() << "no error thrown";
    } catch (const pf::Error& error) {
        const auto* body = error.as<IOKitError>();
        ASSERT_NE(body, nullptr) << error.describe();
        EXPECT_EQ(body->returnValue(), pf::kIOReturnNotPrivileged);
        EXPECT_EQ(error.localizedDescription(), "(iokit/common) privilege violation");
    }
    EXPECT_FALSE(isInDarkWake());
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(ScreenLockTest, KernelErrorTextsFallBackToTheCode) {
    EXPECT_EQ(kernelErrorDescription(pf::kIOReturnError), "(iokit/common) general error");
    EXPECT_EQ(kernelErrorDescription(12345), "Unknown kernel error: 12345");
    EXPECT_EQ(kernelErrorDescription(-7), "Unknown kernel error: -7");
}

TEST_F(ScreenLockTest, AListingOfAnotherShapeHasNoAssertions) {
    const Value linger(Value::Array{
        assertion({{"AssertType", Value("InternalPreventSleep")},
                   {"AssertName", Value("com.apple.powermanagement.darkwakelinger")}})});
    assertions().setAssertions(91, linger);
    assertions().setAssertions(5, Value(Value::Array{Value("not a dictionary")}));
    EXPECT_TRUE(powerAssertionsByProcess().empty());
    EXPECT_FALSE(isInDarkWake());

    assertions().setAssertions(5, Value());
    assertions().setAssertions(7, Value(Value::Array{}));
    const auto byProcess = powerAssertionsByProcess();
    EXPECT_EQ(byProcess.size(), 2u);
    EXPECT_TRUE(isInDarkWake());
}

TEST(FlattenedArrayValuesTest, JoinsTheListsInKeyOrder) {
    const std::map<int, std::vector<std::string>> lists{{9, {"c"}}, {2, {"a", "b"}}, {5, {}}};
    EXPECT_EQ(flattenedArrayValues(lists), (std::vector<std::string>{"a", "b", "c"}));
}

} // namespace
} // namespace zestrel
