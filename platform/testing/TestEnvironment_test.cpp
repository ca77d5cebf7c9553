#include "platform/testing/TestEnvironment.h"

#include "platform/base/ReportSink.h"
#include "platform/base/StandardStreams.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zestrel::platform::testing {
namespace {

TEST(TestEnvironment, StartsAtTheFixedDateInFreshFolders) {
    const std::string outerHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    {
        TestEnvironment env;
        EXPECT_EQ(clock().now().description(), "2026-01-15 10:00:00 +0000");
        EXPECT_TRUE(clock().isVirtual());
        EXPECT_EQ(std::getenv("HOME"), env.home().string());
        EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), env.configHome().string());
        EXPECT_TRUE(std::filesystem::is_directory(env.configHome()));
        env.clock().advance(std::chrono::seconds(61));
        EXPECT_EQ(clock().now().description(), "2026-01-15 10:01:01 +0000");
    }
    EXPECT_FALSE(clock().isVirtual());
    EXPECT_EQ(std::getenv("HOME") ? std::getenv("HOME") : "", outerHome);
}

TEST(TestEnvironment, CapturesLogsReportsAndStandardOutput) {
    TestEnvironment env;
    osLog(OSLog{"com.quorvik.Zestrel", "general"}, OSLogType::defaultLevel, "hello\n");
    deliverReport(NSError::make("D", 1));
    print("printed");
    EXPECT_EQ(env.logLines(), std::vector<std::string>{"hello\n"});
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].domain(), "D");
    EXPECT_EQ(env.standardOutput(), "printed\n");
    env.clearCaptures();
    EXPECT_TRUE(env.logLines().empty());
}

} // namespace
} // namespace zestrel::platform::testing
