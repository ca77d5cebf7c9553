// The log buffer under contention: appends from one thread, then from eight at once.
// The eight-thread run reports its time per append as a ratio to the one-thread run of
// the same invocation ("vs_1_thread"), so the figure does not depend on the machine.
#include "foundation/Logger.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

std::atomic<double> baselineNanosecondsPerAppend{0};

void BM_LogBufferAppend(benchmark::State& state) {
    auto& buffer = zestrel::logBuffer();
    const std::string entry =
        "\"Event tap started\"\n\t[setUpListener() in AppState:360]\n\t2026-01-15 10:00:00 +0000\n";
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        buffer.append(entry);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (state.thread_index() != 0 || state.iterations() == 0) {
        return; // counters are summed over threads: report from one
    }
    // Wall time per append of all threads together, as the benchmark's own time column.
    const double perAppend = std::chrono::duration<double, std::nano>(elapsed).count() /
                             (static_cast<double>(state.iterations()) * state.threads());
    if (state.threads() == 1) {
        baselineNanosecondsPerAppend = perAppend;
    } else if (const double baseline = baselineNanosecondsPerAppend; baseline > 0) {
        state.counters["vs_1_thread"] = perAppend / baseline;
    }
}
// The one-thread run comes first and is the baseline.
BENCHMARK(BM_LogBufferAppend)->Threads(1)->Threads(8)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
