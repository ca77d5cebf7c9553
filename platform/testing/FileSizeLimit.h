#pragma once

#include <csignal>
#include <sys/resource.h>

namespace zestrel::platform::testing {

// While held, this process may not make any file larger than `bytes`: a write beyond fails
// with EFBIG as one fails on a full disk. A short text waits in the stream's buffer, so its
// failure shows only when the file is closed.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int);
};

} // namespace zestrel::platform::testing
