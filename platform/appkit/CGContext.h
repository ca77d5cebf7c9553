#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/appkit/CGPath.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Geometry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// A bitmap to draw into: RGBA pixels, user space with its origin at the bottom left and one
// pixel a point until the transform says otherwise. Fills and strokes are anti-aliased.
// Shadows fall sharp (no blur is modelled) and nothing clips. Text is drawn in one built-in
// face of digits, signs and a few letters (any other character shows as a box); the texts
// drawn are kept, so the picture can be read back as words. Used on one thread at a time.
class CGContext {
public:
    enum class InterpolationQuality { defaultQuality = 0, none = 1, low = 2, high = 3, medium = 4 };
    enum class LineCap { butt = 0, round = 1, square = 2 };

    // A transparent bitmap; a side of 0 draws nothing.
    CGContext(std::size_t width, std::size_t height);

    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }

    // The graphics state: the transform, the interpolation quality and the shadow.
    void saveGState();
    // Nothing when no state was saved.
    void restoreGState();
    void translateBy(CGFloat dx, CGFloat dy);
    void scaleBy(CGFloat sx, CGFloat sy);
    // User space becomes `transform`'s source: points are mapped by it first.
    void concatCTM(const CGAffineTransform& transform);
    const CGAffineTransform& ctm() const { return state_.ctm; }
    InterpolationQuality interpolationQuality() const { return state_.interpolation; }
    void setInterpolationQuality(InterpolationQuality quality) { state_.interpolation = quality; }
    // What is filled or stroked afterwards casts a shadow of `color` moved by `offset` (in
    // pixels, y up); no colour, or a clear one, casts none.
    void setShadow(CGSize offset, std::optional<Color> color);

    // Fills the inside of the path (non-zero winding; open subpaths are closed).
    void fillPath(const CGPath& path, const Color& color);
    // Strokes the first `strokeEnd` (0…1) of the path's length; bends are bevelled.
    void strokePath(const CGPath& path, const Color& color, CGFloat lineWidth, LineCap cap,
                    CGFloat strokeEnd = 1);
    // Draws the bitmap scaled into the rectangle, its top row at the rectangle's top;
    // smoothed unless the interpolation quality is none.
    void drawImage(const CGImage& image, CGRect rect);
    // Text on one line from the baseline's start, in the built-in face.
    void showText(std::string_view text, CGPoint baselineStart, CGFloat fontSize,
                  const Color& color);
    // The width the text takes at the size: the same advance for every character.
    static CGFloat textWidth(std::string_view text, CGFloat fontSize);

    // The pixels drawn so far.
    CGImage makeImage() const;
    // The texts drawn so far, in order; empty ones and ones drawn at size 0 are not kept.
    const std::vector<std::string>& drawnTexts() const { return texts_; }

private:
    struct Shadow {
        CGSize offset;
        Color color;
    };
    struct State {
        CGAffineTransform ctm;
        InterpolationQuality interpolation = InterpolationQuality::defaultQuality;
        std::optional<Shadow> shadow;
    };

    // Coverage of each pixel (0…1), rows from the top.
    using Mask = std::vector<float>;
    Mask fillMask(const std::vector<CGPath::Polyline>& lines) const;
    Mask strokeMask(const std::vector<CGPath::Polyline>& lines, CGFloat halfWidth,
                    LineCap cap) const;
    std::vector<CGPath::Polyline> toDevice(std::vector<CGPath::Polyline> lines) const;
    // Paints `color` through the mask moved by (dx, dy) pixels, y up.
    void paint(const Mask& mask, const Color& color, CGFloat dx = 0, CGFloat dy = 0);
    void paintWithShadow(const Mask& mask, const Color& color);
    void blend(std::size_t index, const float (&premultiplied)[4]);

    std::size_t width_;
    std::size_t height_;
    std::vector<float> pixels_; // premultiplied RGBA, rows from the top
    State state_;
    std::vector<State> saved_;
    std::vector<std::string> texts_;
};

} // namespace zestrel::platform
