#pragma once

#include "platform/appkit/CGAffineTransform.h"
#include "platform/base/Geometry.h"

#include <array>
#include <vector>

namespace zestrel::platform {

// A path of straight and cubic segments in subpaths; a value. What the platform keeps of a
// Bézier path to fill, stroke or lay on a shape layer.
class CGPath {
public:
    enum class ElementType { moveToPoint, addLineToPoint, addCurveToPoint, closeSubpath };
    // A curve keeps its two control points and then its end point; a move or a line only
    // its point (in `points[0]`).
    struct Element {
        ElementType type;
        std::array<CGPoint, 3> points{};
        bool operator==(const Element&) const = default;
    };
    // Points along one subpath, curves broken into short lines, and whether it is closed.
    struct Polyline {
        std::vector<CGPoint> points;
        bool closed = false;
    };

    void moveTo(CGPoint point);
    // A segment from the current point; a path without one starts at `point`.
    void addLineTo(CGPoint point);
    void addCurveTo(CGPoint end, CGPoint control1, CGPoint control2);
    void closeSubpath();
    // A rectangle with corners rounded by ellipse quarters, anticlockwise from the bottom
    // edge; radii are limited to half the sides.
    void addRoundedRect(CGRect rect, CGFloat xRadius, CGFloat yRadius);

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // The same outline run backwards: each subpath starts where it ended.
    CGPath reversed() const;
    // The smallest rectangle holding every point the path passes through (control points
    // that the curves do not reach are left out); zero for an empty path.
    CGRect boundingBox() const;
    // The path as polylines whose points lie no farther than about a tenth of a point from
    // the curves.
    std::vector<Polyline> flattened() const;

    bool operator==(const CGPath&) const = default;

private:
    std::vector<Element> elements_;
};

// The first `fraction` (0…1) of the polylines' total length, as a shape layer's stroke end
// keeps it.
std::vector<CGPath::Polyline> trimmed(const std::vector<CGPath::Polyline>& lines, CGFloat fraction);

} // namespace zestrel::platform
