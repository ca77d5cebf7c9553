// The zestrel program over a long session of alerts and checks, as a script runs it: 200
// rounds after 1,000, 4,000 and 8,000 such rounds, as a ratio to the same 200 after none
// ("vs_no_rounds_before"). The rounds: the debug window's "Delete Data & Settings" asked and
// cancelled; the same followed by `expect alert`; the menu's FAQ opened followed by `expect
// opened`. A command looks only at what it needs (after each command, the alerts that may
// have changed; an `expect`, the most recent first), never at a copy of everything the session
// showed, so a round's cost does not grow with the rounds before it and the ratios stay near 1.
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

// One kind of round: the script lines that set it up and those of one round, and the name
// its baseline (the rounds after none) is recorded under.
struct Round {
    const char* baseline;
    const char* start;
    const char* lines;
};

constexpr Round kAlert{"alert_rounds", "launch zestrel\nopen debug window\n",
                       "click \"Delete Data & Settings\"\nclick Cancel\n"};
constexpr Round kExpectAlert{"expect_alert_rounds", "launch zestrel\nopen debug window\n",
                             "click \"Delete Data & Settings\"\nclick Cancel\n"
                             "expect alert Delete all data\n"};
constexpr Round kExpectOpened{"expect_opened_rounds", "launch zestrel\n",
                              "click menu FAQ\nexpect opened faq\n"};

int runRounds(zestrel::console::Console& console, const Round& round, int rounds) {
    std::string script;
    for (int i = 0; i < rounds; ++i) {
        script += round.lines;
    }
    std::istringstream in(script);
    return console.runScript(in, "rounds.zestrel");
}

void roundsAfter(benchmark::State& state, const Round& round, int roundsBefore) {
    Clock::duration spent{};
    for (auto _ : state) {
        pf::testing::TestEnvironment env;
        const auto folder = env.home() / "tmp";
        std::filesystem::create_directories(folder);
        // Written and forgotten, as on a terminal; a stream that fails would end the script.
        std::ofstream nowhere("/dev/null");
        zestrel::console::Console console(folder, nowhere, nowhere);
        std::istringstream start(round.start);
        if (console.runScript(start, "start.zestrel") != 0 ||
            runRounds(console, round, roundsBefore) != 0) {
            state.SkipWithError("the rounds before failed");
            return;
        }
        const auto begin = Clock::now();
        if (runRounds(console, round, kMeasuredRounds) != 0) {
            state.SkipWithError("the measured rounds failed");
            return;
        }
        spent += Clock::now() - begin;
    }
    const double perRun = std::chrono::duration<double, std::nano>(spent).count() /
                          static_cast<double>(state.iterations());
    if (roundsBefore == 0) {
        Baselines::record(round.baseline, perRun);
    } else {
        Baselines::reportRatio(state, round.baseline, "vs_no_rounds_before", perRun);
    }
}

// Each baseline first: the others of its kind are ratios to it.
#define ZESTREL_ROUNDS(kind, round)                                                                \
    BENCHMARK_CAPTURE(roundsAfter, kind##_after_0, round, 0)                                       \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(1);                                                                           \
    BENCHMARK_CAPTURE(roundsAfter, kind##_after_1000, round, 1'000)                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(1);                                                                           \
    BENCHMARK_CAPTURE(roundsAfter, kind##_after_4000, round, 4'000)                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(1);                                                                           \
    BENCHMARK_CAPTURE(roundsAfter, kind##_after_8000, round, 8'000)                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(1)

ZESTREL_ROUNDS(alert, kAlert);
ZESTREL_ROUNDS(expect_alert, kExpectAlert);
ZESTREL_ROUNDS(expect_opened, kExpectOpened);

} // namespace
