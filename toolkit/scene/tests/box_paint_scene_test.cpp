// A small styled scene from tests/data/paint painted whole through the box painter at 32 and 16 bits
// and compared with golden images; colours at computed points check what the pictures show.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/gradient_brush_element.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

using namespace markup_test;

namespace {

class BoxPaintSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxBoxPainter::InstallPaintServices();
    }

    // Loads, opens and lays out a scene at the size its `testWidth`/`testHeight` give, then applies
    // the scroll offsets of `testScrollY`.
    oxBox* Load(const std::string& name) {
        uri = Wide(DataPath("paint/" + name + ".box"));
        for (char16_t& c : uri)
            if (c == u'/') c = u'\\';
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        if (!scene->LoadFile(loader)) return nullptr;
        EXPECT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
        oxBox* root = scene->root;
        if (!root) return nullptr;
        ArrangeLayoutRoot(root, Number(root, u"testWidth"), Number(root, u"testHeight"));
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false))
            if (const WCHAR* y = b->GetAttributeText(oxAtoms::Intern(u"testScrollY"))) b->SetScrollY(_wtoi(y));
        return root;
    }
    oxBox* Box(const WCHAR* id) { return scene->FindBoxById(oxAtoms::Intern(id)); }
    template <class T> T* Resource(const WCHAR* id) {
        return dynamic_cast<T*>(scene->FindResourceById(oxAtoms::Intern(id), 0));
    }
    static int32_t Number(oxBox* box, const WCHAR* name) {
        const WCHAR* text = box->GetAttributeText(oxAtoms::Intern(name));
        return text ? _wtoi(text) : 0;
    }

    FileRuntime runtime; // outlives the scene: it holds the imported libraries
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

// Opaque pixel of a 32-bit surface without its alpha.
uint32_t Rgb(const TestSurface& s, int x, int y) {
    return s.buffer.GetRow32(y)[x] & 0xFFFFFFu;
}

TEST_F(BoxPaintSceneTest, BoxesMatchTheirGoldensAtBothDepths) {
    oxBox* root = Load("boxes");
    ASSERT_NE(root, nullptr);
    for (int bpp : {32, 16}) {
        TestSurface surface(160, 80, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        root->Paint(&canvas);
        EXPECT_TRUE(MatchesGolden(surface.buffer, bpp == 32 ? "paint/boxes_argb32" : "paint/boxes_rgb565"));
    }
}

TEST_F(BoxPaintSceneTest, ColoursAtComputedPoints) {
    oxBox* root = Load("boxes");
    ASSERT_NE(root, nullptr);
    TestSurface surface(160, 80, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);

    // The card's fill at its centre. Its 2 px stroke is centred on the box's outermost pixel row or
    // column on every side alike: that pixel is black, the one outside it half covered over the
    // white background, the one inside half covered over the red fill, and the next one out white.
    const oxRect card = Box(u"card")->GetBoxRect();
    const int midX = card.x + card.width / 2, midY = card.y + card.height / 2;
    EXPECT_EQ(0xFF0000u, Rgb(surface, midX, midY));
    struct Side {
        const char* name;
        int x, y, dx, dy; // the outermost pixel and the step outwards
    };
    const Side sides[] = {{"left", card.x, midY, -1, 0},
                          {"right", card.x + card.width - 1, midY, 1, 0},
                          {"top", midX, card.y, 0, -1},
                          {"bottom", midX, card.y + card.height - 1, 0, 1}};
    for (const Side& e : sides) {
        EXPECT_EQ(0x000000u, Rgb(surface, e.x, e.y) & 0xFCFCFC) << e.name;
        const uint32_t out = Rgb(surface, e.x + e.dx, e.y + e.dy), in = Rgb(surface, e.x - e.dx, e.y - e.dy);
        EXPECT_NEAR(0x78, int(out >> 16), 6) << e.name;
        EXPECT_EQ(out >> 16, out & 0xFF) << e.name; // grey: black over white
        EXPECT_NEAR(0x78, int(in >> 16), 6) << e.name;
        EXPECT_LE(in & 0xFFFF, 0x0202u) << e.name; // dark red: black over red
        EXPECT_EQ(0xFFFFFFu, Rgb(surface, e.x + 2 * e.dx, e.y + 2 * e.dy)) << e.name;
    }

    // The layer above the card shows over its fill; the one below is covered by it.
    const oxRect badge = Box(u"badge")->GetBoxRect();
    const oxRect under = Box(u"under")->GetBoxRect();
    ASSERT_GT(badge.width, 0);
    ASSERT_GT(under.width, 0);
    EXPECT_EQ(0xFFA500u, Rgb(surface, card.x + badge.x + badge.width / 2, card.y + badge.y + badge.height / 2));
    EXPECT_EQ(0xFF0000u, Rgb(surface, card.x + under.x + under.width / 2, card.y + under.y + under.height / 2));

    // Half-transparent blue over white.
    const oxRect faded = Box(u"faded")->GetBoxRect();
    const uint32_t mixed = Rgb(surface, faded.x + faded.width / 2, faded.y + faded.height / 2);
    EXPECT_EQ(0xFFu, mixed & 0xFF);
    EXPECT_NEAR(0x80, int(mixed >> 16), 2);
    EXPECT_NEAR(0x80, int((mixed >> 8) & 0xFF), 2);

    // The hidden box keeps its place and leaves the background.
    const oxRect gone = Box(u"gone")->GetBoxRect();
    ASSERT_GT(gone.width, 0);
    EXPECT_EQ(0xFFFFFFu, Rgb(surface, gone.x + gone.width / 2, gone.y + gone.height / 2));

    // Scrolled by 10: the list's first row is yellow for its last 5 pixels, then cyan starts.
    const oxRect list = Box(u"list")->GetBoxRect();
    EXPECT_EQ(0xFFFF00u, Rgb(surface, list.x + 2, list.y + 4));
    EXPECT_EQ(0x00FFFFu, Rgb(surface, list.x + 2, list.y + 5));
    EXPECT_EQ(0x00FFFFu, Rgb(surface, list.x + 2, list.y + 19));
    EXPECT_EQ(0xFF00FFu, Rgb(surface, list.x + 2, list.y + 20));
    // Nothing of the list paints below its rectangle.
    EXPECT_EQ(0xFFFFFFu, Rgb(surface, list.x + 2, list.y + list.height));
    // The scroll bar takes the right 6 pixels of the list.
    EXPECT_EQ(0x808080u, Rgb(surface, list.x + list.width - 3, list.y + list.height / 2));

    // Wider and taller than its room: the content shows up to the bars, the vertical bar takes the
    // right 6 pixels and the horizontal one the bottom 6. Without a scrollBoth margin both bars reach
    // the shared corner; nothing paints a corner of its own there.
    const oxRect both = Box(u"both")->GetBoxRect();
    const int right = both.x + both.width, bottom = both.y + both.height;
    EXPECT_EQ(0x0000FFu, Rgb(surface, both.x, both.y));
    EXPECT_EQ(0x0000FFu, Rgb(surface, right - 7, bottom - 7));
    EXPECT_EQ(0x808080u, Rgb(surface, right - 6, both.y));
    EXPECT_EQ(0x808080u, Rgb(surface, both.x, bottom - 6));
    EXPECT_EQ(0x808080u, Rgb(surface, right - 1, bottom - 1));
    EXPECT_EQ(0xFFFFFFu, Rgb(surface, right, bottom - 1));
    EXPECT_EQ(0xFFFFFFu, Rgb(surface, right - 1, bottom));
}

void ExpectNearColour(uint32_t want, uint32_t got, int tolerance, const char* where) {
    for (int shift = 0; shift < 24; shift += 8)
        EXPECT_NEAR(int((want >> shift) & 0xFF), int((got >> shift) & 0xFF), tolerance)
            << where << std::hex << " want " << want << " got " << got;
}

// Fills and strokes that name brushes and pens (forward references, inline, a missing id), read back
// as computed colours and as pixels at computed points.
TEST_F(BoxPaintSceneTest, FillsAndStrokesNameBrushesAndPens) {
    oxBox* root = Load("brushes");
    ASSERT_NE(root, nullptr);
    oxStyleLibrary* library = scene->GetStyleLibrary();

    // Computed values name the elements; their colours come through the references.
    struct Computed {
        const WCHAR* id;
        int property;
        uint32_t argb;
    } computed[] = {
        {u"solid", kStyle_fill, 0xFFFF0000u},
        {u"penned", kStyle_stroke, 0xFF00FF00u},
        {u"inline", kStyle_fill, 0xFFFF0000u},
        {u"missing", kStyle_fill, 0u},
        {u"ramp", kStyle_fill, 0u}, // a gradient has no one colour
    };
    for (const Computed& c : computed) {
        oxBox* box = Box(c.id);
        ASSERT_NE(box, nullptr) << Utf8(c.id);
        oxStyleValue v;
        box->GetStyleValue(c.property, &v);
        EXPECT_EQ(v.GetType(), kStyleUrl) << Utf8(c.id);
        EXPECT_EQ(ResolveColorValue(v, library), c.argb) << Utf8(c.id);
    }

    TestSurface surface(200, 40, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);

    const oxRect solid = Box(u"solid")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, solid.x + 15, 20), 0xFF0000u);
    const oxRect in = Box(u"inline")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, in.x + 10, 20), 0xFF0000u);
    const oxRect missing = Box(u"missing")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, missing.x + 10, 20), 0xFFFFFFu);

    // The ramp lays the table's 256 entries over the box's 40 pixels: the pixel d from the left
    // shows about entry (d + 0.5) x 256 / 40.
    auto* ramp = Resource<oxGradientBrushElement>(u"redToBlue");
    ASSERT_NE(ramp, nullptr);
    const uint32_t* table = ramp->GetTableEntries();
    ASSERT_NE(table, nullptr);
    const oxRect r = Box(u"ramp")->GetBoxRect();
    ASSERT_EQ(r.width, 40);
    for (int d : {0, 10, 20, 39}) {
        const int entry = std::min(255, int((d + 0.5) * 256 / 40));
        ExpectNearColour(table[entry], Rgb(surface, r.x + d, 20), 7, "ramp");
    }
    EXPECT_GT(Rgb(surface, r.x + 1, 20) >> 16, 0xF0u);   // red at the left
    EXPECT_GT(Rgb(surface, r.x + 38, 20) & 0xFF, 0xF0u); // blue at the right

    // The spot spreads from the box's centre: the distance in table entries is the offset over the
    // box's size times 256 on each axis.
    auto* spot = Resource<oxGradientBrushElement>(u"greenSpot");
    ASSERT_NE(spot, nullptr);
    const oxRect s = Box(u"spot")->GetBoxRect();
    const uint32_t* spotTable = spot->GetTableEntries();
    ASSERT_NE(spotTable, nullptr);
    for (int dx : {0, 5, 10, 19}) {
        const float cx = float(s.width) / 2, cy = float(s.height) / 2;
        const float px = float(dx) + 0.5f, py = 0.5f;
        const float ex = (px)*256.0f / float(s.width), ey = py * 256.0f / float(s.height);
        const int entry = std::min(255, int(std::sqrt(ex * ex + ey * ey)));
        ExpectNearColour(spotTable[entry], Rgb(surface, s.x + int(cx) + dx, s.y + int(cy)), 8, "spot");
    }

    // The pen strokes 4 px of green centred on the box's outermost pixels, x + 0.5: from 1.5 outside
    // to 2.5 inside, so the pixels at 2 either way are half green over white.
    const oxRect p = Box(u"penned")->GetBoxRect();
    // Covered pixels keep a trace of white (2 of 255) from the rasteriser's coverage rounding.
    for (int dx : {-1, 0, 1})
        ExpectNearColour(0x00FF00u, Rgb(surface, p.x + dx, 20), 3, "covered");
    ExpectNearColour(0x00FF00u, Rgb(surface, p.x + 15, 1), 3, "top");
    for (int dx : {-2, 2})
        ExpectNearColour(0x80FF80u, Rgb(surface, p.x + dx, 20), 10, "half covered");
    for (int dx : {-3, 3, 15})
        EXPECT_EQ(Rgb(surface, p.x + dx, 20), 0xFFFFFFu) << dx;
}

// A relief pen draws its bands as wide as the stroke that names it asks, else as wide as its own
// width: white above, black below, each band centred on the box's edge as a stroke of that width.
TEST_F(BoxPaintSceneTest, AReliefPenTakesTheStrokeWidthOfTheBoxThatNamesIt) {
    oxBox* root = Load("relief");
    ASSERT_NE(root, nullptr);
    TestSurface surface(150, 40, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);
    const struct {
        const WCHAR* id;
        int width;
    } cases[] = {{u"own", 2}, {u"wide", 6}, {u"thin", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.id));
        const oxRect r = Box(c.id)->GetBoxRect();
        ASSERT_GT(r.height, 2 * c.width);
        const int x = r.x + r.width / 2;
        const int grow = c.width > 1 ? c.width / 2 : 0;
        const int top = r.y - grow, bottom = r.y + r.height + grow;
        for (int y = 0; y < 40; ++y) {
            const uint32_t expected = y >= top && y < top + c.width         ? 0xFFFFFFu
                                      : y >= bottom - c.width && y < bottom ? 0x000000u
                                                                            : 0x808080u;
            EXPECT_EQ(Rgb(surface, x, y), expected) << "row " << y;
        }
    }
}

// A range paints its "numerator" part from the track's start to the middle of the thumb, under it.
TEST_F(BoxPaintSceneTest, RangeTrackShowsItsNumeratorUnderTheThumb) {
    oxBox* root = Load("range_parts");
    ASSERT_NE(root, nullptr);
    TestSurface surface(100, 10, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);
    struct Point {
        int x;
        uint32_t rgb;
    } points[] = {{0, 0xFF0000}, {39, 0xFF0000}, {40, 0x00FF00}, {59, 0x00FF00}, {60, 0x000000}, {99, 0x000000}};
    for (const Point& p : points)
        EXPECT_EQ(Rgb(surface, p.x, 5), p.rgb) << p.x;
}

} // namespace
