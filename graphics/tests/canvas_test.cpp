#include "graphics/paint/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

// A colour transform that adds a red offset and inverts blue through the channel tables.
class TestColorTransform : public oxCanvasColorTransform {
public:
    explicit TestColorTransform(int32_t redOffset) : red(redOffset) {}
    void ComposeWith(const oxCanvasColorTransform& outer) override {
        red += static_cast<const TestColorTransform&>(outer).red;
    }
    uint32_t TransformPixel(uint32_t argb) override {
        const int32_t r = std::min(255, int32_t((argb >> 16) & 0xFF) + red);
        return (argb & 0xFF00FF00u) | uint32_t(r) << 16 | (255 - (argb & 0xFF));
    }
    void ApplyToCanvas(oxCanvas* canvas) override {
        for (int i = 0; i < 256; ++i) {
            redTable[i] = uint8_t(std::min(255, i + red));
            blueTable[i] = uint8_t(255 - i);
        }
        canvas->SetOption(kOptionColorTransform, 1);
        canvas->SetOption(kOptionRedTable, reinterpret_cast<intptr_t>(redTable));
        canvas->SetOption(kOptionBlueTable, reinterpret_cast<intptr_t>(blueTable));
    }
    void RemoveFromCanvas(oxCanvas* canvas) override { canvas->SetOption(kOptionColorTransform, 0); }

    int32_t red;
    uint8_t redTable[256];
    uint8_t blueTable[256];
};

// A 4 x 4 opaque image of distinct colours; texel (x, y) is 0xFF000000 | x * 0x400000 | y * 0x4000 | 0x80.
oxDibBitmap* MakeImage() {
    auto* image = new oxDibBitmap(4, 4, 32, true, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image->pixels.GetRow32(y)[x] =
                0xFF000080u | uint32_t(x * 0x40 + 0x20) << 16 | uint32_t(y * 0x40 + 0x20) << 8;
    return image;
}

struct State {
    oxMatrix matrix;
    RECT clip;
    uint32_t colour;
    bool operator==(const State& o) const {
        for (int i = 0; i < 12; ++i)
            if (matrix.m[i] != o.matrix.m[i]) return false;
        return clip.left == o.clip.left && clip.top == o.clip.top && clip.right == o.clip.right &&
               clip.bottom == o.clip.bottom && colour == o.colour;
    }
};

State Snapshot(const oxCanvas& c) {
    return State{c.GetTransform(), c.ClipBounds(), c.ApplyColorTransform(0xFF102030u)};
}

TEST(CanvasTest, StacksRestoreStateInAnyOrder) {
    oxCanvas canvas(64, 48);
    TestRandom random(7);
    std::vector<oxMatrix> matrices;
    std::vector<RECT> clips;
    std::vector<uint32_t> colours;
    for (int step = 0; step < 2000; ++step) {
        const uint32_t op = random.Next() % 6;
        const State before = Snapshot(canvas);
        switch (op) {
        case 0:
            matrices.push_back(before.matrix);
            canvas.PushMatrix();
            canvas.Translate(random.Range(-8, 8), random.Range(-8, 8));
            canvas.Rotate(random.Range(-1, 1));
            break;
        case 1:
            clips.push_back(before.clip);
            canvas.PushClip();
            canvas.IntersectClip(oxCanvasRect{int32_t(random.Next() % 40), int32_t(random.Next() % 30), 30, 20});
            break;
        case 2:
            colours.push_back(before.colour);
            canvas.PushColorTransform(new TestColorTransform(int32_t(random.Next() % 5)));
            break;
        case 3:
            if (matrices.empty()) break;
            canvas.PopMatrix();
            EXPECT_EQ(0, std::memcmp(matrices.back().m, canvas.GetTransform().m, sizeof(oxMatrix)));
            matrices.pop_back();
            break;
        case 4:
            if (clips.empty()) break;
            canvas.PopClip();
            EXPECT_EQ(clips.back().left, canvas.ClipBounds().left);
            EXPECT_EQ(clips.back().bottom, canvas.ClipBounds().bottom);
            EXPECT_EQ(clips.back().right, canvas.ClipBounds().right);
            EXPECT_EQ(clips.back().top, canvas.ClipBounds().top);
            clips.pop_back();
            break;
        case 5:
            if (colours.empty()) break;
            canvas.PopColorTransform();
            EXPECT_EQ(colours.back(), canvas.ApplyColorTransform(0xFF102030u));
            colours.pop_back();
            break;
        }
        // Popping one kind never disturbs the others.
        const State after = Snapshot(canvas);
        if (op == 3 || op == 0) {
            EXPECT_EQ(0, std::memcmp(&before.clip, &after.clip, sizeof(RECT)));
        }
        if (op >= 4) {
            EXPECT_EQ(0, std::memcmp(before.matrix.m, after.matrix.m, sizeof(oxMatrix)));
        }
        ASSERT_FALSE(HasFailure()) << "step " << step;
    }
    EXPECT_EQ(matrices.size(), canvas.MatrixDepth());
    EXPECT_EQ(clips.size(), canvas.ClipDepth());
    EXPECT_EQ(colours.size(), canvas.ColorTransformDepth());
}

TEST(CanvasTest, ColourTransformsComposeWithTheTop) {
    oxCanvas canvas;
    EXPECT_EQ(0xFF102030u, canvas.ApplyColorTransform(0xFF102030u));
    canvas.PushColorTransform(nullptr);
    EXPECT_EQ(0u, canvas.ColorTransformDepth());
    canvas.PushColorTransform(new TestColorTransform(0x10));
    canvas.PushColorTransform(new TestColorTransform(0x01));
    EXPECT_EQ(0xFF2120CFu, canvas.ApplyColorTransform(0xFF102030u));
    canvas.PopColorTransform();
    EXPECT_EQ(0xFF2020CFu, canvas.ApplyColorTransform(0xFF102030u));
    canvas.PopColorTransform();
    canvas.PopColorTransform(); // one too many changes nothing
    EXPECT_EQ(0xFF102030u, canvas.ApplyColorTransform(0xFF102030u));
}

TEST(CanvasTest, MatrixUnderflowIsReportedAndChangesNothing) {
    oxCanvas canvas(8, 8);
    canvas.Translate(3, 4);
    testing::internal::CaptureStderr();
    canvas.PopMatrix();
    EXPECT_EQ("################################ Matrix stack undeflow\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(3.0f, canvas.GetTransform().m[9]);
    EXPECT_EQ(4.0f, canvas.GetTransform().m[10]);
}

TEST(CanvasTest, StyleStrings) {
    oxCanvas canvas;
    EXPECT_EQ(nullptr, canvas.PeekStyleString());
    canvas.PushStyleString(u"first");
    canvas.PushStyleString(nullptr);
    canvas.PushStyleString(u"second");
    EXPECT_EQ(std::u16string(u"second"), canvas.PeekStyleString());
    canvas.PopStyleString();
    EXPECT_EQ(std::u16string(u"first"), canvas.PeekStyleString());
    canvas.PopStyleString();
    EXPECT_EQ(nullptr, canvas.PeekStyleString());
    canvas.PopStyleString();
    EXPECT_EQ(nullptr, canvas.PeekStyleString());
}

TEST(CanvasTest, SetSizeKeepsPixelsOfTheSameSize) {
    oxCanvas canvas(6, 5);
    EXPECT_EQ(0u, canvas.Target().GetRow32(2)[2]);
    canvas.Target().GetRow32(2)[2] = 0xFF123456u;
    canvas.SetSize(6, 5);
    EXPECT_EQ(0xFF123456u, canvas.Target().GetRow32(2)[2]);
    canvas.SetSize(7, 5);
    EXPECT_EQ(7, canvas.Target().width);
    EXPECT_EQ(0u, canvas.Target().GetRow32(2)[2]);
}

TEST(CanvasTest, OriginAndMappingFollowTheMatrix) {
    oxCanvas canvas(32, 32);
    canvas.Translate(10, 20);
    canvas.OffsetOrigin(5, 6);
    EXPECT_EQ(15, canvas.GetOrigin().x);
    EXPECT_EQ(26, canvas.GetOrigin().y);
    // A quarter turn about the origin: x of the current coordinates runs down the target.
    oxMatrix turned;
    turned.RotateZ(float(-M_PI / 2));
    turned.Translate(15, 26, 0);
    canvas.SetTransform(turned);
    float axis[3] = {1, 0, 0};
    turned.TransformVector(axis, false);
    ASSERT_NEAR(1.0f, axis[1], 1e-6f);
    canvas.OffsetOrigin(5, 0);
    EXPECT_EQ(15, canvas.GetOrigin().x);
    EXPECT_EQ(31, canvas.GetOrigin().y);
    const oxCanvasRect mapped = canvas.MapRect(oxCanvasRect{0, 0, 10, 4});
    EXPECT_EQ(11, mapped.x);
    EXPECT_EQ(31, mapped.y);
    EXPECT_EQ(4, mapped.width);
    EXPECT_EQ(10, mapped.height);
    // The whole target seen from the turned coordinates: x from -31 (target top) to 1, y from
    // -17 (target right) to 15.
    const RECT local = canvas.GetLocalClipBounds();
    EXPECT_EQ(-31, local.left);
    EXPECT_EQ(-17, local.top);
    EXPECT_EQ(1, local.right);
    EXPECT_EQ(15, local.bottom);
}

// The image scaled by 4 at (8, 8) under a clip that cuts off its first row and last column of texels.
TEST(CanvasTest, ImageUnderMatrixAndClip) {
    std::unique_ptr<oxDibBitmap> image(MakeImage());
    for (int bpp : {32, 16}) {
        TestSurface surface(48, 32, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        oxCanvas canvas;
        ASSERT_EQ(1, canvas.AttachTarget(surface.buffer));
        canvas.ScaleUniform(4);
        canvas.Translate(8, 8);
        canvas.PushClip();
        canvas.IntersectClip(oxCanvasRect{0, 1, 3, 3});
        const oxCanvasRect dest{0, 0, 4, 4};
        EXPECT_EQ(1, canvas.DrawImage(image.get(), &dest, nullptr));
        canvas.PopClip();
        // Beside it, rotated a little about its centre and drawn through the colour transform.
        canvas.ResetTransform();
        canvas.Rotate(0.4f);
        canvas.Translate(38, 16);
        canvas.PushColorTransform(new TestColorTransform(0x40));
        const oxCanvasRect centred{-6, -6, 12, 12};
        EXPECT_EQ(1, canvas.DrawImage(image.get(), &centred, nullptr));
        canvas.PopColorTransform();
        EXPECT_TRUE(MatchesGolden(surface.buffer, bpp == 32 ? "canvas_image_argb32" : "canvas_image_rgb565"));
        if (bpp != 32) continue;
        // Texel centres land where the matrix puts them; nothing outside the clip (8..20, 12..24).
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 30; ++x) {
                const uint32_t p = surface.buffer.GetRow32(y)[x];
                const bool inClip = x >= 8 && x < 20 && y >= 12 && y < 24;
                if (!inClip) {
                    ASSERT_EQ(0u, p) << x << "," << y;
                } else if ((x - 8) % 4 == 1 && (y - 8) % 4 == 1) {
                    const int tx = (x - 8) / 4, ty = (y - 8) / 4;
                    EXPECT_EQ(image->pixels.GetRow32(ty)[tx], p) << x << "," << y;
                }
            }
        }
    }
}

TEST(CanvasTest, ImageColourTransformIsTakenOffAfterwards) {
    std::unique_ptr<oxDibBitmap> image(MakeImage());
    oxCanvas canvas(8, 8);
    const oxCanvasRect dest{0, 0, 8, 8};
    canvas.PushColorTransform(new TestColorTransform(0x40));
    ASSERT_EQ(1, canvas.DrawImage(image.get(), &dest, nullptr));
    const uint32_t tinted = canvas.Target().GetRow32(1)[1];
    EXPECT_EQ(canvas.ApplyColorTransform(image->pixels.GetRow32(0)[0]), tinted);
    canvas.PopColorTransform();
    ASSERT_EQ(1, canvas.DrawImage(image.get(), &dest, nullptr));
    EXPECT_EQ(image->pixels.GetRow32(0)[0], canvas.Target().GetRow32(1)[1]);
    EXPECT_EQ(0, canvas.GetOption(kOptionUseSourceAlpha));
    EXPECT_FALSE(canvas.TextureMapping());
}

TEST(CanvasTest, BadParametersDrawNothing) {
    std::unique_ptr<oxDibBitmap> image(MakeImage());
    oxDibBitmap empty(0, 0, 32, true, false);
    const oxCanvasRect dest{2, 2, 10, 10};
    const oxCanvasRect zero{2, 2, 0, 10};
    const oxCanvasRect negative{0, 0, 4, -4};
    const oxCanvasRect outside{100, 100, 4, 4};
    struct Case {
        const char* what;
        void (*setup)(oxCanvas&);
        const oxDibBitmap* bitmap;
        const oxCanvasRect* destination;
        const oxCanvasRect* source;
    };
    const Case cases[] = {
        {"null bitmap", [](oxCanvas&) {}, nullptr, &dest, nullptr},
        {"0x0 bitmap", [](oxCanvas&) {}, &empty, &dest, nullptr},
        {"empty destination", [](oxCanvas&) {}, image.get(), &zero, nullptr},
        {"negative source", [](oxCanvas&) {}, image.get(), &dest, &negative},
        {"source outside the image", [](oxCanvas&) {}, image.get(), &dest, &outside},
        {"empty clip",
         [](oxCanvas& c) {
             c.IntersectClip(oxCanvasRect{40, 40, 5, 5});
         },
         image.get(), &dest, nullptr},
        {"zero-size clip",
         [](oxCanvas& c) {
             c.IntersectClip(oxCanvasRect{4, 4, 0, 0});
         },
         image.get(), &dest, nullptr},
        {"singular matrix", [](oxCanvas& c) { c.Scale(0, 0); }, image.get(), &dest, nullptr},
        {"not a number", [](oxCanvas& c) { c.Translate(std::numeric_limits<float>::quiet_NaN(), 0); }, image.get(),
         &dest, nullptr},
    };
    for (const Case& k : cases) {
        // The target is a window into a larger block, so a write beyond it would show.
        TestSurface block(20, 20, 32);
        block.Fill32(0xFFFFFFFFu);
        oxPixelBuffer window;
        const RECT inner{4, 4, 16, 16};
        window.InitSubRect(block.buffer, &inner);
        oxCanvas canvas;
        ASSERT_EQ(1, canvas.AttachTarget(window));
        k.setup(canvas);
        canvas.DrawImage(k.bitmap, k.destination, k.source);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(0xFFFFFFFFu, block.buffer.GetRow32(y)[x]) << k.what << " at " << x << "," << y;
    }
    oxCanvas singular(8, 8);
    singular.Scale(0, 0);
    const RECT local = singular.GetLocalClipBounds();
    EXPECT_TRUE(local.left >= local.right || local.top >= local.bottom);
}

TEST(CanvasTest, DrawCanvasAndScroll) {
    oxCanvas source(4, 4);
    oxCanvas target(8, 8);
    EXPECT_EQ(0, target.DrawCanvas(nullptr, nullptr, nullptr));
    oxCanvas noTarget;
    EXPECT_EQ(0, target.DrawCanvas(&noTarget, nullptr, nullptr));
    source.Target().GetRow32(1)[2] = 0xFF00FF00u;
    const oxCanvasRect dest{0, 0, 4, 4};
    EXPECT_EQ(1, target.DrawCanvas(&source, &dest, nullptr));
    EXPECT_EQ(0xFF00FF00u, target.Target().GetRow32(1)[2]);
    target.ScrollRect(oxCanvasRect{0, 0, 8, 8}, POINT{3, 2});
    EXPECT_EQ(0xFF00FF00u, target.Target().GetRow32(3)[5]);
}

} // namespace
