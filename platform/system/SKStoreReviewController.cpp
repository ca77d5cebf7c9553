#include "platform/system/SKStoreReviewController.h"

#include "platform/base/ProcessLocal.h"

#include <atomic>

namespace zestrel::platform {
namespace {

ProcessLocal<std::atomic<std::size_t>>& requests() {
    static auto* const instance = new ProcessLocal<std::atomic<std::size_t>>();
    return *instance;
}

} // namespace

void SKStoreReviewController::requestReview() {
    ++*requests();
}

std::size_t SKStoreReviewController::requestCount() {
    return requests()->load();
}

} // namespace zestrel::platform
