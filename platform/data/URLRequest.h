#pragma once

#include "platform/base/Value.h"

#include <cstdint>

namespace zestrel::platform {

// How a request may use cached responses (the platform's raw values).
enum class URLRequestCachePolicy : std::uint32_t {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
    returnCacheDataElseLoad = 2,
    returnCacheDataDontLoad = 3,
    reloadIgnoringLocalAndRemoteCacheData = 4,
    reloadRevalidatingCacheData = 5,
};

// A request for a URL's contents; nothing here loads it.
struct URLRequest {
    URL url;
    URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::useProtocolCachePolicy;
    // Seconds without data after which the load fails.
    double timeoutInterval = 60;
};

} // namespace zestrel::platform
