// A read from the defaults database against a plain map lookup of the same value.
#include "bench/Baseline.h"
#include "bench/ScratchDefaults.h"

#include <map>
#include <string>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
using zestrel::platform::Value;

void BM_PlainMapLookup(benchmark::State& state) {
    const std::map<std::string, Value> map = {{"playSoundEffects", true}, {"newMethod", false}};
    const LoopTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find("playSoundEffects")->second);
    }
    Baselines::record("mapLookup", timer.nanosecondsPerIteration(state));
}
BENCHMARK(BM_PlainMapLookup);

void BM_DefaultsRead(benchmark::State& state) {
    const auto defaults = zestrel::bench::scratchDefaults();
    defaults->set(Value(true), "playSoundEffects");
    const LoopTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(defaults->boolValue("playSoundEffects"));
    }
    Baselines::reportRatio(state, "mapLookup", "vs_map_lookup",
                           timer.nanosecondsPerIteration(state));
}
BENCHMARK(BM_DefaultsRead);

} // namespace
