#pragma once

#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSSharingService.h"
#include "platform/appkit/NSToolbarItem.h"
#include "platform/appkit/NSView.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/Subjects.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {

// A menu that is its own delegate and tells of opening, closing and "needs update" both as
// publishers and as callbacks. Items are not enabled automatically.
class QVMenu : public platform::NSMenu, public platform::NSMenuDelegate {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<QVMenu> make(std::string title = "");
    QVMenu(Passkey, std::string title);
    std::string className() const override { return "QVMenu"; }

    platform::combine::CurrentValueSubject<bool> isOpenSubject{false};
    platform::combine::PassthroughSubject<std::monostate> needsUpdateSubject;
    std::function<void(QVMenu&)> onUpdateLegacy;
    std::function<void()> onUpdate;
    std::function<void(bool)> onOpenClose;

    bool isOpen() const { return isOpen_; }
    // The open state now, then each change.
    platform::combine::AnyPublisher<bool> isOpenPublisher() const {
        return isOpenSubject.eraseToAnyPublisher();
    }
    platform::combine::AnyPublisher<std::monostate> needsUpdatePublisher() const {
        return needsUpdateSubject.eraseToAnyPublisher();
    }

    void menuWillOpen(platform::NSMenu& menu) override;
    void menuDidClose(platform::NSMenu& menu) override;
    void menuNeedsUpdate(platform::NSMenu& menu) override;

private:
    bool isOpen_ = false;
};

// A menu item that runs a closure instead of sending an action, and stays enabled.
class CallbackMenuItem : public platform::NSMenuItem {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<CallbackMenuItem> make(std::string title, std::string keyEquivalent,
                                                  bool enabled, bool on, bool hidden,
                                                  std::function<void()> callback);
    CallbackMenuItem(Passkey, std::string title, std::string keyEquivalent,
                     std::function<void()> callback);
    std::string className() const override { return "CallbackMenuItem"; }

    std::function<void()> callback;
    void action() const;
    // Its own target, it is always valid: enabled even in a menu that validates its items.
    std::optional<bool> validateMenuItem() override { return true; }
};

// A "Share" menu listing the services that can share `shareItems`; rebuilt as it is about
// to open, unless it hangs under a disabled item. One share consumes the items.
class ShareMenu : public platform::NSMenu, public platform::NSMenuDelegate {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<ShareMenu> make();
    explicit ShareMenu(Passkey);
    std::string className() const override { return "ShareMenu"; }

    std::optional<std::vector<platform::Value>> shareItems;

    void menuNeedsUpdate(platform::NSMenu& menu) override;
    // The action of the service items: the item's represented object is the service.
    void actionHandler(const platform::NSMenuItem& sender);
};

// A menu item with a fresh `ShareMenu` as its submenu.
std::shared_ptr<platform::NSMenuItem> makeShareMenuItem(std::string title = "Share");

// A "Share" button that pops the one shared `ShareMenu` up just below itself on mouse down.
class ShareButton : public platform::NSButton {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<ShareButton> make(platform::CGRect frame = {});
    ShareButton(Passkey, platform::CGRect frame);
    std::string className() const override { return "ShareButton"; }

    // The menu every share button shows, made on first use.
    static std::shared_ptr<ShareMenu> sharedMenu();
    void onAction();
};

// A "Share" toolbar item with its own `ShareMenu` and no menu arrow.
class ShareToolbarItem : public platform::NSMenuToolbarItem {
public:
    explicit ShareToolbarItem(std::string itemIdentifier);
    std::string className() const override { return "ShareToolbarItem"; }
};

// A menu of share services for any items; its owner sets the items and hears of clicks.
class SystemShareMenu : public platform::NSMenu {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<SystemShareMenu> make();
    explicit SystemShareMenu(Passkey);
    std::string className() const override { return "SystemShareMenu"; }

    std::vector<platform::Value> shareItems;
    std::function<void()> didClick;
    // Lists the services for `shareItems`; choosing one shares the items, then `didClick`.
    void rebuild();
};

} // namespace zestrel
