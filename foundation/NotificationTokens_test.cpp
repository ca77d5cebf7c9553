#include "foundation/NotificationTokens.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;

class NotificationTokensTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment env;
    std::shared_ptr<pf::NotificationCenter> center = std::make_shared<pf::NotificationCenter>();
    std::vector<std::string> heard;

    pf::ObserverToken listen(const std::string& name, const std::string& who) {
        return center->addObserver(name, {}, [this, who](const pf::Notification& notification) {
            heard.push_back(who + " heard " + notification.name);
        });
    }
};

TEST_F(NotificationTokensTest, ReleasingATokenStopsItsBlock) {
    auto token = std::make_shared<NotificationToken>(center, listen("Ping", "token"));
    center->post("Ping");
    token.reset();
    center->post("Ping");
    EXPECT_EQ(heard, (std::vector<std::string>{"token heard Ping"}));
}

TEST_F(NotificationTokensTest, TokenKeepsItsCentreAndMayBeReleasedOnAnotherThread) {
    auto token = std::make_shared<NotificationToken>(center, listen("Ping", "token"));
    const std::weak_ptr<pf::NotificationCenter> watch = center;
    center.reset();
    ASSERT_FALSE(watch.expired());
    token->notificationCenter()->post("Ping");
    std::thread releaser([token = std::move(token)]() mutable { token.reset(); });
    releaser.join();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(heard, (std::vector<std::string>{"token heard Ping"}));
}

TEST_F(NotificationTokensTest, HolderRemovesEveryListenerWhenReleased) {
    const auto unrelated = listen("Ping", "unrelated");
    auto holder = std::make_unique<ListenerHolder>(center);
    holder->add(listen("Ping", "first"));
    holder->add(listen("Pong", "second"));
    center->post("Ping");
    center->post("Pong");
    holder.reset();
    center->post("Ping");
    center->post("Pong");
    EXPECT_EQ(heard, (std::vector<std::string>{"unrelated heard Ping", "first heard Ping",
                                               "second heard Pong", "unrelated heard Ping"}));
}

TEST_F(NotificationTokensTest, HolderOfAGoneCentreIsReleasedQuietly) {
    auto holder = std::make_unique<ListenerHolder>(center);
    holder->add(listen("Ping", "first"));
    center.reset();
    holder.reset();
}

TEST_F(NotificationTokensTest, OneShotSubscriptionHandlesAtOnceAndIsDroppedInTheNextMainTurn) {
    std::shared_ptr<NotificationToken> subscription;
    subscription = std::make_shared<NotificationToken>(
        center, center->addObserver("DidFinishLaunching", {}, [&](const pf::Notification& note) {
            observeOnce(
                note,
                [&](const pf::Notification& handled) {
                    heard.push_back("handled " + handled.name);
                },
                [&subscription] { subscription.reset(); });
        }));
    center->post("DidFinishLaunching");
    EXPECT_EQ(heard, (std::vector<std::string>{"handled DidFinishLaunching"}));
    EXPECT_NE(subscription, nullptr); // dropped later, never inline
    // Before that turn a second notification still gets through.
    center->post("DidFinishLaunching");
    EXPECT_EQ(heard.size(), 2u);
    env.runUntilIdle();
    EXPECT_EQ(subscription, nullptr);
    center->post("DidFinishLaunching");
    EXPECT_EQ(heard.size(), 2u);
}

} // namespace
} // namespace zestrel
