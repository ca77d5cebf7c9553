#include "platform/concurrency/NotificationPublisher.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform::combine {
namespace {

class NotificationPublisherTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<NotificationCenter> center = std::make_shared<NotificationCenter>();
};

TEST_F(NotificationPublisherTest, DeliversMatchingPostsUntilCancelled) {
    std::vector<std::string> seen;
    auto c = notificationPublisher(center, "Changed", "doc")
                 .map([](const Notification& n) { return n.userInfo.at("k").describe(); })
                 .sink([&](const std::string& v) { seen.push_back(v); });
    center->post("Changed", "doc", {{"k", 1}});
    center->post("Changed", "other", {{"k", 2}});
    center->post("Other", "doc", {{"k", 3}});
    center->post("Changed", "doc", {{"k", 4}});
    c.cancel();
    center->post("Changed", "doc", {{"k", 5}});
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "4"}));
}

TEST_F(NotificationPublisherTest, ReleasingTheSubscriptionRemovesTheObserver) {
    int count = 0;
    {
        auto c = notificationPublisher(center, "N").sink([&](const Notification&) { ++count; });
        center->post("N");
    }
    center->post("N");
    EXPECT_EQ(count, 1);
    // Nothing of the released subscription is left in the centre: a post reaches no one,
    // and the next subscriber hears only its own posts.
    auto again = notificationPublisher(center, "N").sink([&](const Notification&) { count += 10; });
    center->post("N");
    EXPECT_EQ(count, 11);
}

TEST_F(NotificationPublisherTest, PostsFromSeveralThreadsReachTheSubscriberOneAtATime) {
    int count = 0; // unguarded on purpose: deliveries never overlap
    auto c = notificationPublisher(center, "N").sink([&](const Notification&) { ++count; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 500; ++i) {
                center->post("N");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(count, 2000);
}

} // namespace
} // namespace zestrel::platform::combine
