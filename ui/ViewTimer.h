#pragma once

#include "foundation/Duration.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/View.h"

#include <memory>
#include <optional>

namespace zestrel {

// Re-evaluates the view that holds it at a fixed interval: a timer on the main run loop in
// the common modes flips `value` at each tick. Made once for the view's place (one per
// interval), it ticks for as long as the view stays. An interval too long to count in
// nanoseconds waits the longest count (saturatingTimeInterval). Main thread only.
class ViewTimer {
public:
    class Observable final : public platform::combine::ObservableObject {
    public:
        Observable(Duration interval, std::optional<Duration> tolerance);

        // True at first, then flipped by each tick.
        bool value() const { return value_.get(); }

    private:
        platform::combine::Published<bool> value_{*this, true};
        std::optional<platform::combine::AnyCancellable> cancellable_;
    };

    ViewTimer(platform::swiftui::ViewContext& context, Duration interval,
              std::optional<Duration> tolerance = std::nullopt);

    const std::shared_ptr<Observable>& observable() const { return observable_; }

private:
    std::shared_ptr<Observable> observable_;
};

} // namespace zestrel
