#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSView.h"
#include "platform/base/Geometry.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSMenu;

inline constexpr const char* NSMenuDidBeginTrackingNotification =
    "NSMenuDidBeginTrackingNotification";
inline constexpr const char* NSMenuDidEndTrackingNotification = "NSMenuDidEndTrackingNotification";

// One entry of a menu: a command, a separator, or the title of a submenu.
class NSMenuItem : public NSObject {
public:
    using Action = std::function<void(NSMenuItem& sender)>;

    explicit NSMenuItem(std::string title = "", Action action = {}, std::string keyEquivalent = "");
    static std::shared_ptr<NSMenuItem> separator();

    std::string className() const override { return "NSMenuItem"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    // Command unless set otherwise, as the platform's default.
    NSEvent::ModifierFlags keyEquivalentModifierMask() const { return modifierMask_; }
    void setKeyEquivalentModifierMask(NSEvent::ModifierFlags mask) { modifierMask_ = mask; }
    // Whether the system may move the key equivalent to suit the keyboard layout.
    bool allowsAutomaticKeyEquivalentLocalization() const { return automaticLocalization_; }
    void setAllowsAutomaticKeyEquivalentLocalization(bool allows) {
        automaticLocalization_ = allows;
    }
    NSControlStateValue state() const { return state_; }
    void setState(NSControlStateValue state) { state_ = state; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    bool isSeparatorItem() const { return separator_; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    const Value& representedObject() const { return representedObject_; }
    void setRepresentedObject(Value object) { representedObject_ = std::move(object); }
    const std::shared_ptr<NSImage>& image() const { return image_; }
    void setImage(std::shared_ptr<NSImage> image) { image_ = std::move(image); }
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip) { toolTip_ = std::move(toolTip); }

    std::shared_ptr<NSMenu> submenu() const { return submenu_; }
    void setSubmenu(const std::shared_ptr<NSMenu>& submenu);
    bool hasSubmenu() const { return submenu_ != nullptr; }
    // The menu that holds the item.
    std::shared_ptr<NSMenu> menu() const { return menu_.lock(); }
    // What the item's target answers when an automatically enabling menu validates the
    // item (`validateMenuItem:`): enabled or not. Nothing when the target does not validate;
    // the item then keeps the state it was given.
    virtual std::optional<bool> validateMenuItem() { return std::nullopt; }

private:
    friend class NSMenu;
    std::string title_;
    Action action_;
    std::string keyEquivalent_;
    NSEvent::ModifierFlags modifierMask_ = NSEvent::ModifierFlags::command;
    bool automaticLocalization_ = true;
    NSControlStateValue state_ = NSControlStateValue::off;
    bool enabled_ = true;
    bool hidden_ = false;
    bool separator_ = false;
    std::int64_t tag_ = 0;
    Value representedObject_;
    std::shared_ptr<NSImage> image_;
    std::string toolTip_;
    std::shared_ptr<NSMenu> submenu_;
    std::weak_ptr<NSMenu> menu_;
};

// What a menu's delegate is told around showing; each member has the platform's default.
class NSMenuDelegate {
public:
    virtual ~NSMenuDelegate() = default;
    virtual void menuNeedsUpdate(NSMenu& /*menu*/) {}
    virtual void menuWillOpen(NSMenu& /*menu*/) {}
    virtual void menuDidClose(NSMenu& /*menu*/) {}
};

// A menu: an ordered list of items. Menus and items are held by shared pointers; a menu
// owns its items, an item its submenu.
class NSMenu : public NSObject {
public:
    explicit NSMenu(std::string title = "");
    std::string className() const override { return "NSMenu"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    const std::vector<std::shared_ptr<NSMenuItem>>& items() const { return items_; }
    std::int64_t numberOfItems() const { return static_cast<std::int64_t>(items_.size()); }
    // Nothing for an index out of range.
    std::shared_ptr<NSMenuItem> item(std::int64_t index) const;
    std::shared_ptr<NSMenuItem> itemWithTitle(std::string_view title) const;
    // -1 when there is none.
    std::int64_t indexOfItemWithTitle(std::string_view title) const;
    std::int64_t indexOfItem(const std::shared_ptr<NSMenuItem>& item) const;

    // An item belongs to one menu at a time: adding it elsewhere is a programming error.
    void addItem(const std::shared_ptr<NSMenuItem>& item);
    std::shared_ptr<NSMenuItem> addItem(std::string title, NSMenuItem::Action action,
                                        std::string keyEquivalent);
    void insertItem(const std::shared_ptr<NSMenuItem>& item, std::int64_t index);
    void removeItem(const std::shared_ptr<NSMenuItem>& item);
    void removeItem(std::int64_t index);
    void removeAllItems();

    // The menu whose item has this one as its submenu.
    std::shared_ptr<NSMenu> supermenu() const { return supermenu_.lock(); }
    std::shared_ptr<NSMenuDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSMenuDelegate>& delegate) { delegate_ = delegate; }

    // Whether the menu enables its items by validating them (on unless turned off).
    bool autoenablesItems() const { return autoenablesItems_; }
    void setAutoenablesItems(bool autoenables) { autoenablesItems_ = autoenables; }
    // Validates the items as the platform does before the menu shows: in an automatically
    // enabling menu each item whose target validates it is enabled or disabled by the answer.
    void update();

    // Performs the item's action as if the user chose it: nothing for a disabled,
    // separator or missing item. While the menu is tracking, the choice ends the tracking
    // and the action runs once the menu has closed.
    void performActionForItem(std::int64_t index);

    // Shows the menu at a point (in the view's coordinates, or the screen's) and tracks it:
    // the main run loop runs in the event-tracking mode until an item is chosen or the
    // tracking is cancelled. True when an item was chosen. The process's ModalResponder
    // may pick; on the virtual clock a menu it does not pick from closes once what is due
    // now has run.
    bool popUp(const std::shared_ptr<NSMenuItem>& positioningItem, CGPoint location,
               const std::shared_ptr<NSView>& view);
    void cancelTracking();
    void cancelTrackingWithoutAnimation() { cancelTracking(); }
    bool isTracking() const { return tracking_; }
    // The menu being tracked now, innermost; nothing when none is.
    static std::shared_ptr<NSMenu> trackingMenu();

private:
    friend class NSMenuItem;
    std::shared_ptr<NSMenu> root();
    void adopt(const std::shared_ptr<NSMenuItem>& item);
    // Picks the item titled `title` here or in a submenu; the root menu closes without a
    // choice when there is none.
    bool choose(std::string_view title);

    std::string title_;
    std::vector<std::shared_ptr<NSMenuItem>> items_;
    std::weak_ptr<NSMenu> supermenu_;
    std::weak_ptr<NSMenuDelegate> delegate_;
    bool tracking_ = false;
    std::shared_ptr<NSMenuItem> chosen_;
    bool autoenablesItems_ = true;
};

} // namespace zestrel::platform
