// One Command+X key-down through the key pipeline to its application: with a pass-through
// per-process tap ("vs_no_tap_pass") and with a tap that rewrites it into Command+C
// ("vs_no_tap_rewrite"), each as a ratio to the same post with no tap, measured first.
#include "bench/Baseline.h"
#include "bench/KeyPipeline.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "cut_engine/SystemEventTap.h"
#include "platform/desktop/EventSystem.h"

#include <memory>

namespace {

using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;
namespace pf = zestrel::platform;

using zestrel::bench::kTargetPid;

std::shared_ptr<pf::EventSystem> pipeline(std::uint64_t& delivered) {
    return zestrel::bench::freshKeyPipeline(delivered);
}

pf::CGEventRef commandX() {
    const auto event = pf::CGEventCreateKeyboardEvent(nullptr, 7, true);
    event->setFlags(pf::kCGEventFlagMaskCommand);
    return event;
}

std::shared_ptr<zestrel::SystemEventTap> tap(zestrel::SystemEventTap::Action action) {
    return zestrel::SystemEventTap::make({pf::CGEventType::keyDown}, kTargetPid,
                                         pf::kCGAnnotatedSessionEventTap, pf::kCGHeadInsertEventTap,
                                         pf::kCGEventTapOptionDefault, std::move(action));
}

void post(benchmark::State& state, const std::shared_ptr<pf::EventSystem>& system,
          const std::uint64_t& delivered) {
    zestrel::bench::postEachIteration(state, *system, commandX(), delivered);
}

void BM_KeyEventNoTap(benchmark::State& state) {
    std::uint64_t delivered = 0;
    const auto system = pipeline(delivered);
    const LoopTimer timer;
    post(state, system, delivered);
    Baselines::record("keyNoTap", timer.nanosecondsPerIteration(state));
}

void BM_KeyEventPassThroughTap(benchmark::State& state) {
    std::uint64_t delivered = 0;
    const auto system = pipeline(delivered);
    const auto passing = tap([](const std::shared_ptr<pf::NSEvent>& event) { return event; });
    const LoopTimer timer;
    post(state, system, delivered);
    Baselines::reportRatio(state, "keyNoTap", "vs_no_tap_pass",
                           timer.nanosecondsPerIteration(state));
}

void BM_KeyEventRewritingTap(benchmark::State& state) {
    std::uint64_t delivered = 0;
    const auto system = pipeline(delivered);
    zestrel::CGKeyCodeUtilities::keyCode("c"); // the tables are built once, at launch
    const auto rewriting = tap([](const std::shared_ptr<pf::NSEvent>& event) {
        return zestrel::settingKeyCode(event, "c");
    });
    const LoopTimer timer;
    post(state, system, delivered);
    Baselines::reportRatio(state, "keyNoTap", "vs_no_tap_rewrite",
                           timer.nanosecondsPerIteration(state));
}

// The baseline runs before the figures it scales.
BENCHMARK(BM_KeyEventNoTap);
BENCHMARK(BM_KeyEventPassThroughTap);
BENCHMARK(BM_KeyEventRewritingTap);

} // namespace
