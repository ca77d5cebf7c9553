#pragma once

#include "platform/appkit/NSView.h"

namespace zestrel::platform {

// A progress bar or spinner. Nothing turns: it is animating between start and stop.
class NSProgressIndicator : public NSView {
public:
    enum class Style { bar = 0, spinning = 1 };

    using NSView::NSView;
    std::string className() const override { return "NSProgressIndicator"; }

    Style style() const { return style_; }
    void setStyle(Style style) { style_ = style; }
    bool isIndeterminate() const { return indeterminate_; }
    void setIndeterminate(bool indeterminate) { indeterminate_ = indeterminate; }
    bool usesThreadedAnimation() const { return threaded_; }
    void setUsesThreadedAnimation(bool threaded) { threaded_ = threaded; }
    bool isAnimating() const { return animating_; }
    void startAnimation() { animating_ = true; }
    void stopAnimation() { animating_ = false; }

    void describeOutline(OutlineNode& node) const override;

private:
    Style style_ = Style::bar;
    bool indeterminate_ = true;
    bool threaded_ = false;
    bool animating_ = false;
};

// Lays its arranged views out in a row or a column.
class NSStackView : public NSView {
public:
    enum class Orientation { horizontal = 0, vertical = 1 };
    enum class Alignment { leading, centerX, trailing, top, centerY, bottom };

    using NSView::NSView;
    std::string className() const override { return "NSStackView"; }

    static std::shared_ptr<NSStackView>
    withViews(const std::vector<std::shared_ptr<NSView>>& views);

    Orientation orientation() const { return orientation_; }
    void setOrientation(Orientation orientation) { orientation_ = orientation; }
    CGFloat spacing() const { return spacing_; }
    void setSpacing(CGFloat spacing) { spacing_ = spacing; }
    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment alignment) { alignment_ = alignment; }
    float huggingPriority(Orientation orientation) const {
        return hugging_[static_cast<int>(orientation)];
    }
    void setHuggingPriority(float priority, Orientation orientation) {
        hugging_[static_cast<int>(orientation)] = priority;
    }
    void addArrangedSubview(const std::shared_ptr<NSView>& view) { addSubview(view); }
    // Space kept between the stack's edges and its arranged views.
    struct EdgeInsets {
        CGFloat top = 0;
        CGFloat left = 0;
        CGFloat bottom = 0;
        CGFloat right = 0;
        bool operator==(const EdgeInsets&) const = default;
    };
    const EdgeInsets& edgeInsets() const { return edgeInsets_; }
    void setEdgeInsets(EdgeInsets insets) { edgeInsets_ = insets; }

    void describeOutline(OutlineNode& node) const override;

private:
    Orientation orientation_ = Orientation::horizontal;
    CGFloat spacing_ = 8;
    Alignment alignment_ = Alignment::centerY;
    float hugging_[2] = {250, 250};
    EdgeInsets edgeInsets_;
};

} // namespace zestrel::platform
