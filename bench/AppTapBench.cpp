// A key-down through the app's own tap handler (the event-tap method's, as the launch sets
// it up) to the file manager: a key without Command ("vs_pass_plain_key") and Command+X,
// which starts a cut ("vs_pass_command_x"), each as a ratio to the same post through a
// pass-through tap, measured first.
#include "bench/Baseline.h"
#include "bench/ScratchDefaults.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "cut_engine/SystemEventTap.h"
#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/EventSystem.h"

#include <chrono>
#include <memory>

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

void BM_AppTapCommandX(benchmark::State& state) {
    // Each cut schedules its checks: a virtual clock lets them run between the batches.
    const auto clock = std::make_shared<pf::VirtualClock>(pf::currentDate());
    pf::installClock(clock);
    {
        const auto app = zestrel::AppState::makeUnlaunched();
        TappedPipeline pipeline(appHandler(app));
        const LoopTimer timer;
        pipeline.post(state, kKeyX, pf::kCGEventFlagMaskCommand,
                      [] { pf::RunLoop::main().advance(std::chrono::seconds(1)); });
        Baselines::reportRatio(state, "appTapPassThrough", "vs_pass_command_x",
                               pipeline.nanosecondsPerKey(timer, state));
        pf::RunLoop::main().advance(std::chrono::seconds(1));
    }
    pf::installClock(nullptr);
}

// The baseline runs before the figures it scales.
BENCHMARK(BM_AppTapPassThrough);
BENCHMARK(BM_AppTapPlainKey);
BENCHMARK(BM_AppTapCommandX);

} // namespace
