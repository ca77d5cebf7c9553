#include "platform/system/NSTask.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"

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
    pid_t pid = 0;
    const int status = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
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
