#pragma once

#include <cstddef>

namespace zestrel::platform {

// The system's rating prompt. The system decides whether anything shows; here every
// request is only counted.
class SKStoreReviewController {
public:
    static void requestReview();
    // Requests made in this process.
    static std::size_t requestCount();
};

} // namespace zestrel::platform
