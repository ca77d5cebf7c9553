#pragma once

#include <functional>

namespace zestrel::platform {

// The end of this program's process, as the system sees it: from the moment it ends (its
// application terminates, or the desktop quits it) the process holds nothing of the
// system's and runs none of its code again, although its state lives on until its holder
// resets it (`resetProcess()`).
//
// Every registry that holds something for the process takes part, in one of two ways:
// - a registry of the machine (event taps, hot keys) adds an entry to the list, which the
//   end runs, and refuses to register anything for an ended process;
// - a registry of the process (notification centres, key-value observers, event monitors,
//   dispatch queues) asks `hasEnded()` and then calls nothing and takes nothing new; the
//   main run loop drops what waits on it.
// A new process (after the reset) starts with an empty list, not ended.
class ProcessTeardown {
public:
    // Adds work to the current process's list; after the end it runs at once.
    static void add(std::function<void()> work);
    // The same, once per process for each `registry`: for registries that hold a process's
    // things in bulk and drop them all at its end.
    static void addOnce(const void* registry, std::function<void()> work);
    // Ends the process: from now on `hasEnded()`. Then runs the list, last added first, and
    // empties it; work added meanwhile runs too. Ending an ended process again does nothing
    // more than that.
    static void run();
    // Whether the current process has ended; it stays ended while its state is reset.
    static bool hasEnded();
};

} // namespace zestrel::platform
