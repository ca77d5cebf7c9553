// The app's launch, from its entry to the first idle turn of the main run loop, as a ratio to
// starting the bare simulated desktop with no app ("vs_bare_desktop"); and the app's own
// memory (the kernel's footprint) after launch and after 10,000 and 20,000 cuts in the
// Finder, which must not grow with the number of cuts ("bytes_per_cut" over the second
// 10,000).
#include "app/AppMain.h"
#include "app/DebugInfo.h"
#include "bench/Baseline.h"
#include "bench/MemoryFigures.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"
#include "preferences/Prefs.h"

#include <chrono>
#include <memory>
#include <optional>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::reportFootprint;
using zestrel::bench::reportGrowth;
namespace pf = zestrel::platform;
using Clock = std::chrono::steady_clock;

// Starts one machine: a fresh process on a standard desktop; with `app`, the app launched
// through its entry; then the main run loop's turns until nothing is left to run.
template <bool app> void launch(benchmark::State& state) {
    Clock::duration spent{};
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<pf::testing::TestEnvironment> environment(std::in_place);
        state.ResumeTiming();
        const auto start = Clock::now();
        {
            const auto desktop = pf::Desktop::make();
            pf::Desktop::setCurrent(desktop);
            if constexpr (app) {
                zestrel::launchApp();
            }
            pf::RunLoop::main().runUntilIdle();
            spent += Clock::now() - start;
            state.PauseTiming();
            pf::Desktop::setCurrent(nullptr);
        }
        environment.reset();
        state.ResumeTiming();
    }
    const double perLaunch = std::chrono::duration<double, std::nano>(spent).count() /
                             static_cast<double>(state.iterations());
    if constexpr (app) {
        Baselines::reportRatio(state, "bare_desktop", "vs_bare_desktop", perLaunch);
    } else {
        Baselines::record("bare_desktop", perLaunch);
    }
}

void BM_LaunchBareDesktop(benchmark::State& state) {
    launch<false>(state);
}
BENCHMARK(BM_LaunchBareDesktop)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_LaunchApp(benchmark::State& state) {
    launch<true>(state);
}
BENCHMARK(BM_LaunchApp)->Unit(benchmark::kMicrosecond)->Iterations(200);

void press(std::uint16_t keyCode, pf::CGEventFlags flags) {
    for (const bool down : {true, false}) {
        auto event = pf::CGEventCreateKeyboardEvent(nullptr, keyCode, down);
        pf::CGEventSetFlags(event, flags);
        pf::EventSystem::current()->post(pf::kCGHIDEventTap, event);
    }
}

void BM_MemoryAfterCuts(benchmark::State& state) {
    for (auto _ : state) {
        pf::testing::DesktopEnvironment env;
        const auto scene = env.makeCutScene();
        // The stand-in records what it plays and what the Finder receives; those records are
        // the desktop's, not the app's, and are emptied as the cuts go.
        zestrel::Prefs::set(zestrel::AppPreferences::playSoundEffects(), false);
        zestrel::launchApp();
        env.advance(std::chrono::seconds(30));
        env.desktop().activate(scene.finder->processIdentifier());
        const auto afterLaunch = zestrel::physicalMemoryFootprint();
        std::optional<std::int64_t> afterFirst;
        constexpr int kCuts = 20'000;
        for (int cut = 1; cut <= kCuts; ++cut) {
            press(pf::testing::kVKX, pf::CGEventFlags::maskCommand);
            env.advance(std::chrono::seconds(1));
            press(pf::testing::kVKC, pf::CGEventFlags::maskCommand); // forgets the cut
            if (cut % 1000 == 0) {
                scene.finder->clearReceivedEvents();
                env.clearCaptures();
            }
            if (cut == kCuts / 2) {
                afterFirst = zestrel::physicalMemoryFootprint();
            }
        }
        const auto afterAll = zestrel::physicalMemoryFootprint();
        reportFootprint(state, "MB_after_launch", afterLaunch);
        reportFootprint(state, "MB_after_10000_cuts", afterFirst);
        reportFootprint(state, "MB_after_20000_cuts", afterAll);
        reportGrowth(state, "bytes_per_cut", afterFirst, afterAll, kCuts / 2.0);
    }
}
BENCHMARK(BM_MemoryAfterCuts)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
