#pragma once

#include "foundation/Duration.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Timer.h"

#include <functional>
#include <memory>

namespace zestrel {

// The program's ways of deferring work. Hopping to the main queue is the platform's own
// `DispatchQueue::main().async(block)`: it returns at once and the block runs in a later turn
// of the main loop, after everything already queued there.

// Runs `block` on `queue` once `delay` (converted to seconds, precise to the nanosecond) has
// passed on the dispatch clock. Returns at once; a zero or negative delay still runs the block
// in a later turn, never inline. Nothing cancels it.
void asyncAfter(platform::DispatchQueue queue, Duration delay, std::function<void()> block);

// A timer on the current thread's run loop in the common modes, so it keeps firing while a
// menu tracks and while a modal panel runs. The loop keeps it until it is invalidated or, when
// it does not repeat, has fired. The block gets the timer, so it can invalidate it.
std::shared_ptr<platform::Timer> commonModesTimer(Duration interval, bool repeats,
                                                  platform::Timer::Block block);

// A timer on the current thread's run loop in the default mode only.
std::shared_ptr<platform::Timer> scheduledTimer(Duration interval, bool repeats,
                                                platform::Timer::Block block);

} // namespace zestrel
