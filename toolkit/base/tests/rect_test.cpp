#include "toolkit/base/rect.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(oxRectTest, IntersectionIsHalfOpen) {
    struct Case {
        oxRect a, b;
        bool intersects;
        oxRect overlap;
    } cases[] = {
        {{0, 0, 10, 10}, {10, 0, 5, 5}, false, {0, 0, 0, 0}}, // touching edges
        {{0, 0, 10, 10}, {0, 10, 5, 5}, false, {0, 0, 0, 0}},
        {{0, 0, 10, 10}, {9, 9, 5, 5}, true, {9, 9, 1, 1}},
        {{0, 0, 10, 10}, {2, 3, 4, 5}, true, {2, 3, 4, 5}}, // inside
        {{5, 5, 10, 10}, {0, 0, 10, 10}, true, {5, 5, 5, 5}},
        {{0, 0, 10, 10}, {3, 3, 0, 4}, false, {0, 0, 0, 0}}, // no area
        {{-20, -20, 10, 10}, {-15, -30, 30, 12}, true, {-15, -20, 5, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a.Intersects(c.b), c.intersects);
        EXPECT_EQ(c.b.Intersects(c.a), c.intersects);
        oxRect r = c.a;
        EXPECT_EQ(r.Intersect(c.b), c.overlap);
    }
    oxRect r{0, 0, 10, 10};
    EXPECT_TRUE(r.Contains({9, 9}));
    EXPECT_TRUE(r.Contains({0, 0}));
    EXPECT_FALSE(r.Contains({10, 5}));
    EXPECT_FALSE(r.Contains({5, 10}));
    EXPECT_FALSE(r.Contains({-1, 5}));
}

TEST(oxRectTest, UnionInflateAndConversions) {
    oxRect r{0, 0, 10, 10};
    EXPECT_EQ(r.Union({20, -5, 5, 5}), (oxRect{0, -5, 25, 15}));
    oxRect empty{};
    EXPECT_EQ(empty.Union({5, 5, 1, 1}), (oxRect{0, 0, 6, 6})); // an empty rect is not skipped

    EXPECT_EQ(oxRect({10, 10, 5, 5}).Inflate(2), (oxRect{8, 8, 9, 9}));
    EXPECT_EQ(oxRect({10, 10, 5, 5}).Inflate(2).Deflate(2), (oxRect{10, 10, 5, 5}));
    EXPECT_EQ(oxRect({10, 10, 5, 5}).InflateBy(1, 2, 3, 4), (oxRect{6, 9, 11, 9}));
    EXPECT_EQ(oxRect({10, 10, 5, 5}).InflateBy(1, 2, 3, 4).DeflateBy(1, 2, 3, 4), (oxRect{10, 10, 5, 5}));
    // margins read as left, top, right, bottom
    EXPECT_EQ(oxRect({10, 10, 5, 5}).InflateByMargins({4, 1, 2, 3}), (oxRect{6, 9, 11, 9}));
    EXPECT_EQ(oxRect({1, 2, 3, 4}).Offset({10, 20}), (oxRect{11, 22, 3, 4}));

    RECT sys{5, 6, 15, 26};
    EXPECT_EQ(oxRect().FromRECT(sys), (oxRect{5, 6, 10, 20}));
    RECT back = oxRect{5, 6, 10, 20}.ToRECT();
    EXPECT_EQ(back.right, 15);
    EXPECT_EQ(back.bottom, 26);

    oxPoint p{1, 2};
    EXPECT_EQ(p.Offset(3, -4), (oxPoint{4, -2}));
    EXPECT_EQ(ZeroPair(p), (oxPoint{}));
    EXPECT_EQ(oxPoint::FromSize(SIZE{7, 8}), (oxPoint{7, 8}));

    // Far edges wrap instead of overflowing.
    oxRect big{INT_MAX - 1, 0, 10, 10};
    EXPECT_TRUE(big.Contains({INT_MAX, 5}));
    EXPECT_EQ(big.Inflate(1).width, 12);
}

TEST(oxRectTest, ScaleToFitKeepsProportionsAndCentres) {
    struct Case {
        oxRect r, box, expected;
    } cases[] = {
        {{0, 0, 200, 50}, {0, 0, 100, 100}, {0, 37, 100, 25}}, {{0, 0, 50, 200}, {10, 10, 100, 100}, {47, 10, 25, 100}},
        {{0, 0, 10, 10}, {0, 0, 40, 20}, {10, 0, 20, 20}}, // grows too
        {{0, 0, 10, 10}, {5, 5, 0, 0}, {5, 5, 0, 0}},      // nothing fits into an empty box
        {{0, 0, 0, 0}, {0, 0, 10, 10}, {5, 5, 0, 0}},
    };
    for (const Case& c : cases) {
        oxRect r = c.r;
        EXPECT_EQ(r.ScaleToFit(c.box), c.expected);
    }
}

TEST(oxRectTest, SnappingDocksBesideOrAlignsInside) {
    const oxRect target{0, 0, 100, 100};
    struct Case {
        oxRect r;
        int32_t distance;
        bool inside;
        bool moved;
        oxRect expected;
    } cases[] = {
        {{105, 50, 20, 20}, 8, false, true, {100, 50, 20, 20}},    // left edge near the target's right
        {{105, 150, 20, 20}, 8, false, false, {105, 150, 20, 20}}, // no vertical overlap
        {{-25, 10, 20, 20}, 8, false, true, {-20, 10, 20, 20}},    // right edge near the target's left
        {{30, 104, 20, 20}, 8, false, true, {30, 100, 20, 20}},    // top near the target's bottom
        {{30, -27, 20, 20}, 8, false, true, {30, -20, 20, 20}},    // bottom near the target's top
        {{103, 2, 20, 20}, 8, false, true, {100, 0, 20, 20}},      // docked, then tops aligned (2 < 8 / 2)
        {{103, 5, 20, 20}, 8, false, true, {100, 5, 20, 20}},      // 5 is not within half the distance
        {{108, 50, 20, 20}, 8, false, false, {108, 50, 20, 20}},   // the test is strict
        {{3, 90, 20, 5}, 8, true, true, {0, 95, 20, 5}},           // inside: left and bottom
        {{78, 2, 20, 20}, 8, true, true, {80, 0, 20, 20}},         // inside: right and top
        {{50, 50, 20, 20}, 8, true, false, {50, 50, 20, 20}},
        {{3, 3, 20, 20}, 0, true, false, {3, 3, 20, 20}}, // no distance, no snapping
    };
    for (const Case& c : cases) {
        oxRect r = c.r;
        EXPECT_EQ(r.SnapToEdgesUniform(target, c.distance, c.inside), c.moved)
            << c.r.x << "," << c.r.y << (c.inside ? " inside" : " outside");
        EXPECT_EQ(r, c.expected) << c.r.x << "," << c.r.y;
    }
    // Per-side distances: only the right side may snap here.
    oxRect r{105, 50, 20, 20};
    EXPECT_FALSE(r.SnapToEdges(target, {0, 8, 8, 8}, false));
    EXPECT_TRUE(r.SnapToEdges(target, {8, 0, 0, 0}, false));
}

} // namespace
