#pragma once

#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

namespace zestrel::console {

// Turns every signal whose default action would end the program where it stands (Ctrl+C's
// SIGINT, SIGTERM, SIGHUP, SIGQUIT, the real-time ones...) into a call on a thread of its own,
// so the program ends the way `quit` ends it instead, its folders removed and no core left.
// Not SIGPIPE and SIGXFSZ, which the program ignores to see a failed write instead; nor a
// fault of the program's own (SIGSEGV, `abort`), which takes the handling there was before;
// the same signal sent by another process is caught. The signal handler only notes the first
// signal and writes the signal's number to a pipe, which is all it may safely do; the thread
// reads it and calls the handler given to `onSignal`. That thread is the only one that takes
// them (but a fault's), and the handlers run one at a time, so the first one the system gives
// is the first noted: of those that come together, before the thread has taken the first, the
// lowest-numbered one. The default actions never come back while the program runs: a second
// Ctrl+C while the program ends would otherwise cut the ending short and leave its folders
// behind, and a Ctrl+\ held down would leave a core (SIGKILL still stops a program stuck on
// its way out). A signal the program was started with ignored (`nohup`, a background job)
// stays ignored.
//
// One at a time in a process; made and destroyed on the main thread.
class TerminationSignals {
public:
    // Holds every signal caught here for the calling thread until the handlers are in place,
    // so one that comes first waits for them instead of taking its default action: called
    // first thing in `main`. The constructor lets them go, as does its failure.
    static void hold();
    // Installs the handlers; one that came before (held) is noted before this answers. From
    // then on the calling thread blocks them (but a fault's), and so does every thread it
    // makes afterwards: made first thing in `main`, before any other thread. Throws
    // `std::system_error` when the pipe or the thread cannot be made.
    TerminationSignals();
    // Settles (without saying so) unless `settle` did, ends the thread, gives the calling
    // thread back what it blocked before, and puts back the handlers there were before; a
    // signal whose action was the default one stays caught, and from now on ends the program
    // at once as `settle` says (one sent to the calling thread alone meanwhile comes now).
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Calls `handler` with the signal's number for each signal from now on (on the
    // watching thread), and at once for the first of those that came while no handler was
    // set. Once this answers, the previous handler is no longer running and is never called
    // again: an empty handler ends the calls before what they reach goes away.
    void onSignal(std::function<void(int)> handler);
    // The first signal received, the one that ended the session, or 0; later ones change
    // nothing here. Noted by the signal handler itself, so it is known here as soon as the
    // handler has run, before the watching thread has read it or called the handler given to
    // `onSignal`.
    int received() const;
    // The program is about to return its status: answers the first signal received, having
    // said "zestrel: ended by SIGTERM" on standard error (what fits there at once), or 0. The
    // status is 128 + that signal's number whatever comes later: from now on a signal, when
    // none came before, ends the program at once with 128 + its number, said the same way, and
    // changes nothing when one did. Answers the same when called again, saying nothing.
    int settle();
    // Polls readable from the first signal on, and stays so: a wait that polls it too (an
    // output blocked on a reader that never comes) ends when the session does.
    int signalledDescriptor() const { return signalled_; }

    // Runs on the watching thread the moment it starts to take the signals, before the
    // constructor answers, so that a test can raise one there. Null: nothing runs.
    static void setStartUpHookForTesting(void (*hook)());
    // A test's way in: runs on the constructing thread once the watching thread says it waits,
    // just before the handlers go in, so that a test can hold them back there. Null: nothing
    // runs.
    static void setInstallHookForTesting(void (*hook)());

private:
    void watch();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    int signalled_ = -1;
    bool settled_ = false;
    // What the calling thread blocked before: the watching thread blocks the same.
    sigset_t maskBefore_;
    std::mutex mutex_;
    std::function<void(int)> handler_; // guarded by mutex_, and called under it
    int undelivered_ = 0;              // guarded by mutex_: came while there was no handler
    std::thread thread_;
};

} // namespace zestrel::console
