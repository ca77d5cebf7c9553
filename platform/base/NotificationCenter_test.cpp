#include "platform/base/NotificationCenter.h"

#include "platform/base/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

class NotificationCenterTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<NotificationCenter> center = NotificationCenter::defaultCenter();
    std::vector<std::string> heard;

    NotificationCenter::Block record(std::string who) {
        return [this, who](const Notification& n) { heard.push_back(who + ":" + n.name); };
    }
};

TEST_F(NotificationCenterTest, DeliversSynchronouslyInRegistrationOrderByName) {
    center->addObserver("A", {}, record("1"));
    center->addObserver(std::nullopt, {}, record("2"));
    center->addObserver("B", {}, record("3"));
    center->addObserver("A", {}, record("4"));
    center->post("A");
    EXPECT_EQ(heard, (std::vector<std::string>{"1:A", "2:A", "4:A"}));
    heard.clear();
    center->post("B");
    EXPECT_EQ(heard, (std::vector<std::string>{"2:B", "3:B"}));
}

TEST_F(NotificationCenterTest, ObjectFilterMatchesObjectsByIdentityAndStringsByText) {
    auto first = std::make_shared<NSObject>();
    auto second = std::make_shared<NSObject>();
    center->addObserver("N", Value(first), record("first"));
    center->addObserver("N", Value(std::string("text")), record("text"));
    center->post("N", Value(second));
    EXPECT_TRUE(heard.empty());
    center->post("N", Value(first));
    center->post("N", Value(std::string("te") + "xt"));
    center->post("N", Value("other"));
    center->post("N");
    EXPECT_EQ(heard, (std::vector<std::string>{"first:N", "text:N"}));
}

TEST_F(NotificationCenterTest, PassesObjectAndUserInfo) {
    Notification seen;
    center->addObserver("N", {}, [&](const Notification& n) { seen = n; });
    center->post("N", Value("sender"), {{"key", Value(42)}});
    EXPECT_EQ(seen.name, "N");
    EXPECT_EQ(seen.object, Value("sender"));
    EXPECT_EQ(seen.userInfo.at("key"), Value(42));
}

TEST_F(NotificationCenterTest, ObserversChangedDuringDeliveryTakeEffectForThatPostAsDocumented) {
    ObserverToken second;
    center->addObserver("N", {}, [&](const Notification&) {
        heard.push_back("first");
        center->removeObserver(second);
        center->addObserver("N", {}, record("added"));
    });
    second = center->addObserver("N", {}, record("second"));
    center->post("N");
    EXPECT_EQ(heard, (std::vector<std::string>{"first"}));
    heard.clear();
    center->post("N");
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "added:N"}));
}

TEST_F(NotificationCenterTest, RemovedTokenIsNotCalledAndReleasingATokenDoesNotRemove) {
    auto kept = center->addObserver("N", {}, record("kept"));
    center->addObserver("N", {}, record("released")); // token dropped at once
    center->post("N");
    center->removeObserver(kept);
    center->removeObserver(kept); // a second removal is harmless
    center->post("N");
    EXPECT_EQ(heard, (std::vector<std::string>{"kept:N", "released:N", "released:N"}));
}

TEST_F(NotificationCenterTest, QueueObserverIsCalledLaterOnTheMainQueue) {
    center->addObserver("N", {}, DispatchQueue::main(), record("queued"));
    auto removedBeforeDelivery =
        center->addObserver("N", {}, DispatchQueue::main(), record("removed"));
    center->post("N");
    EXPECT_TRUE(heard.empty());
    center->removeObserver(removedBeforeDelivery);
    env.runUntilIdle();
    EXPECT_EQ(heard, (std::vector<std::string>{"queued:N"}));
}

TEST_F(NotificationCenterTest, TheThreeCentresAreSeparateAndFreshInANewProcess) {
    auto workspace = NotificationCenter::workspaceCenter();
    auto distributed = NotificationCenter::distributedCenter();
    EXPECT_NE(center, workspace);
    EXPECT_NE(workspace, distributed);
    workspace->addObserver("N", {}, record("workspace"));
    center->post("N");
    distributed->post("N");
    EXPECT_TRUE(heard.empty());
    resetProcess();
    EXPECT_NE(NotificationCenter::workspaceCenter(), workspace);
    NotificationCenter::workspaceCenter()->post("N");
    EXPECT_TRUE(heard.empty());
}

TEST_F(NotificationCenterTest, PostsAndRemovalsFromManyThreadsAreSafe) {
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto token = center->addObserver("N", {}, [&](const Notification&) { ++calls; });
                center->post("N");
                center->removeObserver(token);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GE(calls.load(), 800); // each thread hears at least its own observer each time
    calls = 0;
    center->post("N");
    EXPECT_EQ(calls.load(), 0);
}

} // namespace
} // namespace zestrel::platform
