#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace zestrel::console {

// Turns the signals that end a session (Ctrl+C's SIGINT, SIGTERM, SIGHUP, SIGQUIT and the
// others the .cpp lists), whose default action would end the program where it stands, into a
// call on a thread of its own, so the program ends the way `quit` ends it instead, its
// folders removed and no core left. The signal handler only writes the signal's number to
// a pipe, which is all it may safely do; the thread reads it and calls the handler given to
// `onSignal`. The signals stay caught until this is destroyed: a second Ctrl+C while the
// program ends would otherwise cut the ending short and leave its folders behind (SIGKILL
// still stops a program stuck on its way out). A signal the program was started with
// ignored (`nohup`, a background job) stays ignored.
//
// One at a time in a process; made and destroyed on the main thread.
class TerminationSignals {
public:
    // Installs the handlers. Throws `std::system_error` when the pipe cannot be made.
    TerminationSignals();
    // Restores the handling there was before and ends the thread.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Calls `handler` with the signal's number for each signal from now on (on the
    // watching thread), and at once for the first of those that came while no handler was
    // set. Once this answers, the previous handler is no longer running and is never called
    // again: an empty handler ends the calls before what they reach goes away.
    void onSignal(std::function<void(int)> handler);
    // The first signal received, the one that ended the session, or 0; later ones change
    // nothing here.
    int received() const { return received_.load(); }
    // Polls readable from the first signal on, and stays so: a wait that polls it too (an
    // output blocked on a reader that never comes) ends when the session does.
    int signalledDescriptor() const { return signalled_; }

    // "SIGTERM" for a signal this catches; "a signal" for any other.
    static const char* nameOf(int signal);

private:
    void watch();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    int signalled_ = -1;
    std::atomic<int> received_{0};
    std::mutex mutex_;
    std::function<void(int)> handler_; // guarded by mutex_, and called under it
    int undelivered_ = 0;              // guarded by mutex_: came while there was no handler
    std::thread thread_;
};

} // namespace zestrel::console
