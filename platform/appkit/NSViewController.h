#pragma once

#include "platform/appkit/NSView.h"

#include <memory>

namespace zestrel::platform {

// Manages one view, made on first use: `loadView` makes it (a plain view by default), then
// `viewDidLoad` runs once.
class NSViewController : public NSResponder {
public:
    std::string className() const override { return "NSViewController"; }

    std::shared_ptr<NSView> view();
    void setView(std::shared_ptr<NSView> view) { view_ = std::move(view); }
    bool isViewLoaded() const { return view_ != nullptr; }

protected:
    virtual void loadView() { view_ = std::make_shared<NSView>(); }
    virtual void viewDidLoad() {}

private:
    std::shared_ptr<NSView> view_;
};

} // namespace zestrel::platform
