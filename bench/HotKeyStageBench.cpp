// One Command+X key-down through the key pipeline to its application while ten hot keys
// that do not match it are registered ("vs_no_hot_keys"), as a ratio to the same post with
// the hot-key stage holding none, measured first.
#include "bench/Baseline.h"
#include "bench/KeyPipeline.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"

#include <memory>
#include <vector>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
namespace pf = zestrel::platform;

// A fresh pipeline with a fresh hot-key stage.
std::shared_ptr<pf::EventSystem> pipeline(std::uint64_t& delivered) {
    pf::HotKeySystem::setCurrent(nullptr);
    auto system = zestrel::bench::freshKeyPipeline(delivered);
    system->setHotKeyStage(
        [](const pf::CGEvent& event) { return pf::HotKeySystem::current()->stage(event); });
    return system;
}

void post(benchmark::State& state, pf::EventSystem& system, const std::uint64_t& delivered) {
    const auto event = pf::CGEventCreateKeyboardEvent(nullptr, 7, true);
    event->setFlags(pf::kCGEventFlagMaskCommand);
    zestrel::bench::postEachIteration(state, system, event, delivered);
}

void BM_KeyEventNoHotKeys(benchmark::State& state) {
    std::uint64_t delivered = 0;
    const auto system = pipeline(delivered);
    const LoopTimer timer;
    post(state, *system, delivered);
    Baselines::record("keyNoHotKeys", timer.nanosecondsPerIteration(state));
}

void BM_KeyEventTenOtherHotKeys(benchmark::State& state) {
    std::uint64_t delivered = 0;
    const auto system = pipeline(delivered);
    std::vector<pf::EventHotKeyRef> hotKeys(10);
    for (pf::UInt32 i = 0; i < hotKeys.size(); ++i) {
        // Command+X itself with other modifiers, and other keys with Command.
        const pf::UInt32 keyCode = i < 5 ? 7 : 20 + i;
        const pf::UInt32 modifiers = i < 5 ? pf::cmdKey | pf::shiftKey : pf::cmdKey;
        pf::RegisterEventHotKey(keyCode, modifiers, {pf::fourCharCode("BNCH"), i + 1},
                                pf::GetEventDispatcherTarget(), 0, &hotKeys[i]);
    }
    const LoopTimer timer;
    post(state, *system, delivered);
    Baselines::reportRatio(state, "keyNoHotKeys", "vs_no_hot_keys",
                           timer.nanosecondsPerIteration(state));
}

// The baseline runs before the figure it scales.
BENCHMARK(BM_KeyEventNoHotKeys);
BENCHMARK(BM_KeyEventTenOtherHotKeys);

} // namespace
