#pragma once

#include "foundation/CaseIterable.h"
#include "foundation/Duration.h"
#include "platform/appkit/NSView.h"
#include "platform/base/Error.h"
#include "platform/data/URLRequest.h"
#include "platform/desktop/AXError.h"

#include <optional>
#include <string>
#include <vector>

namespace zestrel {

// The font widths, narrowest first.
template <> struct CaseList<platform::NSFont::Width> {
    static const std::vector<platform::NSFont::Width>& allCases();
};

// An accessibility result code as an error: domain "ApplicationServices.AXError", code the
// raw value, so that it bridges to and from the platform's error object.
class AXErrorBody final : public platform::ErrorBody {
public:
    static constexpr const char* kDomain = "ApplicationServices.AXError";

    explicit AXErrorBody(platform::AXError code) : code_(code) {}
    platform::AXError code() const { return code_; }

    std::string typeName() const override { return "__C.AXError"; }
    std::string describe() const override;
    std::string errorDomain() const override { return kDomain; }
    std::int64_t errorCode() const override { return static_cast<std::int64_t>(code_); }

private:
    platform::AXError code_;
};

platform::Error makeError(platform::AXError code);
// The accessibility code an error object of that domain carries; nothing for any other
// error, or a code outside the 32 bits the platform's type holds.
std::optional<platform::AXError> axError(const platform::Error& error);

// A duration as the seconds the kit's timers, debounces and time-outs take: nanosecond
// precision, and a duration too long to count in nanoseconds gives the largest count,
// ±9223372036.854776 s, where Duration::timeInterval alone would stop the process.
platform::TimeInterval saturatingTimeInterval(Duration duration);

// The time-out becomes seconds through saturatingTimeInterval.
platform::URLRequest makeURLRequest(platform::URL url, platform::URLRequestCachePolicy cachePolicy,
                                    Duration timeoutInterval);

} // namespace zestrel
