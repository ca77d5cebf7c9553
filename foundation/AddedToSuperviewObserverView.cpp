#include "foundation/AddedToSuperviewObserverView.h"

namespace zestrel {

void AddedToSuperviewObserverView::viewDidMoveToWindow() {
    if (!window()) {
        return;
    }
    // Keeps the view alive through the closure and the removal.
    auto self = shared_from_this();
    if (onAdded) {
        onAdded();
    }
    removeFromSuperview();
}

} // namespace zestrel
