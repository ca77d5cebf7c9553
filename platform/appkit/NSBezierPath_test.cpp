#include "platform/appkit/NSBezierPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zestrel::platform {
namespace {

void expectRect(CGRect actual, CGRect expected) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 0.05);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 0.05);
    EXPECT_NEAR(actual.size.width, expected.size.width, 0.05);
    EXPECT_NEAR(actual.size.height, expected.size.height, 0.05);
}

CGRect arcBounds(CGFloat start, CGFloat end, bool clockwise) {
    auto path = NSBezierPath::make();
    path->appendArc({0, 0}, 10, start, end, clockwise);
    return path->bounds();
}

TEST(NSBezierPathTest, ArcsSweepLessThanATurnUnlessTheirAnglesAreATurnApart) {
    expectRect(arcBounds(0, 90, false), {0, 0, 10, 10});
    // Anticlockwise to an angle before the start goes the long way round.
    expectRect(arcBounds(0, -90, false), {-10, -10, 20, 20});
    expectRect(arcBounds(0, 90, true), {-10, -10, 20, 20});
    expectRect(arcBounds(90, 0, true), {0, 0, 10, 10});
    // Angles a turn or more apart draw the whole circle from the start angle.
    expectRect(arcBounds(0, 720, false), {-10, -10, 20, 20});
    expectRect(arcBounds(5156.620156177409, -15469.860468532228, false), {-10, -10, 20, 20});

    auto path = NSBezierPath::make();
    path->appendArc({0, 0}, 10, 30, 30 + 720, false);
    const auto& elements = path->cgPath().elements();
    ASSERT_EQ(elements.front().type, CGPath::ElementType::moveToPoint);
    EXPECT_NEAR(elements.front().points[0].x, 10 * std::cos(std::numbers::pi / 6), 1e-9);
    EXPECT_NEAR(elements.back().points[2].x, 10 * std::cos(std::numbers::pi / 6), 1e-9);
    EXPECT_NEAR(elements.back().points[2].y, 5, 1e-9) << "back at the start after one turn";
}

TEST(NSBezierPathTest, ArcJoinsTheCurrentPointWithALine) {
    auto path = NSBezierPath::make();
    path->moveTo({-20, 0});
    path->appendArc({0, 0}, 10, 0, 90, false);
    const auto& elements = path->cgPath().elements();
    ASSERT_GE(elements.size(), 3U);
    EXPECT_EQ(elements[1].type, CGPath::ElementType::addLineToPoint);
    EXPECT_EQ(elements[1].points[0], CGPoint({10, 0}));
}

TEST(NSBezierPathTest, ReversedPathRunsFromItsEndWithItsHandlesSwapped) {
    auto path = NSBezierPath::make();
    path->moveTo({0, 0});
    path->lineTo({10, 0});
    path->curveTo({20, 10}, {15, 0}, {20, 5});
    path->moveTo({50, 50});
    path->lineTo({60, 50});
    path->close();

    using Type = CGPath::ElementType;
    const std::vector<CGPath::Element> expected = {
        {Type::moveToPoint, {CGPoint{20, 10}}},
        {Type::addCurveToPoint, {CGPoint{20, 5}, CGPoint{15, 0}, CGPoint{10, 0}}},
        {Type::addLineToPoint, {CGPoint{0, 0}}},
        {Type::moveToPoint, {CGPoint{60, 50}}},
        {Type::addLineToPoint, {CGPoint{50, 50}}},
        {Type::closeSubpath, {}},
    };
    EXPECT_EQ(path->reversed()->cgPath().elements(), expected);
    EXPECT_EQ(path->reversed()->reversed()->cgPath(), path->cgPath());
    expectRect(path->bounds(), {0, 0, 60, 50});
}

} // namespace
} // namespace zestrel::platform
