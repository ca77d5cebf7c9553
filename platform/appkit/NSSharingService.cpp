#include "platform/appkit/NSSharingService.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel::platform {

namespace {

std::vector<std::shared_ptr<NSSharingService>>& offered() {
    static ProcessLocal<std::vector<std::shared_ptr<NSSharingService>>> services;
    return *services;
}

} // namespace

std::vector<std::shared_ptr<NSSharingService>>
NSSharingService::sharingServicesForItems(const std::vector<Value>& items) {
    if (items.empty()) {
        return {};
    }
    return offered();
}

void NSSharingService::setOfferedServices(std::vector<std::shared_ptr<NSSharingService>> services) {
    offered() = std::move(services);
}

void NSSharingService::performWithItems(const std::vector<Value>& items) {
    performed_.push_back(items);
}

} // namespace zestrel::platform
