#include "ui/PlatformValues.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::AXError;

TEST(AXErrorTest, BridgesToAndFromTheErrorObjectOfItsDomain) {
    const auto error = makeError(AXError::apiDisabled);
    EXPECT_EQ(error.domain(), "ApplicationServices.AXError");
    EXPECT_EQ(error.code(), -25211);
    const auto object = error.nsError();
    EXPECT_EQ(object->domain(), "ApplicationServices.AXError");
    EXPECT_EQ(object->code(), -25211);

    // An error object made elsewhere in that domain reads back as the code.
    EXPECT_EQ(axError(platform::NSError::make("ApplicationServices.AXError", -25204)),
              AXError::cannotComplete);
    EXPECT_EQ(axError(error), AXError::apiDisabled);
    EXPECT_EQ(axError(platform::NSError::make(platform::NSCocoaErrorDomain, -25204)), std::nullopt);
    EXPECT_EQ(axError(platform::NSError::make("ApplicationServices.AXError", 1LL << 40)),
              std::nullopt);
}

TEST(RequestTimeoutTest, DurationBecomesSecondsAndSaturatesOnOverflow) {
    const auto url = *platform::URL::parse("https://example.com/feed");
    const auto timeout = [&url](Duration duration) {
        return makeURLRequest(url, platform::URLRequestCachePolicy::useProtocolCachePolicy,
                              duration)
            .timeoutInterval;
    };
    EXPECT_DOUBLE_EQ(timeout(Duration::milliseconds(1500)), 1.5);
    EXPECT_DOUBLE_EQ(timeout(Duration::minutes(2)), 120);
    // Below a nanosecond counts as nothing.
    EXPECT_DOUBLE_EQ(timeout(Duration::fromAttoseconds(999'999'999)), 0);
    // The whole seconds fit but the nanosecond count does not: the largest count, with the
    // duration's sign.
    EXPECT_DOUBLE_EQ(timeout(Duration(9'223'372'036, 900'000'000'000'000'000)), 9223372036.854776);
    EXPECT_DOUBLE_EQ(timeout(Duration(-9'223'372'036, -900'000'000'000'000'000)),
                     -9223372036.854776);
    // Whole seconds beyond the nanosecond range saturate the same way; they do not stop the
    // process.
    EXPECT_DOUBLE_EQ(timeout(Duration::seconds(9'223'372'037)), 9223372036.854776);
    EXPECT_DOUBLE_EQ(timeout(Duration::max()), 9223372036.854776);
    EXPECT_DOUBLE_EQ(timeout(Duration::min()), -9223372036.854776);
    EXPECT_DOUBLE_EQ(timeout(Duration::seconds(-9'223'372'037)), -9223372036.854776);
    EXPECT_DOUBLE_EQ(timeout(Duration(9'223'372'036, 0)), 9223372036.0) << "still counted";

    const auto request = makeURLRequest(
        url, platform::URLRequestCachePolicy::reloadIgnoringLocalCacheData, Duration::seconds(30));
    EXPECT_EQ(request.url, url);
    EXPECT_EQ(request.cachePolicy, platform::URLRequestCachePolicy::reloadIgnoringLocalCacheData);
    EXPECT_DOUBLE_EQ(request.timeoutInterval, 30);
}

} // namespace
} // namespace zestrel
