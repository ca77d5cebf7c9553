#pragma once

#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/concurrency/Publisher.h"

#include <memory>
#include <optional>

namespace zestrel::platform::combine {

// `Timer.TimerPublisher`: a repeating timer on a run loop whose ticks (the date of each
// firing) go to every subscriber. Ticks flow only while connected: connect() starts the
// timer, and autoconnect() starts it with the first subscriber and stops it when the last
// one leaves. A handle; copies are the same publisher. Belongs to the run loop's thread.
class TimerPublisher {
public:
    // `tolerance` is accepted for the platform's sake; the run loop fires on time.
    TimerPublisher(TimeInterval interval, std::optional<TimeInterval> tolerance, RunLoop& runLoop,
                   RunLoopMode mode);
    TimerPublisher(TimeInterval interval, RunLoop& runLoop, RunLoopMode mode)
        : TimerPublisher(interval, std::nullopt, runLoop, mode) {}

    TimeInterval interval() const;
    std::optional<TimeInterval> tolerance() const;

    void receive(const SubscriberPtr<Date, Never>& subscriber) const;
    // Starts the timer unless it runs already; cancelling the result stops it.
    [[nodiscard]] AnyCancellable connect() const;
    AnyPublisher<Date> autoconnect() const;

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace zestrel::platform::combine
