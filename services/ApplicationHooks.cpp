#include "services/ApplicationHooks.h"

#include "platform/ProcessLocal.h"

namespace zestrel {
namespace {

platform::ProcessLocal<ApplicationHooks>& hooks() {
    static auto* const instance = new platform::ProcessLocal<ApplicationHooks>();
    return *instance;
}

} // namespace

const ApplicationHooks& applicationHooks() {
    return *hooks();
}

void setApplicationHooks(ApplicationHooks newHooks) {
    *hooks() = std::move(newHooks);
}

} // namespace zestrel
