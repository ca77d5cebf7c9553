#include "platform/appkit/CGContext.h"

#include <algorithm>
#include <cmath>

namespace zestrel::platform {

namespace {

// Vertical samples per pixel row when filling; across a row coverage is exact.
constexpr int kSubrows = 4;

// The built-in face: 5 × 7 dots in a cell 0.6 of the size wide; the dots span half the size
// across and the cap height up.
constexpr CGFloat kAdvance = 0.6;
constexpr CGFloat kDotWidth = 0.1;
constexpr CGFloat kCapHeight = 0.72;

struct Glyph {
    char32_t character;
    const char* rows[7];
};

// clang-format off
constexpr Glyph kGlyphs[] = {
    {U'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {U'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {U'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {U'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {U'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {U'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {U'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {U'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {U'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {U'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {U'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {U'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {U'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {U'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {U'\u2026', {".....", ".....", ".....", ".....", ".....", ".....", "#.#.#"}},
    {U' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};
constexpr Glyph kMissingGlyph = {
    0, {"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"}};
// clang-format on

const Glyph& glyphFor(char32_t character) {
    for (const auto& glyph : kGlyphs) {
        if (glyph.character == character) {
            return glyph;
        }
    }
    return kMissingGlyph;
}

// The code points of UTF-8 text; a malformed byte stands for itself.
std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> result;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 1;
        if (length == 1 || i + length > text.size()) {
            result.push_back(lead);
            ++i;
            continue;
        }
        char32_t value = lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        result.push_back(value);
        i += length;
    }
    return result;
}

float clamp01(CGFloat value) {
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

} // namespace

CGContext::CGContext(std::size_t width, std::size_t height)
    : width_(width), height_(height), pixels_(width * height * 4, 0.0F) {}

void CGContext::saveGState() {
    saved_.push_back(state_);
}

void CGContext::restoreGState() {
    if (!saved_.empty()) {
        state_ = saved_.back();
        saved_.pop_back();
    }
}

void CGContext::translateBy(CGFloat dx, CGFloat dy) {
    state_.ctm = state_.ctm.after(CGAffineTransform::translation(dx, dy));
}

void CGContext::scaleBy(CGFloat sx, CGFloat sy) {
    state_.ctm = state_.ctm.after(CGAffineTransform::scale(sx, sy));
}

void CGContext::concatCTM(const CGAffineTransform& transform) {
    state_.ctm = state_.ctm.after(transform);
}

void CGContext::setShadow(CGSize offset, std::optional<Color> color) {
    if (!color || color->opacity <= 0) {
        state_.shadow.reset();
        return;
    }
    state_.shadow = Shadow{offset, *color};
}

std::vector<CGPath::Polyline> CGContext::toDevice(std::vector<CGPath::Polyline> lines) const {
    for (auto& line : lines) {
        for (auto& point : line.points) {
            point = state_.ctm.apply(point);
        }
    }
    return lines;
}

CGContext::Mask CGContext::fillMask(const std::vector<CGPath::Polyline>& lines) const {
    Mask mask(width_ * height_, 0.0F);
    struct Edge {
        CGPoint from, to;
    };
    std::vector<Edge> edges;
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.points.size(); ++i) {
            const auto& from = line.points[i];
            const auto& to = line.points[(i + 1) % line.points.size()];
            if (from.y != to.y) {
                edges.push_back({from, to});
            }
        }
    }
    struct Crossing {
        CGFloat x;
        int winding;
    };
    std::vector<Crossing> crossings;
    for (std::size_t row = 0; row < height_; ++row) {
        float* coverage = &mask[(height_ - 1 - row) * width_];
        for (int sub = 0; sub < kSubrows; ++sub) {
            const CGFloat y = static_cast<CGFloat>(row) + (sub + 0.5) / kSubrows;
            crossings.clear();
            for (const auto& edge : edges) {
                const bool up = edge.from.y < edge.to.y;
                const CGFloat low = up ? edge.from.y : edge.to.y;
                const CGFloat high = up ? edge.to.y : edge.from.y;
                if (y < low || y >= high) {
                    continue;
                }
                const CGFloat t = (y - edge.from.y) / (edge.to.y - edge.from.y);
                crossings.push_back({edge.from.x + t * (edge.to.x - edge.from.x), up ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end(),
                      [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
            int winding = 0;
            for (std::size_t k = 0; k + 1 < crossings.size(); ++k) {
                winding += crossings[k].winding;
                if (winding == 0) {
                    continue;
                }
                const CGFloat x0 = std::max(0.0, crossings[k].x);
                const CGFloat x1 = std::min(static_cast<CGFloat>(width_), crossings[k + 1].x);
                for (auto px = static_cast<std::size_t>(std::max(0.0, std::floor(x0)));
                     static_cast<CGFloat>(px) < x1; ++px) {
                    const CGFloat overlap = std::min(x1, static_cast<CGFloat>(px + 1)) -
                                            std::max(x0, static_cast<CGFloat>(px));
                    if (overlap > 0) {
                        coverage[px] += static_cast<float>(overlap / kSubrows);
                    }
                }
            }
        }
    }
    for (auto& value : mask) {
        value = std::min(value, 1.0F);
    }
    return mask;
}

CGContext::Mask CGContext::strokeMask(const std::vector<CGPath::Polyline>& lines, CGFloat halfWidth,
                                      LineCap cap) const {
    // The stroke as a union of shapes all wound the same way, so that filling them by
    // non-zero winding covers each pixel once: a band along each segment, a bevel at each
    // bend, and the caps.
    std::vector<CGPath::Polyline> shapes;
    auto addShape = [&shapes](std::vector<CGPoint> points) {
        CGFloat area = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto& p = points[i];
            const auto& q = points[(i + 1) % points.size()];
            area += p.x * q.y - q.x * p.y;
        }
        if (area < 0) {
            std::reverse(points.begin(), points.end());
        }
        shapes.push_back({std::move(points), true});
    };
    auto addDisc = [&](CGPoint center) {
        constexpr int kSides = 32;
        std::vector<CGPoint> disc;
        for (int i = 0; i < kSides; ++i) {
            const CGFloat angle = 2 * 3.141592653589793 * i / kSides;
            disc.push_back(
                {center.x + halfWidth * std::cos(angle), center.y + halfWidth * std::sin(angle)});
        }
        addShape(std::move(disc));
    };
    for (const auto& line : lines) {
        std::vector<CGPoint> points;
        for (const auto& p : line.points) {
            if (points.empty() || points.back() != p) {
                points.push_back(p);
            }
        }
        const bool closed = line.closed && points.size() > 2;
        if (closed && points.back() != points.front()) {
            points.push_back(points.front());
        }
        if (points.empty()) {
            continue;
        }
        if (points.size() == 1) {
            const CGPoint c = points.front();
            if (cap == LineCap::round) {
                addDisc(c);
            } else if (cap == LineCap::square) {
                addShape({{c.x - halfWidth, c.y - halfWidth},
                          {c.x + halfWidth, c.y - halfWidth},
                          {c.x + halfWidth, c.y + halfWidth},
                          {c.x - halfWidth, c.y + halfWidth}});
            }
            continue;
        }
        std::vector<CGPoint> normals;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            CGPoint a = points[i], b = points[i + 1];
            const CGFloat length = std::hypot(b.x - a.x, b.y - a.y);
            const CGPoint dir{(b.x - a.x) / length, (b.y - a.y) / length};
            const CGPoint n{-dir.y * halfWidth, dir.x * halfWidth};
            normals.push_back(n);
            if (!closed && cap == LineCap::square) {
                if (i == 0) {
                    a = {a.x - dir.x * halfWidth, a.y - dir.y * halfWidth};
                }
                if (i + 2 == points.size()) {
                    b = {b.x + dir.x * halfWidth, b.y + dir.y * halfWidth};
                }
            }
            addShape({{a.x + n.x, a.y + n.y},
                      {a.x - n.x, a.y - n.y},
                      {b.x - n.x, b.y - n.y},
                      {b.x + n.x, b.y + n.y}});
        }
        auto bevel = [&](CGPoint v, CGPoint n1, CGPoint n2) {
            addShape({v, {v.x + n1.x, v.y + n1.y}, {v.x + n2.x, v.y + n2.y}});
            addShape({v, {v.x - n1.x, v.y - n1.y}, {v.x - n2.x, v.y - n2.y}});
        };
        for (std::size_t i = 1; i < normals.size(); ++i) {
            bevel(points[i], normals[i - 1], normals[i]);
        }
        if (closed) {
            bevel(points.front(), normals.back(), normals.front());
        } else if (cap == LineCap::round) {
            addDisc(points.front());
            addDisc(points.back());
        }
    }
    return fillMask(shapes);
}

void CGContext::blend(std::size_t index, const float (&source)[4]) {
    float* pixel = &pixels_[index * 4];
    const float keep = 1.0F - source[3];
    for (int channel = 0; channel < 4; ++channel) {
        pixel[channel] = source[channel] + pixel[channel] * keep;
    }
}

void CGContext::paint(const Mask& mask, const Color& color, CGFloat dx, CGFloat dy) {
    const auto alpha = static_cast<float>(std::clamp(color.opacity, 0.0, 1.0));
    const float rgb[3] = {clamp01(color.red), clamp01(color.green), clamp01(color.blue)};
    const auto shiftX = static_cast<long>(std::lround(dx));
    const auto shiftY = static_cast<long>(std::lround(-dy)); // rows count downwards
    for (std::size_t row = 0; row < height_; ++row) {
        const long sourceRow = static_cast<long>(row) - shiftY;
        if (sourceRow < 0 || sourceRow >= static_cast<long>(height_)) {
            continue;
        }
        for (std::size_t column = 0; column < width_; ++column) {
            const long sourceColumn = static_cast<long>(column) - shiftX;
            if (sourceColumn < 0 || sourceColumn >= static_cast<long>(width_)) {
                continue;
            }
            const float coverage = mask[static_cast<std::size_t>(sourceRow) * width_ +
                                        static_cast<std::size_t>(sourceColumn)];
            if (coverage <= 0) {
                continue;
            }
            const float a = alpha * coverage;
            const float source[4] = {rgb[0] * a, rgb[1] * a, rgb[2] * a, a};
            blend(row * width_ + column, source);
        }
    }
}

void CGContext::paintWithShadow(const Mask& mask, const Color& color) {
    if (state_.shadow) {
        paint(mask, state_.shadow->color, state_.shadow->offset.width,
              state_.shadow->offset.height);
    }
    paint(mask, color);
}

void CGContext::fillPath(const CGPath& path, const Color& color) {
    if (path.isEmpty() || width_ == 0 || height_ == 0) {
        return;
    }
    paintWithShadow(fillMask(toDevice(path.flattened())), color);
}

void CGContext::strokePath(const CGPath& path, const Color& color, CGFloat lineWidth, LineCap cap,
                           CGFloat strokeEnd) {
    if (path.isEmpty() || width_ == 0 || height_ == 0 || strokeEnd <= 0 || lineWidth <= 0) {
        return;
    }
    const auto& m = state_.ctm;
    const CGFloat scale = std::sqrt(std::abs(m.a * m.d - m.b * m.c));
    const auto lines = toDevice(trimmed(path.flattened(), strokeEnd));
    paintWithShadow(strokeMask(lines, lineWidth * scale / 2, cap), color);
}

void CGContext::drawImage(const CGImage& image, CGRect rect) {
    if (image.width == 0 || image.height == 0 ||
        image.rgba.size() != image.width * image.height * 4) {
        return;
    }
    // Where the image's top left and bottom right corners land.
    const CGPoint topLeft = state_.ctm.apply({rect.origin.x, rect.origin.y + rect.size.height});
    const CGPoint bottomRight = state_.ctm.apply({rect.origin.x + rect.size.width, rect.origin.y});
    const CGFloat spanX = bottomRight.x - topLeft.x;
    const CGFloat spanY = bottomRight.y - topLeft.y;
    if (spanX == 0 || spanY == 0) {
        return;
    }
    const bool smooth = state_.interpolation != InterpolationQuality::none;
    auto premultiplied = [&image](long x, long y, float(&out)[4]) {
        x = std::clamp(x, 0L, static_cast<long>(image.width) - 1);
        y = std::clamp(y, 0L, static_cast<long>(image.height) - 1);
        const auto pixel = image.pixel(static_cast<std::size_t>(x), static_cast<std::size_t>(y));
        const float a = pixel[3] / 255.0F;
        for (int c = 0; c < 3; ++c) {
            out[c] = pixel[c] / 255.0F * a;
        }
        out[3] = a;
    };
    const auto minX =
        static_cast<long>(std::max(0.0, std::floor(std::min(topLeft.x, bottomRight.x))));
    const auto maxX = std::min(static_cast<long>(width_),
                               static_cast<long>(std::ceil(std::max(topLeft.x, bottomRight.x))));
    const auto minY =
        static_cast<long>(std::max(0.0, std::floor(std::min(topLeft.y, bottomRight.y))));
    const auto maxY = std::min(static_cast<long>(height_),
                               static_cast<long>(std::ceil(std::max(topLeft.y, bottomRight.y))));
    for (long py = minY; py < maxY; ++py) {
        for (long px = minX; px < maxX; ++px) {
            const CGFloat u = (px + 0.5 - topLeft.x) / spanX;
            const CGFloat v = (py + 0.5 - topLeft.y) / spanY;
            if (u < 0 || u >= 1 || v < 0 || v >= 1) {
                continue;
            }
            float sample[4];
            const CGFloat sx = u * static_cast<CGFloat>(image.width);
            const CGFloat sy = v * static_cast<CGFloat>(image.height);
            if (!smooth) {
                premultiplied(static_cast<long>(sx), static_cast<long>(sy), sample);
            } else {
                const CGFloat fx = sx - 0.5, fy = sy - 0.5;
                const auto x0 = static_cast<long>(std::floor(fx));
                const auto y0 = static_cast<long>(std::floor(fy));
                const auto wx = static_cast<float>(fx - static_cast<CGFloat>(x0));
                const auto wy = static_cast<float>(fy - static_cast<CGFloat>(y0));
                float p00[4], p10[4], p01[4], p11[4];
                premultiplied(x0, y0, p00);
                premultiplied(x0 + 1, y0, p10);
                premultiplied(x0, y0 + 1, p01);
                premultiplied(x0 + 1, y0 + 1, p11);
                for (int c = 0; c < 4; ++c) {
                    sample[c] = (p00[c] * (1 - wx) + p10[c] * wx) * (1 - wy) +
                                (p01[c] * (1 - wx) + p11[c] * wx) * wy;
                }
            }
            blend((height_ - 1 - static_cast<std::size_t>(py)) * width_ +
                      static_cast<std::size_t>(px),
                  sample);
        }
    }
}

CGFloat CGContext::textWidth(std::string_view text, CGFloat fontSize) {
    return static_cast<CGFloat>(codePoints(text).size()) * kAdvance * fontSize;
}

void CGContext::showText(std::string_view text, CGPoint baselineStart, CGFloat fontSize,
                         const Color& color) {
    if (text.empty() || fontSize <= 0) {
        return;
    }
    texts_.emplace_back(text);
    const CGFloat dotWidth = kDotWidth * fontSize;
    const CGFloat dotHeight = kCapHeight * fontSize / 7;
    const CGFloat bearing = (kAdvance - 5 * kDotWidth) / 2 * fontSize;
    CGPath dots;
    CGFloat x = baselineStart.x;
    for (const char32_t character : codePoints(text)) {
        const Glyph& glyph = glyphFor(character);
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (glyph.rows[row][column] != '#') {
                    continue;
                }
                const CGFloat left = x + bearing + column * dotWidth;
                const CGFloat bottom = baselineStart.y + (6 - row) * dotHeight;
                dots.moveTo({left, bottom});
                dots.addLineTo({left + dotWidth, bottom});
                dots.addLineTo({left + dotWidth, bottom + dotHeight});
                dots.addLineTo({left, bottom + dotHeight});
                dots.closeSubpath();
            }
        }
        x += kAdvance * fontSize;
    }
    fillPath(dots, color);
}

CGImage CGContext::makeImage() const {
    CGImage image(width_, height_);
    for (std::size_t i = 0; i < width_ * height_; ++i) {
        const float* pixel = &pixels_[i * 4];
        const float a = std::clamp(pixel[3], 0.0F, 1.0F);
        for (int c = 0; c < 3; ++c) {
            const float straight = a > 0 ? std::clamp(pixel[c] / a, 0.0F, 1.0F) : 0.0F;
            image.rgba[i * 4 + static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>(std::lround(straight * 255));
        }
        image.rgba[i * 4 + 3] = static_cast<std::uint8_t>(std::lround(a * 255));
    }
    return image;
}

} // namespace zestrel::platform
