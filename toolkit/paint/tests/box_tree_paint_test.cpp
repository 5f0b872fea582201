// Box trees painted through the box painter. Repainted in strips as a frame does after a scroll, a
// box whose shadow alone reaches into the strip must repaint that shadow.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/paint/box_painter.h"

namespace {

class Scene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        auto* box = new (std::nothrow) oxBox(tag);
        if (box) box->SetScene(this);
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    void CloseTrackedPopup() override {}
    oxStyleRuleMaps rules;
};

class BoxTreePaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxBoxPainter::InstallPaintServices();
    }
    void TearDown() override {
        if (root) root->Release();
        oxSetBoxPaintServices(nullptr);
    }
    oxBox* Make(oxAtom tag, std::initializer_list<std::pair<const WCHAR*, const WCHAR*>> style, oxBox* parent) {
        oxBox* box = scene.CreateBox(kAtomBoxNamespace, tag);
        for (const auto& [name, value] : style)
            box->SetStyle(name, value);
        if (parent) parent->AddChild(box);
        return box;
    }
    // The tree painted onto a white surface, clipped to `clip` when given.
    std::vector<uint32_t> Paint(const oxCanvasRect* clip) {
        TestSurface surface(kWidth, kHeight, 32);
        surface.Fill32(0xFFFFFFFFu);
        oxCanvas canvas;
        EXPECT_EQ(1, canvas.AttachTarget(surface.buffer));
        if (clip) canvas.IntersectClip(*clip);
        root->Paint(&canvas);
        std::vector<uint32_t> out;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                out.push_back(surface.buffer.GetRow32(y)[x]);
        return out;
    }

    static constexpr int kWidth = 80, kHeight = 80;
    Scene scene;
    oxBox* root = nullptr;
};

// A list scrolled so that a shadowed row lies just under its bottom edge: the row is out of view, its
// shadow (radius 4: its outsets reach 8 pixels above the row) is in view. A repaint of the list's bottom strip, as the
// frame makes after scrolling, gives the pixels of a whole repaint.
TEST_F(BoxTreePaintTest, ScrolledBoxWhoseShadowAloneIsVisibleRepaintsIt) {
    root = Make(kAtomVbox, {{u"fill", u"#ffffff"}}, nullptr);
    oxBox* list = Make(kAtomVbox, {{u"height", u"60"}, {u"maxHeight", u"auto"}, {u"overflow", u"scroll"}}, root);
    for (int i = 0; i < 4; ++i)
        Make(kAtomBox,
             {{u"height", u"30"},
              {u"marginBottom", u"20"},
              {u"fill", u"#3060c0"},
              {u"shadowColor", u"#000000"},
              {u"shadowRadius", u"4"},
              {u"shadowOpacity", u"80"}},
             list);
    ArrangeLayoutRoot(root, kWidth, kHeight);
    // Rows at 0, 50, 100 and 150 of the content; scrolled by 40 the second row ends at 40 and the
    // third starts at 60, the list's bottom edge. The strip at 54..60 lies within the third row's
    // outsets and past the faint end of the second row's shadow (which fades out by 52).
    list->SetScrollY(40);
    const int16_t* out = list->GetFirstChild(false)->GetPaintOutsets();
    EXPECT_EQ(8, out[0]); // the shadow reaches 2r above the row
    EXPECT_EQ(8, out[2]);

    const std::vector<uint32_t> whole = Paint(nullptr);
    const oxCanvasRect strip{0, 54, kWidth, 6};
    const std::vector<uint32_t> repaint = Paint(&strip);
    int shaded = 0;
    for (int y = strip.y; y < strip.y + strip.height; ++y)
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(whole[size_t(y) * kWidth + x], repaint[size_t(y) * kWidth + x]) << x << "," << y;
            shaded += whole[size_t(y) * kWidth + x] != 0xFFFFFFFFu;
        }
    EXPECT_GT(shaded, kWidth); // the strip does show the shadow
}

} // namespace

namespace {

// Only ancestors that clip their overflowing content cut the visible rectangle: a list of 60 whose
// rows reach 180 does with `overflow` hidden or scroll, not with visible; the root, whose content
// fits, never does. Rectangles are in the frame's coordinates, as frame positions are.
TEST_F(BoxTreePaintTest, VisibleRectangleIsCutByClippingAncestors) {
    struct Case {
        const WCHAR* overflow;
        int secondHeight; // of the row at 50
        bool thirdSeen;   // the row at 100
    } cases[] = {{u"scroll", 10, false}, {u"hidden", 10, false}, {u"visible", 30, true}};
    for (const Case& k : cases) {
        if (root) root->Release();
        root = Make(kAtomVbox, {}, nullptr);
        oxBox* list = Make(kAtomVbox, {{u"height", u"60"}, {u"maxHeight", u"auto"}, {u"overflow", k.overflow}}, root);
        for (int i = 0; i < 4; ++i)
            Make(kAtomBox, {{u"height", u"30"}, {u"marginBottom", u"20"}}, list);
        ArrangeLayoutRoot(root, kWidth, kHeight);
        const oxRect first = oxBoxPainter::GetVisibleBoxRect(list->GetChildAt(0, false));
        const oxRect second = oxBoxPainter::GetVisibleBoxRect(list->GetChildAt(1, false));
        const oxRect third = oxBoxPainter::GetVisibleBoxRect(list->GetChildAt(2, false));
        EXPECT_EQ((std::vector<int>{0, 0, 80, 30}), (std::vector<int>{first.x, first.y, first.width, first.height}));
        EXPECT_EQ((std::vector<int>{0, 50, 80, k.secondHeight}),
                  (std::vector<int>{second.x, second.y, second.width, second.height}));
        EXPECT_EQ(k.thirdSeen, third.width > 0 && third.height > 0);
    }
    EXPECT_EQ(0, oxBoxPainter::GetVisibleBoxRect(nullptr).width);
}

} // namespace
