#include "platform/appkit/CGPath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zestrel::platform {

namespace {

// How far the flattened lines may stray from a curve, in points.
constexpr CGFloat kFlatness = 0.1;
// The length of a control handle that makes a cubic curve follow a quarter ellipse.
constexpr CGFloat kQuarterArc = 0.5522847498307936;

CGPoint lerp(CGPoint a, CGPoint b, CGFloat t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

CGFloat distance(CGPoint a, CGPoint b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

void appendCurve(std::vector<CGPoint>& out, CGPoint p0, CGPoint p1, CGPoint p2, CGPoint p3) {
    // The second difference bounds how far the chords stray from the curve.
    const CGFloat dd = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    const auto steps =
        static_cast<int>(std::clamp(std::ceil(std::sqrt(3 * dd / (4 * kFlatness))), 1.0, 1000.0));
    for (int i = 1; i <= steps; ++i) {
        const CGFloat t = static_cast<CGFloat>(i) / steps;
        const CGPoint a = lerp(p0, p1, t), b = lerp(p1, p2, t), c = lerp(p2, p3, t);
        out.push_back(lerp(lerp(a, b, t), lerp(b, c, t), t));
    }
}

struct Subpath {
    CGPoint start;
    std::vector<CGPath::Element> segments;
    bool closed = false;
};

std::vector<Subpath> subpaths(const std::vector<CGPath::Element>& elements) {
    std::vector<Subpath> result;
    for (const auto& element : elements) {
        switch (element.type) {
        case CGPath::ElementType::moveToPoint:
            result.push_back(Subpath{element.points[0], {}, false});
            break;
        case CGPath::ElementType::addLineToPoint:
        case CGPath::ElementType::addCurveToPoint:
            result.back().segments.push_back(element);
            break;
        case CGPath::ElementType::closeSubpath:
            result.back().closed = true;
            break;
        }
    }
    return result;
}

CGPoint endPoint(const CGPath::Element& element) {
    return element.type == CGPath::ElementType::addCurveToPoint ? element.points[2]
                                                                : element.points[0];
}

} // namespace

void CGPath::moveTo(CGPoint point) {
    elements_.push_back(Element{ElementType::moveToPoint, {point}});
}

void CGPath::addLineTo(CGPoint point) {
    if (elements_.empty() || elements_.back().type == ElementType::closeSubpath) {
        moveTo(point);
        return;
    }
    elements_.push_back(Element{ElementType::addLineToPoint, {point}});
}

void CGPath::addCurveTo(CGPoint end, CGPoint control1, CGPoint control2) {
    if (elements_.empty() || elements_.back().type == ElementType::closeSubpath) {
        moveTo(end);
        return;
    }
    elements_.push_back(Element{ElementType::addCurveToPoint, {control1, control2, end}});
}

void CGPath::closeSubpath() {
    if (!elements_.empty() && elements_.back().type != ElementType::closeSubpath) {
        elements_.push_back(Element{ElementType::closeSubpath, {}});
    }
}

void CGPath::addRoundedRect(CGRect rect, CGFloat xRadius, CGFloat yRadius) {
    const CGFloat minX = rect.origin.x, minY = rect.origin.y;
    const CGFloat maxX = minX + rect.size.width, maxY = minY + rect.size.height;
    const CGFloat rx = std::clamp(xRadius, 0.0, rect.size.width / 2);
    const CGFloat ry = std::clamp(yRadius, 0.0, rect.size.height / 2);
    const CGFloat kx = rx * kQuarterArc, ky = ry * kQuarterArc;
    moveTo({minX + rx, minY});
    addLineTo({maxX - rx, minY});
    addCurveTo({maxX, minY + ry}, {maxX - rx + kx, minY}, {maxX, minY + ry - ky});
    addLineTo({maxX, maxY - ry});
    addCurveTo({maxX - rx, maxY}, {maxX, maxY - ry + ky}, {maxX - rx + kx, maxY});
    addLineTo({minX + rx, maxY});
    addCurveTo({minX, maxY - ry}, {minX + rx - kx, maxY}, {minX, maxY - ry + ky});
    addLineTo({minX, minY + ry});
    addCurveTo({minX + rx, minY}, {minX, minY + ry - ky}, {minX + rx - kx, minY});
    closeSubpath();
}

CGPath CGPath::reversed() const {
    CGPath result;
    for (const auto& subpath : subpaths(elements_)) {
        std::vector<CGPoint> ends{subpath.start};
        for (const auto& segment : subpath.segments) {
            ends.push_back(endPoint(segment));
        }
        result.moveTo(ends.back());
        for (std::size_t i = subpath.segments.size(); i-- > 0;) {
            const auto& segment = subpath.segments[i];
            if (segment.type == ElementType::addCurveToPoint) {
                result.addCurveTo(ends[i], segment.points[1], segment.points[0]);
            } else {
                result.addLineTo(ends[i]);
            }
        }
        if (subpath.closed) {
            result.closeSubpath();
        }
    }
    return result;
}

std::vector<CGPath::Polyline> CGPath::flattened() const {
    std::vector<Polyline> result;
    for (const auto& subpath : subpaths(elements_)) {
        Polyline line{{subpath.start}, subpath.closed};
        for (const auto& segment : subpath.segments) {
            if (segment.type == ElementType::addCurveToPoint) {
                appendCurve(line.points, line.points.back(), segment.points[0], segment.points[1],
                            segment.points[2]);
            } else {
                line.points.push_back(segment.points[0]);
            }
        }
        result.push_back(std::move(line));
    }
    return result;
}

CGRect CGPath::boundingBox() const {
    CGFloat minX = std::numeric_limits<CGFloat>::infinity(), minY = minX;
    CGFloat maxX = -minX, maxY = -minX;
    for (const auto& line : flattened()) {
        for (const auto& p : line.points) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    }
    if (minX > maxX) {
        return CGRect{};
    }
    return CGRect{minX, minY, maxX - minX, maxY - minY};
}

std::vector<CGPath::Polyline> trimmed(const std::vector<CGPath::Polyline>& lines,
                                      CGFloat fraction) {
    if (fraction >= 1) {
        return lines;
    }
    // A closed line runs back to its start, so its closing side counts.
    auto withClosingSide = [](CGPath::Polyline line) {
        if (line.closed && !line.points.empty()) {
            line.points.push_back(line.points.front());
            line.closed = false;
        }
        return line;
    };
    CGFloat total = 0;
    for (const auto& line : lines) {
        const auto open = withClosingSide(line);
        for (std::size_t i = 1; i < open.points.size(); ++i) {
            total += distance(open.points[i - 1], open.points[i]);
        }
    }
    std::vector<CGPath::Polyline> result;
    CGFloat left = std::max(0.0, fraction) * total;
    if (left <= 0) {
        return result;
    }
    for (const auto& line : lines) {
        const auto open = withClosingSide(line);
        if (open.points.empty()) {
            continue;
        }
        CGPath::Polyline kept{{open.points.front()}, false};
        for (std::size_t i = 1; i < open.points.size() && left > 0; ++i) {
            const CGFloat length = distance(open.points[i - 1], open.points[i]);
            if (length <= left) {
                kept.points.push_back(open.points[i]);
                left -= length;
            } else {
                kept.points.push_back(lerp(open.points[i - 1], open.points[i], left / length));
                left = 0;
            }
        }
        result.push_back(std::move(kept));
        if (left <= 0) {
            break;
        }
    }
    return result;
}

} // namespace zestrel::platform
