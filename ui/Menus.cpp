#include "ui/Menus.h"

#include "platform/base/ProcessLocal.h"

#include <utility>

namespace zestrel {

namespace pf = platform;

// --- QVMenu

std::shared_ptr<QVMenu> QVMenu::make(std::string title) {
    auto menu = std::make_shared<QVMenu>(Passkey(), std::move(title));
    menu->setDelegate(menu);
    menu->setAutoenablesItems(false);
    return menu;
}

QVMenu::QVMenu(Passkey, std::string title) : NSMenu(std::move(title)) {}

void QVMenu::menuWillOpen(pf::NSMenu& /*menu*/) {
    isOpen_ = true;
    isOpenSubject.send(true);
    if (onOpenClose) {
        onOpenClose(true);
    }
}

void QVMenu::menuDidClose(pf::NSMenu& /*menu*/) {
    isOpen_ = false;
    isOpenSubject.send(false);
    if (onOpenClose) {
        onOpenClose(false);
    }
}

void QVMenu::menuNeedsUpdate(pf::NSMenu& /*menu*/) {
    needsUpdateSubject.send(std::monostate{});
    if (onUpdate) {
        onUpdate();
    }
    if (onUpdateLegacy) {
        onUpdateLegacy(*this);
    }
}

// --- CallbackMenuItem

std::shared_ptr<CallbackMenuItem> CallbackMenuItem::make(std::string title,
                                                         std::string keyEquivalent, bool enabled,
                                                         bool on, bool hidden,
                                                         std::function<void()> callback) {
    auto item = std::make_shared<CallbackMenuItem>(Passkey(), std::move(title),
                                                   std::move(keyEquivalent), std::move(callback));
    item->setEnabled(enabled);
    item->setState(on ? pf::NSControlStateValue::on : pf::NSControlStateValue::off);
    item->setHidden(hidden);
    return item;
}

CallbackMenuItem::CallbackMenuItem(Passkey, std::string title, std::string keyEquivalent,
                                   std::function<void()> callback)
    : NSMenuItem(
          std::move(title),
          // The item is its own target: the sender is always this item.
          [](pf::NSMenuItem& sender) { static_cast<const CallbackMenuItem&>(sender).action(); },
          std::move(keyEquivalent)),
      callback(std::move(callback)) {}

void CallbackMenuItem::action() const {
    if (callback) {
        callback();
    }
}

// --- ShareMenu

std::shared_ptr<ShareMenu> ShareMenu::make() {
    auto menu = std::make_shared<ShareMenu>(Passkey());
    menu->setDelegate(menu);
    return menu;
}

ShareMenu::ShareMenu(Passkey) : NSMenu("Share") {}

void ShareMenu::menuNeedsUpdate(pf::NSMenu& /*menu*/) {
    if (const auto parent = supermenu()) {
        for (const auto& item : parent->items()) {
            if (item->submenu().get() == this && !item->isEnabled()) {
                return;
            }
        }
    }
    removeAllItems();
    addItem(pf::NSMenuItem::separator());
    const auto items = shareItems.value_or(std::vector<pf::Value>{});
    for (const auto& service : pf::NSSharingService::sharingServicesForItems(items)) {
        std::weak_ptr<ShareMenu> weak = std::static_pointer_cast<ShareMenu>(shared_from_this());
        auto item =
            std::make_shared<pf::NSMenuItem>(service->title(), [weak](pf::NSMenuItem& sender) {
                if (auto menu = weak.lock()) {
                    menu->actionHandler(sender);
                }
            });
        item->setImage(service->image());
        item->setRepresentedObject(pf::Value(std::shared_ptr<pf::NSObject>(service)));
        addItem(item);
    }
}

void ShareMenu::actionHandler(const pf::NSMenuItem& sender) {
    const auto object = sender.representedObject().asObject();
    const auto service = std::dynamic_pointer_cast<pf::NSSharingService>(object);
    if (!service) {
        return;
    }
    service->performWithItems(shareItems.value_or(std::vector<pf::Value>{}));
    shareItems.reset();
}

std::shared_ptr<pf::NSMenuItem> makeShareMenuItem(std::string title) {
    auto item = std::make_shared<pf::NSMenuItem>(std::move(title));
    item->setSubmenu(ShareMenu::make());
    return item;
}

// --- ShareButton

std::shared_ptr<ShareButton> ShareButton::make(pf::CGRect frame) {
    auto button = std::make_shared<ShareButton>(Passkey(), frame);
    button->setAction([](pf::NSControl& sender) { static_cast<ShareButton&>(sender).onAction(); });
    return button;
}

ShareButton::ShareButton(Passkey, pf::CGRect frame) : NSButton(frame) {
    setTitle("Share");
    sizeToFit();
    setImage(std::make_shared<pf::NSImage>("NSShareTemplate", pf::CGSize{16, 16}));
    // The menu opens as the button goes down, as a pop-up's does.
    sendActionOn(pf::NSEvent::maskFor(pf::NSEvent::EventType::leftMouseDown));
}

std::shared_ptr<ShareMenu> ShareButton::sharedMenu() {
    static pf::ProcessLocal<std::shared_ptr<ShareMenu>> menu(
        [] { return std::make_unique<std::shared_ptr<ShareMenu>>(ShareMenu::make()); });
    return *menu;
}

void ShareButton::onAction() {
    auto me = std::static_pointer_cast<pf::NSView>(shared_from_this());
    sharedMenu()->popUp(nullptr, pf::CGPoint{0, bounds().size.height + 4}, me);
}

// --- ShareToolbarItem

ShareToolbarItem::ShareToolbarItem(std::string itemIdentifier)
    : NSMenuToolbarItem(std::move(itemIdentifier)) {
    label = "Share";
    image = std::make_shared<pf::NSImage>("NSShareTemplate", pf::CGSize{16, 16});
    menu = ShareMenu::make();
    showsIndicator = false;
}

// --- SystemShareMenu

std::shared_ptr<SystemShareMenu> SystemShareMenu::make() {
    return std::make_shared<SystemShareMenu>(Passkey());
}

SystemShareMenu::SystemShareMenu(Passkey) : NSMenu("Share") {}

void SystemShareMenu::rebuild() {
    removeAllItems();
    std::weak_ptr<SystemShareMenu> weak =
        std::static_pointer_cast<SystemShareMenu>(shared_from_this());
    for (const auto& service : pf::NSSharingService::sharingServicesForItems(shareItems)) {
        auto item = std::make_shared<pf::NSMenuItem>(
            service->title(),
            // The item holds its service: the desktop may stop offering it meanwhile.
            [weak, service](pf::NSMenuItem&) {
                const auto menu = weak.lock();
                if (!menu) {
                    return;
                }
                service->performWithItems(menu->shareItems);
                if (menu->didClick) {
                    menu->didClick();
                }
            });
        item->setImage(service->image());
        addItem(item);
    }
}

} // namespace zestrel
