#pragma once

#include <functional>
#include <utility>

namespace zestrel::platform {

// Thrown where the code of an ended process stands, so that none of it goes on: it unwinds
// the process's frames to the place where the machine called into the process
// (`ProcessTeardown::callIn`), and ends there. It is no `std::exception`, so code that
// handles errors does not take it. Code that catches everything passes it on in one way:
// `passOn()` first in its `catch (...)`, or a block that ends by rethrowing what it caught
// (`scripts/check-catches` holds every catch-all to that).
struct ProcessStop final {
    // Throws the exception being handled on when it is a stop; returns otherwise. Only in a
    // handler: a `catch` block, or a coroutine promise's `unhandled_exception()`.
    static void passOn();
};

// The end of this program's process, as the system sees it. The machine (the desktop, the
// other applications, the console, the run loop they all post to) outlives every process;
// the process is the app's code and what it holds.
//
// From the moment the process ends (its application terminates, or the desktop quits it):
// - its code stops where it stands. Every place where the machine calls into the process
//   (event delivery, the run loop's blocks, timers, sources and observers, notification and
//   key-value observers, the launch, a person's click, and on its own threads the dispatch
//   queues' blocks and the task pool's jobs) goes through `callIn`, and a run the process
//   waits in (an alert, a menu) stops when the machine's work it served returns
//   (`stopIfEnded`). No frame of its code on the main thread goes on after the end;
// - it holds nothing of the system's and runs none of its code again: every registry that
//   holds something for it either adds an entry to the list, which the end runs (event
//   taps, hot keys, the run loop's items), or asks `hasEnded()` and calls nothing and takes
//   nothing new (centres, observers, monitors, queues);
// - what its code still asks (from a thread of its own) has no effect: `refuses()`; a wait
//   on the main queue (`sync`) stops it there.
// Its state lives on until its holder resets it (`resetProcess()`), which may happen only
// once none of its frames is on the stack. A new process starts with an empty list, not
// ended.
class ProcessTeardown {
    // Where this thread stands: in the process's code or the machine's (and destroying an
    // ended process's objects), and how many times the machine called into the process on
    // the way.
    struct Frames {
        bool inProcess = false;
        bool destroying = false;
        int depth = 0;
    };
    static Frames& currentFrames();

    // Where this thread stands, changed for the scope's life.
    class FrameScope {
    public:
        explicit FrameScope(Frames changed) : saved_(std::exchange(currentFrames(), changed)) {}
        ~FrameScope() { currentFrames() = saved_; }
        FrameScope(const FrameScope&) = delete;
        FrameScope& operator=(const FrameScope&) = delete;

    private:
        Frames saved_;
    };

public:
    // Adds work to the current process's list; after the end it runs at once.
    static void add(std::function<void()> work);
    // The same, once per process for each `registry`: for registries that hold a process's
    // things in bulk and drop them all at its end.
    static void addOnce(const void* registry, std::function<void()> work);
    // Ends the process: from now on `hasEnded()`. Then runs the list, last added first, and
    // empties it; work added meanwhile runs too. Ending an ended process again does nothing
    // more than that. It never stops the caller: the machine's work that ends a process (the
    // desktop quitting it) goes on to its end, and the process's own code stops where it
    // next meets `stopIfEnded`.
    static void run();
    // Whether the current process has ended; it stays ended while its state is reset.
    static bool hasEnded();

    // The machine calls into the process: runs `call` as the process's code, unless the
    // process has ended (then nothing runs). A stop raised inside ends here. Called from the
    // process's own code it is a plain call (which an ended process does not make), and a
    // stop goes on to where the machine called in. Answers whether `call` ran to its end.
    template <class Call> static bool callIn(Call&& call) {
        Frames& frames = currentFrames();
        if (frames.inProcess) {
            stopIfEnded();
            std::forward<Call>(call)();
            return true;
        }
        if (hasEnded()) {
            return false;
        }
        const FrameScope entered(
            {.inProcess = true, .destroying = false, .depth = frames.depth + 1});
        try {
            std::forward<Call>(call)();
        } catch (const ProcessStop&) {
            return false;
        }
        return true;
    }

    // The machine's own work run while the process's code waits under it (the console's
    // line in an alert's run, the desktop's work): it is no code of the process, so an end
    // does not stop it, and what it asks is never refused.
    class MachineWork : FrameScope {
    public:
        MachineWork();
    };

    // The destruction of an ended process's objects (`resetProcess()`): what their
    // destructors ask is that process's, and refused; no stop is raised in a destructor.
    class Destruction : FrameScope {
    public:
        Destruction();
    };

    // Stops the process's code here once its process has ended: throws `ProcessStop` when
    // the code running on this thread is an ended process's. Nothing in the machine's code.
    static void stopIfEnded();
    // Whether the code running on this thread is the process's (the machine called into it).
    static bool inProcessCode() { return currentFrames().inProcess; }
    // Whether a frame of the process is anywhere on this thread's stack.
    static bool processFramesOnStack() { return currentFrames().depth > 0; }
    // Whether what the calling code asks is refused: it is an ended process's.
    static bool refuses() { return inProcessCode() && hasEnded(); }
};

} // namespace zestrel::platform
