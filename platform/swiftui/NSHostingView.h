#pragma once

#include "platform/appkit/NSEdgeInsets.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/base/NotificationCenter.h"
#include "platform/swiftui/ViewHost.h"

#include <memory>
#include <vector>

namespace zestrel::platform::swiftui {

// An AppKit view that shows a SwiftUI view: it owns the view's host, and its outline is
// the view tree's, where buttons, links, options and switches can be clicked. The AppKit
// view of each representable lies in a host view of its own ("PlatformViewHost"), the
// hosting view's subviews in the tree's order, as the framework places them; a host covers
// the hosting view and shows nothing itself. Inside it,
// `dismiss` closes the window the view is in, and the environment's active state and scene
// phase follow the window (key or not) and the application (active or not). As the window's
// content it titles the window with the navigation title shown, when there is one. Its size
// is what the content asks for (`frame`), else what its rows need. Main thread only.
class NSHostingView : public NSView {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<NSHostingView>
    make(View root, EnvironmentValues environment = EnvironmentValues::standard());
    explicit NSHostingView(Passkey) {}
    ~NSHostingView() override;

    std::string className() const override { return "NSHostingView"; }
    const std::shared_ptr<ViewHost>& host() const { return host_; }
    // The AppKit views of the representables, in the tree's order.
    std::vector<std::shared_ptr<NSView>> representedViews() const;

    void describeOutline(OutlineNode& node) const override;
    // The content's size: the width and height its frame gives, else 400 points wide and
    // as tall as its rows.
    CGSize fittingSize() const;
    CGSize intrinsicContentSize() const override { return fittingSize(); }
    void viewDidMoveToWindow() override;
    // The content is offered the new size (a geometry reader reads it).
    void setFrame(const CGRect& frame) override;

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
    // The AppKit views of the tree, each in its host, become the subviews in tree order.
    void syncPlatformViews();
    // As its window's content, the window is titled with the navigation title shown, if any.
    void showNavigationTitle();
    void followWindowActivity();
    void updateActiveState();

    std::shared_ptr<ViewHost> host_;
    std::vector<ObserverToken> observers_;
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

} // namespace zestrel::platform::swiftui
