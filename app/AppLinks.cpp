#include "app/AppLinks.h"

#include "platform/base/Error.h"
#include "services/QVAppMetadata.h"

#include <string>

namespace zestrel::AppLinks {

namespace {

constexpr std::string_view kDeveloperID = "1620112233";

platform::URL fixedURL(const std::string& text) {
    auto url = platform::URL::parse(text);
    if (!url) {
        platform::fatal("Invalid built-in address: " + text);
    }
    return *url;
}

} // namespace

const platform::URL& troubleshootingPage() {
    static const platform::URL url = fixedURL("https://zestrel.app#not-working");
    return url;
}

const platform::URL& feedbackPage() {
    static const platform::URL url = fixedURL("https://zestrel.app/feedback");
    return url;
}

const platform::URL& makerAppsPage() {
    static const platform::URL url = fixedURL("https://zestrel.app/apps");
    return url;
}

const platform::URL& storeDeveloperPage() {
    static const platform::URL url = fixedURL("macappstore://" + std::string(QVApp::kAppStoreHost) +
                                              "/developer/id" + std::string(kDeveloperID));
    return url;
}

} // namespace zestrel::AppLinks
