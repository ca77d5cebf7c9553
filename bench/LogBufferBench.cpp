// The log buffer under contention: appends from one thread, then from eight at once, the
// eight-thread figure as a ratio to the one-thread run ("vs_1_thread").
#include "bench/Baseline.h"
#include "foundation/Logger.h"

#include <string>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;

void BM_LogBufferAppend(benchmark::State& state) {
    auto& buffer = zestrel::logBuffer();
    const std::string entry =
        "\"Event tap started\"\n\t[setUpListener() in AppState:360]\n\t2026-01-15 10:00:00 +0000\n";
    const LoopTimer timer;
    for (auto _ : state) {
        buffer.append(entry);
    }
    if (state.thread_index() != 0) {
        return; // counters are summed over threads: report from one
    }
    const double perAppend = timer.nanosecondsPerIteration(state);
    if (state.threads() == 1) {
        Baselines::record("logAppend", perAppend);
    } else {
        Baselines::reportRatio(state, "logAppend", "vs_1_thread", perAppend);
    }
}
// The one-thread run comes first and is the baseline.
BENCHMARK(BM_LogBufferAppend)->Threads(1)->Threads(8)->UseRealTime();

} // namespace
