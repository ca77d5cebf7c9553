#include "console/ScriptFile.h"

#include "console/ScriptCommand.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;

std::string errorOf(const std::filesystem::path& path) {
    try {
        readScriptFile(path);
    } catch (const CommandError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for " << path;
    return {};
}

TEST(ScriptFile, ReadsTheWholeFileAsWritten) {
    platform::testing::TestEnvironment env;
    const auto path = env.home() / "script.zestrel";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                             "echo one\r\necho two";
    EXPECT_EQ(readScriptFile(path), "\xEF\xBB\xBF"
                                    "echo one\r\necho two");
}

TEST(ScriptFile, WhatCannotBeAScriptIsRefusedWithTheReason) {
    platform::testing::TestEnvironment env;
    EXPECT_THAT(errorOf(env.home()), HasSubstr("is a folder, not a script"));
    EXPECT_THAT(errorOf(env.home() / "missing"), HasSubstr(": No such file or directory"));
    // Opens for anyone, root too, and fails to read.
    EXPECT_THAT(errorOf("/proc/self/mem"),
                HasSubstr("cannot read /proc/self/mem: Input/output error"));
}

TEST(ScriptFile, WhatIsNoFileIsRefusedAtOnceByItsKind) {
    platform::testing::TestEnvironment env;
    const auto pipe = env.home() / "f.zestrel";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Opened plainly, a named pipe waits for a writer for ever: one that comes and goes
    // ends the wait, so this test ends too.
    auto reading = std::async(std::launch::async, [&] { return errorOf(pipe); });
    if (reading.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading a named pipe waits for a writer";
        ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(reading.get(), pipe.string() + " is a named pipe, not a script");

    EXPECT_EQ(errorOf("/dev/null"), "/dev/null is a device, not a script");
    EXPECT_EQ(errorOf("/dev/zero"), "/dev/zero is a device, not a script");

    const auto socketPath = env.home() / "s.zestrel";
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
    socketPath.string().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(errorOf(socketPath), socketPath.string() + " is a socket, not a script");
    ::close(listening);
}

} // namespace
} // namespace zestrel::console
