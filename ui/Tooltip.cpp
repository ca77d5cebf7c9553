#include "ui/Tooltip.h"

#include "platform/appkit/NSGestureRecognizer.h"
#include "platform/appkit/NSLayoutConstraint.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/NSWorkspace.h"
#include "ui/ViewUtilities.h"

#include <algorithm>
#include <limits>

namespace zestrel {

using platform::CGFloat;
using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;
using platform::Notification;
using platform::NotificationCenter;
using platform::NSView;
using platform::NSWindow;

namespace {

std::string counterKey(const std::string& identifier) {
    return "QV_Tooltip_" + identifier;
}

// The tooltip's content: the first click on an inactive window's popover already counts.
class ContentView final : public NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "Zestrel.ToolTipContentView"; }
    bool acceptsFirstMouse(const platform::NSEvent* /*event*/) const override { return true; }
};

class ToolTipViewController final : public platform::NSViewController {
public:
    ToolTipViewController(std::string text, EdgeInsets insets, std::optional<double> maxWidth,
                          std::optional<platform::NSFont> font, std::function<void()> onClick)
        : text_(std::move(text)), insets_(insets), maxWidth_(maxWidth), font_(std::move(font)),
          onClick_(std::move(onClick)) {}
    std::string className() const override { return "Zestrel.ToolTipViewController"; }

    void didClick() {
        if (onClick_) {
            auto onClick = onClick_;
            onClick();
        }
    }

protected:
    std::shared_ptr<platform::NSView> loadView() override {
        auto content = std::make_shared<ContentView>();
        auto label = platform::NSTextField::labelWithString(text_);
        label->setSelectable(false);
        if (font_) {
            label->setFont(*font_);
        }
        CGSize size = label->sizeThatFits(
            CGSize{std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::max()});
        if (maxWidth_) {
            size = label->sizeThatFits(CGSize{*maxWidth_ - insets_.leading - insets_.trailing,
                                              std::numeric_limits<CGFloat>::max()});
            constrainSize(label, size.width, size.height);
        }
        label->setFrame(CGRect(insets_.leading, insets_.bottom, size.width, size.height));
        content->setFrameSize(CGSize{size.width + insets_.leading + insets_.trailing,
                                     size.height + insets_.top + insets_.bottom});
        content->addSubview(label);
        constrainEdges(label, content, insets_.top, insets_.leading, insets_.bottom,
                       insets_.trailing);
        return content;
    }

    void viewDidLoad() override {
        clickRecognizer_ = std::make_shared<platform::NSClickGestureRecognizer>();
        clickRecognizer_->setTarget(shared_from_this());
        clickRecognizer_->setAction([](platform::NSObject& target, platform::NSGestureRecognizer&) {
            static_cast<ToolTipViewController&>(target).didClick();
        });
        view()->addGestureRecognizer(clickRecognizer_);
    }

private:
    std::string text_;
    EdgeInsets insets_;
    std::optional<double> maxWidth_;
    std::optional<platform::NSFont> font_;
    std::function<void()> onClick_;
    std::shared_ptr<platform::NSClickGestureRecognizer> clickRecognizer_;
};

// The anchor's bounds on the screen, through every flip and scroll of its containers.
CGRect screenRect(const NSView& view, const NSWindow& window) {
    return window.convertRectToScreen(view.convertRectToWindow(view.bounds()));
}

} // namespace

std::shared_ptr<Tooltip> Tooltip::make(Options options) {
    std::string identifier = options.identifier.value_or(platform::UUID::random().uuidString());
    auto tooltip = std::make_shared<Tooltip>(Key{}, std::move(identifier), options.showOnlyOnce);
    tooltip->setAnimates(
        !platform::NSWorkspace::shared()->accessibilityDisplayShouldReduceMotion());
    tooltip->setBehavior(options.closeOnClick ? platform::NSPopoverBehavior::semitransient
                                              : platform::NSPopoverBehavior::applicationDefined);
    std::weak_ptr<Tooltip> weak = tooltip;
    auto onClick = [weak, closeOnClick = options.closeOnClick,
                    userClick = std::move(options.onClick)] {
        if (closeOnClick) {
            if (auto self = weak.lock()) {
                self->close();
            }
        }
        if (userClick) {
            userClick();
        }
    };
    tooltip->setContentViewController(std::make_shared<ToolTipViewController>(
        std::move(options.text), options.contentInsets, options.maxWidth, std::move(options.font),
        std::move(onClick)));
    return tooltip;
}

Tooltip::Tooltip(Key, std::string identifier, bool showOnlyOnce)
    : identifier_(std::move(identifier)), showOnlyOnce_(showOnlyOnce) {}

Tooltip::~Tooltip() {
    if (invisibleWindow_) {
        invisibleWindow_->close();
    }
}

std::int64_t Tooltip::showCount() const {
    // A stored value that is not an integer counts as never shown.
    const auto stored = platform::UserDefaults::standard()->object(counterKey(identifier_));
    return stored.asInt64().value_or(0);
}

bool Tooltip::isSpent() const {
    return showOnlyOnce_ && showCount() > 0;
}

void Tooltip::showRelativeToRect(CGRect rect, const std::shared_ptr<NSView>& view,
                                 platform::NSRectEdge preferredEdge) {
    if (!view || !view->window() || isSpent()) {
        return;
    }
    // The count stops at the largest integer: wrapping round would make a show-once tooltip
    // count as never shown.
    const std::int64_t count = showCount();
    platform::UserDefaults::standard()->set(
        platform::Value(count == std::numeric_limits<std::int64_t>::max() ? count : count + 1),
        counterKey(identifier_));
    NSPopover::showRelativeToRect(rect, view, preferredEdge);
}

void Tooltip::show(const std::shared_ptr<NSView>& anchor) {
    if (!anchor) {
        return;
    }
    auto anchorWindow = anchor->window();
    if (!showEvenWhenMenuBarItemIsHidden && (!anchorWindow || !anchorWindow->screen())) {
        return;
    }
    // Checked before the window is made: a spent show-once tooltip would otherwise leave an
    // invisible window and its subscriptions behind on every call.
    if (isSpent()) {
        return;
    }
    closeInvisibleWindow();
    popoverDidCloseCancellable_.reset();

    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 20, 1), NSWindow::StyleMask::borderless,
                                             NSWindow::BackingStoreType::buffered, false);
    window->setIgnoresMouseEvents(true);
    window->setAlphaValue(0);
    window->setLevel(NSWindow::Level{NSWindow::Level::statusBar.rawValue + 1});
    window->setCollectionBehavior(NSWindow::CollectionBehavior::stationary |
                                  NSWindow::CollectionBehavior::ignoresCycle);
    window->setRestorable(false);
    window->setCanHide(true);
    window->setDisplaysWhenScreenProfileChanges(true);
    window->disableSnapshotRestoration();
    window->setReleasedWhenClosed(false);
    window->setContentView(std::make_shared<NSView>());
    invisibleWindow_ = window;
    positionInvisibleWindow(anchor);
    window->orderFront();

    std::weak_ptr<Tooltip> weakSelf = std::static_pointer_cast<Tooltip>(shared_from_this());
    std::weak_ptr<NSView> weakAnchor = anchor;
    auto center = NotificationCenter::defaultCenter();
    // Matched in the blocks rather than by the centre, which would keep the objects alive.
    if (anchorWindow) {
        std::weak_ptr<NSWindow> weakAnchorWindow = anchorWindow;
        auto moved = center->addObserver(
            platform::NSWindowDidMoveNotification, platform::Value(),
            [weakSelf, weakAnchor, weakAnchorWindow](const Notification& note) {
                auto self = weakSelf.lock();
                auto anchor = weakAnchor.lock();
                auto movedWindow = weakAnchorWindow.lock();
                if (self && anchor && movedWindow && note.object.asObject() == movedWindow) {
                    self->positionInvisibleWindow(anchor);
                }
            });
        invisibleWindowCancellable_ =
            platform::combine::AnyCancellable([center, moved] { center->removeObserver(moved); });
    }
    auto closed = center->addObserver(platform::NSPopoverDidCloseNotification, platform::Value(),
                                      [weakSelf](const Notification& note) {
                                          auto self = weakSelf.lock();
                                          if (self && note.object.asObject().get() == self.get()) {
                                              self->closeInvisibleWindow();
                                          }
                                      });
    popoverDidCloseCancellable_ =
        platform::combine::AnyCancellable([center, closed] { center->removeObserver(closed); });

    showRelativeToRect(window->contentView() ? window->contentView()->bounds() : CGRect{},
                       window->contentView(), platform::NSRectEdge::minY);
    if (!isShown()) {
        // Nothing showed: neither the window nor a subscription may stay behind.
        closeInvisibleWindow();
        popoverDidCloseCancellable_.reset();
    }
}

void Tooltip::positionInvisibleWindow(const std::shared_ptr<NSView>& anchor) {
    if (!invisibleWindow_) {
        return;
    }
    auto anchorWindow = anchor->window();
    CGFloat x = -10;
    CGFloat y = 0;
    if (anchorWindow) {
        const CGRect bounds = screenRect(*anchor, *anchorWindow);
        x = bounds.origin.x + bounds.size.width / 2 - 10;
        y = bounds.origin.y;
    }
    const auto screen = platform::NSScreen::main();
    if (screen) {
        const CGRect frame = screen->frame();
        x = std::min(x, frame.origin.x + frame.size.width);
        y = std::min(y, frame.origin.y + frame.size.height);
    }
    y -= 5;
    if (anchorWindow && anchorWindow->frame().origin.x > 0) {
        invisibleWindow_->setFrameOrigin(CGPoint{x, y});
    } else if (screen) {
        invisibleWindow_->setFrameOrigin(CGPoint{screen->frame().size.width - 60, y});
    } else {
        invisibleWindow_->setFrameOrigin(CGPoint{x, y});
    }
}

void Tooltip::closeInvisibleWindow() {
    if (auto window = std::exchange(invisibleWindow_, nullptr)) {
        window->close();
    }
    invisibleWindowCancellable_.reset();
}

} // namespace zestrel
