#include "platform/testing/TestEnvironment.h"
#include "platform/base/Mutex.h"

#include "platform/appkit/NSSound.h"
#include "platform/base/Bundle.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Locale.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ReportSink.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StandardStreams.h"
#include "platform/concurrency/Executor.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSEvent.h"
#include "platform/system/SystemSound.h"

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace zestrel::platform::testing {

struct TestEnvironment::Captures {
    mutable Mutex mutex;
    std::vector<LogRecord> logRecords GUARDED_BY(mutex);
    std::vector<Error> reports GUARDED_BY(mutex);
    std::string standardOutput GUARDED_BY(mutex);
};

namespace {

class CapturingSink final : public LogSink {
public:
    explicit CapturingSink(std::function<void(const LogRecord&)> append)
        : append_(std::move(append)) {}
    void write(const LogRecord& record) override { append_(record); }

private:
    std::function<void(const LogRecord&)> append_;
};

// Without a desktop of its own a test gets fresh default keyboard, event path and privacy
// settings: US layout, no taps, trusted.
void resetDesktopInput() {
    EventSystem::setCurrent(nullptr);
    HotKeySystem::setCurrent(nullptr);
    InputSources::setCurrent(nullptr);
    Accessibility::setCurrent(nullptr);
    Locale::setCurrentLanguageCode("en");
}

// What the machine heard outlives a process, so a test starts from a machine that heard
// nothing.
void forgetSounds() {
    SystemSoundServer::forgetPlays();
    NSSound::forgetBeeps();
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// A call site's file relative to the source tree, as the compiler may be given full paths.
std::string_view relativeToSources(const char* file) {
    if (file == nullptr) {
        return "an unknown place";
    }
    constexpr std::string_view kThisFile = "platform/testing/TestEnvironment.cpp";
    const std::string_view self = __builtin_FILE();
    const std::string_view path = file;
    if (self.ends_with(kThisFile)) {
        const std::string_view root = self.substr(0, self.size() - kThisFile.size());
        if (path.starts_with(root)) {
            return path.substr(root.size());
        }
    }
    return path;
}

std::vector<std::string> describePendingWork(Nanoseconds now) {
    std::vector<std::string> lines;
    for (const auto& item : RunLoop::main().pendingItems()) {
        const double seconds = std::chrono::duration<double>(item.due - now).count();
        const char* kind = item.kind == RunLoop::PendingItem::Kind::timer ? "timer" : "block";
        lines.push_back(fmt::format("RunLoop {} due {:+.3f}s from {}:{}", kind, seconds,
                                    relativeToSources(item.site.file), item.site.line));
    }
    for (const auto& block : DispatchQueue::pendingBlocks()) {
        lines.push_back(fmt::format("DispatchQueue \"{}\" block from {}:{}", block.label,
                                    relativeToSources(block.site.file), block.site.line));
    }
    for (const auto& site : queuedGlobalJobs()) {
        lines.push_back(
            fmt::format("Global executor job from {}:{}", relativeToSources(site.file), site.line));
    }
    return lines;
}

void printPendingWork(std::string_view why, const std::vector<std::string>& lines) {
    std::fprintf(stderr, "%.*s; pending work:\n", static_cast<int>(why.size()), why.data());
    if (lines.empty()) {
        std::fprintf(stderr, "  (nothing)\n");
    }
    for (const auto& line : lines) {
        std::fprintf(stderr, "  %s\n", line.c_str());
    }
}

} // namespace

TestEnvironment::TestEnvironment()
    : captures_(std::make_shared<Captures>()),
      clock_(std::make_shared<VirtualClock>(Date::fromTimeIntervalSince1970(kFixedDateSince1970))) {
    resetProcess();
    RunLoop::resetMain(); // a new machine: nothing an earlier test left on its loop runs here
    Desktop::setCurrent(nullptr); // a test that needs one gets a fresh desktop
    installClock(clock_);
    // Held keys and the bundle outlive a process, so a test starts from none and the real one.
    NSEvent::setHeldModifierFlags(NSEvent::ModifierFlags{});
    Bundle::setMainForTesting(nullptr);
    resetDesktopInput();
    forgetSounds();
    RunLoop::main(); // the test's thread is the main thread
    RunLoop::main().setStuckHandler([clock = clock_](std::string_view why) {
        printPendingWork(why, describePendingWork(clock->uptime()));
    });
    // Tasks bound to no actor queue on the main run loop, so the test's driver runs them.
    setGlobalExecutorMode(GlobalExecutorMode::mainRunLoop);

    std::string pattern = (std::filesystem::temp_directory_path() / "zestrel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder for the test");
    }
    root_ = pattern;
    home_ = root_ / "home";
    configHome_ = home_ / ".config";
    const std::vector<std::pair<const char*, std::filesystem::path>> folders = {
        {"HOME", home_},
        {"XDG_CONFIG_HOME", configHome_},
        {"XDG_DATA_HOME", home_ / ".local" / "share"},
        {"XDG_CACHE_HOME", home_ / ".cache"},
        {"XDG_STATE_HOME", home_ / ".local" / "state"},
        {"TMPDIR", root_ / "tmp"},
    };
    for (const auto& [name, folder] : folders) {
        savedEnvironment_.emplace_back(name, environmentValue(name));
        std::filesystem::create_directories(folder);
        setenv(name, folder.c_str(), 1);
    }
    for (const char* name : {"ZESTREL_LOG_STDERR", "APP_SANDBOX_CONTAINER_ID"}) {
        savedEnvironment_.emplace_back(name, environmentValue(name));
        unsetenv(name);
    }

    auto captures = captures_;
    setLogSink(std::make_shared<CapturingSink>([captures](const LogRecord& record) {
        MutexLock lock(captures->mutex);
        captures->logRecords.push_back(record);
    }));
    setReportObserver([captures](const Error& report) {
        MutexLock lock(captures->mutex);
        captures->reports.push_back(report);
    });
    setStandardOutputWriter([captures](std::string_view text) {
        MutexLock lock(captures->mutex);
        captures->standardOutput.append(text);
    });
}

TestEnvironment::~TestEnvironment() {
    resetProcess();
    RunLoop::resetMain();
    Desktop::setCurrent(nullptr);
    setGlobalExecutorMode(GlobalExecutorMode::threadPool);
    NSEvent::setHeldModifierFlags(NSEvent::ModifierFlags{});
    Bundle::setMainForTesting(nullptr);
    resetDesktopInput();
    forgetSounds();
    setStandardOutputWriter({});
    setReportObserver({});
    setLogSink(nullptr);
    installClock(nullptr);
    for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

SystemSoundID TestEnvironment::cutSound() {
    const auto data = Bundle::main()->dataAsset("CutSound");
    if (!data) {
        throw std::runtime_error("the bundle has no CutSound");
    }
    const auto file = home_ / "cut.wav";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data->data()),
               static_cast<std::streamsize>(data->size()));
    SystemSoundID sound = 0;
    if (AudioServicesCreateSystemSoundID(URL::fileURL(file.string()), sound) !=
        kAudioServicesNoError) {
        throw std::runtime_error("the cut sound cannot be registered");
    }
    return sound;
}

void TestEnvironment::runUntilIdle() {
    RunLoop::main().runUntilIdle();
}

void TestEnvironment::advance(Nanoseconds duration) {
    RunLoop::main().advance(duration);
}

std::vector<std::string> TestEnvironment::pendingWork() const {
    return describePendingWork(clock_->uptime());
}

std::vector<std::string> TestEnvironment::logLines() const {
    MutexLock lock(captures_->mutex);
    std::vector<std::string> lines;
    for (const auto& record : captures_->logRecords) {
        lines.push_back(record.message);
    }
    return lines;
}

std::vector<LogRecord> TestEnvironment::logRecords() const {
    MutexLock lock(captures_->mutex);
    return captures_->logRecords;
}

std::vector<Error> TestEnvironment::reports() const {
    MutexLock lock(captures_->mutex);
    return captures_->reports;
}

std::string TestEnvironment::standardOutput() const {
    MutexLock lock(captures_->mutex);
    return captures_->standardOutput;
}

void TestEnvironment::clearCaptures() {
    MutexLock lock(captures_->mutex);
    captures_->logRecords.clear();
    captures_->reports.clear();
    captures_->standardOutput.clear();
}

} // namespace zestrel::platform::testing
