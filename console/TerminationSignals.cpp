#include "console/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace zestrel::console {

namespace {

struct Caught {
    int number;
    const char* name;
};
// SIGPIPE is not among them: a closed output is seen as a failed write. Nor is SIGXFSZ: a
// file over the size limit is a write that fails, and the command says so.
constexpr Caught kSignals[] = {
    {SIGINT, "SIGINT"},   {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},   {SIGQUIT, "SIGQUIT"},
    {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"}, {SIGVTALRM, "SIGVTALRM"},
    {SIGPROF, "SIGPROF"}, {SIGXCPU, "SIGXCPU"},
};
struct sigaction previousActions[std::size(kSignals)];

// The pipe the handler writes to and the event it sets; -1 while no watch is installed.
std::atomic<int> signalPipe{-1};
std::atomic<int> signalledEvent{-1};
// The first signal, noted by the handler itself so the program's status cannot miss one that
// came while the watching thread had not yet looked; with kSettled once the program settled
// on its status.
std::atomic<int> firstSignal{0};
constexpr int kSettled = 0x100;
static_assert(std::atomic<int>::is_always_lock_free);

const char* signalName(int signal) {
    for (const auto& caught : kSignals) {
        if (caught.number == signal) {
            return caught.name;
        }
    }
    return "a signal";
}

// Safe in a signal handler. Only what standard error takes at once: a reader that no longer
// reads must not hold the end.
void sayEndedBy(int signal) {
    constexpr std::string_view kSaying = "zestrel: ended by ";
    const std::string_view name = signalName(signal);
    char line[kSaying.size() + 16];
    const std::size_t size = kSaying.size() + name.size() + 1;
    if (size > sizeof line) {
        return;
    }
    kSaying.copy(line, kSaying.size());
    name.copy(line + kSaying.size(), name.size());
    line[size - 1] = '\n';
    pollfd room = {STDERR_FILENO, POLLOUT, 0};
    if (::poll(&room, 1, 0) == 1 && (room.revents & POLLOUT) != 0) {
        [[maybe_unused]] const auto ignored = ::write(STDERR_FILENO, line, size);
    }
}

void handleSignal(int signal) {
    const int savedErrno = errno;
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

TerminationSignals::TerminationSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot watch for signals");
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    signalled_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalled_ < 0) {
        const int error = errno;
        ::close(readEnd_);
        ::close(writeEnd_);
        throw std::system_error(error, std::generic_category(), "cannot watch for signals");
    }
    // A flood of signals while the watcher is busy must not block a handler on a full pipe;
    // the bytes already there stand for them.
    ::fcntl(writeEnd_, F_SETFL, O_NONBLOCK);
    signalledEvent.store(signalled_);
    signalPipe.store(writeEnd_);
    firstSignal.store(0);
    thread_ = std::thread([this] { watch(); });
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        // One ignored by whoever started the program stays ignored, as `nohup` asks of
        // SIGHUP and a shell of a background job's SIGINT and SIGQUIT.
        sigaction(kSignals[i].number, nullptr, &previousActions[i]);
        if (previousActions[i].sa_handler != SIG_IGN) {
            sigaction(kSignals[i].number, &action, nullptr);
        }
    }
}

TerminationSignals::~TerminationSignals() {
    // Before the pipe goes: from here on the handler no longer writes to it.
    firstSignal.fetch_or(kSettled);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (isHandler(previousActions[i])) {
            sigaction(kSignals[i].number, &previousActions[i], nullptr);
        }
    }
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
