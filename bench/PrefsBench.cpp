// Preference reads and writes: through a typed key against the defaults database's own
// calls. Each typed figure is reported as a ratio to its raw baseline of the same
// invocation ("vs_raw_read", "vs_raw_write"), so it does not depend on the machine.
#include "platform/UserDefaults.h"
#include "preferences/Prefs.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using zestrel::platform::UserDefaults;
using zestrel::platform::Value;

// The benchmark must not touch the user's own preferences: the database lives in a scratch
// folder for the whole run.
std::shared_ptr<UserDefaults> scratchDefaults() {
    static const std::shared_ptr<UserDefaults> defaults = [] {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("zestrel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        return UserDefaults::standard();
    }();
    return defaults;
}

const zestrel::Prefs::Key<bool>& soundKey() {
    static const zestrel::Prefs::Key<bool> key("playSoundEffects", true, scratchDefaults());
    return key;
}

std::atomic<double> rawReadNanoseconds{0};
std::atomic<double> rawWriteNanoseconds{0};

template <class Body> double nanosecondsPerIteration(benchmark::State& state, Body body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return state.iterations() == 0 ? 0
                                   : std::chrono::duration<double, std::nano>(elapsed).count() /
                                         static_cast<double>(state.iterations());
}

void reportRatio(benchmark::State& state, const char* name, double perIteration,
                 const std::atomic<double>& baseline) {
    if (const double base = baseline; base > 0) {
        state.counters[name] = perIteration / base;
    }
}

void BM_PrefsRawObjectRead(benchmark::State& state) {
    const auto defaults = scratchDefaults();
    soundKey();
    rawReadNanoseconds = nanosecondsPerIteration(
        state, [&] { benchmark::DoNotOptimize(defaults->object("playSoundEffects")); });
}

void BM_PrefsTypedKeyRead(benchmark::State& state) {
    const auto& key = soundKey();
    const double perRead = nanosecondsPerIteration(
        state, [&] { benchmark::DoNotOptimize(zestrel::Prefs::value(key)); });
    reportRatio(state, "vs_raw_read", perRead, rawReadNanoseconds);
}

void BM_PrefsRawSetObject(benchmark::State& state) {
    const auto defaults = scratchDefaults();
    bool flag = false;
    rawWriteNanoseconds = nanosecondsPerIteration(state, [&] {
        flag = !flag;
        defaults->setObject(Value(flag), "playSoundEffects");
    });
}

void BM_PrefsTypedKeyWrite(benchmark::State& state) {
    const auto& key = soundKey();
    bool flag = false;
    const double perWrite = nanosecondsPerIteration(state, [&] {
        flag = !flag;
        zestrel::Prefs::set(key, flag);
    });
    reportRatio(state, "vs_raw_write", perWrite, rawWriteNanoseconds);
}

// Each baseline runs before the figure it scales.
BENCHMARK(BM_PrefsRawObjectRead);
BENCHMARK(BM_PrefsTypedKeyRead);
BENCHMARK(BM_PrefsRawSetObject);
BENCHMARK(BM_PrefsTypedKeyWrite);

} // namespace
