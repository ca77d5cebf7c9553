#include "platform/appkit/NSView.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zestrel::platform {

namespace {

// (x, y) to (x, height − y): between a flipped and an unflipped space of that height.
CGAffineTransform flip(CGFloat height) {
    return CGAffineTransform{1, 0, 0, -1, 0, height};
}

// The rectangle two opposite corners span, whichever way a flip turned them.
CGRect spanning(CGPoint a, CGPoint b) {
    return CGRect{std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

void tellTrackingAreasChanged(NSView& view) {
    view.updateTrackingAreas();
    for (const auto& subview : view.subviews()) {
        tellTrackingAreasChanged(*subview);
    }
}

} // namespace

CGAffineTransform NSView::transformToSuperview() const {
    const auto parent = superview();
    const bool flips = isFlipped() != (parent && parent->isFlipped());
    if (const auto* scrollView = dynamic_cast<const NSScrollView*>(parent.get());
        scrollView && scrollView->documentView().get() == this) {
        const CGPoint position = scrollView->scrollPosition();
        const auto scrolled = CGAffineTransform::translation(-position.x, -position.y);
        return flips ? flip(scrollView->frame().size.height).after(scrolled) : scrolled;
    }
    const auto placed = CGAffineTransform::translation(frame_.origin.x, frame_.origin.y);
    return flips ? placed.after(flip(frame_.size.height)) : placed;
}

CGPoint NSView::convertPointToWindow(CGPoint point) const {
    for (const NSView* view = this; view; view = view->superview_.lock().get()) {
        point = view->transformToSuperview().apply(point);
    }
    return point;
}

CGRect NSView::convertRectToWindow(CGRect rect) const {
    return spanning(
        convertPointToWindow(rect.origin),
        convertPointToWindow({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height}));
}

CGPoint NSView::convertPointFromWindow(CGPoint point) const {
    std::vector<const NSView*> chain;
    for (const NSView* view = this; view; view = view->superview_.lock().get()) {
        chain.push_back(view);
    }
    for (auto view = chain.rbegin(); view != chain.rend(); ++view) {
        point = (*view)->transformToSuperview().inverted().apply(point);
    }
    return point;
}

CGPoint NSView::convertPoint(CGPoint point, const NSView* view) const {
    return convertPointFromWindow(view ? view->convertPointToWindow(point) : point);
}

CGRect NSView::convertRect(CGRect rect, const NSView* view) const {
    return spanning(
        convertPoint(rect.origin, view),
        convertPoint({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height}, view));
}

CGRect NSView::visibleRect() const {
    CGRect visible = bounds();
    for (auto ancestor = superview(); ancestor && !CGRectIsEmpty(visible);
         ancestor = ancestor->superview()) {
        visible = CGRectIntersection(visible, convertRect(ancestor->bounds(), ancestor.get()));
    }
    return CGRectIsEmpty(visible) ? CGRect{} : visible;
}

std::shared_ptr<NSScrollView> NSView::enclosingScrollView() const {
    for (auto ancestor = superview(); ancestor; ancestor = ancestor->superview()) {
        if (auto scrollView = std::dynamic_pointer_cast<NSScrollView>(ancestor)) {
            return scrollView;
        }
    }
    return nullptr;
}

void NSView::scroll(CGPoint point) {
    const auto scrollView = enclosingScrollView();
    const auto document = scrollView ? scrollView->documentView() : nullptr;
    if (document) {
        scrollView->scrollTo(document->convertPoint(point, this));
    }
}

bool NSView::scrollRectToVisible(CGRect rect) {
    const auto scrollView = enclosingScrollView();
    const auto document = scrollView ? scrollView->documentView() : nullptr;
    if (!document) {
        return false;
    }
    const CGRect target = document->convertRect(rect, this);
    const CGSize shown = scrollView->frame().size;
    const CGPoint from = scrollView->scrollPosition();
    // Along one axis: the target's leading edge when it does not fit or lies before what
    // shows, its trailing edge when it lies after, else no move.
    auto along = [](CGFloat position, CGFloat length, CGFloat start, CGFloat size,
                    bool leadingIsStart) {
        const CGFloat end = start + size;
        if (size > length) {
            return leadingIsStart ? start : end - length;
        }
        if (start < position) {
            return start;
        }
        if (end > position + length) {
            return end - length;
        }
        return position;
    };
    const CGPoint to{
        along(from.x, shown.width, target.origin.x, target.size.width, true),
        along(from.y, shown.height, target.origin.y, target.size.height, document->isFlipped())};
    scrollView->scrollTo(to);
    return scrollView->scrollPosition() != from;
}

CGRect NSScrollView::documentVisibleRect() const {
    const CGRect shown{scrollPosition_, frame().size};
    const auto document = documentView();
    return document ? CGRectIntersection(shown, document->bounds()) : shown;
}

void NSScrollView::scrollTo(CGPoint position) {
    const auto document = documentView();
    const CGSize shown = frame().size;
    const CGSize whole = document ? document->frame().size : CGSize{};
    const CGPoint clamped{std::clamp(position.x, 0.0, std::max(0.0, whole.width - shown.width)),
                          std::clamp(position.y, 0.0, std::max(0.0, whole.height - shown.height))};
    if (clamped == scrollPosition_) {
        return;
    }
    scrollPosition_ = clamped;
    if (document) {
        tellTrackingAreasChanged(*document);
    }
}

} // namespace zestrel::platform
