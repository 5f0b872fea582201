#include "graphics/paint/path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

std::vector<float> PointsOf(oxPath& p) {
    return std::vector<float>(p.Points(), p.Points() + 3 * p.Count());
}

TEST(PathTest, BuildingAndBounds) {
    oxPath p;
    EXPECT_EQ(10.0f, p.BoundsMin()[0]);
    EXPECT_EQ(-10.0f, p.BoundsMax()[2]);
    EXPECT_EQ(0, p.Close());
    EXPECT_EQ(1, p.MoveTo(3, 4));
    EXPECT_EQ(1, p.LineTo(-2, 9));
    EXPECT_EQ(1, p.CubicTo(0, 0, 1, 1, 5, -6));
    EXPECT_EQ(1, p.Close());
    ASSERT_EQ(5, p.Count());
    const uint8_t expected[] = {kPathMove, kPathLine, kPathCubic, kPathCubic, kPathCubic | kPathClose};
    EXPECT_EQ(0, std::memcmp(expected, p.Commands(), 5));
    EXPECT_EQ(-2.0f, p.BoundsMin()[0]);
    EXPECT_EQ(-6.0f, p.BoundsMin()[1]);
    EXPECT_EQ(9.0f, p.BoundsMax()[1]);
    EXPECT_EQ(1.0f, p.Points()[2]); // z of every point is the current z
    p.Begin();
    EXPECT_EQ(0, p.Count());
    EXPECT_EQ(10.0f, p.BoundsMin()[1]);
}

TEST(PathTest, ShapesAccumulateOnlyInModeThree) {
    oxGraphicsContext gc;
    gc.Rect(0, 0, 4, 4, 3);
    gc.Rect(5, 5, 9, 9, 3);
    EXPECT_EQ(8, gc.Path().Count());
    gc.Rect(0, 0, 2, 2, 0); // no target: nothing drawn, but the path is replaced
    EXPECT_EQ(4, gc.Path().Count());
    EXPECT_EQ(0, gc.DrawPath(4));
}

TEST(PathTest, FourEqualRadiiAreRoundRect) {
    oxGraphicsContext gc;
    gc.RoundRect(1, 2, 30, 20, 5, 3);
    const std::vector<float> a = PointsOf(gc.Path());
    const std::vector<uint8_t> ca(gc.Path().Commands(), gc.Path().Commands() + gc.Path().Count());
    gc.RoundRectRadii(1, 2, 30, 20, 5, 5, 5, 5, 0, nullptr);
    gc.Path().Begin();
    gc.RoundRectRadii(1, 2, 30, 20, 5, 5, 5, 5, 3, nullptr);
    EXPECT_EQ(a, PointsOf(gc.Path()));
    EXPECT_EQ(ca, std::vector<uint8_t>(gc.Path().Commands(), gc.Path().Commands() + gc.Path().Count()));
}

// Radii beyond the box shrink until the arcs meet instead of crossing into a star.
TEST(PathTest, OversizedRadiiFitTheBox) {
    oxGraphicsContext gc;
    gc.RoundRect(0, 0, 28, 20, 40, 3);
    const std::vector<float> big = PointsOf(gc.Path());
    gc.RoundRect(0, 0, 28, 20, 10, 0);
    EXPECT_EQ(big, PointsOf(gc.Path()));
}

// Rounded rectangles: one radius, radii larger than the box, four different radii, some sides
// left out, filled and stroked.
TEST(PathTest, RoundedRectangleGrid) {
    TestSurface s(6 * 40, 80, 32);
    s.Fill32(0xFFFFFFFF);
    oxGraphicsContext gc;
    gc.AttachTarget(s.buffer);
    gc.SetColor(0x3070C0);
    gc.SetStrokeColor(0x802020);
    gc.SetLineWidth(1.5f);
    const uint8_t leftAndBottom[4] = {1, 0, 0, 1};
    for (int row = 0; row < 2; ++row) {
        const int mode = row; // fill, then stroke
        const float y = 6.0f + row * 40.0f;
        gc.RoundRect(6, y, 34, y + 28, 6, mode);
        gc.RoundRect(46, y, 74, y + 28, 40, mode); // radius beyond the box
        gc.RoundRectRadii(86, y, 114, y + 28, 0, 12, 4, 20, mode, nullptr);
        gc.RoundRectRadii(126, y, 154, y + 28, 30, 0, 30, 0, mode, nullptr);
        gc.RoundRectRadii(166, y, 194, y + 28, 8, 8, 8, 8, mode, leftAndBottom);
        gc.RoundRect(206, y, 234, y + 8, 0, mode);
    }
    EXPECT_TRUE(MatchesGolden(s.buffer, "round_rects"));
}

} // namespace
