#include "ui/ViewUtilities.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/TextUtilities.h"
#include "platform/appkit/CALayer.h"
#include "platform/appkit/NSLayoutConstraint.h"
#include "platform/desktop/NSWorkspace.h"

#include <cmath>
#include <limits>

namespace zestrel {

using platform::CGFloat;
using platform::CGSize;
using platform::NSLayoutConstraint;
using platform::NSView;

namespace {

const std::shared_ptr<platform::CAMediaTimingFunction>& easeInEaseOut() {
    static const auto* const function = new std::shared_ptr<platform::CAMediaTimingFunction>(
        platform::CAMediaTimingFunction::functionWithName(
            platform::kCAMediaTimingFunctionEaseInEaseOut));
    return *function;
}

// Back to the unit square: the window's unit size seen from the view, scaled away.
void undoScale(NSView& view) {
    const CGSize unit = view.convertSizeFromWindow(CGSize{1, 1});
    view.scaleUnitSquareToSize(unit);
}

} // namespace

void shake(NSView& view, Duration duration, ShakeDirection direction, CGFloat moveAmount) {
    view.setWantsLayer(true);
    if (platform::NSWorkspace::shared()->accessibilityDisplayShouldReduceMotion()) {
        return;
    }
    auto animation = platform::CAKeyframeAnimation::animationWithKeyPath(
        std::string("transform.translation.") +
        (direction == ShakeDirection::horizontal ? "x" : "y"));
    animation->timingFunction = easeInEaseOut();
    animation->duration = duration.timeInterval();
    const double a = moveAmount;
    animation->values = {-a, a, -a / 2, a / 2, 0};
    if (auto layer = view.layer()) {
        layer->addAnimation(animation);
    }
}

double scale(const NSView& view) {
    return view.convertSizeToWindow(CGSize{1, 1}).width;
}

void setScale(NSView& view, CGSize size) {
    if (!std::isfinite(size.width) || !std::isfinite(size.height)) {
        reportError(platform::Error::make<GeneralError>("The given scale size " + sizeText(size) +
                                                        " is not finite."));
        return;
    }
    undoScale(view);
    view.scaleUnitSquareToSize(size);
    view.setNeedsDisplay(true);
}

void setScale(NSView& view, double scale) {
    if (!std::isfinite(scale)) {
        undoScale(view);
        view.setNeedsDisplay(true);
        reportError(platform::Error::make<GeneralError>("The given scale size is not finite."));
        return;
    }
    setScale(view, CGSize{scale, scale});
}

void constrainEdges(const std::shared_ptr<NSView>& view, const std::shared_ptr<NSView>& to,
                    CGFloat top, CGFloat leading, CGFloat bottom, CGFloat trailing) {
    using Attribute = NSLayoutConstraint::Attribute;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    NSLayoutConstraint::activateConstraints({
        NSLayoutConstraint::make(view, Attribute::leading, to, Attribute::leading, leading),
        NSLayoutConstraint::make(view, Attribute::trailing, to, Attribute::trailing, -trailing),
        NSLayoutConstraint::make(view, Attribute::top, to, Attribute::top, top),
        NSLayoutConstraint::make(view, Attribute::bottom, to, Attribute::bottom, -bottom),
    });
}

void constrainSize(const std::shared_ptr<NSView>& view, CGFloat width, CGFloat height) {
    using Attribute = NSLayoutConstraint::Attribute;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    NSLayoutConstraint::activateConstraints({
        NSLayoutConstraint::make(view, Attribute::width, nullptr, Attribute::notAnAttribute, width),
        NSLayoutConstraint::make(view, Attribute::height, nullptr, Attribute::notAnAttribute,
                                 height),
    });
}

void ExpansionTextField::setFrame(const platform::CGRect& frame) {
    NSTextField::setFrame(frame);
    // The expansion frame is empty exactly when the text fits the field.
    const CGFloat needed = sizeThatFits(CGSize{std::numeric_limits<CGFloat>::infinity(),
                                               std::numeric_limits<CGFloat>::infinity()})
                               .width;
    if (needed > frame.size.width) {
        setToolTip(stringValue());
    } else {
        setToolTip(std::nullopt);
    }
}

bool isDarkMode(const platform::NSAppearance& appearance) {
    return appearance.bestMatchFromAppearancesWithNames(
               {platform::NSAppearanceNameDarkAqua, platform::NSAppearanceNameAqua}) ==
           platform::NSAppearanceNameDarkAqua;
}

std::shared_ptr<platform::NSColor> dynamicColor(platform::Color light,
                                                std::optional<platform::Color> dark) {
    return platform::NSColor::make(
        std::nullopt, [light, dark](const platform::NSAppearance& appearance) {
            return platform::NSColor::make(dark && isDarkMode(appearance) ? *dark : light);
        });
}

void NoClippingView::awakeFromNib() {
    setWantsLayer(true);
    layer()->setMasksToBounds(false);
}

} // namespace zestrel
