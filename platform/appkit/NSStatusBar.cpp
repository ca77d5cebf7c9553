#include "platform/appkit/NSStatusBar.h"

#include "platform/appkit/NSPointerArray.h"
#include "platform/base/KeyValueCoding.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSScreen.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {
namespace {

// What the system's own items (the clock, Control Centre) take at the right end.
constexpr CGFloat kSystemItemsWidth = 200;
constexpr CGFloat kVariableItemWidth = 24;

// The bar's private list of its items, read by key as the system's own bar offers it.
const bool kItemsKeyRegistered = [] {
    registerKeyValueGetter("NSStatusBar", "_statusItems", [](const NSObject& object) {
        Value::Array items;
        for (auto& item : dynamic_cast<const NSStatusBar&>(object).items()) {
            items.emplace_back(std::move(item));
        }
        return Value(std::move(items));
    });
    return true;
}();

CGFloat widthFor(CGFloat length, CGFloat thickness) {
    if (length == NSSquareStatusItemLength) {
        return thickness;
    }
    if (length == NSVariableStatusItemLength || length < 0) {
        return kVariableItemWidth;
    }
    return length;
}

} // namespace

NSStatusBarWindow::NSStatusBarWindow(CGRect frame)
    : NSWindow(frame, StyleMask::borderless, BackingStoreType::buffered, false) {
    setLevel(Level::statusBar);
    setReleasedWhenClosed(false);
}

void NSStatusBarButton::performClick() {
    if (!isEnabled()) {
        return;
    }
    auto keep = shared_from_this();
    auto item = item_.lock();
    if (item && item->menu()) {
        auto menu = item->menu();
        menu->popUp(nullptr, CGPoint{0, 0}, std::static_pointer_cast<NSView>(keep));
        return;
    }
    NSButton::performClick();
}

void NSStatusBarButton::describeOutline(OutlineNode& node) const {
    NSButton::describeOutline(node);
    node.kind = "status item";
    if (node.label.empty() && image()) {
        node.label = image()->name();
    }
}

NSStatusItem::NSStatusItem(Key, std::weak_ptr<NSStatusBar> statusBar, CGFloat length)
    : statusBar_(std::move(statusBar)), length_(length),
      observers_(*this, [this](const std::string& key) -> Value {
          if (key == "isVisible" || key == "visible") {
              return Value(visible_);
          }
          if (key == "length") {
              return Value(length_);
          }
          return Value();
      }) {}

NSStatusItem::~NSStatusItem() {
    if (window_) {
        window_->orderOut();
    }
}

void NSStatusItem::place(CGFloat x) {
    const CGFloat thickness = 24;
    const CGFloat width = widthFor(length_, thickness);
    const auto screen = NSScreen::main();
    const CGFloat top = screen ? screen->frame().origin.y + screen->frame().size.height : 0;
    const CGRect frame(x - width, top - thickness, width, thickness);
    if (!window_) {
        window_ = std::make_shared<NSStatusBarWindow>(frame);
        button_ = std::make_shared<NSStatusBarButton>(CGRect(0, 0, width, thickness));
        button_->item_ = std::static_pointer_cast<NSStatusItem>(shared_from_this());
        window_->setContentView(button_);
    } else {
        window_->setFrame(frame);
    }
    if (visible_) {
        window_->orderFront();
    } else {
        window_->orderOut();
    }
}

void NSStatusItem::setLength(CGFloat length) {
    observers_.performChange({"length"}, [&] { length_ = length; });
    if (auto bar = statusBar()) {
        bar->relayout();
    }
}

void NSStatusItem::setVisible(bool visible) {
    if (visible == visible_ || removed_) {
        return;
    }
    observers_.performChange({"isVisible", "visible"}, [&] { visible_ = visible; });
    if (auto bar = statusBar()) {
        bar->relayout();
    }
}

void NSStatusItem::leaveBar() {
    if (removed_) {
        return;
    }
    removed_ = true;
    if (visible_) {
        observers_.performChange({"isVisible", "visible"}, [&] { visible_ = false; });
    }
    // Whoever still holds the item must not find a button window left behind off screen.
    if (auto window = std::exchange(window_, nullptr)) {
        window->orderOut();
        window->setContentView(nullptr);
    }
}

KeyValueObservationToken NSStatusItem::addObserver(std::string keyPath,
                                                   NSKeyValueObservingOptions options,
                                                   KeyValueObserver observer, const void* context) {
    return observers_.addObserver(std::move(keyPath), options, std::move(observer), context);
}

void NSStatusItem::removeObserver(KeyValueObservationToken token) {
    observers_.removeObserver(token);
}

std::shared_ptr<NSStatusBar> NSStatusBar::system() {
    struct Holder {
        std::shared_ptr<NSStatusBar> bar = std::make_shared<NSStatusBar>();
    };
    static auto* const local = new ProcessLocal<Holder>();
    return local->get().bar;
}

std::shared_ptr<NSStatusItem> NSStatusBar::statusItem(CGFloat withLength) {
    auto item = std::make_shared<NSStatusItem>(
        NSStatusItem::Key(), std::static_pointer_cast<NSStatusBar>(shared_from_this()), withLength);
    std::erase_if(items_, [](const auto& entry) { return entry.expired(); });
    items_.insert(items_.begin(), item);
    relayout();
    return item;
}

void NSStatusBar::removeStatusItem(const std::shared_ptr<NSStatusItem>& item) {
    std::erase_if(items_, [&](const auto& entry) {
        auto alive = entry.lock();
        return !alive || alive == item;
    });
    if (item) {
        item->leaveBar();
    }
    relayout();
}

std::vector<std::shared_ptr<NSStatusItem>> NSStatusBar::items() const {
    std::vector<std::shared_ptr<NSStatusItem>> result;
    for (const auto& entry : items_) {
        if (auto item = entry.lock()) {
            result.push_back(item);
        }
    }
    return result;
}

void NSStatusBar::relayout() {
    const auto screen = NSScreen::main();
    CGFloat right = screen ? screen->frame().origin.x + screen->frame().size.width : 0;
    right -= kSystemItemsWidth;
    // The oldest item sits rightmost; each newer one to its left.
    const auto current = items();
    for (auto it = current.rbegin(); it != current.rend(); ++it) {
        (*it)->place(right);
        if ((*it)->isVisible()) {
            right -= widthFor((*it)->length(), thickness());
        }
    }
}

Value NSStatusBar::valueForKey(const std::string& key) const {
    if (key != "_statusItems") {
        return Value();
    }
    auto list = std::make_shared<NSPointerArray>();
    for (const auto& item : items()) {
        list->addPointer(item);
    }
    return Value(std::shared_ptr<NSObject>(list));
}

} // namespace zestrel::platform
