#pragma once

#include "platform/base/Value.h"

#include <string_view>

// The fixed web addresses of the app and its maker. They are constants of the build: one that
// does not parse is a programming error and stops the process when first read.
namespace zestrel::AppLinks {

// The product page's troubleshooting section ("not-working").
const platform::URL& troubleshootingPage();
// The feedback form; the feedback command adds its query items.
const platform::URL& feedbackPage();
// The maker's other apps on the web.
const platform::URL& makerAppsPage();
// The maker's developer page in the store app.
const platform::URL& storeDeveloperPage();

} // namespace zestrel::AppLinks
