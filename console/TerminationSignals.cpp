#include "console/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <pthread.h>
#include <string_view>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace zestrel::console {

namespace {

// Whether the default action of `signal` ends the program and it is caught here. SIGPIPE and
// SIGXFSZ are handled apart: a closed output is seen as a failed write, and a file over the
// size limit is a write that fails, which the command says.
bool endsTheProgram(int signal) {
    switch (signal) {
    case SIGKILL:
    case SIGSTOP: // cannot be caught
    case SIGPIPE:
    case SIGXFSZ:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH: // ignored by default
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU: // stop
        return false;
    default:
        // Those between the last standard one and SIGRTMIN are the C library's own.
        return (signal >= 1 && signal <= SIGSYS) || (signal >= SIGRTMIN && signal <= SIGRTMAX);
    }
}

// A program error's signal: the kernel sends it for a fault, and `abort` raises its own.
bool isFault(int signal) {
    return signal == SIGILL || signal == SIGTRAP || signal == SIGABRT || signal == SIGBUS ||
           signal == SIGFPE || signal == SIGSEGV || signal == SIGSYS;
}

struct sigaction previousActions[NSIG];
bool caught[NSIG];
// As SIGRTMIN and SIGRTMAX say, read outside the handler.
std::atomic<int> realTimeFirst{0};
std::atomic<int> realTimeLast{0};
// What the calling thread blocked before `hold`, while it holds.
sigset_t maskBeforeHold;
bool held = false;
void (*startUpHook)() = nullptr;
void (*installHook)() = nullptr;

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (endsTheProgram(signal)) {
            sigaddset(&set, signal);
        }
    }
    return set;
}

// The ending signals only the watching thread takes, and which wait while a handler runs: all
// but a fault's, which must reach the thread whose fault it is.
sigset_t watchedSignals() {
    sigset_t set = endingSignals();
    for (int signal = 1; signal < NSIG; ++signal) {
        if (isFault(signal)) {
            sigdelset(&set, signal);
        }
    }
    return set;
}

// The pipe the handler writes to and the event it sets; -1 while no watch is installed.
std::atomic<int> signalPipe{-1};
std::atomic<int> signalledEvent{-1};
// The first signal, noted by the handler itself so the program's status cannot miss one that
// came while the watching thread had not yet looked; with kSettled once the program settled
// on its status.
std::atomic<int> firstSignal{0};
constexpr int kSettled = 0x100;
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(NSIG <= kSettled);

// Safe in a signal handler: writes the signal's name as `kill -l` gives it into `to`, which
// holds 16 characters, and answers its length.
std::size_t nameOf(int signal, char* to) {
    static constexpr std::string_view kNames[] = {
        "",          "SIGHUP",  "SIGINT",    "SIGQUIT", "SIGILL",   "SIGTRAP", "SIGABRT", "SIGBUS",
        "SIGFPE",    "SIGKILL", "SIGUSR1",   "SIGSEGV", "SIGUSR2",  "SIGPIPE", "SIGALRM", "SIGTERM",
        "SIGSTKFLT", "SIGCHLD", "SIGCONT",   "SIGSTOP", "SIGTSTP",  "SIGTTIN", "SIGTTOU", "SIGURG",
        "SIGXCPU",   "SIGXFSZ", "SIGVTALRM", "SIGPROF", "SIGWINCH", "SIGIO",   "SIGPWR",  "SIGSYS"};
    static_assert(std::size(kNames) == SIGSYS + 1);
    if (signal >= 1 && signal <= SIGSYS) {
        return kNames[signal].copy(to, kNames[signal].size());
    }
    // Counted from the nearer end of the real-time ones.
    std::string_view base = "SIGRTMIN";
    char sign = '+';
    const int first = realTimeFirst.load();
    const int last = realTimeLast.load();
    int offset = signal - first;
    if (offset > (last - first) / 2) {
        base = "SIGRTMAX";
        sign = '-';
        offset = last - signal;
    }
    std::size_t size = base.copy(to, base.size());
    if (offset > 0) {
        to[size++] = sign;
        if (offset >= 10) {
            to[size++] = static_cast<char>('0' + offset / 10 % 10);
        }
        to[size++] = static_cast<char>('0' + offset % 10);
    }
    return size;
}

// Safe in a signal handler. Only what standard error takes at once: a reader that no longer
// reads must not hold the end.
void sayEndedBy(int signal) {
    constexpr std::string_view kSaying = "zestrel: ended by ";
    char line[kSaying.size() + 16 + 1];
    std::size_t size = kSaying.copy(line, kSaying.size());
    size += nameOf(signal, line + size);
    line[size++] = '\n';
    pollfd room = {STDERR_FILENO, POLLOUT, 0};
    if (::poll(&room, 1, 0) == 1 && (room.revents & POLLOUT) != 0) {
        [[maybe_unused]] const auto ignored = ::write(STDERR_FILENO, line, size);
    }
}

// A fault of the program's own (or its `abort`) takes the handling there was before: a
// crash reporter's, or the default action, which leaves the core to look into.
void passOnFault(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previousActions[signal];
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        // Blocked while this runs: it ends the program as soon as the handler returns.
        struct sigaction defaults = {};
        defaults.sa_handler = SIG_DFL;
        sigemptyset(&defaults.sa_mask);
        sigaction(signal, &defaults, nullptr);
        ::raise(signal);
    }
}

void handleSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    if (isFault(signal) && (info == nullptr || info->si_code > 0 || info->si_pid == ::getpid())) {
        passOnFault(signal, info, context);
        errno = savedErrno;
        return;
    }
    int seen = 0;
    if (!firstSignal.compare_exchange_strong(seen, signal)) {
        if (seen == kSettled) {
            // The program has settled on its status with no signal, and may be anywhere on
            // its way out: this one is the status, as it would have been a moment before.
            sayEndedBy(signal);
            ::_exit(128 + signal);
        }
        if ((seen & kSettled) != 0) {
            errno = savedErrno;
            return; // the first one's status stands, and nothing is left to notify
        }
    }
    // Set here rather than by the watching thread, so a wait on it ends even while that
    // thread is busy.
    if (const int fd = signalledEvent.load(); fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(fd, &one, sizeof one);
    }
    if (const int fd = signalPipe.load(); fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const auto ignored = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// Whether `action` is a handling of the program's own that may come back; the default one
// never does.
bool isHandler(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 || action.sa_handler != SIG_DFL;
}

} // namespace

void TerminationSignals::hold() {
    const sigset_t ending = endingSignals();
    if (!held && pthread_sigmask(SIG_BLOCK, &ending, &maskBeforeHold) == 0) {
        held = true;
    }
}

TerminationSignals::TerminationSignals() {
    if (held) {
        maskBefore_ = maskBeforeHold;
    } else {
        pthread_sigmask(SIG_SETMASK, nullptr, &maskBefore_);
    }
    // Blocked here before the watching thread is made, so it does not take one before the
    // handlers are in place.
    const sigset_t watched = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    // On a failure nothing stays held: what came goes by its default action.
    const auto fail = [this](int error) {
        held = false;
        pthread_sigmask(SIG_SETMASK, &maskBefore_, nullptr);
        throw std::system_error(error, std::generic_category(), "cannot watch for signals");
    };
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        fail(errno);
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    signalled_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalled_ < 0) {
        const int error = errno;
        ::close(readEnd_);
        ::close(writeEnd_);
        fail(error);
    }
    // A flood of signals while the watcher is busy must not block a handler on a full pipe;
    // the bytes already there stand for them.
    ::fcntl(writeEnd_, F_SETFL, O_NONBLOCK);
    // The watching thread's start, step by step with this one's: it comes to wait for the
    // handlers, and only then are they installed, so however the two threads run, it takes no
    // signal before they are in place.
    std::promise<void> waiting;
    std::promise<void> installed;
    std::promise<void> watching;
    auto waitingNow = waiting.get_future();
    auto watchingNow = watching.get_future();
    try {
        thread_ =
            std::thread([this, waiting = std::move(waiting), installed = installed.get_future(),
                         watching = std::move(watching)]() mutable {
                waiting.set_value();
                installed.wait();
                // The one thread that takes them from now on, with what blocked the rest before.
                pthread_sigmask(SIG_SETMASK, &maskBefore_, nullptr);
                if (startUpHook != nullptr) {
                    startUpHook();
                }
                watching.set_value();
                watch();
            });
    } catch (const std::system_error& error) {
        ::close(readEnd_);
        ::close(writeEnd_);
        ::close(signalled_);
        fail(error.code().value());
    }
    waitingNow.wait();
    if (installHook != nullptr) {
        installHook();
    }
    signalledEvent.store(signalled_);
    signalPipe.store(writeEnd_);
    firstSignal.store(0);
    realTimeFirst.store(SIGRTMIN);
    realTimeLast.store(SIGRTMAX);
    struct sigaction action = {};
    action.sa_sigaction = handleSignal;
    // One handler at a time, so the first one taken is the first noted: with none blocked, a
    // second one pending would be delivered on top of the first's handler and run before it.
    action.sa_mask = watched;
    // On the alternate stack where there is one, so a crash reporter passed a stack overflow
    // still runs.
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    for (int signal = 1; signal < NSIG; ++signal) {
        // One ignored by whoever started the program stays ignored, as `nohup` asks of
        // SIGHUP and a shell of a background job's SIGINT and SIGQUIT.
        caught[signal] = endsTheProgram(signal) &&
                         sigaction(signal, nullptr, &previousActions[signal]) == 0 &&
                         previousActions[signal].sa_handler != SIG_IGN &&
                         sigaction(signal, &action, nullptr) == 0;
    }
    // What `hold` held comes now, on this thread alone, noted before this answers.
    held = false;
    pthread_sigmask(SIG_SETMASK, &maskBefore_, nullptr);
    // From now on only the watching thread takes them, in the order the system gives them:
    // two threads taking one each would each run its handler at once, the later one maybe
    // first. Every thread made from here afterwards keeps them blocked as this one does.
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    // Answers once the watching thread takes them: each step of the start-up is over before
    // the next.
    installed.set_value();
    watchingNow.wait();
}

void TerminationSignals::setStartUpHookForTesting(void (*hook)()) {
    startUpHook = hook;
}

void TerminationSignals::setInstallHookForTesting(void (*hook)()) {
    installHook = hook;
}

TerminationSignals::~TerminationSignals() {
    // Before the pipe goes: from here on the handler no longer writes to it.
    firstSignal.fetch_or(kSettled);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (caught[signal] && isHandler(previousActions[signal])) {
            sigaction(signal, &previousActions[signal], nullptr);
        }
    }
    // This thread takes them again, now that nothing is left to order: one that waited for
    // it comes now.
    pthread_sigmask(SIG_SETMASK, &maskBefore_, nullptr);
    signalPipe.store(-1);
    signalledEvent.store(-1);
    const unsigned char stop = 0;
    while (::write(writeEnd_, &stop, 1) < 0 && (errno == EINTR || errno == EAGAIN)) {
        pollfd room = {writeEnd_, POLLOUT, 0};
        ::poll(&room, 1, -1);
    }
    thread_.join();
    ::close(readEnd_);
    ::close(writeEnd_);
    ::close(signalled_);
}

int TerminationSignals::received() const {
    return firstSignal.load() & ~kSettled;
}

int TerminationSignals::settle() {
    const int first = firstSignal.fetch_or(kSettled) & ~kSettled;
    if (const bool again = std::exchange(settled_, true); first != 0 && !again) {
        sayEndedBy(first);
    }
    return first;
}

void TerminationSignals::onSignal(std::function<void(int)> handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
    if (handler_ && undelivered_ != 0) {
        handler_(std::exchange(undelivered_, 0));
    }
}

void TerminationSignals::watch() {
    for (;;) {
        unsigned char signal = 0;
        const auto count = ::read(readEnd_, &signal, 1);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count != 1 || signal == 0) {
            return;
        }
        std::lock_guard lock(mutex_);
        if (handler_) {
            handler_(signal);
        } else if (undelivered_ == 0) {
            undelivered_ = signal;
        }
    }
}

} // namespace zestrel::console
