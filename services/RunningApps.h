#pragma once

#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/NSWorkspace.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

namespace zestrel {

// Whether an application with one of the bundle identifiers runs. Applications without a
// bundle identifier never match.
bool isAnyAppRunning(const platform::NSWorkspace& workspace,
                     const std::unordered_set<std::string>& bundleIdentifiers);

// The name to show for a running application: its localized name, else its executable's
// or bundle's file name without extension, else its bundle identifier, else "PID412".
std::string displayName(const platform::NSRunningApplication& application);

// The process furthest up the parent chain of the process below launchd: the process
// itself when it has no parent but launchd or no longer runs. Throws the system's error
// (POSIX domain) when the process table cannot be read for it.
int topmostAncestorProcess(int processIdentifier);

} // namespace zestrel

namespace zestrel::QVApp {

// The process that launched this one, from the launch Apple event; computed once, so the
// first read must come while that event is current (during launch).
std::optional<int> launchingProcessID();
// Its running application, when it still ran when first asked.
std::shared_ptr<platform::NSRunningApplication> launchingApplication();

} // namespace zestrel::QVApp
