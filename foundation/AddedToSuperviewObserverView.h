#pragma once

#include "platform/appkit/NSView.h"

#include <functional>

namespace zestrel {

// `NSView.AddedToSuperviewObserverView`: acts once when it enters a window, then leaves its
// superview. The alert builder uses it to size a view when the alert's panel shows.
class AddedToSuperviewObserverView final : public platform::NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "Zestrel.AddedToSuperviewObserverView"; }

    std::function<void()> onAdded;

    bool acceptsFirstResponder() const override { return false; }
    void viewDidMoveToWindow() override;
};

} // namespace zestrel
