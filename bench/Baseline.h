#pragma once

// Figures are ratios against a baseline measured in the same run, so they do not depend on
// the machine. A baseline benchmark records its time per iteration under a name; a later
// benchmark reports its own time divided by it as a counter.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace zestrel::bench {

class Baselines {
public:
    static void record(const std::string& name, double nanosecondsPerIteration) {
        std::lock_guard lock(mutex());
        table()[name] = nanosecondsPerIteration;
    }
    static void reportRatio(benchmark::State& state, const std::string& baseline,
                            const std::string& counter, double nanosecondsPerIteration) {
        std::lock_guard lock(mutex());
        const auto it = table().find(baseline);
        if (it != table().end() && it->second > 0) {
            state.counters[counter] = nanosecondsPerIteration / it->second;
        }
    }

private:
    static std::mutex& mutex() {
        static std::mutex instance;
        return instance;
    }
    static std::map<std::string, double>& table() {
        static std::map<std::string, double> instance;
        return instance;
    }
};

// Wall time of a benchmark's loop, per iteration of all its threads together.
class LoopTimer {
public:
    LoopTimer() : start_(std::chrono::steady_clock::now()) {}
    double nanosecondsPerIteration(const benchmark::State& state) const {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        const double iterations = static_cast<double>(state.iterations()) * state.threads();
        return iterations > 0
                   ? std::chrono::duration<double, std::nano>(elapsed).count() / iterations
                   : 0;
    }

private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace zestrel::bench
