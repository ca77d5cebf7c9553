#include "foundation/CLI.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <pthread.h>
#include <unistd.h>

namespace zestrel {
namespace {

namespace pf = platform;
using CLI::OptionValue;
using CLI::ParsedArguments;

TEST(CLIParseTest, AFlagTakesTheNextPlainArgumentAsItsValue) {
    EXPECT_EQ(CLI::parse({"--verbose", "file.txt"}),
              (ParsedArguments{{}, {{"verbose", OptionValue(std::string("file.txt"))}}}));
    EXPECT_EQ(CLI::parse({"a", "--x", "--y", "b"}),
              (ParsedArguments{{"a"}, {{"x", OptionValue(true)}, {"y", OptionValue("b")}}}));
    EXPECT_EQ(CLI::parse({"--size=3"}), (ParsedArguments{{}, {{"size=3", OptionValue(true)}}}));
}

TEST(CLIParseTest, DoubleDashEndsTheWalkAndSingleDashIsPositional) {
    EXPECT_EQ(CLI::parse({"a", "--", "b", "--c"}), (ParsedArguments{{"a"}, {}}));
    EXPECT_EQ(CLI::parse({"--", "a", "--b"}), ParsedArguments{});
    EXPECT_EQ(CLI::parse({}), ParsedArguments{});
    EXPECT_EQ(CLI::parse({"-v", "x"}), (ParsedArguments{{"-v", "x"}, {}}));
}

TEST(CLIParseTest, ARepeatedOptionKeepsItsLastValue) {
    EXPECT_EQ(CLI::parse({"--n", "1", "--n", "2"}),
              (ParsedArguments{{}, {{"n", OptionValue("2")}}}));
    EXPECT_EQ(CLI::parse({"--n", "1", "--n"}), (ParsedArguments{{}, {{"n", OptionValue(true)}}}));
}

// A pipe whose read end stands in for one of the standard streams while the test runs.
class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::pipe(fds_), 0); }
    void TearDown() override {
        CLI::standardInput() = savedInput_;
        CLI::standardError() = savedError_;
        for (int fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    void feedInput(const std::string& bytes) {
        ASSERT_EQ(::write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        closeEnd(1);
        CLI::standardInput() = std::make_shared<pf::NSFileHandle>(fds_[0], false);
    }
    std::string captureError(const std::function<void()>& body) {
        CLI::standardError() = std::make_shared<pf::NSFileHandle>(fds_[1], false);
        body();
        closeEnd(1);
        const pf::Data data = pf::NSFileHandle(fds_[0], false).availableData();
        return std::string(data.begin(), data.end());
    }
    void closeEnd(int end) {
        ::close(fds_[end]);
        fds_[end] = -1;
    }

    pf::testing::TestEnvironment environment;
    int fds_[2] = {-1, -1};
    std::shared_ptr<pf::NSFileHandle> savedInput_ = CLI::standardInput();
    std::shared_ptr<pf::NSFileHandle> savedError_ = CLI::standardError();
};

TEST_F(StreamTest, StandardInputTextLosesOneTrailingLineBreak) {
    feedInput("abc\n\n");
    EXPECT_EQ(CLI::standardInputString(), "abc\n");
}

TEST_F(StreamTest, StandardInputWithoutLineBreakIsTakenWhole) {
    feedInput("abc");
    EXPECT_EQ(CLI::standardInputString(), "abc");
}

TEST_F(StreamTest, StandardInputThatIsNotUTF8GivesNothing) {
    feedInput("ab\xff\n");
    EXPECT_EQ(CLI::standardInputString(), std::nullopt);
}

// A line is taken from the same buffer the rest of the input is: what reading the line read
// ahead is not lost.
TEST_F(StreamTest, ALineThenTheRestOfTheInput) {
    feedInput("line1\nrest\n");
    EXPECT_EQ(CLI::readLine(), "line1");
    EXPECT_EQ(CLI::standardInputString(), "rest");
    EXPECT_EQ(CLI::readLine(), std::nullopt);
}

TEST_F(StreamTest, LinesKeepOrLoseTheirBreaks) {
    feedInput("a\r\nb\n\nlast");
    EXPECT_EQ(CLI::readLine(false), "a\r\n");
    EXPECT_EQ(CLI::readLine(), "b");
    EXPECT_EQ(CLI::readLine(), "");
    EXPECT_EQ(CLI::readLine(), "last");
    EXPECT_EQ(CLI::readLine(), std::nullopt);
    EXPECT_TRUE(CLI::standardInputData().empty());
}

// What one handle left in the buffer is not read from the handle put in its place.
TEST_F(StreamTest, ANewInputHandleStartsAfresh) {
    feedInput("first\nleft over\n");
    EXPECT_EQ(CLI::readLine(), "first");
    int other[2];
    ASSERT_EQ(::pipe(other), 0);
    ASSERT_EQ(::write(other[1], "second\n", 7), 7);
    ::close(other[1]);
    CLI::standardInput() = std::make_shared<pf::NSFileHandle>(other[0], true);
    EXPECT_EQ(CLI::readLine(), "second");
    EXPECT_EQ(CLI::readLine(), std::nullopt);
}

TEST_F(StreamTest, PrintErrorJoinsItemsAndEndsWithTheTerminator) {
    EXPECT_EQ(captureError([] {
                  CLI::printError({1, "a", 2.5, true}, ", ", "\n");
              }),
              "1, a, 2.5, true\n");
}

TEST_F(StreamTest, AFailedWriteIsReportedAndDoesNotThrow) {
    // The read end of a pipe cannot be written to.
    pf::NSFileHandle readEnd(fds_[0], false);
    EXPECT_NO_THROW(CLI::write(readEnd, "lost"));
    ASSERT_EQ(environment.reports().size(), 1u);
    // The report is a general error that carries the write failure's description.
    const pf::Error report = environment.reports()[0];
    EXPECT_TRUE(report.domain().starts_with("Zestrel.GeneralError"));
    EXPECT_NE(
        report.localizedDescription().find("NSPOSIXErrorDomain error " + std::to_string(EBADF)),
        std::string::npos);
}

// A tool whose output is piped into a reader that has gone carries on: the write reports
// EPIPE, and the signal's handling is as it was.
TEST_F(StreamTest, WritingToAPipeWithoutReaderIsReported) {
    closeEnd(0);
    pf::NSFileHandle writeEnd(fds_[1], false);
    EXPECT_NO_THROW(CLI::write(writeEnd, "nobody reads this"));
    ASSERT_EQ(environment.reports().size(), 1u);
    EXPECT_NE(environment.reports()[0].localizedDescription().find("NSPOSIXErrorDomain error " +
                                                                   std::to_string(EPIPE)),
              std::string::npos);

    struct sigaction action {};
    ASSERT_EQ(::sigaction(SIGPIPE, nullptr, &action), 0);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
    sigset_t blocked;
    sigset_t pending;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &blocked), 0);
    ASSERT_EQ(::sigpending(&pending), 0);
    EXPECT_EQ(sigismember(&blocked, SIGPIPE), 0);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

// The working directory removed under a tool: the platform's error, which callers catch like
// any other, not a standard-library exception.
class RemovedDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path removed = environment.home() / "removed";
        std::filesystem::create_directory(removed);
        ASSERT_EQ(::chdir(removed.c_str()), 0);
        std::filesystem::remove(removed);
    }
    void TearDown() override { std::filesystem::current_path(saved_); }

    pf::testing::TestEnvironment environment;
    std::filesystem::path saved_ = std::filesystem::current_path();
};

TEST_F(RemovedDirectoryTest, TheWorkingDirectoryIsThePlatformsError) {
    try {
        CLI::currentDirectoryURL();
        FAIL() << "read a removed directory";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.domain(), pf::NSPOSIXErrorDomain);
        EXPECT_EQ(error.code(), ENOENT);
    }
}

TEST_F(RemovedDirectoryTest, ARelativeProgramPathIsThePlatformsError) {
    EXPECT_THROW(CLI::detail::programURL("bin/tool"), pf::Error);
    EXPECT_THROW(CLI::detail::programName("tool"), pf::Error);
    // An absolute path needs no working directory.
    EXPECT_EQ(CLI::detail::programURL("/usr/bin/tool").path(), "/usr/bin/tool");
    EXPECT_EQ(CLI::detail::programName("/usr/bin/tool"), "tool");
}

TEST(CLIUserIdentifierTest, AcceptsUnsignedThirtyTwoBitDecimalsOnly) {
    EXPECT_EQ(CLI::parseUserIdentifier("501"), 501u);
    EXPECT_EQ(CLI::parseUserIdentifier("+7"), 7u);
    EXPECT_EQ(CLI::parseUserIdentifier("-0"), 0u);
    EXPECT_EQ(CLI::parseUserIdentifier("4294967295"), 4294967295u);
    for (const char* bad : {"", "+", "-1", "50a", "4294967296", " 5", "99999999999999999999"}) {
        EXPECT_EQ(CLI::parseUserIdentifier(bad), std::nullopt) << bad;
    }
}

// Records the privilege calls in order instead of making them.
class PrivilegeDropTest : public ::testing::Test {
protected:
    CLI::PrivilegeCalls recorder() {
        CLI::PrivilegeCalls calls;
        calls.environmentValue = [this](const char* name) -> std::optional<std::string> {
            auto found = environment_.find(name);
            return found == environment_.end() ? std::nullopt
                                               : std::optional<std::string>(found->second);
        };
        calls.primaryGroup = [this](std::uint32_t uid) -> std::optional<std::uint32_t> {
            calls_.push_back("primaryGroup " + std::to_string(uid));
            return primaryGroup_;
        };
        calls.dropSupplementaryGroups = [this] { return answer("setgroups"); };
        calls.setgid = [this](std::uint32_t gid) {
            return answer("setgid " + std::to_string(gid));
        };
        calls.setuid = [this](std::uint32_t uid) {
            return answer("setuid " + std::to_string(uid));
        };
        return calls;
    }
    int answer(const std::string& call) {
        calls_.push_back(call);
        if (call.starts_with(failing_)) {
            errno = EPERM;
            return -1;
        }
        return 0;
    }

    pf::testing::TestEnvironment environment;
    std::map<std::string, std::string> environment_;
    std::optional<std::uint32_t> primaryGroup_ = 20;
    std::string failing_ = "none";
    std::vector<std::string> calls_;
};

TEST_F(PrivilegeDropTest, DropsGroupsThenGroupThenUser) {
    environment_ = {{"SUDO_UID", "501"}, {"SUDO_GID", "30"}};
    EXPECT_TRUE(CLI::dropPrivilegesToSudoUser(recorder()));
    EXPECT_EQ(calls_, (std::vector<std::string>{"setgroups", "setgid 30", "setuid 501"}));
    EXPECT_TRUE(environment.reports().empty());
}

TEST_F(PrivilegeDropTest, WithoutSudoGroupTheUsersPrimaryGroupIsUsed) {
    environment_ = {{"SUDO_UID", "501"}};
    EXPECT_TRUE(CLI::dropPrivilegesToSudoUser(recorder()));
    EXPECT_EQ(calls_, (std::vector<std::string>{"primaryGroup 501", "setgroups", "setgid 20",
                                                "setuid 501"}));
}

TEST_F(PrivilegeDropTest, NoOrInvalidSudoUserDoesNothing) {
    for (const char* value : {"", "50x", "4294967296"}) {
        environment_ = {{"SUDO_UID", value}};
        EXPECT_FALSE(CLI::dropPrivilegesToSudoUser(recorder())) << value;
    }
    environment_.clear();
    EXPECT_FALSE(CLI::dropPrivilegesToSudoUser(recorder()));
    EXPECT_TRUE(calls_.empty());
    EXPECT_TRUE(environment.reports().empty());
}

TEST_F(PrivilegeDropTest, AFailedCallStopsTheDropAndIsReported) {
    environment_ = {{"SUDO_UID", "501"}, {"SUDO_GID", "30"}};
    failing_ = "setgid";
    EXPECT_FALSE(CLI::dropPrivilegesToSudoUser(recorder()));
    EXPECT_EQ(calls_, (std::vector<std::string>{"setgroups", "setgid 30"}));
    ASSERT_EQ(environment.reports().size(), 1u);
    EXPECT_NE(environment.reports()[0].localizedDescription().find("setgid failed"),
              std::string::npos);
}

TEST_F(PrivilegeDropTest, AUserWithoutGroupIsReportedAndKeepsItsIdentity) {
    environment_ = {{"SUDO_UID", "501"}};
    primaryGroup_.reset();
    EXPECT_FALSE(CLI::dropPrivilegesToSudoUser(recorder()));
    EXPECT_EQ(calls_, (std::vector<std::string>{"primaryGroup 501"}));
    EXPECT_EQ(environment.reports().size(), 1u);
}

TEST(CLIProcessTest, NameIsTheLastComponentOfTheProgramPath) {
    EXPECT_EQ(CLI::name(), "foundation_tests");
    EXPECT_EQ(CLI::executableURL().lastPathComponent(), CLI::name());
}

} // namespace
} // namespace zestrel
