#include "graphics/raster/blitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "graphics/pixels/raster_rect.h"

namespace {

// A small top-down buffer that owns its pixels.
template <typename T> struct Buffer {
    int32_t width, height;
    std::vector<T> px;
    oxPixelBuffer pb;

    Buffer(int32_t w, int32_t h, std::vector<T> init = {}) : width(w), height(h), px(size_t(w) * h) {
        if (!init.empty()) px = init;
        pb.InitExternal(px.data(), int32_t(w * sizeof(T)), w, h, int32_t(sizeof(T) * 8), int32_t(sizeof(T)), true);
    }
    T& at(int x, int y) { return px[size_t(y) * width + x]; }
};
using Buffer32 = Buffer<uint32_t>;
using Buffer8 = Buffer<uint8_t>;

TEST(Blitter, CopyIsExactAndClipped) {
    Buffer32 src(2, 2, {1, 2, 3, 4});
    Buffer32 dst(3, 3);
    oxBlitter blitter;
    const RECT corner{0, 0, 2, 2};
    ASSERT_EQ(blitter.DrawImage(dst.pb, &corner, src.pb, nullptr, false, false), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{1, 2, 0, 3, 4, 0, 0, 0, 0}));

    // Partly outside the buffer and the clip: only the visible pixel is drawn.
    Buffer32 clipped(3, 3);
    blitter.clip = RECT{0, 0, 3, 2};
    const RECT at{2, 1, 4, 3};
    ASSERT_EQ(blitter.DrawImage(clipped.pb, &at, src.pb, nullptr, false, false), 1);
    EXPECT_EQ(clipped.px, (std::vector<uint32_t>{0, 0, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(Blitter, OpacityAndSourceAlpha) {
    struct Case {
        float fade;
        bool sourceAlpha;
        uint32_t src, dst, expected;
    } cases[] = {
        {0.0f, false, 0xFF804020, 0x00000000, 0xFF804020},
        {0.5f, false, 0xFF804020, 0x00000000, 0x7F402010},
        {1.0f, false, 0xFF804020, 0x12345678, 0x12345678},
        {0.0f, true, 0x80FF0000, 0xFF0000FF, 0xBF7F007F},
        {0.5f, true, 0x80FF0000, 0xFF0000FF, 0xDF3F00BF},
        {0.0f, true, 0x00FFFFFF, 0x11223344, 0x11223344},
        {std::numeric_limits<float>::quiet_NaN(), false, 0xFFFFFFFF, 0x01020304, 0x01020304},
        {-3.0f, false, 0xFF804020, 0x00000000, 0xFF804020},
    };
    for (const Case& c : cases) {
        Buffer32 src(1, 1, {c.src}), dst(1, 1, {c.dst});
        oxBlitter blitter;
        blitter.fade = c.fade;
        ASSERT_EQ(blitter.DrawImage(dst.pb, nullptr, src.pb, nullptr, false, c.sourceAlpha), 1);
        EXPECT_EQ(dst.px[0], c.expected) << std::hex << c.fade << " " << c.sourceAlpha << " got " << dst.px[0];
    }
}

std::vector<int32_t> g_counts;
uint32_t RecordingCallback(uint32_t, uint32_t, int32_t left) {
    g_counts.push_back(left);
    return 0xFF00FF00;
}

TEST(Blitter, CallbackGivesThePixelToBlend) {
    Buffer32 src(3, 1, {1, 2, 3}), dst(3, 1);
    oxBlitter blitter;
    blitter.callback = RecordingCallback;
    g_counts.clear();
    ASSERT_EQ(blitter.DrawImage(dst.pb, nullptr, src.pb, nullptr, false, false), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00, 0xFF00FF00}));
    EXPECT_EQ(g_counts, (std::vector<int32_t>{3, 2, 1}));
}

TEST(Blitter, ScalingNearestAndSmooth) {
    Buffer32 src(2, 2, {1, 2, 3, 4});
    Buffer32 dst(4, 4);
    oxBlitter blitter;
    ASSERT_EQ(blitter.DrawImage(dst.pb, nullptr, src.pb, nullptr, false, false), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));

    // Enlarging smoothly interpolates between neighbours; the last column repeats.
    Buffer32 line(2, 1, {0xFF000000, 0xFF0000FF});
    Buffer32 wide(4, 1);
    ASSERT_EQ(blitter.DrawImage(wide.pb, nullptr, line.pb, nullptr, true, false), 1);
    EXPECT_EQ(wide.px, (std::vector<uint32_t>{0xFF000000, 0xFF00007F, 0xFF0000FF, 0xFF0000FF}));

    // Reducing averages the footprint of each pixel.
    Buffer32 four(4, 1, {0, 100, 200, 50});
    Buffer32 two(2, 1);
    ASSERT_EQ(blitter.DrawImage(two.pb, nullptr, four.pb, nullptr, true, false), 1);
    EXPECT_EQ(two.px, (std::vector<uint32_t>{50, 125}));
}

TEST(Blitter, ClippedScalingSamplesTheSameTexels) {
    Buffer32 src(5, 3);
    for (size_t i = 0; i < src.px.size(); ++i)
        src.px[i] = 0xFF000000u | uint32_t(i * 0x0A0B0C);
    const RECT whole{1, 2, 12, 9};
    const RECT clips[] = {{0, 0, 6, 20}, {5, 3, 9, 5}, {11, 8, 40, 40}, {-10, -10, 3, 4}};
    for (bool smooth : {false, true}) {
        Buffer32 reference(14, 11);
        oxBlitter plain;
        ASSERT_EQ(plain.DrawImage(reference.pb, &whole, src.pb, nullptr, smooth, false), 1);
        for (const RECT& c : clips) {
            Buffer32 dst(14, 11);
            oxBlitter clipped;
            clipped.clip = c;
            ASSERT_EQ(clipped.DrawImage(dst.pb, &whole, src.pb, nullptr, smooth, false), 1);
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 14; ++x) {
                    const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                    ASSERT_EQ(dst.at(x, y), inside ? reference.at(x, y) : 0u)
                        << smooth << " clip " << c.left << "," << c.top << " at " << x << "," << y;
                }
        }
    }
}

TEST(Blitter, DepthConversions) {
    oxBlitter blitter;
    Buffer8 grey(2, 1, {0x10, 0xF0});
    Buffer32 dst(2, 1, {0x80000000, 0x00FFFFFF});
    ASSERT_EQ(blitter.DrawImage(dst.pb, nullptr, grey.pb, nullptr, false, false), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{0x80101010, 0x00F0F0F0})) << "alpha is kept";

    Buffer32 colour(2, 1, {0xFF804020, 0x00FFFFFF});
    Buffer8 grey2(2, 1);
    ASSERT_EQ(blitter.DrawImage(grey2.pb, nullptr, colour.pb, nullptr, false, false), 1);
    EXPECT_EQ(grey2.px, (std::vector<uint8_t>{88, 255}));

    Buffer8 bgr(6, 1, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    oxPixelBuffer triple;
    triple.InitExternal(bgr.px.data(), 8, 2, 1, 24, 3, true);
    ASSERT_EQ(blitter.DrawImage(dst.pb, nullptr, triple, nullptr, false, false), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{0x00030201, 0x00060504}));

    Buffer<uint16_t> a(2, 2, {1, 2, 3, 4}), b(3, 2);
    const RECT corner{0, 0, 2, 2};
    ASSERT_EQ(blitter.DrawImage(b.pb, &corner, a.pb, nullptr, false, false), 1);
    EXPECT_EQ(b.px, (std::vector<uint16_t>{1, 2, 0, 3, 4, 0}));
    Buffer<uint16_t> c(4, 4);
    EXPECT_EQ(blitter.DrawImage(c.pb, nullptr, a.pb, nullptr, false, false), 1);
    EXPECT_EQ(c.px, (std::vector<uint16_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}))
        << "scaled 16-bit pictures take the nearest pixel";

    EXPECT_EQ(blitter.DrawImage(a.pb, nullptr, grey.pb, nullptr, false, false), 0) << "8 to 16 is not handled";
    EXPECT_EQ(a.px, (std::vector<uint16_t>{1, 2, 3, 4}));
    oxPixelBuffer empty;
    EXPECT_EQ(blitter.DrawImage(dst.pb, nullptr, empty, nullptr, false, false), 0);
}

TEST(Blitter, Fills) {
    oxBlitter blitter;
    Buffer32 d32(3, 2);
    const RECT rect{1, 0, 5, 1};
    ASSERT_EQ(blitter.FillRect(d32.pb, &rect, 0xFF112233), 1);
    EXPECT_EQ(d32.px, (std::vector<uint32_t>{0, 0xFF112233, 0xFF112233, 0, 0, 0}));

    Buffer<uint16_t> d16(2, 1);
    Buffer8 d8(2, 1);
    ASSERT_EQ(blitter.FillRect(d16.pb, nullptr, 0xFFFFF800), 1);
    ASSERT_EQ(blitter.FillRect(d8.pb, nullptr, 0x12345678), 1);
    EXPECT_EQ(d16.px[1], 0xF800);
    EXPECT_EQ(d8.px[1], 0x78);

    // Alpha alone leaves the colour.
    Buffer32 a(2, 1, {0x00123456, 0x80654321});
    ASSERT_EQ(blitter.FillAlpha(a.pb, nullptr, 0xFF000000), 1);
    EXPECT_EQ(a.px, (std::vector<uint32_t>{0xFF123456, 0xFF654321}));

    // With a fade the channels move part of the way.
    oxBlitter half;
    half.fade = 0.5f;
    Buffer32 b(1, 1, {0});
    ASSERT_EQ(half.FillRect(b.pb, nullptr, 0xFF808080), 1);
    EXPECT_EQ(b.px[0], 0x7F404040u);
    Buffer32 c(1, 1, {0x00ABCDEF});
    ASSERT_EQ(half.FillAlpha(c.pb, nullptr, 0xFF000000), 1);
    EXPECT_EQ(c.px[0], 0x7FABCDEFu);
    Buffer32 e(1, 1, {0x80000000});
    ASSERT_EQ(FillChannels(e.pb, nullptr, 0xFFFF0000, false, true, 0.5f, nullptr), 1);
    EXPECT_EQ(e.px[0], 0x807F0000u) << "colour alone keeps alpha";

    // An empty intersection with the clip fills nothing and succeeds.
    oxBlitter clipped;
    clipped.clip = RECT{10, 10, 20, 20};
    Buffer32 f(2, 2);
    EXPECT_EQ(clipped.FillRect(f.pb, &rect, 0xFFFFFFFF), 1);
    EXPECT_EQ(f.px, std::vector<uint32_t>(4, 0));
    oxBlitter invisible;
    invisible.fade = 1.0f;
    EXPECT_EQ(invisible.FillRect(f.pb, nullptr, 0xFFFFFFFF), 1);
    EXPECT_EQ(f.px, std::vector<uint32_t>(4, 0));
}

TEST(Blitter, Masks) {
    oxBlitter blitter;
    Buffer8 mask(2, 1, {255, 128});
    Buffer32 dst(2, 1, {0xFF000000, 0xFF000000});
    ASSERT_EQ(blitter.DrawMask(dst.pb, nullptr, mask.pb, nullptr, 0xFFFFFFFF), 1);
    EXPECT_EQ(dst.px, (std::vector<uint32_t>{0xFFFEFEFE, 0xFF7F7F7F}));

    // A one-pixel mask scaled over a rectangle.
    Buffer8 dot(1, 1, {255});
    Buffer32 square(3, 3);
    const RECT inner{1, 1, 3, 3};
    ASSERT_EQ(blitter.DrawMask(square.pb, &inner, dot.pb, nullptr, 0xFF0000FF), 1);
    EXPECT_EQ(square.at(0, 0), 0u);
    EXPECT_EQ(square.at(2, 2), 0xFE0000FEu);

    Buffer8 target(2, 1, {0, 100});
    ASSERT_EQ(blitter.DrawMask8(target.pb, nullptr, mask.pb, nullptr, 200), 1);
    EXPECT_EQ(target.px, (std::vector<uint8_t>{199, 150}));
}

TEST(Blitter, AlphaExtraction) {
    oxBlitter blitter;
    Buffer32 src(2, 1, {0x12FFFFFF, 0x34000000});
    Buffer8 dst(3, 1);
    ASSERT_EQ(blitter.ExtractAlpha(dst.pb, POINT{1, 0}, src.pb, nullptr), 1);
    EXPECT_EQ(dst.px, (std::vector<uint8_t>{0, 0x12, 0x34}));
    Buffer8 edge(3, 1);
    ASSERT_EQ(blitter.ExtractAlpha(edge.pb, POINT{2, 0}, src.pb, nullptr), 1);
    EXPECT_EQ(edge.px, (std::vector<uint8_t>{0, 0, 0x12}));

    Buffer8 scaled(4, 2);
    ASSERT_EQ(blitter.ExtractAlphaScaled(scaled.pb, nullptr, src.pb, nullptr), 1);
    EXPECT_EQ(scaled.px, (std::vector<uint8_t>{0x12, 0x12, 0x34, 0x34, 0x12, 0x12, 0x34, 0x34}));
}

TEST(Blitter, ScrollMovesOverlappingAreasIntact) {
    struct Case {
        int dx, dy;
        std::vector<uint32_t> expected;
    } cases[] = {
        {0, 1, {1, 2, 3, 1, 2, 3, 4, 5, 6}}, {0, -1, {4, 5, 6, 7, 8, 9, 7, 8, 9}},
        {1, 0, {1, 1, 2, 4, 4, 5, 7, 7, 8}}, {-2, -2, {9, 2, 3, 4, 5, 6, 7, 8, 9}},
        {5, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        Buffer32 b(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
        oxBlitter blitter;
        ASSERT_EQ(blitter.Scroll(b.pb, nullptr, c.dx, c.dy), 1);
        EXPECT_EQ(b.px, c.expected) << c.dx << "," << c.dy;
    }
}

TEST(Blitter, BlurSpreadsByTheBinomialFilter) {
    oxBlitter blitter;
    Buffer8 row(3, 1, {0, 255, 0});
    ASSERT_EQ(blitter.BlurBuffer(row.pb, nullptr, 1.0f, nullptr), 1);
    EXPECT_EQ(row.px, (std::vector<uint8_t>{63, 127, 63}));

    for (float radius : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Buffer8 same(3, 1, {0, 255, 0});
        EXPECT_EQ(blitter.BlurBuffer(same.pb, nullptr, radius, nullptr), 1);
        EXPECT_EQ(same.px, (std::vector<uint8_t>{0, 255, 0}));
    }

    // A flat picture stays flat; a dot spreads symmetrically.
    Buffer32 flat(7, 5, std::vector<uint32_t>(35, 0x80402010));
    ASSERT_EQ(blitter.BlurBuffer(flat.pb, nullptr, 3.0f, nullptr), 1);
    EXPECT_EQ(flat.px, std::vector<uint32_t>(35, 0x80402010));
    Buffer32 dot(9, 9);
    dot.at(4, 4) = 0xFFFFFFFF;
    ASSERT_EQ(blitter.BlurBuffer(dot.pb, nullptr, 2.5f, nullptr), 1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(dot.at(x, y), dot.at(8 - x, y));
            ASSERT_EQ(dot.at(x, y), dot.at(x, 8 - y));
        }
    EXPECT_GT(dot.at(3, 4) & 0xFF, 0u);
    EXPECT_LT(dot.at(4, 4) & 0xFF, 0xFFu);
}

TEST(Blitter, BlurEdgesExtendOrWrap) {
    for (int mode : {0, 1}) {
        Buffer32 b(12, 1);
        b.at(0, 0) = 0xFFFFFFFF;
        oxBlitter blitter;
        blitter.blurEdgeMode = mode;
        ASSERT_EQ(blitter.BlurBuffer(b.pb, nullptr, 3.0f, nullptr), 1);
        if (mode == 1)
            EXPECT_GT(b.at(11, 0) & 0xFF, 0u) << "wrapping carries the left edge to the right";
        else
            EXPECT_EQ(b.at(11, 0), 0u);
    }
}

TEST(Blitter, BlurWithAContext) {
    oxBlurContext small;
    ASSERT_EQ(small.Init(1, 2), 1);
    Buffer8 b(8, 1, {0, 0, 0, 255, 0, 0, 0, 0});
    oxBlitter blitter;
    EXPECT_EQ(blitter.BlurBuffer(b.pb, nullptr, 1.0f, &small), 0) << "a work line too short for the row";
    EXPECT_EQ(b.px[3], 255);

    oxBlurContext horizontalOnly;
    ASSERT_EQ(horizontalOnly.Init(4, 16), 1);
    horizontalOnly.vertical = 0;
    Buffer8 column(1, 3, {0, 255, 0});
    ASSERT_EQ(blitter.BlurBuffer(column.pb, nullptr, 1.0f, &horizontalOnly), 1);
    EXPECT_EQ(column.px, (std::vector<uint8_t>{0, 255, 0})) << "a one-pixel row has nothing to spread to";
    EXPECT_EQ(horizontalOnly.Init(-1, 4), 0);
    Buffer8 huge(4, 1, {0, 255, 0, 0});
    EXPECT_EQ(blitter.BlurBuffer(huge.pb, nullptr, 1e30f, nullptr), 1);
}

TEST(Blitter, StretchCopy) {
    Buffer32 src(3, 3);
    for (size_t i = 0; i < 9; ++i)
        src.px[i] = uint32_t(i * 20);
    Buffer32 dst(5, 5);
    const RECT s{0, 0, 3, 3}, d{0, 0, 5, 5}, narrow{0, 0, 2, 5};
    ASSERT_EQ(StretchCopy(dst.pb, d, src.pb, s), 1);
    // The step is shortened by one 16.16 unit so that the last pixel never reads past the source:
    // interior pixels land a fraction of 1/256 short of their texel.
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_NEAR(double(dst.at(4, 4)), 160.0, 2.0);
    EXPECT_NEAR(double(dst.at(2, 0)), 20.0, 1.0);
    EXPECT_NEAR(double(dst.at(0, 2)), 60.0, 1.0);
    EXPECT_EQ(StretchCopy(dst.pb, narrow, src.pb, s), 0);

    // Unscaled rectangles reaching past either buffer copy only what both hold.
    Buffer32 small(2, 2);
    const RECT past{1, 1, 4, 4}, from{2, 2, 5, 5};
    ASSERT_EQ(StretchCopy(small.pb, past, src.pb, from), 1);
    EXPECT_EQ(small.px, (std::vector<uint32_t>{0, 0, 0, 160}));
    const RECT away{100, 100, 103, 103};
    EXPECT_EQ(StretchCopy(small.pb, away, src.pb, s), 1);
    EXPECT_EQ(small.px, (std::vector<uint32_t>{0, 0, 0, 160}));
    Buffer8 grey(3, 3);
    EXPECT_EQ(StretchCopy(grey.pb, s, src.pb, s), 0) << "only 32-bit pixels are scaled";
}

TEST(Blitter, ClipBlitRectsKeepsProportion) {
    struct Case {
        RECT src, dst;
        bool ok;
        RECT clippedSrc, clippedDst;
    } cases[] = {
        {{0, 0, 10, 10}, {0, 0, 10, 10}, true, {0, 0, 10, 10}, {0, 0, 10, 10}},
        {{-5, 0, 10, 10}, {0, 0, 30, 10}, true, {0, 0, 5, 10}, {10, 0, 20, 10}},
        {{0, 0, 10, 10}, {-10, -10, 10, 10}, true, {5, 5, 10, 10}, {0, 0, 10, 10}},
        {{0, 0, 10, 10}, {40, 0, 50, 10}, false, {}, {}},
        {{0, 0, 0, 10}, {0, 0, 10, 10}, false, {}, {}},
    };
    const RECT bounds{0, 0, 20, 20};
    for (const Case& c : cases) {
        RECT s = c.src, d = c.dst;
        ASSERT_EQ(ClipBlitRects(RECT{0, 0, 10, 10}, bounds, &s, &d), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ((std::vector<LONG>{s.left, s.top, s.right, s.bottom}),
                  (std::vector<LONG>{c.clippedSrc.left, c.clippedSrc.top, c.clippedSrc.right, c.clippedSrc.bottom}));
        EXPECT_EQ((std::vector<LONG>{d.left, d.top, d.right, d.bottom}),
                  (std::vector<LONG>{c.clippedDst.left, c.clippedDst.top, c.clippedDst.right, c.clippedDst.bottom}));
    }
}

TEST(Blitter, SubtractRectCoversExactlyTheRest) {
    const RECT a{0, 0, 10, 8};
    const RECT bs[] = {{0, 0, 10, 8}, {3, 2, 6, 5}, {-5, -5, 4, 20}, {20, 20, 30, 30}, {8, 6, 30, 30}};
    for (const RECT& b : bs) {
        RECT out[4];
        const int n = SubtractRect(a, b, out);
        // Every pixel of a is in exactly one part unless it is in b.
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x) {
                int hits = 0;
                for (int i = 0; i < n; ++i)
                    hits += x >= out[i].left && x < out[i].right && y >= out[i].top && y < out[i].bottom;
                const bool inB = x >= b.left && x < b.right && y >= b.top && y < b.bottom;
                ASSERT_EQ(hits, inB ? 0 : 1) << x << "," << y;
            }
    }
    RECT out[4];
    EXPECT_EQ(SubtractRect(a, a, out), 0);
}

TEST(Blitter, BilinearWeighsTheFourNeighbours) {
    EXPECT_EQ(Bilinear(0x00000000, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0), 0u);
    EXPECT_EQ(Bilinear(0x10203040, 0, 0, 0, 0, 0), 0x10203040u);
    EXPECT_EQ(Bilinear(0, 0xFF00FF00, 0, 0xFF00FF00, 128, 0), 0x7F007F00u);
    EXPECT_EQ(Bilinear(0, 0, 0x00FF00FF, 0x00FF00FF, 0, 128), 0x007F007Fu);
}

} // namespace
