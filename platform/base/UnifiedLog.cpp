#include "platform/base/UnifiedLog.h"

#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

#include <fmt/format.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zestrel::platform {
namespace {

int priority(OSLogType type) {
    switch (type) {
    case OSLogType::debug:
        return LOG_USER | LOG_DEBUG;
    case OSLogType::info:
        return LOG_USER | LOG_INFO;
    case OSLogType::error:
        return LOG_USER | LOG_ERR;
    case OSLogType::fault:
        return LOG_USER | LOG_CRIT;
    case OSLogType::defaultLevel:
        break;
    }
    return LOG_USER | LOG_NOTICE;
}

// One connection to the log daemon's socket. Not thread-safe: its owner serializes the use.
class SystemLogConnection {
public:
    explicit SystemLogConnection(std::string path) : path_(std::move(path)) {}
    ~SystemLogConnection() { disconnect(); }
    SystemLogConnection(const SystemLogConnection&) = delete;
    SystemLogConnection& operator=(const SystemLogConnection&) = delete;

    // False when there is no daemon to take the record.
    bool send(std::string_view record) {
        if (socket_ < 0 && !connect()) {
            return false;
        }
        if (sendOnce(record)) {
            return true;
        }
        // A log daemon that restarted listens on a new socket in the same place.
        disconnect();
        return connect() && sendOnce(record);
    }

private:
    bool connect() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof address.sun_path) {
            return false;
        }
        path_.copy(address.sun_path, path_.size());
        // A stream socket refuses a datagram connection with EPROTOTYPE.
        for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
            const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                return false;
            }
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                socket_ = fd;
                isStream_ = type == SOCK_STREAM;
                return true;
            }
            const int error = errno;
            ::close(fd);
            if (error != EPROTOTYPE) {
                return false;
            }
        }
        return false;
    }

    void disconnect() {
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
    }

    // On a stream socket a NUL ends each record.
    bool sendOnce(std::string_view record) {
        const std::size_t length = isStream_ ? record.size() + 1 : record.size();
        std::size_t sent = 0;
        while (sent < length) {
            const auto result = ::send(socket_, record.data() + sent, length - sent, MSG_NOSIGNAL);
            if (result < 0 && errno == EINTR) {
                continue;
            }
            if (result <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(result);
        }
        return true;
    }

    const std::string path_;
    int socket_ = -1;
    bool isStream_ = false;
};

// Speaks syslog's local protocol: "<priority>Mmm dd hh:mm:ss identifier[pid]: message".
// Writers format and queue; the sink's thread, started with the first record, sends.
class SystemLogSink final : public LogSink {
public:
    explicit SystemLogSink(std::string socketPath)
        : connection_(std::move(socketPath)), pid_(::getpid()) {}

    ~SystemLogSink() override {
        std::thread sender;
        {
            MutexLock lock(queueMutex_);
            stopping_ = true;
            sender = std::move(sender_);
        }
        wake_.notify_all();
        if (sender.joinable()) {
            sender.join();
        }
        flush();
    }
    SystemLogSink(const SystemLogSink&) = delete;
    SystemLogSink& operator=(const SystemLogSink&) = delete;

    void write(const LogRecord& record) override {
        const bool urgent = record.type == OSLogType::error || record.type == OSLogType::fault;
        bool sendNow = false;
        bool wakeSender = false;
        {
            MutexLock lock(queueMutex_);
            if (refused_ && !retryIsDue()) {
                return;
            }
            // The sender sleeps only on an empty queue: a burst of lines wakes it once.
            wakeSender = queued_.empty();
            queued_.push_back(format(record));
            sendNow = urgent || !sender_.joinable();
        }
        // Errors and faults go at once, as the process may be about to end; so do the lines
        // before there is a connection, which spares a process with no log a thread.
        if (sendNow) {
            flush();
        } else if (wakeSender) {
            wake_.notify_one();
        }
    }

    void flush() override {
        // The lines are taken and sent under one lock, so they leave in the order written.
        MutexLock sending(sendMutex_);
        std::vector<std::string> batch;
        {
            MutexLock lock(queueMutex_);
            batch.swap(queued_);
        }
        for (const auto& record : batch) {
            if (!connection_.send(record)) {
                MutexLock lock(queueMutex_);
                refused_ = true;
                queued_.clear();
                return;
            }
        }
        MutexLock lock(queueMutex_);
        if (!batch.empty() && !sender_.joinable() && !stopping_) {
            sender_ = std::thread([this] { sendUntilStopped(); });
        }
    }

private:
    // No socket last time: try again only once the interval has passed since the first
    // line that found it so.
    bool retryIsDue() REQUIRES(queueMutex_) {
        const auto now = clock().uptime();
        if (!retryAt_) {
            retryAt_ = now + kSystemLogRetryInterval;
        }
        if (now < *retryAt_) {
            return false;
        }
        refused_ = false;
        retryAt_.reset();
        return true;
    }

    std::string format(const LogRecord& record) REQUIRES(queueMutex_) {
        // The stamp's text changes once a second; local time is what syslog writes.
        const std::time_t now = std::time(nullptr);
        if (now != stampSecond_) {
            stampSecond_ = now;
            std::tm local{};
            localtime_r(&now, &local);
            stampSize_ = std::strftime(stamp_.data(), stamp_.size(), "%b %e %T", &local);
        }
        return fmt::format("<{}>{} {}[{}]: {}", priority(record.type),
                           std::string_view(stamp_.data(), stampSize_), record.subsystem, pid_,
                           record.message);
    }

    void sendUntilStopped() {
        while (true) {
            {
                MutexLock lock(queueMutex_);
                while (!stopping_ && queued_.empty()) {
                    lock.wait(wake_);
                }
                if (queued_.empty()) {
                    return; // stopping, with nothing left to send
                }
            }
            flush();
        }
    }

    Mutex sendMutex_ ACQUIRED_BEFORE(queueMutex_);
    SystemLogConnection connection_ GUARDED_BY(sendMutex_);

    Mutex queueMutex_;
    std::condition_variable_any wake_;
    std::vector<std::string> queued_ GUARDED_BY(queueMutex_);
    std::thread sender_ GUARDED_BY(queueMutex_);
    bool stopping_ GUARDED_BY(queueMutex_) = false;
    bool refused_ GUARDED_BY(queueMutex_) = false;
    std::optional<Nanoseconds> retryAt_ GUARDED_BY(queueMutex_);
    std::time_t stampSecond_ GUARDED_BY(queueMutex_) = -1;
    std::array<char, 32> stamp_ GUARDED_BY(queueMutex_){};
    std::size_t stampSize_ GUARDED_BY(queueMutex_) = 0;
    const int pid_;
};

class DefaultSink final : public LogSink {
public:
    void write(const LogRecord& record) override {
        if (std::getenv("ZESTREL_LOG_STDERR") != nullptr) {
            std::fprintf(stderr, "%s [%s] %s", record.subsystem.c_str(), record.category.c_str(),
                         record.message.c_str());
            return;
        }
        systemLog_.write(record);
    }
    void flush() override { systemLog_.flush(); }

private:
    SystemLogSink systemLog_{"/dev/log"};
};

Mutex sinkMutex;

std::shared_ptr<LogSink> currentSink();

std::shared_ptr<LogSink>& installedSink() REQUIRES(sinkMutex) {
    static auto* sink = [] {
        // What is still queued when the process exits is sent first.
        std::atexit([] { currentSink()->flush(); });
        return new std::shared_ptr<LogSink>(std::make_shared<DefaultSink>());
    }();
    return *sink;
}

std::shared_ptr<LogSink> currentSink() {
    MutexLock lock(sinkMutex);
    return installedSink();
}

} // namespace

std::shared_ptr<LogSink> makeSystemLogSink(std::string socketPath) {
    return std::make_shared<SystemLogSink>(std::move(socketPath));
}

void setLogSink(std::shared_ptr<LogSink> sink) {
    MutexLock lock(sinkMutex);
    installedSink() = sink ? std::move(sink) : std::make_shared<DefaultSink>();
}

void osLog(const OSLog& log, OSLogType type, std::string_view message) {
    // An ended process's code, still running on a thread of its own, logs nothing.
    if (ProcessTeardown::refuses()) {
        return;
    }
    currentSink()->write(LogRecord{log.subsystem, log.category, type, std::string(message)});
}

std::uint64_t nextLogOrder() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

} // namespace zestrel::platform
