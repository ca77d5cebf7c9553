// The zestrel program over a long session of alerts: the debug window's "Delete Data &
// Settings" asked and cancelled, as a script runs it, 200 rounds after 1,000, 4,000 and 8,000
// such rounds, as a ratio to the same 200 after none ("vs_no_alerts_before"). After each
// command the program looks only at the alerts that may have changed, so a round's cost does
// not grow with the alerts shown before it and the ratios stay near 1.
#include "bench/Baseline.h"
#include "console/Console.h"
#include "platform/testing/TestEnvironment.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace pf = zestrel::platform;
using zestrel::bench::Baselines;
using Clock = std::chrono::steady_clock;

constexpr int kMeasuredRounds = 200;

int runRounds(zestrel::console::Console& console, int rounds) {
    std::string script;
    for (int round = 0; round < rounds; ++round) {
        script += "click \"Delete Data & Settings\"\nclick Cancel\n";
    }
    std::istringstream in(script);
    return console.runScript(in, "rounds.zestrel");
}

template <int roundsBefore> void roundsAfter(benchmark::State& state) {
    Clock::duration spent{};
    for (auto _ : state) {
        pf::testing::TestEnvironment env;
        const auto folder = env.home() / "tmp";
        std::filesystem::create_directories(folder);
        // Written and forgotten, as on a terminal; a stream that fails would end the script.
        std::ofstream nowhere("/dev/null");
        zestrel::console::Console console(folder, nowhere, nowhere);
        std::istringstream start("launch zestrel\nopen debug window\n");
        if (console.runScript(start, "start.zestrel") != 0 ||
            runRounds(console, roundsBefore) != 0) {
            state.SkipWithError("the rounds before failed");
            return;
        }
        const auto begin = Clock::now();
        if (runRounds(console, kMeasuredRounds) != 0) {
            state.SkipWithError("the measured rounds failed");
            return;
        }
        spent += Clock::now() - begin;
    }
    const double perRun = std::chrono::duration<double, std::nano>(spent).count() /
                          static_cast<double>(state.iterations());
    if constexpr (roundsBefore == 0) {
        Baselines::record("alert_rounds", perRun);
    } else {
        Baselines::reportRatio(state, "alert_rounds", "vs_no_alerts_before", perRun);
    }
}

// The baseline first: the others are ratios to it.
BENCHMARK_TEMPLATE(roundsAfter, 0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_TEMPLATE(roundsAfter, 1'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_TEMPLATE(roundsAfter, 4'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_TEMPLATE(roundsAfter, 8'000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
