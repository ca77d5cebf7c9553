#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zestrel::platform {

// Levels of the unified log.
enum class OSLogType { defaultLevel, info, debug, error, fault };

// One log object: subsystem and category.
struct OSLog {
    std::string subsystem;
    std::string category;
};

struct LogRecord {
    std::string subsystem;
    std::string category;
    OSLogType type = OSLogType::defaultLevel;
    std::string message;
};

// Where the process's log records go. By default syslog(3) with the subsystem as the
// identifier, or standard error when ZESTREL_LOG_STDERR is set; tests capture.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogRecord& record) = 0;
};

// Installs the process's sink; nullptr restores the default one.
void setLogSink(std::shared_ptr<LogSink> sink);

// `os_log(type, log: log, "%@", message)`.
void osLog(const OSLog& log, OSLogType type, std::string_view message);

} // namespace zestrel::platform
