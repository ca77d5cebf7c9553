#pragma once

#include "foundation/QVApp.h"
#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace zestrel::QVApp {

// The app's store and web facts. Each is optional: a build without a store listing has no
// store identifier, and the buttons that need one are not offered.
struct Metadata {
    std::optional<platform::URL> website;
    std::optional<std::string> appStoreID;
    std::optional<std::string> gumroadID;
};

// This build's metadata, made once.
const Metadata& metadata();
// `metadata().website`.
const std::optional<platform::URL>& website();
// The web-store identifier (none in this build).
const std::optional<std::string>& gumroadID();
// The store's host: a store page without one could not be opened or shared.
inline constexpr std::string_view kAppStoreHost = "apps.apple.com";

// The store app's page of the app ("macappstore://apps.apple.com/app/id" + identifier).
std::optional<platform::URL> appStoreURL();
// The web store's purchase page.
std::optional<platform::URL> purchaseURL();

// The same addresses for any metadata record.
std::optional<platform::URL> appStoreURL(const Metadata& metadata);
std::optional<platform::URL> purchaseURL(const Metadata& metadata);

} // namespace zestrel::QVApp
