#include "services/QVAppMetadata.h"

#include "platform/base/Error.h"
#include "platform/base/ProcessLocal.h"

namespace zestrel::QVApp {
namespace {

platform::URL fixedURL(std::string_view text) {
    auto url = platform::URL::parse(text);
    if (!url) {
        platform::fatal("Invalid built-in address: " + std::string(text));
    }
    return *url;
}

Metadata makeMetadata() {
    return Metadata{
        .website = fixedURL("https://zestrel.app"),
        .appStoreID = std::nullopt,
        .gumroadID = std::nullopt,
    };
}

} // namespace

const Metadata& metadata() {
    static auto* const value = new platform::ProcessLocal<Metadata>(
        [] { return std::make_unique<Metadata>(makeMetadata()); });
    return value->get();
}

const std::optional<platform::URL>& website() {
    return metadata().website;
}

const std::optional<std::string>& gumroadID() {
    return metadata().gumroadID;
}

std::optional<platform::URL> appStoreURL() {
    return appStoreURL(metadata());
}

std::optional<platform::URL> purchaseURL() {
    return purchaseURL(metadata());
}

std::optional<platform::URL> appStoreURL(const Metadata& metadata) {
    if (!metadata.appStoreID) {
        return std::nullopt;
    }
    return platform::URL::parse("macappstore://" + std::string(kAppStoreHost) + "/app/id" +
                                *metadata.appStoreID);
}

std::optional<platform::URL> purchaseURL(const Metadata& metadata) {
    if (!metadata.gumroadID) {
        return std::nullopt;
    }
    // The purchase pages live on the app's own site, one per store identifier.
    return platform::URL::parse("https://zestrel.app/buy/" + *metadata.gumroadID);
}

} // namespace zestrel::QVApp
