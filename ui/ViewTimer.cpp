#include "ui/ViewTimer.h"

#include "platform/base/RunLoop.h"
#include "platform/concurrency/TimerPublisher.h"
#include "ui/PlatformValues.h"

#include <string>

namespace zestrel {

ViewTimer::Observable::Observable(Duration interval, std::optional<Duration> tolerance) {
    std::optional<platform::TimeInterval> toleranceSeconds;
    if (tolerance) {
        toleranceSeconds = saturatingTimeInterval(*tolerance);
    }
    const platform::combine::TimerPublisher timer(saturatingTimeInterval(interval),
                                                  toleranceSeconds, platform::RunLoop::main(),
                                                  platform::RunLoopMode::common);
    // The subscription ends with this object, so a tick never reaches a gone one.
    cancellable_ =
        timer.autoconnect().sink([this](const platform::Date&) { value_.set(!value_.get()); });
}

ViewTimer::ViewTimer(platform::swiftui::ViewContext& context, Duration interval,
                     std::optional<Duration> tolerance)
    : observable_(context.stateObject<Observable>(
          "viewTimer." + std::to_string(saturatingTimeInterval(interval)),
          [&] { return std::make_shared<Observable>(interval, tolerance); })) {}

} // namespace zestrel
