// A key-down through the app's own tap handler (the event-tap method's, as the launch sets
// it up) to the file manager: a key without Command ("vs_pass_plain_key") and Command+X,
// which starts a cut and writes its log lines, with no system log to take them
// ("vs_pass_command_x") and with one running ("vs_pass_command_x_log_running"), each as a
// ratio to the same post through a pass-through tap, measured first. A running log makes
// the process a threaded one for good (the daemon's reader here, the log's sender in the
// app), which slows every allocation and shared count, so those figures have a
// pass-through baseline of their own, measured with the log running.
#include "bench/Baseline.h"
#include "bench/ScratchDefaults.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "cut_engine/SystemEventTap.h"
#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UnifiedLog.h"
#include "platform/desktop/EventSystem.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
namespace pf = zestrel::platform;

constexpr int kFileManagerPid = 43;
constexpr std::uint16_t kKeyA = 0;
constexpr std::uint16_t kKeyX = 7;

// A fresh pipeline whose key events all go to the file manager, with one tap on it that
// runs `action`; the app's preferences as a launch leaves them.
struct TappedPipeline {
    explicit TappedPipeline(zestrel::SystemEventTap::Action action) {
        zestrel::bench::scratchDefaults();
        zestrel::Prefs::set(zestrel::AppPreferences::useKeyCode(), true);
        zestrel::Prefs::set(zestrel::AppPreferences::playSoundEffects(), false);
        zestrel::CGKeyCodeUtilities::keyCode("x"); // the tables are built once, at launch
        pf::EventSystem::setCurrent(nullptr);
        system = pf::EventSystem::current();
        system->setKeyboardFocusProvider([] { return kFileManagerPid; });
        system->setApplicationDelivery([this](int, const pf::CGEventRef&) { ++delivered; });
        tap = zestrel::SystemEventTap::make(
            {pf::CGEventType::keyDown}, kFileManagerPid, pf::kCGAnnotatedSessionEventTap,
            pf::kCGHeadInsertEventTap, pf::kCGEventTapOptionDefault, std::move(action));
    }

    // Posts the key once an iteration. `settle` runs every 1024 keys; its time is kept in
    // `settling`, for the caller to take out of the loop's.
    template <class Settle>
    void post(benchmark::State& state, std::uint16_t keyCode, pf::CGEventFlags flags,
              Settle settle) {
        const auto event = pf::CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        event->setFlags(flags);
        std::int64_t count = 0;
        for (auto _ : state) {
            system->post(pf::kCGHIDEventTap, event);
            if ((++count & 1023) == 0) {
                state.PauseTiming();
                const auto start = std::chrono::steady_clock::now();
                settle();
                settling += std::chrono::steady_clock::now() - start;
                state.ResumeTiming();
            }
        }
        if (delivered != static_cast<std::uint64_t>(state.iterations())) {
            state.SkipWithError("a key was lost");
        }
    }

    // Time per iteration of the loop, without the settling.
    double nanosecondsPerKey(const LoopTimer& timer, const benchmark::State& state) const {
        const auto iterations = static_cast<double>(state.iterations());
        return iterations > 0
                   ? timer.nanosecondsPerIteration(state) -
                         std::chrono::duration<double, std::nano>(settling).count() / iterations
                   : 0;
    }

    std::uint64_t delivered = 0;
    std::chrono::steady_clock::duration settling{};
    std::shared_ptr<pf::EventSystem> system;
    std::shared_ptr<zestrel::SystemEventTap> tap;
};

// The app's handler with its own pending cut, as `setUpListener` makes it.
zestrel::SystemEventTap::Action appHandler(const std::shared_ptr<zestrel::AppState>& app) {
    auto pending = std::make_shared<zestrel::PendingCut>();
    return [app, pending](const std::shared_ptr<pf::NSEvent>& event) {
        return app->handleTappedKeyDown(event, pending);
    };
}

void BM_AppTapPassThrough(benchmark::State& state) {
    TappedPipeline pipeline([](const std::shared_ptr<pf::NSEvent>& event) { return event; });
    const LoopTimer timer;
    pipeline.post(state, kKeyA, pf::CGEventFlags{}, [] {});
    Baselines::record("appTapPassThrough", timer.nanosecondsPerIteration(state));
}

void BM_AppTapPlainKey(benchmark::State& state) {
    const auto app = zestrel::AppState::makeUnlaunched();
    TappedPipeline pipeline(appHandler(app));
    const LoopTimer timer;
    pipeline.post(state, kKeyA, pf::CGEventFlags{}, [] {});
    Baselines::reportRatio(state, "appTapPassThrough", "vs_pass_plain_key",
                           timer.nanosecondsPerIteration(state));
}

// A system log daemon's socket in a scratch folder, read by its own thread as the daemon
// would; the log lines go there while it is installed.
class SystemLogListener {
public:
    SystemLogListener()
        : path_(std::filesystem::temp_directory_path() /
                ("zestrel-bench-log-" + std::to_string(::getpid()))) {
        std::filesystem::remove(path_);
        socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.native().copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            std::perror("system log listener");
        }
        reader_ = std::thread([fd = socket_] {
            char line[8192];
            while (::recv(fd, line, sizeof line, 0) > 0) {
            }
        });
        pf::setLogSink(pf::makeSystemLogSink(path_));
    }
    ~SystemLogListener() {
        pf::setLogSink(nullptr);
        ::shutdown(socket_, SHUT_RDWR);
        reader_.join();
        ::close(socket_);
        std::filesystem::remove(path_);
    }
    SystemLogListener(const SystemLogListener&) = delete;
    SystemLogListener& operator=(const SystemLogListener&) = delete;

private:
    std::filesystem::path path_;
    int socket_ = -1;
    std::thread reader_;
};

// A system log socket that nobody listens on.
struct NoSystemLog {
    NoSystemLog() {
        pf::setLogSink(
            pf::makeSystemLogSink(std::filesystem::temp_directory_path() / "zestrel-bench-no-log"));
    }
    ~NoSystemLog() { pf::setLogSink(nullptr); }
};

void postCuts(benchmark::State& state, const char* baseline, const char* counter) {
    // Each cut schedules its checks: a virtual clock lets them run between the batches.
    const auto clock = std::make_shared<pf::VirtualClock>(pf::currentDate());
    pf::installClock(clock);
    {
        const auto app = zestrel::AppState::makeUnlaunched();
        TappedPipeline pipeline(appHandler(app));
        const LoopTimer timer;
        pipeline.post(state, kKeyX, pf::kCGEventFlagMaskCommand,
                      [] { pf::RunLoop::main().advance(std::chrono::seconds(1)); });
        Baselines::reportRatio(state, baseline, counter, pipeline.nanosecondsPerKey(timer, state));
        pf::RunLoop::main().advance(std::chrono::seconds(1));
    }
    pf::installClock(nullptr);
}

void BM_AppTapCommandX(benchmark::State& state) {
    const NoSystemLog log;
    postCuts(state, "appTapPassThrough", "vs_pass_command_x");
}

void BM_AppTapPassThroughLogRunning(benchmark::State& state) {
    const SystemLogListener log;
    TappedPipeline pipeline([](const std::shared_ptr<pf::NSEvent>& event) { return event; });
    const LoopTimer timer;
    pipeline.post(state, kKeyA, pf::CGEventFlags{}, [] {});
    Baselines::record("appTapPassThroughLogRunning", timer.nanosecondsPerIteration(state));
}

void BM_AppTapCommandXLogRunning(benchmark::State& state) {
    const SystemLogListener log;
    postCuts(state, "appTapPassThroughLogRunning", "vs_pass_command_x_log_running");
}

// The baselines run before the figures they scale; the threaded ones last.
BENCHMARK(BM_AppTapPassThrough);
BENCHMARK(BM_AppTapPlainKey);
BENCHMARK(BM_AppTapCommandX);
BENCHMARK(BM_AppTapPassThroughLogRunning);
BENCHMARK(BM_AppTapCommandXLogRunning);

} // namespace
