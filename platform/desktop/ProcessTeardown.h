#pragma once

#include <functional>

namespace zestrel::platform {

// What must go the moment this program's process ends (it quits, or a relaunch ends it),
// while its state still exists: its event taps (added by the taps themselves), its hot keys
// (the hot-key registry adds its own entry), anything else that the system would take away
// from a process that exits. The desktop runs the list when our application terminates;
// the list belongs to the process, so a new process starts with an empty one.
class ProcessTeardown {
public:
    // Adds work to the current process's list.
    static void add(std::function<void()> work);
    // Runs the list, last added first, and empties it. Work added meanwhile runs too.
    static void run();
};

} // namespace zestrel::platform
