#pragma once

#include "platform/appkit/NSResponder.h"

#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSView;

// Owns a view and stands behind it in the responder chain. A window that shows the view
// through `setContentViewController` keeps the controller for as long as it shows it.
class NSViewController : public NSResponder {
public:
    NSViewController() = default;
    explicit NSViewController(std::shared_ptr<NSView> view);
    ~NSViewController() override;

    std::string className() const override { return "NSViewController"; }

    // Made on first request by `loadView` when none was given.
    std::shared_ptr<NSView> view();
    void setView(std::shared_ptr<NSView> view);
    bool isViewLoaded() const { return view_ != nullptr; }
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    // Child controllers are held, the parent is not. Adding a child takes it from its old
    // parent first.
    void addChildViewController(const std::shared_ptr<NSViewController>& child);
    void removeFromParentViewController();
    const std::vector<std::shared_ptr<NSViewController>>& childViewControllers() const {
        return children_;
    }
    std::shared_ptr<NSViewController> parentViewController() const { return parent_.lock(); }

protected:
    // Makes an empty view; subclasses make theirs.
    virtual std::shared_ptr<NSView> loadView();
    // Runs once, right after the view was made.
    virtual void viewDidLoad() {}

private:
    std::shared_ptr<NSView> view_;
    std::string title_;
    std::vector<std::shared_ptr<NSViewController>> children_;
    std::weak_ptr<NSViewController> parent_;
};

} // namespace zestrel::platform
