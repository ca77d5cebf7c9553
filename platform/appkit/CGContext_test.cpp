#include "platform/appkit/CGContext.h"

#include "platform/appkit/CAShapeLayer.h"
#include "platform/appkit/CATextLayer.h"
#include "platform/appkit/NSBezierPath.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

constexpr Color kRed{1, 0, 0, 1};
constexpr Color kBlue{0, 0, 1, 1};

CGPath rect(CGRect r) {
    CGPath path;
    path.moveTo(r.origin);
    path.addLineTo({r.origin.x + r.size.width, r.origin.y});
    path.addLineTo({r.origin.x + r.size.width, r.origin.y + r.size.height});
    path.addLineTo({r.origin.x, r.origin.y + r.size.height});
    path.closeSubpath();
    return path;
}

// The pixel at a point of user space (y up), for a context without a transform.
CGImage::Pixel at(const CGContext& context, double x, double y) {
    return context.makeImage().pixel(static_cast<std::size_t>(x),
                                     context.height() - 1 - static_cast<std::size_t>(y));
}

int alpha(const CGContext& context, double x, double y) {
    return at(context, x, y)[3];
}

TEST(CGContextTest, FillCoversTheInsideOnceAndSoftensPartPixels) {
    CGContext context(10, 10);
    const CGPath once = rect({2.5, 2.5, 5, 5});
    CGPath twice = once;
    for (const auto& element : once.elements()) {
        if (element.type == CGPath::ElementType::moveToPoint) {
            twice.moveTo(element.points[0]);
        } else if (element.type == CGPath::ElementType::addLineToPoint) {
            twice.addLineTo(element.points[0]);
        }
    }
    context.fillPath(twice, Color{1, 0, 0, 0.5});
    EXPECT_EQ(alpha(context, 5, 5), 128) << "overlapping parts are covered once";
    EXPECT_EQ(alpha(context, 2, 5), 64) << "half the pixel is inside";
    EXPECT_EQ(alpha(context, 1, 5), 0);

    // An inner outline wound the other way is a hole.
    CGContext holed(10, 10);
    CGPath ring = rect({1, 1, 8, 8});
    ring.moveTo({3, 3});
    ring.addLineTo({3, 7});
    ring.addLineTo({7, 7});
    ring.addLineTo({7, 3});
    ring.closeSubpath();
    holed.fillPath(ring, kRed);
    EXPECT_EQ(alpha(holed, 1.5, 5), 255);
    EXPECT_EQ(alpha(holed, 5, 5), 0);
}

TEST(CGContextTest, StrokeEndKeepsTheStartOfTheLengthWithItsCaps) {
    CGPath line;
    line.moveTo({10, 10});
    line.addLineTo({90, 10});
    CGContext butt(100, 20);
    butt.strokePath(line, kRed, 4, CGContext::LineCap::butt, 0.5);
    EXPECT_EQ(at(butt, 30, 10), CGImage::Pixel({255, 0, 0, 255}));
    EXPECT_EQ(alpha(butt, 49, 10), 255);
    EXPECT_EQ(alpha(butt, 51, 10), 0) << "cut at half the length";
    EXPECT_EQ(alpha(butt, 9, 10), 0) << "a butt end stops at the point";
    EXPECT_EQ(alpha(butt, 30, 13), 0) << "2 points either side";

    CGContext round(100, 20);
    round.strokePath(line, kRed, 4, CGContext::LineCap::round, 0.5);
    EXPECT_GT(alpha(round, 51, 10), 200) << "a round end reaches half the width further";
    EXPECT_GT(alpha(round, 8, 10), 200);

    CGContext none(100, 20);
    none.strokePath(line, kRed, 4, CGContext::LineCap::round, 0);
    EXPECT_EQ(alpha(none, 10, 10), 0) << "nothing of a stroke that ends at 0";
}

TEST(CGContextTest, WideStrokeAlongACurveSweepsAcrossItNotAroundIt) {
    // A half circle of radius 10 stroked 20 wide is a half disc: nothing on the other side
    // of the centre, however near.
    auto arc = NSBezierPath::make();
    arc->appendArc({50, 50}, 10, 90, 270, false);
    CGContext context(100, 100);
    context.strokePath(arc->cgPath(), kRed, 20, CGContext::LineCap::butt);
    EXPECT_EQ(alpha(context, 45, 50), 255);
    EXPECT_EQ(alpha(context, 55, 50), 0);
    EXPECT_EQ(alpha(context, 50, 65), 0) << "the butt end at the top is cut square";
    EXPECT_EQ(alpha(context, 45, 65), 255);
}

TEST(CGContextTest, ImageIsScaledWithItsTopRowAtTheTop) {
    CGImage image(2, 2);
    image.setPixel(0, 0, {255, 0, 0, 255});
    image.setPixel(1, 0, {255, 0, 0, 255});
    image.setPixel(0, 1, {0, 0, 255, 255});
    image.setPixel(1, 1, {0, 0, 255, 255});
    CGContext context(20, 20);
    context.setInterpolationQuality(CGContext::InterpolationQuality::none);
    context.translateBy(10, 0);
    context.drawImage(image, {0, 0, 10, 20});
    EXPECT_EQ(at(context, 15, 15), CGImage::Pixel({255, 0, 0, 255}));
    EXPECT_EQ(at(context, 15, 5), CGImage::Pixel({0, 0, 255, 255}));
    EXPECT_EQ(alpha(context, 5, 15), 0) << "drawn where the transform puts it";

    CGContext smooth(20, 20);
    smooth.drawImage(image, {0, 0, 20, 20});
    const auto middle = at(smooth, 10, 10);
    EXPECT_GT(middle[0], 0);
    EXPECT_GT(middle[2], 0) << "smoothing blends the rows where they meet";
}

TEST(CGContextTest, ShadowFallsUnderTheShapeMovedByItsOffset) {
    CGContext context(20, 20);
    context.saveGState();
    context.setShadow({3, -3}, Color{0, 0, 0, 0.5});
    context.fillPath(rect({5, 5, 5, 5}), kBlue);
    context.restoreGState();
    context.fillPath(rect({15, 15, 2, 2}), kBlue);
    EXPECT_EQ(at(context, 7, 7), CGImage::Pixel({0, 0, 255, 255}));
    EXPECT_EQ(at(context, 12, 3), CGImage::Pixel({0, 0, 0, 128})) << "right of and below it";
    EXPECT_EQ(alpha(context, 4, 7), 0);
    EXPECT_EQ(alpha(context, 18, 13), 0) << "restoring the state ends the shadow";
}

TEST(CGContextTest, TextIsKeptAndDrawnInTheBuiltInFace) {
    CGContext context(40, 40);
    context.showText("8", {10, 10}, 20, kRed);
    context.showText("", {0, 0}, 20, kRed);
    context.showText("hidden", {0, 0}, 0, kRed);
    EXPECT_EQ(context.drawnTexts(), std::vector<std::string>{"8"});
    // An 8's middle bar crosses its cell halfway up the cap height.
    EXPECT_EQ(alpha(context, 10 + 0.6 * 20 / 2, 10 + 0.72 * 20 / 2), 255);
    EXPECT_EQ(alpha(context, 10 + 0.6 * 20 / 2, 10 + 0.72 * 20 * 0.3), 0) << "the lower hole";
    EXPECT_EQ(CGContext::textWidth("-9k+", 10), 24);
    EXPECT_EQ(CGContext::textWidth("\u2026", 10), 6) << "one character, three bytes";
}

TEST(CGContextTest, LayersRenderInTheirOwnSpaceAndSublayersWhereTheirFramesSay) {
    auto parent = std::make_shared<CAShapeLayer>();
    parent->setPath(rect({0, 0, 4, 4}));
    parent->setFillColor(kBlue);
    auto child = std::make_shared<CAShapeLayer>();
    child->setBounds({100, 100, 4, 4});
    child->setPath(rect({100, 100, 4, 4}));
    child->setFillColor(kRed);
    child->setFrame({10, 10, 4, 4});
    parent->addSublayer(child);
    parent->setPosition({50, 50}); // the layer rendered is drawn where its own space says

    CGContext context(20, 20);
    parent->render(context);
    EXPECT_EQ(at(context, 2, 2), CGImage::Pixel({0, 0, 255, 255}));
    EXPECT_EQ(at(context, 12, 12), CGImage::Pixel({255, 0, 0, 255}));
    EXPECT_EQ(alpha(context, 8, 8), 0);

    // A stroke needs a colour; a fill is black until told otherwise.
    auto outline = std::make_shared<CAShapeLayer>();
    outline->setPath(rect({2, 2, 16, 16}));
    outline->setFillColor(std::nullopt);
    CGContext empty(20, 20);
    outline->render(empty);
    EXPECT_EQ(alpha(empty, 2, 10), 0);
    outline->setStrokeColor(kRed);
    outline->setLineWidth(2);
    outline->render(empty);
    EXPECT_EQ(alpha(empty, 2, 10), 255);
    EXPECT_EQ(alpha(empty, 10, 10), 0);
}

TEST(CGContextTest, TextLayerTopAlignsCentresAndCutsItsLine) {
    CATextLayer text;
    text.setBounds({0, 0, 30, 20});
    text.setFontSize(10);
    text.setForegroundColor(kRed);
    text.setString("11");
    text.setAlignmentMode(CATextLayer::AlignmentMode::center);
    CGContext context(30, 20);
    text.render(context);
    // Two characters 6 wide in the middle of 30: from 9 to 21; the line's top at the top.
    EXPECT_EQ(alpha(context, 8, 15), 0);
    EXPECT_GT(alpha(context, 12, 14), 100) << "the first 1's stem, half a point off the pixel grid";
    EXPECT_EQ(alpha(context, 15, 3), 0) << "nothing low in the layer";

    text.setString("123456");
    text.setTruncationMode(CATextLayer::TruncationMode::end);
    CGContext cut(30, 20);
    text.render(cut);
    EXPECT_EQ(cut.drawnTexts(), std::vector<std::string>{"1234\u2026"});
}

} // namespace
} // namespace zestrel::platform
