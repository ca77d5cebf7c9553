#pragma once

#include "platform/appkit/CGContext.h"
#include "platform/base/Value.h"

#include <string>

namespace zestrel::platform {

class NSView;

// How images are smoothed when drawn scaled.
enum class NSImageInterpolation {
    defaultInterpolation = 0,
    none = 1,
    low = 2,
    high = 3,
    medium = 4
};

// AppKit's drawing destination around a bitmap context: what `NSGraphicsContext.current`
// answers while views and images draw. Not owned: it lives on the stack of whoever draws,
// and is current on the drawing thread for the life of a `Scope`.
class NSGraphicsContext final : public NSObject {
public:
    NSGraphicsContext(CGContext& context, bool flipped) : context_(&context), flipped_(flipped) {}
    std::string className() const override { return "NSGraphicsContext"; }

    // The context drawing goes to on this thread; null when nothing is being drawn.
    static NSGraphicsContext* current();

    CGContext& cgContext() const { return *context_; }
    bool isFlipped() const { return flipped_; }
    NSImageInterpolation imageInterpolation() const {
        return static_cast<NSImageInterpolation>(context_->interpolationQuality());
    }
    void setImageInterpolation(NSImageInterpolation interpolation) {
        context_->setInterpolationQuality(
            static_cast<CGContext::InterpolationQuality>(interpolation));
    }

    // Makes the context current until the scope ends, then the one before again.
    class Scope {
    public:
        explicit Scope(NSGraphicsContext& context);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        NSGraphicsContext* previous_;
    };

private:
    CGContext* context_;
    bool flipped_;
};

// Draws the view, placed as in its superview (or window), and then its subviews into the
// bitmap; hidden views and what is inside them are left out.
void drawHierarchy(NSView& view, CGContext& context);

} // namespace zestrel::platform
