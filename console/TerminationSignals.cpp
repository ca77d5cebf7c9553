#include "console/TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
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
static_assert(std::atomic<int>::is_always_lock_free);

void handleSignal(int signal) {
    const int savedErrno = errno;
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
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i].number, &previousActions[i], nullptr);
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

const char* TerminationSignals::nameOf(int signal) {
    for (const auto& caught : kSignals) {
        if (caught.number == signal) {
            return caught.name;
        }
    }
    return "a signal";
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
        int none = 0;
        received_.compare_exchange_strong(none, signal);
        if (handler_) {
            handler_(signal);
        } else if (undelivered_ == 0) {
            undelivered_ = signal;
        }
    }
}

} // namespace zestrel::console
