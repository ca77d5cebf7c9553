#include "foundation/FeedbackMetadata.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel {

platform::Value::Dictionary& feedbackMetadataValues() {
    static auto* const values = new platform::ProcessLocal<platform::Value::Dictionary>;
    return values->get();
}

std::vector<FeedbackMetadataProvider>& feedbackMetadataProviders() {
    static auto* const providers =
        new platform::ProcessLocal<std::vector<FeedbackMetadataProvider>>;
    return providers->get();
}

} // namespace zestrel
