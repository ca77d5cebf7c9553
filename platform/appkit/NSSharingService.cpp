#include "platform/appkit/NSSharingService.h"

#include "platform/appkit/MailComposeService.h"
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

std::shared_ptr<NSSharingService> NSSharingService::named(std::string_view name) {
    if (name == NSSharingServiceNameComposeEmail && MailComposeService::isAvailable()) {
        return std::make_shared<NSSharingService>("Email", nullptr, std::string(name));
    }
    return nullptr;
}

bool NSSharingService::canPerformWithItems(const std::vector<Value>& items) const {
    if (items.empty()) {
        return false;
    }
    return name_ != NSSharingServiceNameComposeEmail || MailComposeService::acceptsItems();
}

void NSSharingService::performWithItems(const std::vector<Value>& items) {
    performed_.push_back(items);
    if (name_ == NSSharingServiceNameComposeEmail) {
        MailComposeService::record({recipients_, subject_, items});
    }
}

} // namespace zestrel::platform
