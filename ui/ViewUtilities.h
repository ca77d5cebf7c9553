#pragma once

#include "foundation/AddedToSuperviewObserverView.h"
#include "foundation/Duration.h"
#include "platform/appkit/NSAppearance.h"
#include "platform/appkit/NSColor.h"
#include "platform/appkit/NSImageView.h"
#include "platform/appkit/NSView.h"

#include <memory>
#include <optional>

namespace zestrel {

// Lives in foundation/, where the alert builder needs it first; the kit offers it by name.
using zestrel::AddedToSuperviewObserverView;

enum class ShakeDirection { horizontal, vertical };

// Shakes the view along the direction: a key-frame animation through −a, a, −a/2, a/2 and 0
// points, ease-in-ease-out. The view becomes layer-backed first, even when Reduce Motion is
// on and nothing is animated.
void shake(platform::NSView& view, Duration duration, ShakeDirection direction,
           platform::CGFloat moveAmount);
// What rejected input shows: 0.3 s, 5 points sideways.
inline void shakeRejected(platform::NSView& view) {
    shake(view, Duration::milliseconds(300), ShakeDirection::horizontal, 5);
}

// The view's drawing scale: the width of the unit square in window coordinates. Setting a
// scale undoes the current one first; a size that is not finite is reported as an error and
// changes nothing (a non-finite scale undoes the current one and stops there).
double scale(const platform::NSView& view);
void setScale(platform::NSView& view, double scale);
void setScale(platform::NSView& view, platform::CGSize size);

// Pins the view to another view's edges with the insets (leading, trailing, top, bottom),
// and fixes a view's size; both stop translating autoresizing masks first.
void constrainEdges(const std::shared_ptr<platform::NSView>& view,
                    const std::shared_ptr<platform::NSView>& to, platform::CGFloat top = 0,
                    platform::CGFloat leading = 0, platform::CGFloat bottom = 0,
                    platform::CGFloat trailing = 0);
void constrainSize(const std::shared_ptr<platform::NSView>& view, platform::CGFloat width,
                   platform::CGFloat height);

// A view that lets clicks through to what is under it and can drag its window.
class NonInteractiveView : public platform::NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "Zestrel.NonInteractiveView"; }
    std::shared_ptr<NSView> hitTest(platform::CGPoint /*point*/) override { return nullptr; }
    bool mouseDownCanMoveWindow() const override { return true; }
    bool acceptsFirstMouse(const platform::NSEvent* /*event*/) const override { return false; }
};

// An image view that lets clicks through, as NonInteractiveView does.
class NonInteractiveImageView : public platform::NSImageView {
public:
    using NSImageView::NSImageView;
    std::string className() const override { return "Zestrel.NonInteractiveImageView"; }
    std::shared_ptr<NSView> hitTest(platform::CGPoint /*point*/) override { return nullptr; }
    bool mouseDownCanMoveWindow() const override { return true; }
    bool acceptsFirstMouse(const platform::NSEvent* /*event*/) const override { return false; }
};

// Whether the appearance is a dark one: its best match among dark and light aqua is dark.
bool isDarkMode(const platform::NSAppearance& appearance);

// A colour that follows the appearance: the dark colour in a dark appearance when one is
// given, else the light one. It has no name.
std::shared_ptr<platform::NSColor> dynamicColor(platform::Color light,
                                                std::optional<platform::Color> dark = {});

// A view whose drawing is not clipped to its bounds.
class NoClippingView : public platform::NSView {
public:
    using NSView::NSView;
    std::string className() const override { return "Zestrel.NoClippingView"; }
    bool wantsDefaultClipping() const override { return false; }
    // After loading from an archive: layer-backed without masking to bounds.
    void awakeFromNib();
};

// A text field that shows its whole text as a tooltip while the text does not fit.
class ExpansionTextField : public platform::NSTextField {
public:
    using NSTextField::NSTextField;
    std::string className() const override { return "Zestrel.ExpansionTextField"; }
    void setFrame(const platform::CGRect& frame) override;
};

} // namespace zestrel
