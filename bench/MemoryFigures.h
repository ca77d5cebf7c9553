#pragma once

// A process's memory as benchmark counters: footprints in megabytes (-1 when the system does
// not tell), and the growth per step between two of them, which must stay near 0 where memory
// is to be flat.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zestrel::bench {

inline void reportFootprint(benchmark::State& state, const std::string& counter,
                            std::optional<std::int64_t> bytes) {
    state.counters[counter] = bytes ? static_cast<double>(*bytes) / (1024.0 * 1024.0) : -1;
}

inline void reportGrowth(benchmark::State& state, const std::string& counter,
                         std::optional<std::int64_t> before, std::optional<std::int64_t> after,
                         double steps) {
    if (before && after) {
        state.counters[counter] = static_cast<double>(*after - *before) / steps;
    }
}

} // namespace zestrel::bench
