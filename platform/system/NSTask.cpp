#include "platform/system/NSTask.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace zestrel::platform {
namespace {

Mutex launcherMutex;
NSTask::Launcher& launcher() REQUIRES(launcherMutex) {
    static auto* const instance = new NSTask::Launcher();
    return *instance;
}

int spawn(const NSTask& task) {
    const std::string path = task.executableURL().path();
    std::vector<std::string> arguments{path};
    arguments.insert(arguments.end(), task.arguments().begin(), task.arguments().end());
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // The child starts with nothing blocked, whatever the launching thread blocks for its own
    // reasons (a program that leaves its signals to one thread of its own).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int status = posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (status != 0) {
        Value::Dictionary userInfo{{NSFilePathErrorKey, Value(path)}};
        if (status == ENOENT) {
            userInfo[NSUnderlyingErrorKey] = NSError::make(NSPOSIXErrorDomain, status);
            throw NSError::make(NSCocoaErrorDomain, 4, std::move(userInfo));
        }
        throw NSError::make(NSPOSIXErrorDomain, status, std::move(userInfo));
    }
    // Reaped when it ends, so no zombie is left behind.
    std::thread([pid] {
        int ignored = 0;
        waitpid(pid, &ignored, 0);
    }).detach();
    return pid;
}

} // namespace

void NSTask::launchAndReturnError() {
    Launcher current;
    {
        MutexLock lock(launcherMutex);
        current = launcher();
    }
    processIdentifier_ = current ? current(*this) : spawn(*this);
}

void NSTask::setLauncher(Launcher newLauncher) {
    MutexLock lock(launcherMutex);
    launcher() = std::move(newLauncher);
}

} // namespace zestrel::platform
