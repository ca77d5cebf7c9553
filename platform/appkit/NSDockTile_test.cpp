#include "platform/appkit/NSDockTile.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSBezierPath.h"
#include "platform/appkit/NSGraphicsContext.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSImageView.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

// Fills a square at the bottom left of its own coordinates.
class SquareView : public NSView {
public:
    using NSView::NSView;
    void draw(CGRect /*dirtyRect*/) override {
        NSBezierPath::withRect({0, 0, 10, 10})->fill(color);
    }
    NSColor color{1, 0, 0, 1};
};

class FlippedSquareView : public SquareView {
public:
    using SquareView::SquareView;
    bool isFlipped() const override { return true; }
};

class NSDockTileTest : public ::testing::Test {
protected:
    // The picture at a point of the tile's coordinates (y up).
    CGImage::Pixel at(double x, double y) {
        const auto& picture = tile->picture();
        return picture.pixel(static_cast<std::size_t>(x),
                             picture.height - 1 - static_cast<std::size_t>(y));
    }

    testing::TestEnvironment env;
    std::shared_ptr<NSDockTile> tile = NSApp().dockTile();
};

TEST_F(NSDockTileTest, ShowsTheApplicationIconUntilItHasAContentView) {
    EXPECT_EQ(tile->picture().width, 0U) << "nothing is drawn before the first display";
    tile->display();
    const auto icon = NSApp().applicationIconImage();
    ASSERT_TRUE(icon && icon->cgImage());
    EXPECT_EQ(icon->size(), CGSize({128, 128}));
    EXPECT_EQ(tile->picture(), *icon->cgImage());
    EXPECT_EQ(imageFromPNG(*tile->pngRepresentation()), tile->picture());

    auto custom = std::make_shared<NSImage>("Custom", CGSize{128, 128});
    custom->setCGImage(std::make_shared<const CGImage>(128, 128, CGImage::Pixel{0, 255, 0, 255}));
    NSApp().setApplicationIconImage(custom);
    tile->display();
    EXPECT_EQ(at(64, 64), CGImage::Pixel({0, 255, 0, 255}));
    NSApp().setApplicationIconImage(nullptr);
    EXPECT_EQ(NSApp().applicationIconImage()->name(), "NSApplicationIcon");
}

TEST_F(NSDockTileTest, DisplayDrawsTheContentViewSizedToTheTile) {
    auto content = std::make_shared<NSView>();
    auto square = std::make_shared<SquareView>(CGRect{20, 30, 40, 40});
    auto flipped = std::make_shared<FlippedSquareView>(CGRect{70, 70, 40, 40});
    auto hidden = std::make_shared<SquareView>(CGRect{0, 100, 20, 20});
    hidden->setHidden(true);
    content->addSubview(square);
    content->addSubview(flipped);
    content->addSubview(hidden);
    tile->setContentView(content);
    EXPECT_EQ(tile->displayCount(), 0U);

    tile->display();
    EXPECT_EQ(tile->displayCount(), 1U);
    EXPECT_EQ(content->frame(), CGRect(0, 0, 128, 128));
    EXPECT_EQ(at(25, 35), CGImage::Pixel({255, 0, 0, 255})) << "placed by its frame";
    EXPECT_EQ(at(15, 35)[3], 0);
    EXPECT_EQ(at(75, 105), CGImage::Pixel({255, 0, 0, 255}))
        << "a flipped view's origin is its top";
    EXPECT_EQ(at(75, 75)[3], 0);
    EXPECT_EQ(at(5, 105)[3], 0) << "hidden views are not drawn";

    // What the content shows changes only at the next display.
    square->color = NSColor(0, 0, 1, 1);
    EXPECT_EQ(at(25, 35), CGImage::Pixel({255, 0, 0, 255}));
    tile->display();
    EXPECT_EQ(at(25, 35), CGImage::Pixel({0, 0, 255, 255}));
}

TEST_F(NSDockTileTest, ImageViewShowsAnImageThatDrawsItself) {
    int draws = 0;
    auto image = NSImage::withDrawingHandler({64, 64}, false, [&draws](CGRect rect) {
        ++draws;
        NSBezierPath::withRect({0, 0, rect.size.width / 2, rect.size.height})
            ->fill(NSColor(1, 0, 0, 1));
        return true;
    });
    tile->setContentView(NSImageView::withImage(image));
    tile->display();
    EXPECT_EQ(draws, 1);
    // 64 points square, centred and not scaled up: from 32 to 96, its left half red.
    EXPECT_EQ(at(40, 64), CGImage::Pixel({255, 0, 0, 255}));
    EXPECT_EQ(at(70, 64)[3], 0);
    EXPECT_EQ(at(20, 64)[3], 0);
    tile->display();
    EXPECT_EQ(draws, 2) << "drawn afresh at every display";
}

TEST_F(NSDockTileTest, OutlineShowsTheBadgeLabelAndTheTextsOfThePicture) {
    class Label : public NSView {
    public:
        using NSView::NSView;
        void draw(CGRect /*dirtyRect*/) override {
            NSGraphicsContext::current()->cgContext().showText("42", {10, 10}, 20,
                                                               Color{0, 0, 0, 1});
        }
    };
    tile->setContentView(std::make_shared<Label>());
    tile->setBadgeLabel("3");
    tile->display();
    EXPECT_EQ(render(outline(*tile)), "dock tile \"3\"\n  view\n  text \"42\"\n");
}

} // namespace
} // namespace zestrel::platform
