// A read from the defaults database against a plain map lookup of the same value.
#include "bench/Baseline.h"
#include "platform/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
using zestrel::platform::UserDefaults;
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
    // A scratch folder, so the benchmark never touches the user's preferences.
    const auto folder = std::filesystem::temp_directory_path() / "zestrel-bench-defaults";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const auto defaults = UserDefaults::standard();
    defaults->set(Value(true), "playSoundEffects");
    const LoopTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(defaults->boolValue("playSoundEffects"));
    }
    Baselines::reportRatio(state, "mapLookup", "vs_map_lookup",
                           timer.nanosecondsPerIteration(state));
    defaults->removeObject("playSoundEffects");
    UserDefaults::flushAll();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DefaultsRead);

} // namespace
