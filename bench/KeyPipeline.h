#pragma once

// The bare key pipeline the key-event benchmarks post into: no desktop, one target process.
#include "platform/desktop/EventSystem.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace zestrel::bench {

inline constexpr int kTargetPid = 42;

// A fresh pipeline whose key events all go to one process, counted in `delivered`.
inline std::shared_ptr<platform::EventSystem> freshKeyPipeline(std::uint64_t& delivered) {
    platform::EventSystem::setCurrent(nullptr);
    const auto system = platform::EventSystem::current();
    system->setKeyboardFocusProvider([] { return kTargetPid; });
    system->setApplicationDelivery([&delivered](int, const platform::CGEventRef&) { ++delivered; });
    return system;
}

// Posts the event at the HID location once per iteration; a key that did not arrive fails the
// run, so a figure is never bought by dropping keys.
inline void postEachIteration(benchmark::State& state, platform::EventSystem& system,
                              const platform::CGEventRef& event, const std::uint64_t& delivered) {
    for (auto _ : state) {
        system.post(platform::kCGHIDEventTap, event);
    }
    if (delivered != static_cast<std::uint64_t>(state.iterations())) {
        state.SkipWithError("a key was lost");
    }
}

} // namespace zestrel::bench
