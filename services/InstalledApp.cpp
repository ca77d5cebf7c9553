#include "services/InstalledApp.h"

#include "foundation/Duration.h"
#include "foundation/MemoCache.h"
#include "foundation/SmallUtilities.h"
#include "platform/desktop/Desktop.h"

#include <algorithm>
#include <utility>

namespace zestrel {

namespace {

namespace pf = platform;

constexpr Duration kLookupLifetime = Duration::seconds(1);

bool opensWebPages(const InstalledApp& app) {
    const auto openers =
        pf::NSWorkspace::shared()->urlsForApplicationsToOpenURL(*pf::URL::parse("https:"));
    // By path: a bundle's URL may or may not end in a slash.
    const auto path = app.url.path();
    return std::any_of(openers.begin(), openers.end(),
                       [&](const pf::URL& opener) { return opener.path() == path; });
}

} // namespace

InstalledApp::InstalledApp(std::string bundleIdentifier, std::string name, std::string version,
                           std::string build, pf::URL url)
    : bundleIdentifier(std::move(bundleIdentifier)), name(std::move(name)),
      version(std::move(version)), build(std::move(build)), url(std::move(url)),
      isBrowser_(std::make_shared<SimpleOnce<InstalledApp, bool>>(opensWebPages)) {}

bool InstalledApp::isBrowser() const {
    return isBrowser_->value(*this);
}

bool InstalledApp::operator==(const InstalledApp& other) const {
    return bundleIdentifier == other.bundleIdentifier && name == other.name &&
           version == other.version && build == other.build && url == other.url &&
           isBrowser_ == other.isBrowser_;
}

std::optional<pf::URL> urlForApplication(const pf::NSWorkspace& workspace,
                                         const std::string& bundleIdentifier) {
    return memoized(kLookupLifetime, {bundleIdentifier}, [&] {
        return workspace.urlForApplicationWithBundleIdentifier(bundleIdentifier);
    });
}

std::optional<std::string> appName(const pf::NSWorkspace& workspace,
                                   const std::string& bundleIdentifier) {
    return memoized(kLookupLifetime, {bundleIdentifier}, [&]() -> std::optional<std::string> {
        const auto url = urlForApplication(workspace, bundleIdentifier);
        if (!url) {
            return std::nullopt;
        }
        return localizedName(*url);
    });
}

pf::URL defaultEmailAppURL(const pf::NSWorkspace& workspace) {
    if (auto url = workspace.urlForApplicationToOpenURL(*pf::URL::parse("mailto:"))) {
        return *url;
    }
    return pf::URL::fileURL("/Applications/Mail.app", true);
}

std::string defaultEmailAppBundleIdentifier(const pf::NSWorkspace& workspace) {
    // The bundle at that place, as the desktop has it installed.
    if (auto installed =
            pf::Desktop::current()->installedApplicationAt(defaultEmailAppURL(workspace))) {
        return installed->bundleIdentifier;
    }
    return pf::kMailBundleIdentifier;
}

} // namespace zestrel
