#pragma once

#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/KeyValueObserving.h"

#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSStatusBar;
class NSStatusItem;

inline constexpr CGFloat NSVariableStatusItemLength = -1;
inline constexpr CGFloat NSSquareStatusItemLength = -2;

// The window a status item's button lives in, in the menu bar.
class NSStatusBarWindow final : public NSWindow {
public:
    explicit NSStatusBarWindow(CGRect frame);
    std::string className() const override { return "NSStatusBarWindow"; }
};

// The button of a status item. A click opens the item's menu when it has one, else runs
// the button's action.
class NSStatusBarButton final : public NSButton {
public:
    using NSButton::NSButton;
    std::string className() const override { return "NSStatusBarButton"; }
    void performClick() override;
    void describeOutline(OutlineNode& node) const override;

private:
    friend class NSStatusItem;
    std::weak_ptr<NSStatusItem> item_;
};

// An item of the status bar (the right side of the menu bar). The bar does not keep it:
// an item released by the application leaves the menu bar.
class NSStatusItem final : public NSObject {
public:
    // What only the status bar can make, so items come from NSStatusBar::statusItem alone.
    class Key {
        friend class NSStatusBar;
        explicit Key() = default;
    };
    NSStatusItem(Key, std::weak_ptr<NSStatusBar> statusBar, CGFloat length);
    ~NSStatusItem() override;

    std::string className() const override { return "NSStatusItem"; }

    std::shared_ptr<NSStatusBar> statusBar() const { return statusBar_.lock(); }
    CGFloat length() const { return length_; }
    void setLength(CGFloat length);
    std::shared_ptr<NSStatusBarButton> button() const { return button_; }
    std::shared_ptr<NSMenu> menu() const { return menu_; }
    void setMenu(std::shared_ptr<NSMenu> menu) { menu_ = std::move(menu); }
    const std::string& autosaveName() const { return autosaveName_; }
    void setAutosaveName(std::string name) { autosaveName_ = std::move(name); }

    // Whether the item is in the menu bar (the user can drag it out). Observable by key-value
    // observation under "isVisible" (and "visible"). An item the bar removed reads false and
    // stays out: showing again takes a new item.
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);
    KeyValueObservationToken addObserver(std::string keyPath, NSKeyValueObservingOptions options,
                                         KeyValueObserver observer, const void* context = nullptr);
    void removeObserver(KeyValueObservationToken token);

private:
    friend class NSStatusBar;
    void place(CGFloat x);
    // Out of the bar for good: hidden, and its button in no window, as an item never shown.
    void leaveBar();

    std::weak_ptr<NSStatusBar> statusBar_;
    CGFloat length_;
    std::shared_ptr<NSStatusBarButton> button_;
    std::shared_ptr<NSStatusBarWindow> window_;
    std::shared_ptr<NSMenu> menu_;
    std::string autosaveName_;
    bool visible_ = true;
    bool removed_ = false;
    KeyValueObserverRegistry observers_;
};

// The system's status bar.
class NSStatusBar final : public NSObject {
public:
    static std::shared_ptr<NSStatusBar> system();
    std::string className() const override { return "NSStatusBar"; }

    // A new item at the left end of the bar's items, visible.
    std::shared_ptr<NSStatusItem> statusItem(CGFloat withLength);
    void removeStatusItem(const std::shared_ptr<NSStatusItem>& item);
    CGFloat thickness() const { return 24; }
    bool isVertical() const { return false; }

    // The items the bar holds, in the bar's order (its private list; the newest first).
    std::vector<std::shared_ptr<NSStatusItem>> items() const;
    // Key-value coding of the bar's private properties: "_statusItems" is the items as a
    // pointer array; any other key answers nothing (the bar does not respond to it).
    Value valueForKey(const std::string& key) const;

private:
    friend class NSStatusItem;
    void relayout();

    std::vector<std::weak_ptr<NSStatusItem>> items_; // newest first, as they sit from the left
};

} // namespace zestrel::platform
