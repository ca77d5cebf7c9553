#include "platform/base/UnifiedLog.h"

#include "platform/base/Mutex.h"

#include <cstdio>
#include <cstdlib>
#include <syslog.h>

namespace zestrel::platform {
namespace {

class DefaultSink final : public LogSink {
public:
    void write(const LogRecord& record) override {
        if (std::getenv("ZESTREL_LOG_STDERR") != nullptr) {
            std::fprintf(stderr, "%s [%s] %s", record.subsystem.c_str(), record.category.c_str(),
                         record.message.c_str());
            return;
        }
        MutexLock lock(mutex_);
        if (identifier_ != record.subsystem) {
            identifier_ = record.subsystem; // openlog keeps the pointer, so it must stay alive
            openlog(identifier_.c_str(), LOG_PID, LOG_USER);
        }
        syslog(priority(record.type), "%s", record.message.c_str());
    }

private:
    static int priority(OSLogType type) {
        switch (type) {
        case OSLogType::debug:
            return LOG_DEBUG;
        case OSLogType::info:
            return LOG_INFO;
        case OSLogType::error:
            return LOG_ERR;
        case OSLogType::fault:
            return LOG_CRIT;
        case OSLogType::defaultLevel:
            break;
        }
        return LOG_NOTICE;
    }
    Mutex mutex_;
    std::string identifier_ GUARDED_BY(mutex_);
};

Mutex sinkMutex;

std::shared_ptr<LogSink>& installedSink() REQUIRES(sinkMutex) {
    static auto* sink = new std::shared_ptr<LogSink>(std::make_shared<DefaultSink>());
    return *sink;
}

std::shared_ptr<LogSink> currentSink() {
    MutexLock lock(sinkMutex);
    return installedSink();
}

} // namespace

void setLogSink(std::shared_ptr<LogSink> sink) {
    MutexLock lock(sinkMutex);
    installedSink() = sink ? std::move(sink) : std::make_shared<DefaultSink>();
}

void osLog(const OSLog& log, OSLogType type, std::string_view message) {
    currentSink()->write(LogRecord{log.subsystem, log.category, type, std::string(message)});
}

} // namespace zestrel::platform
