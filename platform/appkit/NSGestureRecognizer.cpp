#include "platform/appkit/NSGestureRecognizer.h"

namespace zestrel::platform {

bool NSGestureRecognizer::recognize() {
    if (!enabled_) {
        return false;
    }
    // The action may remove this recognizer from its view, releasing it.
    auto keep = shared_from_this();
    auto target = target_.lock();
    if (target && action_) {
        auto action = action_;
        action(*target, *this);
    }
    return true;
}

} // namespace zestrel::platform
