#include "platform/base/UnifiedLog.h"

#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zestrel::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

// The log daemon's end of the socket, in the test's own folder.
class LogDaemon {
public:
    LogDaemon(std::filesystem::path path, int type) : path_(std::move(path)) {
        socket_ = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.native().copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
            << errno;
        if (type == SOCK_STREAM) {
            EXPECT_EQ(::listen(socket_, 4), 0);
        }
    }
    ~LogDaemon() {
        ::close(socket_);
        std::filesystem::remove(path_);
    }
    LogDaemon(const LogDaemon&) = delete;
    LogDaemon& operator=(const LogDaemon&) = delete;

    // The next record, if one is waiting.
    std::optional<std::string> receive() const {
        char buffer[4096];
        const auto size = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        return size < 0 ? std::nullopt : std::optional(std::string(buffer, size));
    }
    // Waits for the next record; nothing after ten seconds means it was lost.
    std::optional<std::string> awaitRecord() const {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 10'000) != 1) {
            return std::nullopt;
        }
        return receive();
    }
    // A stream daemon's waiting connection, if there is one.
    std::optional<int> accept() const {
        const int connection = ::accept4(socket_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        return connection < 0 ? std::nullopt : std::optional(connection);
    }

private:
    std::filesystem::path path_;
    int socket_ = -1;
};

// The message of a record, after "identifier[pid]: ".
std::string messageOf(const std::string& record) {
    const auto colon = record.find("]: ");
    return colon == std::string::npos ? record : record.substr(colon + 3);
}

LogRecord line(std::string message, OSLogType type = OSLogType::defaultLevel) {
    return LogRecord{"com.example.Tool", "general", type, std::move(message)};
}

class SystemLogTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::filesystem::path socketPath = env.home() / "log";
};

TEST_F(SystemLogTest, RecordsHaveSyslogsFormAndErrorsLeaveBeforeWriteReturns) {
    const LogDaemon daemon(socketPath, SOCK_DGRAM);
    const auto sink = makeSystemLogSink(socketPath);
    sink->write(line("hello\n\t[f in File:1]\n"));
    sink->flush();
    const auto record = daemon.receive();
    ASSERT_TRUE(record);
    EXPECT_THAT(*record, MatchesRegex("<13>[A-Z][a-z][a-z] [ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:"
                                      "[0-6][0-9] com\\.example\\.Tool\\[[0-9]+\\]: .*"));
    EXPECT_THAT(*record, EndsWith("com.example.Tool[" + std::to_string(::getpid()) +
                                  "]: hello\n\t[f in File:1]\n"));

    // Without a flush: the process may end right after an error or a fault.
    sink->write(line("queued"));
    sink->write(line("broken", OSLogType::error));
    sink->write(line("dying", OSLogType::fault));
    std::vector<std::string> received;
    while (const auto next = daemon.receive()) {
        received.push_back(*next);
    }
    ASSERT_EQ(received.size(), 3u);
    EXPECT_THAT(received[0], StartsWith("<13>"));
    EXPECT_THAT(received[1], StartsWith("<11>"));
    EXPECT_THAT(received[2], StartsWith("<10>"));
    EXPECT_EQ(messageOf(received[0]) + messageOf(received[1]) + messageOf(received[2]),
              "queuedbrokendying");
}

TEST_F(SystemLogTest, AllLinesGoOverOneConnection) {
    // A stream socket shows each connection, which a datagram socket does not.
    const LogDaemon daemon(socketPath, SOCK_STREAM);
    const auto sink = makeSystemLogSink(socketPath);
    for (const char* text : {"one", "two", "three"}) {
        sink->write(line(text));
    }
    sink->flush();
    const auto connection = daemon.accept();
    ASSERT_TRUE(connection);
    EXPECT_FALSE(daemon.accept()) << "a second connection";
    char buffer[4096];
    const auto size = ::recv(*connection, buffer, sizeof buffer, 0);
    ::close(*connection);
    ASSERT_GT(size, 0);
    std::vector<std::string> messages;
    for (std::string_view rest(buffer, static_cast<std::size_t>(size)); !rest.empty();) {
        const auto end = rest.find('\0');
        ASSERT_NE(end, std::string_view::npos) << "each record ends with a NUL";
        messages.push_back(messageOf(std::string(rest.substr(0, end))));
        rest.remove_prefix(end + 1);
    }
    EXPECT_THAT(messages, ElementsAre("one", "two", "three"));
}

TEST_F(SystemLogTest, WithoutASocketLinesAreDroppedUntilARetryAfterAWhileAndRestartsAreFollowed) {
    const auto sink = makeSystemLogSink(socketPath);
    sink->write(line("before the daemon"));
    sink->flush();

    auto daemon = std::make_unique<LogDaemon>(socketPath, SOCK_DGRAM);
    sink->write(line("not tried again at once"));
    sink->flush();
    env.advance(kSystemLogRetryInterval - std::chrono::seconds(1));
    sink->write(line("nor a second early"));
    sink->flush();
    EXPECT_FALSE(daemon->receive());

    env.advance(std::chrono::seconds(1));
    sink->write(line("tried again"));
    sink->flush();
    EXPECT_EQ(messageOf(daemon->receive().value_or("")), "tried again");
    EXPECT_FALSE(daemon->receive());

    // A daemon that restarts listens on a new socket: the next line goes there, not lost.
    daemon.reset();
    daemon = std::make_unique<LogDaemon>(socketPath, SOCK_DGRAM);
    sink->write(line("after the restart"));
    sink->flush();
    EXPECT_EQ(messageOf(daemon->receive().value_or("")), "after the restart");
}

TEST_F(SystemLogTest, LinesFromManyThreadsAllArriveEachThreadsInOrder) {
    constexpr int kThreads = 4;
    constexpr int kLines = 100;
    const LogDaemon daemon(socketPath, SOCK_DGRAM);
    std::map<int, std::vector<int>> arrived;
    std::thread reader([&] {
        for (int i = 0; i < kThreads * kLines; ++i) {
            const auto record = daemon.awaitRecord();
            if (!record) {
                return;
            }
            const std::string message = messageOf(*record);
            const auto space = message.find(' ');
            arrived[std::stoi(message.substr(0, space))].push_back(
                std::stoi(message.substr(space + 1)));
        }
    });
    {
        const auto sink = makeSystemLogSink(socketPath);
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&sink, t] {
                for (int i = 0; i < kLines; ++i) {
                    sink->write(line(std::to_string(t) + " " + std::to_string(i)));
                }
            });
        }
        for (auto& writer : writers) {
            writer.join();
        }
        // Ending the sink sends what is still queued.
    }
    reader.join();
    std::vector<int> expected(kLines);
    for (int i = 0; i < kLines; ++i) {
        expected[static_cast<std::size_t>(i)] = i;
    }
    ASSERT_EQ(arrived.size(), static_cast<std::size_t>(kThreads));
    for (const auto& [thread, lines] : arrived) {
        EXPECT_EQ(lines, expected) << "thread " << thread;
    }
}

} // namespace
} // namespace zestrel::platform
