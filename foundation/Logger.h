#pragma once

#include "foundation/UnfairLock.h"
#include "platform/base/UnifiedLog.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel {

// Writes one message to the unified log (subsystem = the bundle identifier, category
// "general") and, with the date, to the log buffer. Items are rendered as
// `String(reflecting:)` and joined by a space. Where the function's text is part of what
// users see, pass it as a literal ("setUpListener()"). Callable from any thread.
//
// The call site comes from the builtins `std::source_location` is made of: clang 14 cannot
// compile libstdc++'s `<source_location>`, and the bare function name is what we want.
void logMessage(std::initializer_list<platform::Value> items,
                platform::OSLogType type = platform::OSLogType::defaultLevel,
                std::string_view function = __builtin_FUNCTION(),
                std::string_view file = __builtin_FILE(), std::int64_t line = __builtin_LINE());

// Logs "[BREADCRUMB]", the message and the data, only in debug mode and never in a safe
// launch.
void addBreadcrumb(std::string_view message,
                   const std::optional<platform::Value::Dictionary>& data = std::nullopt);

// The location suffix's name of a source file: its last path component, without the
// extension of our own source files (".cpp", ".h"); other endings stay.
std::string logFileBaseName(std::string_view file);

// The most recent log entries, oldest first, for the debug screens.
class LogBuffer {
public:
    static constexpr std::ptrdiff_t capacity = 10000;

    LogBuffer();

    // Once full, each new entry pushes out the oldest.
    void append(std::string entry);
    std::vector<std::string> entries() const;
    // The same, each with its place among every line logged on the machine.
    std::vector<platform::LoggedLine> orderedEntries() const;
    // A mark for `entriesSince`: how many entries were ever appended.
    std::uint64_t mark() const;
    // The entries appended after `mark` that are still held, oldest first.
    std::vector<std::string> entriesSince(std::uint64_t mark) const;
    void clear();

    // A test's way in: runs in each append as soon as it holds the buffer's lock, before the
    // entry is numbered. Null: nothing runs.
    static void setLockedHookForTesting(void (*hook)());

private:
    // A ring over storage reserved once: `head_` is the oldest entry once it is full.
    mutable UnfairLock lock_;
    std::vector<platform::LoggedLine> ring_ GUARDED_BY(lock_);
    std::size_t head_ GUARDED_BY(lock_) = 0;
    std::uint64_t appended_ GUARDED_BY(lock_) = 0;
};

// The process's buffer, created on first use.
LogBuffer& logBuffer();

} // namespace zestrel
