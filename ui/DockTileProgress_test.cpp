#include "ui/DockTileProgress.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSBezierPath.h"
#include "platform/appkit/NSDockTile.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/TextOutline.h"
#include "platform/testing/TestEnvironment.h"
#include "ui/DockTileLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace zestrel {
namespace {

using namespace platform;
using Pixel = CGImage::Pixel;

constexpr Pixel kRed{255, 0, 0, 255};
constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Pixel kBadgeGround{240, 245, 255, 255};
constexpr Pixel kBadgeText{59, 59, 61, 255};

bool near(Pixel a, Pixel b, int tolerance = 2) {
    for (int c = 0; c < 4; ++c) {
        if (std::abs(a[c] - b[c]) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string describe(Pixel p) {
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
           ", " + std::to_string(p[3]) + ")";
}

class DockTileProgressTest : public ::testing::Test {
protected:
    std::shared_ptr<NSDockTile> tile() { return NSApp().dockTile(); }
    // The tile's last picture at a point of the icon's unflipped coordinates.
    Pixel at(double x, double y) {
        const auto& picture = tile()->picture();
        return picture.pixel(static_cast<std::size_t>(x),
                             picture.height - 1 - static_cast<std::size_t>(y));
    }
    Pixel icon(double x, double y) {
        const auto& bitmap = *NSApp().applicationIconImage()->cgImage();
        return bitmap.pixel(static_cast<std::size_t>(x),
                            bitmap.height - 1 - static_cast<std::size_t>(y));
    }
    bool showsPlainIcon() {
        const auto& picture = tile()->picture();
        const auto& bitmap = *NSApp().applicationIconImage()->cgImage();
        if (picture.width != bitmap.width || picture.height != bitmap.height) {
            return false;
        }
        for (std::size_t y = 0; y < picture.height; ++y) {
            for (std::size_t x = 0; x < picture.width; ++x) {
                if (!near(picture.pixel(x, y), bitmap.pixel(x, y), 1)) {
                    return false;
                }
            }
        }
        return true;
    }
    // A point of the ring of that radius around the centre, at an angle in degrees.
    static CGPoint onRing(CGPoint center, double radius, double degrees) {
        const double radians = degrees * std::numbers::pi / 180;
        return {center.x + radius * std::cos(radians), center.y + radius * std::sin(radians)};
    }
    std::size_t displays() { return tile()->displayCount(); }

    testing::TestEnvironment env;
    std::shared_ptr<NSColor> red = std::make_shared<NSColor>(1, 0, 0, 1);
};

// The badge of a 128-point icon: a radius of 128 ÷ 4.8, 4 points in from the corner.
constexpr double kBadgeRadius = 128 / 4.8;
constexpr CGPoint kBadgeCenter{128 - kBadgeRadius - 4, kBadgeRadius + 4};

TEST_F(DockTileProgressTest, BarFillsTheDoneFractionInWhiteOverADarkGroove) {
    DockTileProgress::setProgress(0.5);
    EXPECT_EQ(at(30, 25), kWhite) << "the done half";
    const Pixel groove = at(100, 25);
    EXPECT_LT(groove[0] + groove[1] + groove[2], 3 * 70) << describe(groove);
    EXPECT_EQ(at(64, 40), icon(64, 40)) << "the bar is 10 points high from 20 up";
    EXPECT_EQ(at(64, 15), icon(64, 15));

    DockTileProgress::setProgress(0.75);
    EXPECT_EQ(at(90, 25), kWhite);
    EXPECT_EQ(at(64, 64), icon(64, 64));
}

TEST_F(DockTileProgressTest, SquircleRingRunsUpTheLeftSideFromTheBottomMiddle) {
    DockTileProgress::setStyle(DockTileProgress::Squircle{std::nullopt, red});
    DockTileProgress::setProgress(0.5);
    // Inset by 14.4 only: the ring's left side runs along x = 14.4.
    EXPECT_TRUE(near(at(14.4, 64), kRed)) << describe(at(14.4, 64));
    EXPECT_TRUE(near(at(64, 14.4), kRed)) << "it starts at the bottom middle";
    EXPECT_TRUE(near(at(40, 113.6), kRed)) << "and has reached the top by half";
    EXPECT_EQ(at(113.6, 64), icon(113.6, 64)) << "the right side is still to come";
    EXPECT_EQ(at(90, 14.4), icon(90, 14.4));

    DockTileProgress::setStyle(DockTileProgress::Squircle{10.0, red});
    DockTileProgress::setProgress(0.3);
    EXPECT_TRUE(near(at(24.4, 64), kRed)) << "a style inset goes on top of 14.4";
    EXPECT_EQ(at(14.4, 64), icon(14.4, 64));
}

TEST_F(DockTileProgressTest, CircleRingGoesAnticlockwiseForItsFraction) {
    DockTileProgress::setStyle(DockTileProgress::Circle{50, red});
    DockTileProgress::setProgress(0.5);
    const CGPoint center{64, 64};
    for (const double degrees : {130.0, 180.0, 270.0}) {
        const CGPoint p = onRing(center, 50, degrees);
        EXPECT_TRUE(near(at(p.x, p.y), kRed)) << degrees << "° " << describe(at(p.x, p.y));
    }
    for (const double degrees : {0.0, 330.0, 60.0}) {
        const CGPoint p = onRing(center, 50, degrees);
        EXPECT_EQ(at(p.x, p.y), icon(p.x, p.y)) << degrees << "°";
    }
}

TEST_F(DockTileProgressTest, BadgeShowsItsRingAndCountInTheCorner) {
    std::int64_t count = 12;
    DockTileProgress::setStyle(DockTileProgress::Badge{red, [&count] { return count; }});
    DockTileProgress::setProgress(0.5);

    const CGPoint ringLeft = onRing(kBadgeCenter, kBadgeRadius - 3, 180);
    const CGPoint ringRight = onRing(kBadgeCenter, kBadgeRadius - 3, 0);
    EXPECT_TRUE(near(at(ringLeft.x, ringLeft.y), kRed)) << describe(at(ringLeft.x, ringLeft.y));
    EXPECT_TRUE(near(at(ringRight.x, ringRight.y), kBadgeGround))
        << describe(at(ringRight.x, ringRight.y));
    int textPixels = 0;
    for (double dx = -12; dx <= 12; ++dx) {
        for (double dy = -10; dy <= 10; ++dy) {
            textPixels += near(at(kBadgeCenter.x + dx, kBadgeCenter.y + dy), kBadgeText, 3);
        }
    }
    EXPECT_GT(textPixels, 40) << "the count is drawn in the badge's middle";
    EXPECT_EQ(render(outline(*tile())), "dock tile\n  image\n  text \"12\"\n");

    // The count is read when the badge is drawn.
    count = 1500;
    DockTileProgress::setProgress(0.6);
    EXPECT_EQ(tile()->pictureTexts(), std::vector<std::string>{"1k"});
}

TEST_F(DockTileProgressTest, BadgeOfTheSmallestCountShowsNineThousandsNegative) {
    DockTileProgress::setStyle(
        DockTileProgress::Badge{red, [] { return std::numeric_limits<std::int64_t>::min(); }});
    DockTileProgress::setProgress(0.5);
    EXPECT_EQ(tile()->pictureTexts(), std::vector<std::string>{"-9k+"});
}

TEST_F(DockTileProgressTest, CountTextsAndTheirSizes) {
    struct Case {
        std::int64_t count;
        const char* text;
        CGFloat size;
    };
    const Case cases[] = {
        {0, "0", 30},
        {12, "12", 23},
        {-5, "-5", 23},
        {999, "999", 19},
        {-999, "-999", 15},
        {1000, "1k", 23},
        {1500, "1k", 23},
        {-2500, "-2k", 19},
        {9999, "9k", 23},
        {10000, "9k+", 19},
        {12345, "9k+", 19},
        {-12345, "-9k+", 15},
        {std::numeric_limits<std::int64_t>::max(), "9k+", 19},
        {std::numeric_limits<std::int64_t>::min(), "-9k+", 15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(badgeText(c.count), c.text) << c.count;
        EXPECT_EQ(badgeFontSize(badgeText(c.count)), c.size) << c.count;
    }
    EXPECT_EQ(badgeFontSize("12345"), 0) << "longer texts are not drawn";
}

TEST_F(DockTileProgressTest, PieFillsTheBadgeWithoutACount) {
    DockTileProgress::setStyle(DockTileProgress::Pie{red});
    DockTileProgress::setProgress(0.5);
    const CGPoint done = onRing(kBadgeCenter, kBadgeRadius / 2, 180);
    const CGPoint toDo = onRing(kBadgeCenter, kBadgeRadius / 2, 0);
    EXPECT_TRUE(near(at(done.x, done.y), kRed)) << describe(at(done.x, done.y));
    EXPECT_TRUE(near(at(toDo.x, toDo.y), kBadgeGround)) << describe(at(toDo.x, toDo.y));
    EXPECT_TRUE(tile()->pictureTexts().empty());
}

TEST_F(DockTileProgressTest, CustomStyleDrawsOverTheIconWithItsRectangle) {
    std::vector<CGRect> rects;
    DockTileProgress::setStyle(DockTileProgress::Custom{[&rects](CGRect rect) {
        rects.push_back(rect);
        NSBezierPath::withRect({0, 0, 10, 10})->fill(NSColor(1, 0, 0, 1));
    }});
    DockTileProgress::setProgress(0.5);
    ASSERT_EQ(rects.size(), 1U);
    EXPECT_EQ(rects.front(), CGRect(0, 0, 128, 128));
    EXPECT_EQ(at(5, 5), kRed);
    EXPECT_EQ(at(64, 64), icon(64, 64));
}

TEST_F(DockTileProgressTest, SmallStepsAreKeptButNotDrawn) {
    DockTileProgress::setProgress(0.5);
    const auto drawn = displays();
    DockTileProgress::setProgress(0.505);
    EXPECT_EQ(DockTileProgress::progress(), 0.505);
    EXPECT_EQ(displays(), drawn);
    const Pixel edge = at(64, 25); // white up to x = 64 at 0.5, up to 64.6 at 0.505
    EXPECT_LT(edge[0] + edge[1] + edge[2], 3 * 70) << "still the bar of 0.5: " << describe(edge);

    DockTileProgress::setProgress(0.52);
    EXPECT_EQ(displays(), drawn + 1);
}

TEST_F(DockTileProgressTest, AnyValueAfterAZeroIsDrawn) {
    DockTileProgress::setProgress(0.001);
    EXPECT_EQ(displays(), 1U);
    EXPECT_FALSE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, TheEndsShowThePlainIcon) {
    DockTileProgress::setProgress(0.999);
    EXPECT_FALSE(showsPlainIcon());
    DockTileProgress::setProgress(1.0);
    EXPECT_TRUE(showsPlainIcon());
    DockTileProgress::setProgress(0.5);
    DockTileProgress::setProgress(0.0);
    EXPECT_TRUE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, FinishingJustAfterANearlyFullBarShowsThePlainIcon) {
    DockTileProgress::setProgress(0.5);
    DockTileProgress::setProgress(0.995);
    ASSERT_FALSE(showsPlainIcon());
    DockTileProgress::setProgress(1.0);
    EXPECT_TRUE(showsPlainIcon()) << "a finished task leaves no nearly full bar";

    // And back from the plain icon to an indicator by less than a step.
    DockTileProgress::setProgress(0.995);
    EXPECT_FALSE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, ChangingTheStyleAloneDoesNotRedraw) {
    DockTileProgress::setProgress(0.5);
    const auto drawn = displays();
    DockTileProgress::setStyle(DockTileProgress::Pie{red});
    EXPECT_EQ(displays(), drawn);
    EXPECT_EQ(at(30, 25), kWhite) << "still the bar";

    DockTileProgress::setProgress(0.7);
    const CGPoint done = onRing(kBadgeCenter, kBadgeRadius / 2, 180);
    EXPECT_TRUE(near(at(done.x, done.y), kRed));
}

TEST_F(DockTileProgressTest, ResetShowsThePlainIconWhateverWasDrawn) {
    DockTileProgress::setProgress(0.5);
    DockTileProgress::resetProgress();
    EXPECT_EQ(DockTileProgress::progress(), 0);
    EXPECT_TRUE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, ProgressObjectDrivesTheTileUntilFinished) {
    auto task = std::make_shared<Progress>(10);
    DockTileProgress::setProgressInstance(task);
    task->setCompletedUnitCount(4);
    EXPECT_EQ(DockTileProgress::progress(), 0) << "the change is taken on the main actor";
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(DockTileProgress::progress(), 0.4);
    EXPECT_FALSE(showsPlainIcon());

    task->setCompletedUnitCount(10);
    env.runUntilIdle();
    EXPECT_EQ(DockTileProgress::progress(), 1);
    EXPECT_TRUE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, CancelledProgressObjectChangesNothing) {
    auto task = std::make_shared<Progress>(10);
    DockTileProgress::setProgressInstance(task);
    task->setCompletedUnitCount(3);
    env.runUntilIdle();
    task->cancel();
    task->setCompletedUnitCount(6);
    task->setCompletedUnitCount(10);
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(DockTileProgress::progress(), 0.3);
}

TEST_F(DockTileProgressTest, AReplacedProgressObjectNoLongerDrawsAndItsSuccessorDoes) {
    auto first = std::make_shared<Progress>(10);
    DockTileProgress::setProgressInstance(first);
    first->setCompletedUnitCount(2);
    env.runUntilIdle();
    ASSERT_DOUBLE_EQ(DockTileProgress::progress(), 0.2);

    auto second = std::make_shared<Progress>(4);
    DockTileProgress::setProgressInstance(second);
    EXPECT_EQ(DockTileProgress::progressInstance(), second);
    const auto drawn = displays();
    first->setCompletedUnitCount(7);
    first->setCompletedUnitCount(10);
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(DockTileProgress::progress(), 0.2) << "the old one's changes and finish";
    EXPECT_EQ(displays(), drawn);

    second->setCompletedUnitCount(3);
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(DockTileProgress::progress(), 0.75);
    EXPECT_EQ(displays(), drawn + 1);
    EXPECT_FALSE(showsPlainIcon());
    second->setCompletedUnitCount(4);
    env.runUntilIdle();
    EXPECT_EQ(DockTileProgress::progress(), 1);
    EXPECT_TRUE(showsPlainIcon());
}

TEST_F(DockTileProgressTest, NoProgressObjectResetsAndEndsTheObservation) {
    auto task = std::make_shared<Progress>(4);
    DockTileProgress::setProgressInstance(task);
    task->setCompletedUnitCount(2);
    env.runUntilIdle();
    ASSERT_EQ(DockTileProgress::progressInstance(), task);

    DockTileProgress::setProgressInstance(nullptr);
    EXPECT_EQ(DockTileProgress::progress(), 0);
    EXPECT_TRUE(showsPlainIcon());
    task->setCompletedUnitCount(3);
    env.runUntilIdle();
    EXPECT_EQ(DockTileProgress::progress(), 0);

    // The object is held weakly.
    auto other = std::make_shared<Progress>(4);
    DockTileProgress::setProgressInstance(other);
    other.reset();
    EXPECT_EQ(DockTileProgress::progressInstance(), nullptr);
}

} // namespace
} // namespace zestrel
