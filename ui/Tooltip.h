#pragma once

#include "platform/appkit/NSPopover.h"
#include "platform/appkit/NSView.h"
#include "platform/concurrency/AnyCancellable.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel {

// Space around a tooltip's text.
struct EdgeInsets {
    platform::CGFloat top = 0;
    platform::CGFloat leading = 0;
    platform::CGFloat bottom = 0;
    platform::CGFloat trailing = 0;
};

// A popover holding a wrapped text label, optionally shown only once per identifier (the
// count of showings is kept in the standard defaults under "QV_Tooltip_" + identifier), that
// can be anchored to a status-bar button through an invisible window. Main thread only.
class Tooltip final : public platform::NSPopover {
public:
    struct Options {
        std::optional<std::string> identifier; // a new UUID when none
        std::string text;
        bool showOnlyOnce = false;
        // Closes itself when its content is clicked, and is semi-transient.
        bool closeOnClick = true;
        std::optional<double> maxWidth;
        std::optional<platform::NSFont> font;
        std::function<void()> onClick;
        EdgeInsets contentInsets;
    };

    class Key {
        friend class Tooltip;
        explicit Key() = default;
    };
    static std::shared_ptr<Tooltip> make(Options options);
    Tooltip(Key, std::string identifier, bool showOnlyOnce);
    ~Tooltip() override;

    std::string className() const override { return "Zestrel.Tooltip"; }

    const std::string& identifier() const { return identifier_; }
    bool showOnlyOnce() const { return showOnlyOnce_; }
    bool showEvenWhenMenuBarItemIsHidden = false;
    // How often it was shown, across launches.
    std::int64_t showCount() const;

    // Shows nothing when the view has no window, or when a show-once tooltip was shown
    // before; otherwise counts the showing and shows.
    void showRelativeToRect(platform::CGRect rect, const std::shared_ptr<platform::NSView>& view,
                            platform::NSRectEdge preferredEdge) override;

    // Shows the popover under the anchor (normally a status-bar button) through an invisible
    // window that follows the anchor's window while it moves; closing the popover closes
    // that window. Nothing happens when the anchor's window is on no screen (unless
    // showEvenWhenMenuBarItemIsHidden), or when a show-once tooltip was shown before.
    void show(const std::shared_ptr<platform::NSView>& anchor);

    // The invisible window while the popover is anchored through it.
    std::shared_ptr<platform::NSWindow> invisibleWindow() const { return invisibleWindow_; }

private:
    bool isSpent() const;
    void positionInvisibleWindow(const std::shared_ptr<platform::NSView>& anchor);
    void closeInvisibleWindow();

    std::string identifier_;
    bool showOnlyOnce_;
    std::shared_ptr<platform::NSWindow> invisibleWindow_;
    std::optional<platform::combine::AnyCancellable> invisibleWindowCancellable_;
    std::optional<platform::combine::AnyCancellable> popoverDidCloseCancellable_;
};

} // namespace zestrel
