#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSApplication.h"

#include "platform/appkit/ModalResponder.h"
#include "platform/base/Error.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"

#include <chrono>

#include <algorithm>

namespace zestrel::platform {
namespace {

struct TrackingStack {
    std::vector<std::weak_ptr<NSMenu>> menus;
};

TrackingStack& trackingStack() {
    static auto* const local = new ProcessLocal<TrackingStack>();
    return local->get();
}

} // namespace

NSMenuItem::NSMenuItem(std::string title, Action action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)),
      keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<NSMenuItem> NSMenuItem::separator() {
    auto item = std::make_shared<NSMenuItem>();
    item->separator_ = true;
    item->enabled_ = false;
    return item;
}

void NSMenuItem::setSubmenu(const std::shared_ptr<NSMenu>& submenu) {
    if (submenu_) {
        submenu_->supermenu_.reset();
    }
    submenu_ = submenu;
    if (submenu) {
        submenu->supermenu_ = menu_;
    }
}

NSMenu::NSMenu(std::string title) : title_(std::move(title)) {}

std::shared_ptr<NSMenuItem> NSMenu::item(std::int64_t index) const {
    if (index < 0 || index >= numberOfItems()) {
        return nullptr;
    }
    return items_[static_cast<std::size_t>(index)];
}

std::shared_ptr<NSMenuItem> NSMenu::itemWithTitle(std::string_view title) const {
    return item(indexOfItemWithTitle(title));
}

std::int64_t NSMenu::indexOfItemWithTitle(std::string_view title) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->title() == title) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

std::int64_t NSMenu::indexOfItem(const std::shared_ptr<NSMenuItem>& item) const {
    const auto found = std::find(items_.begin(), items_.end(), item);
    return found == items_.end() ? -1 : static_cast<std::int64_t>(found - items_.begin());
}

void NSMenu::adopt(const std::shared_ptr<NSMenuItem>& item) {
    if (!item) {
        fatal("NSMenu: a menu item cannot be nil.");
    }
    if (auto owner = item->menu_.lock()) {
        fatal("Item to be inserted into menu already is in another menu");
    }
    auto self = std::static_pointer_cast<NSMenu>(shared_from_this());
    item->menu_ = self;
    if (item->submenu_) {
        item->submenu_->supermenu_ = self;
    }
}

void NSMenu::addItem(const std::shared_ptr<NSMenuItem>& item) {
    adopt(item);
    items_.push_back(item);
}

std::shared_ptr<NSMenuItem> NSMenu::addItem(std::string title, NSMenuItem::Action action,
                                            std::string keyEquivalent) {
    auto item =
        std::make_shared<NSMenuItem>(std::move(title), std::move(action), std::move(keyEquivalent));
    addItem(item);
    return item;
}

void NSMenu::insertItem(const std::shared_ptr<NSMenuItem>& item, std::int64_t index) {
    if (index < 0 || index > numberOfItems()) {
        fatal("NSMenu: the index to insert an item at is out of range.");
    }
    adopt(item);
    items_.insert(items_.begin() + index, item);
}

void NSMenu::removeItem(const std::shared_ptr<NSMenuItem>& item) {
    removeItem(indexOfItem(item));
}

void NSMenu::removeItem(std::int64_t index) {
    auto removed = item(index);
    if (!removed) {
        return;
    }
    items_.erase(items_.begin() + index);
    removed->menu_.reset();
    if (removed->submenu_) {
        removed->submenu_->supermenu_.reset();
    }
}

void NSMenu::removeAllItems() {
    while (!items_.empty()) {
        removeItem(numberOfItems() - 1);
    }
}

void NSMenu::update() {
    if (!autoenablesItems_) {
        return;
    }
    const auto items = items_; // a validation may change the menu
    for (const auto& item : items) {
        if (const auto enabled = item->validateMenuItem()) {
            item->setEnabled(*enabled);
        }
    }
}

std::shared_ptr<NSMenu> NSMenu::root() {
    auto menu = std::static_pointer_cast<NSMenu>(shared_from_this());
    while (auto parent = menu->supermenu()) {
        menu = parent;
    }
    return menu;
}

void NSMenu::performActionForItem(std::int64_t index) {
    auto chosen = item(index);
    if (!chosen || !chosen->isEnabled() || chosen->isSeparatorItem() || chosen->isHidden()) {
        return;
    }
    if (auto tracked = root(); tracked->tracking_) {
        tracked->chosen_ = chosen;
        tracked->tracking_ = false;
        return;
    }
    if (auto action = chosen->action()) {
        action(*chosen);
    }
}

bool NSMenu::popUp(const std::shared_ptr<NSMenuItem>& /*positioningItem*/, CGPoint /*location*/,
                   const std::shared_ptr<NSView>& /*view*/) {
    if (tracking_) {
        return false;
    }
    auto self = std::static_pointer_cast<NSMenu>(shared_from_this());
    if (auto delegate = this->delegate()) {
        delegate->menuNeedsUpdate(*this);
    }
    update();
    if (auto delegate = this->delegate()) {
        delegate->menuWillOpen(*this);
    }
    tracking_ = true;
    chosen_.reset();
    trackingStack().menus.push_back(self);
    NSApplication::shared().beginEventTracking();
    NotificationCenter::defaultCenter()->post(NSMenuDidBeginTrackingNotification, Value(self));

    // The user's pick, when the responder scripts one, comes as a timer of every mode.
    std::shared_ptr<Timer> pickTimer;
    std::optional<Nanoseconds> limit;
    const auto responder = ModalResponder::current();
    if (auto pick = responder ? responder->pick(*this) : std::nullopt) {
        std::weak_ptr<NSMenu> weak = self;
        pickTimer = Timer::make(std::chrono::duration<double>(pick->after).count(), false,
                                [weak, title = pick->itemTitle](Timer&) {
                                    if (auto menu = weak.lock()) {
                                        menu->choose(title);
                                    }
                                });
        RunLoop::main().add(pickTimer, RunLoopMode::common);
    } else if (virtualClock()) {
        // Nobody else can pick on the virtual clock: run what is due now, then close.
        limit = Nanoseconds(0);
    }
    {
        // The menu closes also when the end of its process stops the run.
        const std::shared_ptr<void> closing(nullptr, [&](void*) {
            if (pickTimer) {
                pickTimer->invalidate();
            }
            tracking_ = false;
            std::erase_if(trackingStack().menus, [&](const std::weak_ptr<NSMenu>& entry) {
                auto menu = entry.lock();
                return !menu || menu == self;
            });
            NSApplication::shared().endEventTracking();
        });
        const auto result = RunLoop::main().runInMode(
            RunLoopMode::eventTracking, [this] { return !tracking_; }, limit);
        if (result == RunLoop::RunResult::stopped) {
            // The stop was meant for the run the menu interrupted.
            RunLoop::main().stop();
        }
    }
    NotificationCenter::defaultCenter()->post(NSMenuDidEndTrackingNotification, Value(self));
    if (auto delegate = this->delegate()) {
        delegate->menuDidClose(*this);
    }
    auto chosen = std::move(chosen_);
    chosen_.reset();
    if (!chosen) {
        return false;
    }
    if (auto action = chosen->action()) {
        action(*chosen);
    }
    return true;
}

bool NSMenu::choose(std::string_view title) {
    for (std::int64_t i = 0; i < numberOfItems(); ++i) {
        const auto& candidate = items_[static_cast<std::size_t>(i)];
        if (!title.empty() && candidate->title() == title && !candidate->hasSubmenu()) {
            performActionForItem(i);
            return true;
        }
        if (const auto submenu = candidate->submenu_) {
            submenu->update(); // validated as it opens on the way to the pick
            if (submenu->choose(title)) {
                return true;
            }
        }
    }
    if (supermenu()) {
        return false;
    }
    cancelTracking();
    return false;
}

void NSMenu::cancelTracking() {
    tracking_ = false;
}

std::shared_ptr<NSMenu> NSMenu::trackingMenu() {
    const auto& menus = trackingStack().menus;
    for (auto it = menus.rbegin(); it != menus.rend(); ++it) {
        if (auto menu = it->lock()) {
            return menu;
        }
    }
    return nullptr;
}

} // namespace zestrel::platform
