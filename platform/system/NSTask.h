#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <string>
#include <vector>

namespace zestrel::platform {

// A child process. Launching is done by the launcher: the real one spawns the executable
// and reaps it when it ends; tests put a recording one in place.
class NSTask {
public:
    // Answers the new process's identifier or throws the platform's error.
    using Launcher = std::function<int(const NSTask&)>;

    void setExecutableURL(URL url) { executableURL_ = std::move(url); }
    const URL& executableURL() const { return executableURL_; }
    void setArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
    const std::vector<std::string>& arguments() const { return arguments_; }
    int processIdentifier() const { return processIdentifier_; }

    // Throws NSCocoaErrorDomain 4 for a missing executable, else the POSIX error.
    void launchAndReturnError();

    // Survives `resetProcess()`; an empty launcher restores the real one.
    static void setLauncher(Launcher launcher);

private:
    URL executableURL_;
    std::vector<std::string> arguments_;
    int processIdentifier_ = 0;
};

} // namespace zestrel::platform
