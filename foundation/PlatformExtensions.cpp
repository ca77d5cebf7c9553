#include "foundation/PlatformExtensions.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel {

using platform::CAMediaTimingFunction;

std::vector<std::shared_ptr<platform::NSResponder>>
responderChain(const std::shared_ptr<platform::NSResponder>& start) {
    std::vector<std::shared_ptr<platform::NSResponder>> chain;
    for (auto responder = start; responder; responder = responder->nextResponder()) {
        chain.push_back(responder);
    }
    return chain;
}

namespace {
using SharedFunction = std::shared_ptr<CAMediaTimingFunction>;
platform::ProcessLocal<SharedFunction> defaultFunction([] {
    return std::make_unique<SharedFunction>(
        CAMediaTimingFunction::functionWithName(platform::kCAMediaTimingFunctionDefault));
});
platform::ProcessLocal<SharedFunction> easeInEaseOutFunction([] {
    return std::make_unique<SharedFunction>(
        CAMediaTimingFunction::functionWithName(platform::kCAMediaTimingFunctionEaseInEaseOut));
});
} // namespace

std::shared_ptr<CAMediaTimingFunction> defaultTimingFunction() {
    return *defaultFunction;
}
std::shared_ptr<CAMediaTimingFunction> easeInEaseOutTimingFunction() {
    return *easeInEaseOutFunction;
}

bool boolForKey(const platform::UserDefaults& defaults, std::string_view key, bool fallback) {
    return defaults.object(key).asBool().value_or(fallback);
}

} // namespace zestrel
