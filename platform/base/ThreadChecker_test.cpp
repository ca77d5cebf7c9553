#include "platform/base/ThreadChecker.h"

#include "platform/base/MainThread.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

namespace zestrel::platform {
namespace {

class ThreadCheckerTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
};

TEST_F(ThreadCheckerTest, BelongsToTheThreadThatMadeIt) {
    ThreadChecker checker("Widget");
    checker.check();
    bool elsewhere = true;
    std::thread([&] { elsewhere = checker.isCurrent(); }).join();
    EXPECT_TRUE(checker.isCurrent());
    EXPECT_FALSE(elsewhere);
}

TEST_F(ThreadCheckerTest, DetachedCheckerIsTakenByTheFirstThreadThatChecksIt) {
    ThreadChecker checker("Widget");
    checker.detach();
    std::thread::id taker;
    std::thread([&] {
        checker.check();
        taker = std::this_thread::get_id();
    }).join();
    EXPECT_EQ(checker.owner(), taker);
    EXPECT_FALSE(checker.isCurrent());
    checker.bind(std::this_thread::get_id());
    checker.check();
}

TEST_F(ThreadCheckerTest, MainThreadIsTheThreadOfTheMainRunLoop) {
    ThreadChecker::checkMainThread("Widget");
    EXPECT_EQ(mainThreadID(), std::this_thread::get_id());
}

using ThreadCheckerDeathTest = ThreadCheckerTest;

TEST_F(ThreadCheckerDeathTest, UseOnAnotherThreadNamesTheKindAndBothThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ThreadChecker checker("Widget");
    EXPECT_DEATH(std::thread([&] { checker.check(); }).join(),
                 "Widget used on thread [0-9]+, but it belongs to thread [0-9]+\\.");
    EXPECT_DEATH(std::thread([] { ThreadChecker::checkMainThread("Gadget"); }).join(),
                 "Gadget used on thread [0-9]+, but it belongs to thread [0-9]+\\.");
}

} // namespace
} // namespace zestrel::platform
