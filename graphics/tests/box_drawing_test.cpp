#include "graphics/paint/box_drawing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/image/frame_list.h"
#include "graphics/paint/shadow_style.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/image_test_util.h"
#include "graphics/tests/raster_test_util.h"

namespace {

// An 8 x 8 picture: a 2-pixel dark frame, a light centre and a red dot at (5, 2), so slices,
// stretching and tile edges show.
std::unique_ptr<oxDibBitmap> MakePicture() {
    auto image = std::make_unique<oxDibBitmap>(8, 8, 32, true, false);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool frame = x < 2 || y < 2 || x >= 6 || y >= 6;
            image->pixels.GetRow32(y)[x] = frame ? 0xFF203080u : 0xFFE0E0A0u;
        }
    image->pixels.GetRow32(2)[5] = 0xFFFF0000u;
    return image;
}

struct Target {
    TestSurface surface;
    oxCanvas canvas;
    Target(int w, int h, int bpp) : surface(w, h, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified) {
        if (bpp == 32)
            surface.Fill32(0xFFFFFFFFu);
        else
            surface.Fill16(0xFFFF);
        canvas.AttachTarget(surface.buffer);
    }
};

std::string Name(const char* stem, int bpp) {
    return std::string(stem) + (bpp == 32 ? "_argb32" : "_rgb565");
}

} // namespace

// Solid and gradient fills with each corner form: square, one radius for all, one corner only,
// four different corners.
TEST(BoxDrawingTest, FillsAndCornerForms) {
    for (int bpp : {32, 16}) {
        Target t(120, 64, bpp);
        const float square[4] = {0, 0, 0, 0};
        FillRoundRectRadii(&t.canvas, {4, 4, 24, 24}, 0xFF3060C0u, square);
        FillRoundRect(&t.canvas, {32, 4, 24, 24}, 0xFFC03030u, 8.7f);
        const float one[4] = {0, 12, 0, 0};
        FillRoundRectRadii(&t.canvas, {60, 4, 24, 24}, 0xFF30A040u, one);
        const float four[4] = {2, 6, 10, 14};
        FillRoundRectRadii(&t.canvas, {88, 4, 28, 24}, 0x80000000u, four);
        auto ramp = std::make_unique<oxDibBitmap>(256, 1, 32, true, false);
        const uint32_t stops[2] = {0xFFFF8000u, 0xFF0040FFu};
        oxGradientFill gradient;
        ASSERT_TRUE(BuildLinearGradient(ramp.get(), stops, 2, {4, 34, 52, 26}, 0, 0, 1, 0, &gradient));
        const float radii[4] = {6, 6, 6, 6};
        PaintGradient(&t.canvas, {4, 34, 52, 26}, gradient, radii);
        ASSERT_TRUE(BuildLinearGradient(ramp.get(), stops, 2, {60, 34, 56, 26}, 0, 0, 0, 1, &gradient));
        gradient.hasRadii = true;
        gradient.radii[0] = gradient.radii[2] = 12;
        PaintGradient(&t.canvas, {60, 34, 56, 26}, gradient, radii);
        EXPECT_TRUE(MatchesGolden(t.surface.buffer, Name("box_fills", bpp), 2));
    }
}

// A square fill covers exactly its rectangle: every pixel inside is the colour, none outside.
TEST(BoxDrawingTest, SquareFillCoversItsRectangle) {
    Target t(20, 16, 32);
    t.surface.Fill32(0);
    const float square[4] = {0, 0, 0, 0};
    FillRoundRectRadii(&t.canvas, {3, 4, 10, 6}, 0xFF00FF00u, square);
    int covered = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint32_t p = t.surface.buffer.GetRow32(y)[x];
            const bool inside = x >= 3 && x < 13 && y >= 4 && y < 10;
            if (p != 0) ++covered;
            EXPECT_EQ(inside, (p >> 8 & 0xFF) >= 0xFE) << x << "," << y;
        }
    EXPECT_EQ(60, covered);
}

// Pictures stretched, tiled both ways from an origin, tiled in a row, nine-sliced with and without
// a centre, and centred.
TEST(BoxDrawingTest, ImageFills) {
    auto image = MakePicture();
    for (int bpp : {32, 16}) {
        Target t(160, 48, bpp);
        PaintImageFill(&t.canvas, {2, 2, 24, 16}, image.get(), kFillAxisUnset, kFillAxisUnset, POINT{0, 0});
        PaintImageFill(&t.canvas, {30, 2, 30, 20}, image.get(), kFillAxisUnset, kFillAxisBoth, POINT{3, 5});
        PaintImageFill(&t.canvas, {64, 2, 30, 20}, image.get(), kFillAxisY, kFillAxisX, POINT{0, 0});
        PaintNineSlice(&t.canvas, {98, 2, 28, 20}, image.get(), RECT{2, 2, 2, 2}, kFillAxisUnset);
        PaintNineSlice(&t.canvas, {130, 2, 28, 20}, image.get(), RECT{2, 2, 2, 2}, kFillAxisNone);
        PaintImageFill(&t.canvas, {2, 26, 8, 8}, image.get(), kFillAxisNone, kFillAxisUnset, POINT{0, 0});
        DrawResourceImage(&t.canvas, {30, 24, 30, 22}, image.get(), kFillAxisCenter);
        EXPECT_TRUE(MatchesGolden(t.surface.buffer, Name("box_images", bpp)));
    }
}

// With the origin equal to the image width the tiles start one width left, so a tile edge falls on
// the rectangle's left edge; the tiles never paint outside the rectangle.
TEST(BoxDrawingTest, TilesStartFromTheOrigin) {
    auto image = MakePicture();
    for (int origin : {0, 8, 3}) {
        Target t(40, 12, 32);
        PaintImageFill(&t.canvas, {4, 2, 30, 8}, image.get(), kFillAxisUnset, kFillAxisX, POINT{origin, 0});
        const uint32_t* row = t.surface.buffer.GetRow32(4); // through the red dot's row, y = 2 of the tile
        EXPECT_EQ(0xFFFFFFFFu, row[3]);
        EXPECT_EQ(0xFFFFFFFFu, row[34]);
        // Red dots at tile x 5: tiles start at 4 - (8 - origin mod 8) when origin is set.
        const int start = origin ? 4 - (8 - origin % 8) : 4;
        for (int x = 4; x < 34; ++x)
            EXPECT_EQ(((x - start) % 8 == 5), row[x] == 0xFFFF0000u) << "origin " << origin << " x " << x;
    }
}

// Strokes: one pixel, three pixels round, each dash pattern, per-side colours with and without
// neighbours, and a relief.
TEST(BoxDrawingTest, StrokesAndDashes) {
    for (int bpp : {32, 16}) {
        Target t(160, 80, bpp);
        const float none[4] = {0, 0, 0, 0}, round[4] = {6, 6, 6, 6};
        StrokeRoundRect(&t.canvas, {4, 4, 24, 20}, 0xFF000000u, 1, none, 0xFFFFFFFFu, nullptr);
        StrokeRoundRect(&t.canvas, {34, 4, 26, 22}, 0xFF2050C0u, 3, round, 0xFFFFFFFFu, nullptr);
        const uint32_t masks[4] = {0xAAAAAAAAu, 0xCCCCCCCCu, 0xF0F0F0F0u, 0x18FF18FFu};
        for (int i = 0; i < 4; ++i)
            StrokeRoundRect(&t.canvas, {66 + i * 23, 4, 20, 20}, 0xFF000000u, 3, none, masks[i], nullptr);
        const uint32_t colours[4] = {0xFFC00000u, 0xFF00A000u, 0xFF0000C0u, 0xFFE0A000u};
        const uint8_t all[4] = {1, 1, 1, 1}, topBottom[4] = {0, 1, 0, 1};
        StrokeMultiColor(&t.canvas, {6, 34, 40, 30}, colours, all, 4, round, 0xFFFFFFFFu);
        StrokeMultiColor(&t.canvas, {56, 34, 40, 30}, colours, topBottom, 4, none, 0xFFFFFFFFu);
        PaintRelief(&t.canvas, {108, 36, 40, 28}, 0xFFF0F0F0u, 0xFF404040u, 4);
        EXPECT_TRUE(MatchesGolden(t.surface.buffer, Name("box_strokes", bpp)));
    }
}

// A one-pixel stroke covers the outermost rows and columns of its box; along the top edge each
// pattern gives its on and off runs whatever the width.
TEST(BoxDrawingTest, StrokeEdgesAndDashRuns) {
    const float none[4] = {0, 0, 0, 0};
    {
        Target t(20, 20, 32);
        // The painter grows the path by width - 1 so the line runs through the outer pixels.
        StrokeRoundRect(&t.canvas, {2, 3, 12, 10}, 0xFF000000u, 1, none, 0xFFFFFFFFu, nullptr);
        // Corners aside: the top row and the right column are covered, their neighbours are not.
        const oxPixelBuffer& b = t.surface.buffer;
        for (int x = 3; x < 13; ++x) {
            EXPECT_EQ(0xFF000000u, b.GetRow32(3)[x]) << x;
            EXPECT_EQ(0xFFFFFFFFu, b.GetRow32(2)[x]) << x;
            EXPECT_EQ(0xFFFFFFFFu, b.GetRow32(4)[x]) << x;
        }
        for (int y = 4; y < 12; ++y) {
            EXPECT_EQ(0xFF000000u, b.GetRow32(y)[13]) << y;
            EXPECT_EQ(0xFFFFFFFFu, b.GetRow32(y)[14]) << y;
            EXPECT_EQ(0xFFFFFFFFu, b.GetRow32(y)[12]) << y;
        }
    }
    struct Case {
        uint32_t mask;
        int on, off;
    };
    for (const Case& c : {Case{0xAAAAAAAAu, 1, 1}, Case{0xCCCCCCCCu, 2, 2}, Case{0xF0F0F0F0u, 4, 4}}) {
        Target t(80, 20, 32);
        StrokeRoundRect(&t.canvas, {2, 4, 75, 12}, 0xFF000000u, 3, none, c.mask, nullptr);
        // Runs along the top row between the corners.
        std::vector<int> runs;
        bool drawn = false;
        int length = 0;
        for (int x = 10; x < 60; ++x) {
            const bool d = (t.surface.buffer.GetRow32(4)[x] & 0xFF) < 0x80;
            if (x > 10 && d != drawn) {
                runs.push_back(drawn ? length : -length);
                length = 0;
            }
            drawn = d;
            ++length;
        }
        ASSERT_GE(runs.size(), 4u) << std::hex << c.mask;
        for (size_t i = 1; i + 1 < runs.size(); ++i)
            EXPECT_EQ(runs[i] > 0 ? c.on : -c.off, runs[i]) << std::hex << c.mask << " run " << i;
        // A dashed stroke is one pixel wide whatever its width.
        for (int x = 10; x < 60; ++x)
            EXPECT_EQ(0xFFFFFFFFu, t.surface.buffer.GetRow32(5)[x]) << x;
    }
}

// A shadow under a fill, and layers composited at full opacity, at 50 % (global alpha 127) and
// flipped.
TEST(BoxDrawingTest, ShadowsAndLayers) {
    for (int bpp : {32, 16}) {
        Target t(140, 60, bpp);
        oxShadowStyle shadow(oxShadowStyle::kShadow, 0xFF000000u, 4, 0.6f, nullptr);
        shadow.offset = POINT{3, 3};
        shadow.Paint(&t.canvas, {10, 10, 30, 30}, nullptr);
        FillRoundRect(&t.canvas, {10, 10, 30, 30}, 0xFFF0C040u, 6);
        int x = 50;
        for (int opacity : {-1, 50}) {
            oxCanvas* layer = CreateBoxLayer(36, 36);
            ASSERT_NE(nullptr, layer);
            EXPECT_EQ(1, layer->flags & 1);
            FillRoundRect(layer, {0, 0, 36, 36}, 0xFF2060E0u, 10);
            FillRoundRect(layer, {4, 4, 14, 14}, 0xFFE02020u, 0);
            oxLayerComposite how;
            how.opacity = opacity;
            how.flip = opacity < 0 ? kFillAxisUnset : kFillAxisBoth;
            t.canvas.PushMatrix();
            t.canvas.OffsetOrigin(float(x), 12);
            FinishBoxLayer(layer, &t.canvas, how);
            t.canvas.PopMatrix();
            x += 44;
        }
        EXPECT_TRUE(MatchesGolden(t.surface.buffer, Name("box_layers", bpp), 2));
    }
}

// 50 % opacity composites with global alpha 127: opaque white over black gives 127.
TEST(BoxDrawingTest, HalfOpacityLayerAlpha) {
    Target t(8, 8, 32);
    t.surface.Fill32(0xFF000000u);
    oxCanvas* layer = CreateBoxLayer(8, 8);
    ASSERT_NE(nullptr, layer);
    FillRoundRect(layer, {0, 0, 8, 8}, 0xFFFFFFFFu, 0);
    // The layer's own fill is drawn at alpha 255 of 256.
    const uint32_t inLayer = layer->Target().GetRow32(4)[4] & 0xFF;
    oxLayerComposite how;
    how.opacity = 50;
    int savedAlpha = t.canvas.Alpha();
    FinishBoxLayer(layer, &t.canvas, how);
    EXPECT_EQ(savedAlpha, t.canvas.Alpha());
    const uint32_t blue = t.surface.buffer.GetRow32(4)[4] & 0xFF;
    EXPECT_NEAR(int(inLayer * 127 / 256), int(blue), 1);
}

TEST(BoxDrawingTest, PixelRoutines) {
    TestSurface s(3, 2, 32);
    for (int i = 0; i < 6; ++i)
        s.buffer.GetRow32(i / 3)[i % 3] = uint32_t(i);
    MirrorPixelBufferHorizontally(s.buffer);
    EXPECT_EQ(2u, s.buffer.GetRow32(0)[0]);
    EXPECT_EQ(3u, s.buffer.GetRow32(1)[2]);
    oxDibBitmap bitmap(4, 4, 32, true, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap.pixels.GetRow32(y)[x] = 0x00123456u;
    const RECT part{1, 1, 3, 3};
    SetAlphaRect(&bitmap, &part, 0.5f);
    EXPECT_EQ(0x80123456u, bitmap.pixels.GetRow32(1)[1]);
    EXPECT_EQ(0x00123456u, bitmap.pixels.GetRow32(0)[0]);
    SetAlphaRect(&bitmap, nullptr, 1.0f);
    EXPECT_EQ(0xFF123456u, bitmap.pixels.GetRow32(0)[0]);
    RECT r{0, 0, 2, 2};
    const RECT other{-1, 1, 5, 3};
    RectUnion(r, &other);
    RectUnion(r, nullptr);
    EXPECT_EQ(-1, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(5, r.right);
    EXPECT_EQ(3, r.bottom);
}

// Nothing is drawn without a target, a picture or a rectangle, and nothing crashes.
TEST(BoxDrawingTest, MissingPiecesDrawNothing) {
    oxCanvas empty;
    const float none[4] = {0, 0, 0, 0};
    FillRoundRectRadii(&empty, {0, 0, 4, 4}, 0xFF000000u, none);
    FillRoundRectRadii(nullptr, {0, 0, 4, 4}, 0xFF000000u, none);
    StrokeRoundRect(&empty, {0, 0, 4, 4}, 0xFF000000u, 1, none, 0xFFFFFFFFu, nullptr);
    Target t(8, 8, 32);
    PaintImageFill(&t.canvas, {0, 0, 8, 8}, nullptr, kFillAxisUnset, kFillAxisBoth, POINT{0, 0});
    auto image = MakePicture();
    PaintImageFill(&t.canvas, {0, 0, 0, 8}, image.get(), kFillAxisUnset, kFillAxisBoth, POINT{0, 0});
    PaintNineSlice(&t.canvas, {0, 0, 8, 8}, image.get(), RECT{50, -3, 70, 2}, kFillAxisUnset);
    EXPECT_EQ(0, ClearCanvas(&empty));
    EXPECT_EQ(nullptr, CreateBoxLayer(0, 0));
    FinishBoxLayer(nullptr, &t.canvas, oxLayerComposite());
}

// A frame's paint: the canvas takes the client size with an odd width made even, is cleared only when
// asked, and keeps the clip bounds of the dirty rectangle while the clip rectangle is dropped.
TEST(BoxDrawingTest, FramePaintSizesClearsAndKeepsTheDirtyClip) {
    oxCanvas canvas;
    BeginFramePaint(&canvas, 7, 5, false);
    ASSERT_TRUE(canvas.HasTarget());
    EXPECT_EQ(8, canvas.Target().width);
    EXPECT_EQ(5, canvas.Target().height);
    EndFramePaint(&canvas, nullptr, true);
    for (bool clear : {false, true}) {
        canvas.Target().GetRow32(2)[3] = 0xFF123456u;
        canvas.ResetClip();
        canvas.IntersectClip(oxCanvasRect{1, 1, 4, 3});
        const RECT stray{0, 0, 1, 1};
        canvas.SetClipRect(&stray);
        BeginFramePaint(&canvas, 8, 5, clear);
        EXPECT_EQ(clear ? 0u : 0xFF123456u, canvas.Target().GetRow32(2)[3]);
        const RECT c = canvas.GetClippedTargetRect();
        EXPECT_EQ((std::vector<int>{1, 1, 5, 4}), (std::vector<int>{c.left, c.top, c.right, c.bottom}));
        EndFramePaint(&canvas, nullptr, true);
    }
    BeginFramePaint(nullptr, 8, 5, true);
    EndFramePaint(nullptr, nullptr, true);
}

// Pictures decoded for painting come out 32-bit: a picture without alpha is opaque, one with alpha
// keeps it, and an animation (several frames) is left as decoded.
TEST(BoxDrawingTest, DecodeImageOpaqueGivesThirtyTwoBitPictures) {
    struct Case {
        const char* file;
        bool keepsAlpha;
    } cases[] = {{"png_c2_d8.png", false}, {"jpeg_baseline.jpg", false}, {"png_c6_d8.png", true}};
    for (const Case& k : cases) {
        const std::vector<uint8_t> bytes = ReadImageFixture(k.file);
        oxFrameList plain, opaque;
        ASSERT_EQ(1, DecodeBytes(bytes, &plain)) << k.file;
        void* block = ImageAlloc(bytes.size(), 0);
        ASSERT_TRUE(block);
        std::memcpy(block, bytes.data(), bytes.size());
        ASSERT_EQ(1, DecodeImageOpaque(block, bytes.size(), &opaque)) << k.file;
        const oxDibBitmap* a = plain.GetFrame(0);
        const oxDibBitmap* b = opaque.GetFrame(0);
        ASSERT_TRUE(a && b) << k.file;
        ASSERT_EQ(32, b->bpp) << k.file;
        bool translucent = false;
        for (int y = 0; y < b->height; ++y)
            for (int x = 0; x < b->width; ++x) {
                const uint32_t p = b->pixels.GetRow32(y)[x];
                translucent |= (p >> 24) != 0xFF;
                if (a->bpp == 32) {
                    ASSERT_EQ(a->pixels.GetRow32(y)[x], p) << k.file;
                } else {
                    const uint8_t* q = a->pixels.GetPixelAddress(x, y); // blue, green, red
                    ASSERT_EQ(0xFF000000u | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0], p) << k.file;
                }
            }
        EXPECT_EQ(k.keepsAlpha, translucent) << k.file;
    }
    const std::vector<uint8_t> gif = ReadImageFixture("gif_disposals.gif");
    oxFrameList plain, animation;
    ASSERT_EQ(1, DecodeBytes(gif, &plain));
    void* block = ImageAlloc(gif.size(), 0);
    ASSERT_TRUE(block);
    std::memcpy(block, gif.data(), gif.size());
    ASSERT_EQ(1, DecodeImageOpaque(block, gif.size(), &animation));
    ASSERT_GT(animation.GetFrameCount(), 1u);
    ASSERT_EQ(plain.GetFrameCount(), animation.GetFrameCount());
    const oxDibBitmap* a = plain.GetFrame(0);
    const oxDibBitmap* b = animation.GetFrame(0);
    for (int y = 0; y < a->height; ++y)
        for (int x = 0; x < a->width; ++x)
            ASSERT_EQ(a->pixels.GetRow32(y)[x], b->pixels.GetRow32(y)[x]);
}

// A 32-bit picture whose pixels carry no alpha of their own is made opaque; one that is not the
// list's first frame is refused.
TEST(BoxDrawingTest, MakeOpaque32) {
    oxFrameList frames;
    auto* bitmap = new oxDibBitmap(3, 2, 32, true, false);
    ASSERT_TRUE(bitmap->valid);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            bitmap->pixels.GetRow32(y)[x] = 0x00102030u + uint32_t(x);
    ASSERT_EQ(1, frames.AddFrame(bitmap, -1, 32));
    oxDibBitmap other(2, 2, 32, true, false);
    EXPECT_EQ(nullptr, MakeOpaque32(&other, &frames));
    EXPECT_EQ(nullptr, MakeOpaque32(bitmap, nullptr));
    ASSERT_EQ(bitmap, MakeOpaque32(bitmap, &frames));
    EXPECT_EQ(0xFF102032u, bitmap->pixels.GetRow32(1)[2]);
    bitmap->premultiplied = 1;
    bitmap->pixels.GetRow32(0)[0] = 0x40101010u;
    MakeOpaque32(bitmap, &frames);
    EXPECT_EQ(0x40101010u, bitmap->pixels.GetRow32(0)[0]);
}

// One radius stands for four equal corners, none for square ones; a gradient's own radii win.
TEST(BoxDrawingTest, GradientRadiusIsOneRadiusForEveryCorner) {
    auto ramp = std::make_unique<oxDibBitmap>(256, 1, 32, true, false);
    const uint32_t stops[2] = {0xFFFF0000u, 0xFF0000FFu};
    oxGradientFill gradient;
    const oxCanvasRect rect{2, 2, 28, 20};
    ASSERT_TRUE(BuildLinearGradient(ramp.get(), stops, 2, rect, 0, 0, 1, 0, &gradient));
    const float five = 5, fours[4] = {5, 5, 5, 5}, zeros[4] = {0, 0, 0, 0};
    struct Case {
        const float* radius;
        const float* radii;
        bool own;
    } cases[] = {{&five, fours, false}, {nullptr, zeros, false}, {&five, zeros, true}};
    for (const Case& k : cases) {
        gradient.hasRadii = k.own;
        for (float& r : gradient.radii)
            r = 0;
        Target one(32, 24, 32), four(32, 24, 32);
        PaintGradientRadius(&one.canvas, rect, gradient, k.radius);
        PaintGradient(&four.canvas, rect, gradient, k.radii);
        EXPECT_EQ(four.surface.bytes, one.surface.bytes);
        // Rounded corners leave the rectangle's corner pixel white.
        EXPECT_EQ(k.radii == fours, one.surface.buffer.GetRow32(2)[2] == 0xFFFFFFFFu);
    }
}
