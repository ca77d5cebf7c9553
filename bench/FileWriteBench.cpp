// The zestrel program's `write` at scale: 10,000 writes through its console into one folder,
// as a ratio to the same 10,000 spread over 100 folders ("vs_spread_over_100_folders"). A
// write's cost does not grow with the files beside it, so the ratio stays below 2.
#include "bench/Baseline.h"
#include "console/Console.h"
#include "console/ScriptCommand.h"
#include "platform/testing/ForeignFileSystemFolder.h"
#include "platform/testing/TestEnvironment.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>

namespace {

namespace pf = zestrel::platform;
using zestrel::bench::Baselines;
using Clock = std::chrono::steady_clock;

constexpr int kWrites = 10'000;

// Writes `kWrites` files, the nth into folder n % `folders`, through a fresh console.
template <int folders> void writeFiles(benchmark::State& state) {
    Clock::duration spent{};
    for (auto _ : state) {
        pf::testing::TestEnvironment env;
        // On a memory file system where there is one: the figures are then of the write's own
        // work, not of the disk's flushes, which cost the same wherever a file goes.
        const pf::testing::ForeignFileSystemFolder memory(env.home());
        const auto folder = memory.path().empty() ? env.home() / "tmp" : memory.path() / "tmp";
        std::filesystem::create_directories(folder);
        std::ostream nowhere(nullptr);
        zestrel::console::Console console(folder, nowhere, nowhere);
        const auto start = Clock::now();
        for (int n = 0; n < kWrites; ++n) {
            console.run(*zestrel::console::parseCommand(
                "write $TMP/d" + std::to_string(n % folders) + "/f" + std::to_string(n) + " x"));
        }
        spent += Clock::now() - start;
    }
    const double perRun = std::chrono::duration<double, std::nano>(spent).count() /
                          static_cast<double>(state.iterations());
    if constexpr (folders == 1) {
        Baselines::reportRatio(state, "spread_writes", "vs_spread_over_100_folders", perRun);
    } else {
        Baselines::record("spread_writes", perRun);
    }
}

void BM_WritesSpreadOver100Folders(benchmark::State& state) {
    writeFiles<100>(state);
}
BENCHMARK(BM_WritesSpreadOver100Folders)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_WritesIntoOneFolder(benchmark::State& state) {
    writeFiles<1>(state);
}
BENCHMARK(BM_WritesIntoOneFolder)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
