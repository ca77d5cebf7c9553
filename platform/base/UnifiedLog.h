#pragma once

#include <chrono>
#include <cstdint>
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

// Where the process's log records go. By default the system log (syslog's socket at
// "/dev/log") with the subsystem as the identifier, or standard error when
// ZESTREL_LOG_STDERR is set; tests capture.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogRecord& record) = 0;
    // Returns once every record written before has been handed on.
    virtual void flush() {}
};

// How long the system-log sink, having found no log socket, waits on the process clock
// before it tries to connect again. Lines written meanwhile are dropped, as when no log runs.
inline constexpr std::chrono::seconds kSystemLogRetryInterval{10};

// A sink that writes syslog's records to the socket at `socketPath` over one connection,
// kept for all lines; a log daemon that restarted is reconnected to at once. Records are
// sent by the sink's own thread, so a writer never waits on the socket; errors and faults
// are sent before `write` returns, with everything written before them.
std::shared_ptr<LogSink> makeSystemLogSink(std::string socketPath);

// Installs the process's sink; nullptr restores the default one.
void setLogSink(std::shared_ptr<LogSink> sink);

// `os_log(type, log: log, "%@", message)`.
void osLog(const OSLog& log, OSLogType type, std::string_view message);

// A line of a log kept in memory (the app's buffer, the desktop's log), with its place among
// every such line logged on the machine, so the lines of several logs read in the order they
// came.
struct LoggedLine {
    std::uint64_t order = 0;
    std::string text;
};
// The next place: larger than every one answered before, on any thread, across the ends of
// the app's process.
std::uint64_t nextLogOrder();

} // namespace zestrel::platform
