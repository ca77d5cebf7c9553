#include "platform/desktop/SessionInfo.h"

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/Desktop.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

class SessionInfoTest : public ::testing::Test {
protected:
    SessionInfoTest() { listen(); }
    void listen() {
        token_ = NotificationCenter::distributedCenter()->addObserver(
            std::nullopt, Value(), [this](const Notification& notification) {
                // What an observer finds in the session when it is told.
                heard_.push_back(notification.name + (isLocked() ? " locked" : " unlocked"));
            });
    }
    static bool isLocked() {
        auto session = CGSessionCopyCurrentDictionary();
        return session && session->count(kCGSSessionScreenIsLockedKey) != 0;
    }

    testing::DesktopEnvironment env;
    ObserverToken token_;
    std::vector<std::string> heard_;
};

TEST_F(SessionInfoTest, ASessionStartsLoggedInAndUnlocked) {
    auto session = CGSessionCopyCurrentDictionary();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->at(kCGSessionOnConsoleKey), Value(true));
    EXPECT_EQ(session->count(kCGSSessionScreenIsLockedKey), 0u);
    EXPECT_FALSE(env.desktop().session().isScreenLocked());
}

TEST_F(SessionInfoTest, LockingChangesTheFlagAndPostsTogetherOncePerChange) {
    env.desktop().setScreenLocked(true);
    env.desktop().setScreenLocked(true);
    EXPECT_EQ(CGSessionCopyCurrentDictionary()->at(kCGSSessionScreenIsLockedKey), Value(true));
    env.desktop().setScreenLocked(false);
    env.desktop().setScreenLocked(false);
    EXPECT_EQ(CGSessionCopyCurrentDictionary()->count(kCGSSessionScreenIsLockedKey), 0u);
    EXPECT_EQ(heard_, (std::vector<std::string>{"com.apple.screenIsLocked locked",
                                                "com.apple.screenIsUnlocked unlocked"}));
}

TEST_F(SessionInfoTest, OnlyATrueFlagMeansLocked) {
    auto& session = env.desktop().session();
    session.setDictionary(Value::Dictionary{{kCGSSessionScreenIsLockedKey, Value(1)}});
    EXPECT_FALSE(session.isScreenLocked());
    session.setDictionary(Value::Dictionary{{kCGSSessionScreenIsLockedKey, Value("true")}});
    EXPECT_FALSE(session.isScreenLocked());
    session.setDictionary(std::nullopt);
    EXPECT_FALSE(session.isScreenLocked());
    EXPECT_FALSE(CGSessionCopyCurrentDictionary());
    // Locking without a session makes one.
    env.desktop().setScreenLocked(true);
    EXPECT_TRUE(session.isScreenLocked());
    EXPECT_EQ(heard_, (std::vector<std::string>{"com.apple.screenIsLocked locked"}));
}

TEST_F(SessionInfoTest, TheLockBelongsToTheMachineAndOnlyTheCurrentOnePosts) {
    env.desktop().setScreenLocked(true);
    env.desktop().relaunchOwnApplication();
    EXPECT_TRUE(CGSessionCopyCurrentDictionary()->count(kCGSSessionScreenIsLockedKey));

    heard_.clear();
    listen();
    auto other = Desktop::makeEmpty();
    other->setScreenLocked(true);
    EXPECT_TRUE(other->session().isScreenLocked());
    EXPECT_TRUE(heard_.empty());
    env.desktop().setScreenLocked(false);
    EXPECT_EQ(heard_, (std::vector<std::string>{"com.apple.screenIsUnlocked unlocked"}));
}

} // namespace
} // namespace zestrel::platform
