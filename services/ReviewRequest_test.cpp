#include "services/ReviewRequest.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/system/SKStoreReviewController.h"
#include "platform/testing/TestEnvironment.h"
#include "services/QVAppLaunch.h"

#include <gtest/gtest.h>

#include <limits>

namespace zestrel {
namespace {

using platform::UserDefaults;
using platform::Value;

constexpr double kDay = 86400;
const std::vector<std::int64_t> kCounts{5, 200, 500, 1000};

class ReviewRequestTest : public ::testing::Test {
protected:
    // A fresh process whose launch is number `launch`, first launched `daysAgo` days back.
    void launch(std::int64_t launch, double daysAgo) {
        platform::resetProcess();
        defaults()->setObject(Value(launch - 1), "QV_launchCount");
        defaults()->setObject(Value(platform::currentDate().addingTimeInterval(-daysAgo * kDay)),
                              "QV_firstLaunchDate");
        QVApp::forceLaunchBookkeeping();
    }
    static std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standard(); }
    void requestAndRun() {
        QVApp::requestReviewIfAppropriate(kCounts);
        environment.runUntilIdle();
    }

    platform::testing::TestEnvironment environment;
};

TEST_F(ReviewRequestTest, FirstAndSecondLaunchesCountNothing) {
    for (const std::int64_t number : {1, 2}) {
        launch(number, 30);
        defaults()->setObject(Value(4), "QVApp_requestReview");
        requestAndRun();
        EXPECT_EQ(defaults()->object("QVApp_requestReview"), Value(4));
    }
    EXPECT_EQ(platform::SKStoreReviewController::requestCount(), 0u);
}

TEST_F(ReviewRequestTest, SevenDaysOrAFutureFirstLaunchCountNothing) {
    for (const double daysAgo : {7.0, 1.0, -3.0}) {
        launch(10, daysAgo);
        defaults()->setObject(Value(4), "QVApp_requestReview");
        requestAndRun();
        EXPECT_EQ(defaults()->object("QVApp_requestReview"), Value(4)) << daysAgo;
    }
    EXPECT_EQ(platform::SKStoreReviewController::requestCount(), 0u);
}

TEST_F(ReviewRequestTest, AsksOnTheListedCountsOnly) {
    launch(10, 8);
    defaults()->setObject(Value(4), "QVApp_requestReview");
    QVApp::requestReviewIfAppropriate(kCounts);
    EXPECT_EQ(defaults()->object("QVApp_requestReview"), Value(5));
    EXPECT_EQ(platform::SKStoreReviewController::requestCount(), 0u); // on the main queue
    environment.runUntilIdle();
    EXPECT_EQ(platform::SKStoreReviewController::requestCount(), 1u);
    EXPECT_EQ(platform::NSApp().activationYieldedTo(), "com.apple.storeuid");

    launch(11, 9);
    requestAndRun();
    EXPECT_EQ(defaults()->object("QVApp_requestReview"), Value(6));
    EXPECT_EQ(platform::SKStoreReviewController::requestCount(), 0u);
}

TEST_F(ReviewRequestTest, CounterAtTheLimitSaturates) {
    const auto max = std::numeric_limits<std::int64_t>::max();
    launch(10, 8);
    defaults()->setObject(Value(max), "QVApp_requestReview");
    requestAndRun();
    EXPECT_EQ(defaults()->object("QVApp_requestReview"), Value(max));
}

} // namespace
} // namespace zestrel
