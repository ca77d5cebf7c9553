#include "ui/PlatformValues.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace zestrel {

const std::vector<platform::NSFont::Width>& CaseList<platform::NSFont::Width>::allCases() {
    using Width = platform::NSFont::Width;
    static const auto* const cases = new std::vector<Width>{Width::compressed, Width::condensed,
                                                            Width::standard, Width::expanded};
    return *cases;
}

std::string AXErrorBody::describe() const {
    return "AXError(rawValue: " + std::to_string(static_cast<std::int32_t>(code_)) + ")";
}

platform::Error makeError(platform::AXError code) {
    return platform::Error::make<AXErrorBody>(code);
}

std::optional<platform::AXError> axError(const platform::Error& error) {
    if (const auto* body = error.as<AXErrorBody>()) {
        return body->code();
    }
    if (error.domain() != AXErrorBody::kDomain) {
        return std::nullopt;
    }
    const auto code = error.code();
    if (code < std::numeric_limits<std::int32_t>::min() ||
        code > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<platform::AXError>(code);
}

platform::TimeInterval saturatingTimeInterval(Duration duration) {
    // The longest durations whose whole seconds Duration still counts in nanoseconds; its
    // own saturation gives them the largest count, so every longer one is taken as them.
    constexpr Duration kLongest(9'223'372'036, Duration::kAttosecondsPerSecond - 1);
    return std::clamp(duration, -kLongest, kLongest).timeInterval();
}

platform::URLRequest makeURLRequest(platform::URL url, platform::URLRequestCachePolicy cachePolicy,
                                    Duration timeoutInterval) {
    return platform::URLRequest{std::move(url), cachePolicy,
                                saturatingTimeInterval(timeoutInterval)};
}

} // namespace zestrel
