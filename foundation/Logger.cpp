#include "foundation/Logger.h"

#include "foundation/LaunchModes.h"
#include "foundation/QVApp.h"
#include "platform/base/Clock.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"

#include <atomic>
#include <memory>
#include <utility>

namespace zestrel {
namespace {

std::atomic<void (*)()> lockedHook{nullptr};

const platform::OSLog& logObject() {
    static auto* const local = new platform::ProcessLocal<platform::OSLog>([] {
        return std::make_unique<platform::OSLog>(platform::OSLog{QVApp::id(), "general"});
    });
    return **local;
}

} // namespace

std::string logFileBaseName(std::string_view file) {
    if (const auto slash = file.rfind('/'); slash != std::string_view::npos) {
        file.remove_prefix(slash + 1);
    }
    for (const std::string_view extension : {std::string_view(".cpp"), std::string_view(".h")}) {
        if (file.size() > extension.size() && file.ends_with(extension)) {
            file.remove_suffix(extension.size());
            break;
        }
    }
    return std::string(file);
}

void logMessage(std::initializer_list<platform::Value> items, platform::OSLogType type,
                std::string_view function, std::string_view file, std::int64_t line) {
    // An ended process's code, and its objects as they go, log nothing: not to the buffer
    // either, which outlives the end until the process is reset, or is the next process's.
    if (platform::ProcessTeardown::refuses()) {
        return;
    }
    std::string text;
    for (const auto& item : items) {
        if (&item != items.begin()) {
            text += ' ';
        }
        text += item.debugDescribe();
    }
    text += "\n\t[";
    text += function;
    text += " in ";
    text += logFileBaseName(file);
    text += ':';
    text += std::to_string(line);
    text += "]\n";

    platform::osLog(logObject(), type, text);

    text += '\t';
    text += platform::currentDate().description();
    text += '\n';
    logBuffer().append(std::move(text));
}

void addBreadcrumb(std::string_view message,
                   const std::optional<platform::Value::Dictionary>& data) {
    if (QVApp::isSafeLaunch()) {
        return;
    }
    if (!isDebugModeLaunch()) {
        return;
    }
    logMessage({"[BREADCRUMB]", message, data}, platform::OSLogType::defaultLevel,
               "addBreadcrumb(_:data:)", "Zestrel/QVKit.cpp");
}

LogBuffer::LogBuffer() {
    ring_.reserve(capacity);
}

void LogBuffer::append(std::string entry) {
    UnfairLockGuard lock(lock_);
    if (const auto hook = lockedHook.load(std::memory_order_relaxed)) {
        hook();
    }
    ++appended_;
    // Numbered under the lock, so the ring's order is the numbers' order.
    platform::LoggedLine line{platform::nextLogOrder(), std::move(entry)};
    if (ring_.size() < static_cast<std::size_t>(capacity)) {
        ring_.push_back(std::move(line));
        return;
    }
    // The pushed-out entry is freed after the lock is released, when `line` goes.
    std::swap(ring_[head_], line);
    head_ = (head_ + 1) % ring_.size();
}

std::vector<platform::LoggedLine> LogBuffer::orderedEntries() const {
    UnfairLockGuard lock(lock_);
    std::vector<platform::LoggedLine> copy;
    copy.reserve(ring_.size());
    copy.insert(copy.end(), ring_.begin() + static_cast<std::ptrdiff_t>(head_), ring_.end());
    copy.insert(copy.end(), ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(head_));
    return copy;
}

std::vector<std::string> LogBuffer::entries() const {
    UnfairLockGuard lock(lock_);
    std::vector<std::string> copy;
    copy.reserve(ring_.size());
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        copy.push_back(ring_[(head_ + i) % ring_.size()].text);
    }
    return copy;
}

std::uint64_t LogBuffer::mark() const {
    UnfairLockGuard lock(lock_);
    return appended_;
}

std::vector<std::string> LogBuffer::entriesSince(std::uint64_t mark) const {
    UnfairLockGuard lock(lock_);
    // The count never goes back, not even on clear, so a mark from before a clear stays
    // valid; the ring then holds only what came after the clear.
    const std::uint64_t fresh = appended_ - std::min(mark, appended_);
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(fresh, ring_.size()));
    std::vector<std::string> copy;
    copy.reserve(count);
    for (std::size_t i = ring_.size() - count; i < ring_.size(); ++i) {
        copy.push_back(ring_[(head_ + i) % ring_.size()].text);
    }
    return copy;
}

void LogBuffer::clear() {
    UnfairLockGuard lock(lock_);
    ring_.clear(); // keeps the reserved storage
    head_ = 0;
}

void LogBuffer::setLockedHookForTesting(void (*hook)()) {
    lockedHook.store(hook, std::memory_order_relaxed);
}

LogBuffer& logBuffer() {
    static auto* const local = new platform::ProcessLocal<LogBuffer>();
    return **local;
}

} // namespace zestrel
