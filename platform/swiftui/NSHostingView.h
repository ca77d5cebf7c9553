#pragma once

#include "platform/appkit/NSEdgeInsets.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/swiftui/ViewHost.h"

#include <memory>

namespace zestrel::platform::swiftui {

// An AppKit view that shows a SwiftUI view: it owns the view's host, and its outline is
// the view tree's, where buttons, links, options and switches can be clicked. Inside it,
// `dismiss` closes the window the view is in. Main thread only.
class NSHostingView : public NSView {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<NSHostingView>
    make(View root, EnvironmentValues environment = EnvironmentValues::standard());
    explicit NSHostingView(Passkey) {}

    std::string className() const override { return "NSHostingView"; }
    const std::shared_ptr<ViewHost>& host() const { return host_; }

    void describeOutline(OutlineNode& node) const override;

    // The key equivalents of the enabled buttons shown in the view (a button's
    // `keyboardShortcut`) click them, whether or not the view has the focus.
    bool performKeyEquivalent(const NSEvent& event) override;
    bool performKeyEquivalentAnywhere(const NSEvent& event) override;

    // Where the content keeps clear of: the title bar over a window's content view that runs
    // under it (a full-size content view), else nothing.
    virtual NSEdgeInsets safeAreaInsets() const;

protected:
    // For subclasses: made empty, then given their root view once.
    NSHostingView() = default;
    void install(View root, EnvironmentValues environment);

private:
    // The AppKit views of the tree become the subviews, in tree order.
    void syncPlatformViews();

    std::shared_ptr<ViewHost> host_;
};

// A view controller whose view is a hosting view of the root view.
class NSHostingController final : public NSViewController {
public:
    explicit NSHostingController(View rootView,
                                 EnvironmentValues environment = EnvironmentValues::standard());
    std::string className() const override { return "NSHostingController"; }

    std::shared_ptr<NSHostingView> hostingView();

protected:
    std::shared_ptr<NSView> loadView() override;

private:
    View rootView_;
    EnvironmentValues environment_;
};

// The outline nodes of a view tree, as a hosting view shows them.
std::vector<OutlineNode> outlineNodes(const Nodes& nodes);

} // namespace zestrel::platform::swiftui
