#include "services/ReviewRequest.h"

#include "foundation/Duration.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/system/SKStoreReviewController.h"
#include "preferences/Prefs.h"
#include "services/QVAppLaunch.h"

#include <algorithm>
#include <limits>

namespace zestrel::QVApp {

void requestReviewIfAppropriate(const std::vector<std::int64_t>& onCounts) {
    if (isFirstLaunch() || isSecondLaunch()) {
        return;
    }
    const double elapsed = platform::currentDate().timeIntervalSinceReferenceDate -
                           firstLaunchDate().timeIntervalSinceReferenceDate;
    if (!(Duration::seconds(elapsed) > Duration::days(7))) {
        return;
    }
    const Prefs::Key<std::int64_t> counter("QVApp_requestReview", 0);
    const std::int64_t stored = Prefs::value(counter);
    // Saturates: a stored count at the limit must not stop the app on every launch.
    const std::int64_t count =
        stored == std::numeric_limits<std::int64_t>::max() ? stored : stored + 1;
    Prefs::set(counter, count);
    if (std::find(onCounts.begin(), onCounts.end(), count) == onCounts.end()) {
        return;
    }
    platform::DispatchQueue::main().async([] {
        platform::NSApp().yieldActivation("com.apple.storeuid");
        platform::SKStoreReviewController::requestReview();
    });
}

} // namespace zestrel::QVApp
