#include "platform/system/NSTask.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <sys/types.h>

namespace zestrel::platform {
namespace {

// The signals the child blocks, as its status says.
std::string blockedIn(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigBlk:")) {
            return line.substr(line.find_first_not_of(" \t", 7));
        }
    }
    return "";
}

// A thread that leaves its signals to another one of its process launches a child that knows
// nothing of that: blocked, Ctrl+C would never reach the child.
TEST(NSTaskTest, AChildStartsWithNoSignalBlocked) {
    testing::TestEnvironment environment;
    sigset_t ending, before;
    sigemptyset(&ending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1}) {
        sigaddset(&ending, signal);
    }
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    NSTask task;
    task.setExecutableURL(URL::fileURL("/bin/sleep"));
    task.setArguments({"60"});
    task.launchAndReturnError();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    // The child has run the executable by the time the launch answers.
    EXPECT_EQ(blockedIn(task.processIdentifier()), "0000000000000000");
    ::kill(task.processIdentifier(), SIGKILL);
}

} // namespace
} // namespace zestrel::platform
