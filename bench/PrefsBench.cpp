// Preference reads and writes through a typed key, each as a ratio to the defaults
// database's own call measured first in the same run ("vs_raw_read", "vs_raw_write").
#include "bench/Baseline.h"
#include "bench/ScratchDefaults.h"
#include "preferences/Prefs.h"

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
using zestrel::platform::Value;

const zestrel::Prefs::Key<bool>& soundKey() {
    static const zestrel::Prefs::Key<bool> key("playSoundEffects", true,
                                               zestrel::bench::scratchDefaults());
    return key;
}

void BM_PrefsRawObjectRead(benchmark::State& state) {
    const auto defaults = zestrel::bench::scratchDefaults();
    soundKey();
    const LoopTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(defaults->object("playSoundEffects"));
    }
    Baselines::record("rawRead", timer.nanosecondsPerIteration(state));
}

void BM_PrefsTypedKeyRead(benchmark::State& state) {
    const auto& key = soundKey();
    const LoopTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zestrel::Prefs::value(key));
    }
    Baselines::reportRatio(state, "rawRead", "vs_raw_read", timer.nanosecondsPerIteration(state));
}

void BM_PrefsRawSetObject(benchmark::State& state) {
    const auto defaults = zestrel::bench::scratchDefaults();
    bool flag = false;
    const LoopTimer timer;
    for (auto _ : state) {
        flag = !flag;
        defaults->setObject(Value(flag), "playSoundEffects");
    }
    Baselines::record("rawWrite", timer.nanosecondsPerIteration(state));
}

void BM_PrefsTypedKeyWrite(benchmark::State& state) {
    const auto& key = soundKey();
    bool flag = false;
    const LoopTimer timer;
    for (auto _ : state) {
        flag = !flag;
        zestrel::Prefs::set(key, flag);
    }
    Baselines::reportRatio(state, "rawWrite", "vs_raw_write", timer.nanosecondsPerIteration(state));
}

// Each baseline runs before the figure it scales.
BENCHMARK(BM_PrefsRawObjectRead);
BENCHMARK(BM_PrefsTypedKeyRead);
BENCHMARK(BM_PrefsRawSetObject);
BENCHMARK(BM_PrefsTypedKeyWrite);

} // namespace
