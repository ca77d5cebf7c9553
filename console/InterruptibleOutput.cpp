#include "console/InterruptibleOutput.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

namespace zestrel::console {

namespace {

// A pipe polled writable takes this much without blocking; a larger write may wait for the
// reader after all.
constexpr std::size_t kAtOnce = PIPE_BUF;

} // namespace

InterruptibleOutput::InterruptibleOutput(int fd, int stop) : fd_(fd), stop_(stop) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

InterruptibleOutput::~InterruptibleOutput() {
    drain();
}

InterruptibleOutput::int_type InterruptibleOutput::overflow(int_type c) {
    if (!drain()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int InterruptibleOutput::sync() {
    return drain() ? 0 : -1;
}

bool InterruptibleOutput::drain() {
    const bool written = writeOut(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return written;
}

bool InterruptibleOutput::writeOut(const char* data, std::size_t size) {
    while (size > 0) {
        pollfd watched[] = {{fd_, POLLOUT, 0}, {stop_, POLLIN, 0}};
        const int ready = ::poll(watched, stopped_ ? 1 : 2, stopped_ ? 0 : -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failed(errno);
        }
        if (!stopped_ && (watched[1].revents & POLLIN) != 0) {
            stopped_ = true;
            continue;
        }
        if (ready == 0) {
            return true; // stopped, and no room: the rest is dropped
        }
        // Writable, or an error the write then names (a reader gone, a descriptor closed).
        const auto count = ::write(fd_, data, std::min(size, kAtOnce));
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return failed(errno);
        }
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

bool InterruptibleOutput::failed(int error) {
    if (failure_ == 0) {
        failure_ = error;
    }
    return false;
}

} // namespace zestrel::console
