// Snapshots: a box captured from its frame's painted pixels at both depths, its edge cases, the
// item lists the morphing transitions read, thumbnails and the per-box registry.
#include "toolkit/animation/snapshot.h"

#include <gtest/gtest.h>

#include <memory>

#include "graphics/tests/raster_test_util.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/scene/tests/style_test_scene.h"

using namespace markup_test;

namespace {

// A white scene of 120x60: a card with a rounded, half-outside stroke holding two rows, one of
// them collapsed, and a blue box beside it.
constexpr const char* kScene = R"xml(<?xml version="1.0" encoding="utf-8"?>
<hbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffffff" padding="6"/>
    <r:style target="card" width="40" fill="#d02040" stroke="#000000" strokeWidth="4" fillCornerRadius="6"
             strokeCornerRadius="6"/>
    <r:style tag="box" height="12" margin="4" fill="#ffc000"/>
    <r:style target="side" width="30" margin="0 0 0 8" fill="#2040c0"/>
  </r:library>
  <vbox id="card">
    <box id="row1"/>
    <box id="row2" collapsed="true"/>
    <box id="row3"/>
  </vbox>
  <vbox id="side"/>
</hbox>
)xml";

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxBoxPainter::InstallPaintServices();
        resources.Write("snap.box", kScene);
        uri = resources.DevicePath("snap.box");
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        ASSERT_TRUE(scene->LoadFile(loader));
        ASSERT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
        ASSERT_NE(scene->root, nullptr);
        ArrangeLayoutRoot(scene->root, 120, 60);
    }
    void TearDown() override { oxSetBoxPaintServices(nullptr); }
    oxBox* Box(const WCHAR* id) { return scene->FindBoxById(oxAtoms::Intern(id)); }
    // The 32-bit picture's pixels that differ from the frame's under it, the picture standing at `at`.
    static int PixelsUnlikeTheFrame(const oxPixelBuffer& picture, const oxPixelBuffer& frame, oxRect at) {
        int differ = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                differ += picture.GetRow32(y)[x] != frame.GetRow32(at.y + y)[at.x + x];
        return differ;
    }

    TempResources resources;
    FileRuntime runtime;
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

// The picture's pixel as the screen stores it: 32-bit pixels whole, 16-bit ones by the top bits
// of each channel.
uint32_t PicturePixel(const oxPixelBuffer& picture, int x, int y, int bpp) {
    const uint32_t p = picture.GetRow32(y)[x];
    if (bpp == 32) return p;
    return ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F);
}

uint32_t ScreenPixel(const oxPixelBuffer& screen, int x, int y, int bpp) {
    return bpp == 32 ? screen.GetRow32(y)[x] : screen.GetRow16(y)[x];
}

} // namespace

TEST_F(SnapshotTest, ABoxIsCapturedAsItsFramePaintedItAtBothDepths) {
    oxBox* card = Box(u"card");
    ASSERT_NE(card, nullptr);
    for (int bpp : {32, 16}) {
        SCOPED_TRACE(bpp);
        TestSurface surface(120, 60, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        oxCanvas screen;
        screen.AttachTarget(surface.buffer);
        scene->root->Paint(&screen);

        oxSnapshot* snapshot = oxTakeBoxSnapshot(card, &screen);
        ASSERT_NE(snapshot, nullptr);
        // The card's rectangle in the frame, grown by half the stroke that reaches outside it.
        const oxPoint at = card->GetFramePosition();
        const oxPoint size = card->GetPacked(1);
        const oxRect expected{at.x - 2, at.y - 2, size.x + 4, size.y + 4};
        EXPECT_EQ(expected.x, snapshot->GetRect().x);
        EXPECT_EQ(expected.y, snapshot->GetRect().y);
        EXPECT_EQ(expected.width, snapshot->GetRect().width);
        EXPECT_EQ(expected.height, snapshot->GetRect().height);
        const oxPixelBuffer* picture = snapshot->GetPicture();
        ASSERT_NE(picture, nullptr);
        ASSERT_EQ(expected.width, picture->width);
        ASSERT_EQ(expected.height, picture->height);
        int differ = 0;
        for (int y = 0; y < picture->height; ++y)
            for (int x = 0; x < picture->width; ++x)
                differ += PicturePixel(*picture, x, y, bpp) !=
                          ScreenPixel(surface.buffer, expected.x + x, expected.y + y, bpp);
        EXPECT_EQ(0, differ);
        // The card's fill shows low in its middle, the white scene at the picture's corner (the
        // 16-bit screen dithers its white).
        const uint32_t red = bpp == 32 ? 0xFFD02040u : ((0xD0 >> 3) << 11 | (0x20 >> 2) << 5 | 0x40 >> 3);
        EXPECT_EQ(red, PicturePixel(*picture, 2 + size.x / 2, picture->height - 6, bpp));
        if (bpp == 32) {
            EXPECT_EQ(0xFFFFFFFFu, picture->GetRow32(0)[0]);
        }
        snapshot->Release();
    }
}

TEST_F(SnapshotTest, ARegionIsCutToTheFrameAndAnEmptyOneLeavesNoPicture) {
    TestSurface surface(120, 60, 32);
    surface.Fill32(0xFF102030u);
    oxCanvas screen;
    screen.AttachTarget(surface.buffer);
    const oxRect frame{0, 0, 120, 60};
    struct Case {
        oxRect r;
        int32_t width, height;
    };
    const Case cases[] = {
        {{100, 50, 40, 30}, 20, 10}, // past the bottom-right corner
        {{-10, -5, 30, 20}, 20, 15}, // past the top-left corner
        {{120, 0, 10, 10}, 0, 0},    // touching the right edge only
        {{10, 10, 0, 5}, 0, 0},      // no width
    };
    for (const Case& c : cases) {
        oxSnapshot snapshot;
        snapshot.CaptureRegion(&screen, &frame, c.r);
        EXPECT_EQ(c.r.x, snapshot.GetRect().x); // the rectangle asked for is kept whole
        EXPECT_EQ(c.r.width, snapshot.GetRect().width);
        const oxPixelBuffer* picture = snapshot.GetPicture();
        if (c.width == 0) {
            EXPECT_EQ(picture, nullptr);
            snapshot.Fill(0xFF000000u, nullptr, 0); // nothing to draw on, and no fault
            EXPECT_EQ(snapshot.Thumbnail({10, 10}), nullptr);
            continue;
        }
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(c.width, picture->width);
        EXPECT_EQ(c.height, picture->height);
        EXPECT_EQ(0xFF102030u, picture->GetRow32(c.height - 1)[c.width - 1]);
    }
    // Without a frame box nothing lies in the frame.
    oxSnapshot snapshot;
    snapshot.CaptureRegion(&screen, nullptr, {0, 0, 10, 10});
    EXPECT_EQ(snapshot.GetPicture(), nullptr);
}

TEST_F(SnapshotTest, ABoxSnapshotStartsClearAtTheBoxSizeAndFillsAndClears) {
    oxBox* side = Box(u"side");
    oxSnapshot snapshot(side);
    EXPECT_EQ(snapshot.GetSourceBox(), side);
    const oxPixelBuffer* picture = snapshot.GetPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(side->GetPacked(1).x, picture->width);
    EXPECT_EQ(side->GetPacked(1).y, picture->height);
    EXPECT_EQ(0u, picture->GetRow32(3)[3]);
    const oxRect part{2, 2, 4, 4};
    snapshot.Fill(0xFF00FF00u, &part, 0);
    EXPECT_EQ(0xFF00FF00u, picture->GetRow32(3)[3]);
    EXPECT_EQ(0u, picture->GetRow32(8)[8]);
    snapshot.Clear();
    EXPECT_EQ(0u, picture->GetRow32(3)[3]);

    oxSnapshot none(nullptr);
    EXPECT_EQ(none.GetCanvas(), nullptr);
    none.Fill(0xFF000000u, nullptr, 0);
    none.Clear();
    EXPECT_EQ(none.Thumbnail({4, 4}), nullptr);
}

// A picture that went is used again by the next capture of its size: that capture shows the frame
// as it is now and nothing of the picture's last pixels, and a new box snapshot still starts clear.
TEST_F(SnapshotTest, PicturesThatWentLeaveNothingInTheNextSnapshots) {
    oxBox* card = Box(u"card");
    TestSurface surface(120, 60, 32);
    oxCanvas screen;
    screen.AttachTarget(surface.buffer);
    scene->root->Paint(&screen);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        oxSnapshot* taken = oxTakeBoxSnapshot(card, &screen);
        ASSERT_NE(taken, nullptr);
        const oxRect r = taken->GetRect();
        const oxPixelBuffer* picture = taken->GetPicture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(0, PixelsUnlikeTheFrame(*picture, surface.buffer, r));
        taken->Fill(0xFF00FF00u, nullptr, 0); // what the next capture must not show
        taken->Release();
        // The frame changes under the card before the next capture.
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
                surface.buffer.GetRow32(y)[x] = 0xFF000000u | uint32_t(x * 2) << 8 | uint32_t(y * 3);
    }
    oxBox* side = Box(u"side");
    {
        oxSnapshot dirty(side);
        dirty.Fill(0xFF00FF00u, nullptr, 0);
    }
    oxSnapshot fresh(side);
    ASSERT_NE(fresh.GetPicture(), nullptr);
    EXPECT_EQ(0u, fresh.GetPicture()->GetRow32(3)[3]);
}

// A capture reuses what the last snapshot left: its canvas when nothing drew on it or was handed
// it, else its picture. Either way the next capture shows the frame as it is now, on a canvas in
// the state a new one has, and a capture with nothing to copy is clear.
TEST_F(SnapshotTest, ACaptureAfterAnotherStartsFromAFreshCanvas) {
    oxBox* card = Box(u"card");
    TestSurface surface(120, 60, 32);
    oxCanvas screen;
    screen.AttachTarget(surface.buffer);
    scene->root->Paint(&screen);
    const struct {
        const char* what;
        void (*before)(oxSnapshot*);
    } cases[] = {
        {"left alone", [](oxSnapshot*) {}},
        {"its canvas moved and clipped",
         [](oxSnapshot* s) {
             oxCanvas* canvas = s->GetCanvas();
             canvas->PushMatrix();
             canvas->OffsetOrigin(5, 7);
             canvas->IntersectClip({1, 1, 3, 3});
             canvas->PushClip();
         }},
        {"filled", [](oxSnapshot* s) { s->Fill(0xFF00FF00u, nullptr, 0); }},
    };
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " in round " + std::to_string(round));
            oxSnapshot* first = oxTakeBoxSnapshot(card, &screen);
            ASSERT_NE(first, nullptr);
            c.before(first);
            first->Release();
            const oxRect r = Box(u"card")->GetBoxRect();
            for (int y = 0; y < surface.buffer.height; ++y)
                for (int x = 0; x < surface.buffer.width; ++x)
                    surface.buffer.GetRow32(y)[x] = 0xFF000000u | uint32_t(x * 2 + round) << 8 | uint32_t(y * 3);
            oxSnapshot* next = oxTakeBoxSnapshot(card, &screen);
            ASSERT_NE(next, nullptr);
            const oxPixelBuffer* picture = next->GetPicture();
            ASSERT_NE(picture, nullptr);
            const oxRect at = next->GetRect();
            EXPECT_GE(picture->width, r.width);
            EXPECT_EQ(0, PixelsUnlikeTheFrame(*picture, surface.buffer, at));
            oxCanvas* canvas = next->GetCanvas();
            EXPECT_EQ(0u, canvas->MatrixDepth());
            EXPECT_EQ(0u, canvas->ClipDepth());
            EXPECT_EQ(0, canvas->GetOrigin().x);
            EXPECT_EQ(0, canvas->GetOrigin().y);
            const RECT clip = canvas->ClipBounds();
            EXPECT_EQ(0, clip.left + clip.top);
            EXPECT_EQ(picture->width, clip.right);
            EXPECT_EQ(picture->height, clip.bottom);
            next->Release();
            // Nothing to copy from: the reused picture is cleared, not left as the last capture.
            oxSnapshot* plain = oxTakeBoxSnapshot(card, &screen);
            ASSERT_NE(plain, nullptr);
            plain->Release();
            oxCanvas blank;
            oxSnapshot* empty = oxTakeBoxSnapshot(card, &blank);
            ASSERT_NE(empty, nullptr);
            ASSERT_NE(empty->GetPicture(), nullptr);
            EXPECT_EQ(0u, empty->GetPicture()->GetRow32(2)[2]);
            empty->Release();
            scene->root->Paint(&screen);
        }
}

TEST_F(SnapshotTest, ThumbnailsFitThePictureOrFollowItsAspect) {
    oxSnapshot snapshot;
    TestSurface surface(200, 100, 32);
    surface.Fill32(0xFF3060C0u);
    oxCanvas screen;
    screen.AttachTarget(surface.buffer);
    const oxRect frame{0, 0, 200, 100};
    snapshot.CaptureRegion(&screen, &frame, frame);
    struct Case {
        oxPoint ask;
        int32_t width, height; // the thumbnail
        oxRect picture;        // where the picture lies in it
    };
    const Case cases[] = {
        {{50, 50}, 50, 50, {0, 13, 50, 25}}, // 25 - 12: the halves are whole numbers
        {{0, 50}, 100, 50, {0, 0, 100, 50}},
        {{40, -1}, 40, 20, {0, 0, 40, 20}},
    };
    for (const Case& c : cases) {
        oxSnapshot* thumb = snapshot.Thumbnail(c.ask);
        ASSERT_NE(thumb, nullptr);
        const oxPixelBuffer* p = thumb->GetPicture();
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(c.width, p->width);
        EXPECT_EQ(c.height, p->height);
        const oxRect& r = c.picture;
        EXPECT_EQ(0xFF3060C0u, p->GetRow32(r.y + r.height / 2)[r.x + r.width / 2]);
        EXPECT_EQ(0xFF3060C0u, p->GetRow32(r.y)[r.x]);
        EXPECT_EQ(0xFF3060C0u, p->GetRow32(r.y + r.height - 1)[r.x + r.width - 1]);
        if (r.y > 0) {
            EXPECT_EQ(0u, p->GetRow32(r.y - 1)[r.x]);
            EXPECT_EQ(0u, p->GetRow32(r.y + r.height)[r.x]);
        }
        thumb->Release();
    }
    EXPECT_EQ(snapshot.Thumbnail({0, 0}), nullptr);
    EXPECT_EQ(snapshot.Thumbnail({-3, 0}), nullptr);
}

TEST_F(SnapshotTest, RectItemsFollowTheBoxesInTheFrame) {
    oxBox* root = scene->root;
    oxBox* card = Box(u"card");
    oxSnapshot snapshot;
    snapshot.AddBoxRectItemsByTag(nullptr, root, 0);
    // Every box but the collapsed row, the root first, in document order.
    const oxBox* expected[] = {root, card, Box(u"row1"), Box(u"row3"), Box(u"side")};
    ASSERT_NE(snapshot.GetRectItems(), nullptr);
    ASSERT_EQ(std::size(expected), snapshot.GetRectItems()->size());
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(expected[i], (*snapshot.GetRectItems())[i].box) << i;

    // Relative to the card: its own item stands at (0, 0); a row at its place inside the card.
    oxSnapshot relative;
    relative.AddBoxRectItemsByTag(card, card, oxAtoms::Intern(u"box"));
    ASSERT_EQ(2u, relative.GetRectItems()->size());
    const oxSnapshotRectItem& row = (*relative.GetRectItems())[0];
    const oxPoint rowAt = Box(u"row1")->GetFramePosition(), cardAt = card->GetFramePosition();
    EXPECT_EQ(rowAt.x - cardAt.x, row.rect.x);
    EXPECT_EQ(rowAt.y - cardAt.y, row.rect.y);
    EXPECT_EQ(Box(u"row1")->GetPacked(1).x, row.rect.width);
    EXPECT_EQ(0u, row.state);

    relative.CopyRectItems(&snapshot);
    EXPECT_EQ(7u, relative.GetRectItems()->size());
    relative.CopyRectItems(&relative);
    EXPECT_EQ(14u, relative.GetRectItems()->size());
    relative.ClearRectItems();
    EXPECT_TRUE(relative.GetRectItems()->empty());

    relative.AddImageMorphItem(&snapshot, 1, 2, 3, 4);
    relative.AddImageMorphItem(nullptr, 1, 2, 3, 4);
    ASSERT_EQ(1u, relative.GetImageItems()->size());
    EXPECT_EQ(snapshot.GetPicture(), (*relative.GetImageItems())[0].Picture());
    {
        // An item whose snapshot went away gives no picture rather than a freed one.
        auto* gone = new oxSnapshot();
        gone->AddRef();
        gone->GetCanvas()->SetSize(2, 2);
        relative.AddImageMorphItem(gone, 0, 0, 1, 1);
        EXPECT_EQ(gone->GetPicture(), (*relative.GetImageItems())[1].Picture());
        gone->Release();
        EXPECT_EQ(nullptr, (*relative.GetImageItems())[1].Picture());
    }

    relative.Destroy();
    EXPECT_EQ(relative.GetCanvas(), nullptr);
    EXPECT_EQ(relative.GetImageItems(), nullptr);
    relative.Clear(); // a destroyed snapshot does nothing
    relative.AddBoxRectItem(nullptr, card);
    EXPECT_EQ(1u, relative.GetRectItems()->size());
}

TEST_F(SnapshotTest, TheRegistryHoldsOneReferencePerEntryAndKeepsTheLast) {
    oxBox* card = Box(u"card");
    auto* first = new oxSnapshot();
    auto* second = new oxSnapshot();
    first->AddRef();
    second->AddRef();
    oxSetBoxSnapshot(card, first, 1);
    oxSetBoxSnapshot(card, second, 1);
    EXPECT_EQ(second, oxFindBoxSnapshot(card, 1));
    EXPECT_EQ(nullptr, oxFindBoxSnapshot(card, 0)); // the layers are apart
    EXPECT_EQ(2u, first->AddRef());                 // the replaced entry gave its reference back
    first->Release();
    oxSetBoxSnapshot(card, first, 0);
    EXPECT_EQ(1u, first->Release()); // the registry's reference keeps it
    EXPECT_EQ(first, oxFindBoxSnapshot(card, 0));
    oxSetBoxSnapshot(nullptr, second, 0);
    oxSetBoxSnapshot(card, nullptr, 0);
    EXPECT_EQ(first, oxFindBoxSnapshot(card, 0));
    oxRemoveBoxSnapshot(card, 0); // frees it
    oxRemoveBoxSnapshot(card, 0);
    EXPECT_EQ(nullptr, oxFindBoxSnapshot(card, 0));
    EXPECT_EQ(3u, second->AddRef());
    second->Release();
    oxRemoveBoxSnapshot(card, 1);
    EXPECT_EQ(0u, second->Release()); // the last reference destroys it
}

TEST_F(SnapshotTest, APaintedBoxFillsItsTargetSnapshotAndShowsItsSourceSnapshot) {
    oxBox* card = Box(u"card");
    const oxPoint at = card->GetFramePosition(), size = card->GetPacked(1);
    const int lowX = at.x + size.x / 2, lowY = at.y + size.y - 6; // on the card's fill, below its rows
    auto paint = [&](TestSurface& surface) {
        surface.Fill32(0xFF000000u);
        oxCanvas screen;
        screen.AttachTarget(surface.buffer);
        scene->root->Paint(&screen);
    };
    TestSurface plain(120, 60, 32), painted(120, 60, 32);
    paint(plain);

    // A target snapshot takes the card's painting (its origin moved by the 2 px outsets), and the
    // card still reaches the screen through it.
    auto* target = new oxSnapshot(card);
    target->AddRef();
    oxSetBoxSnapshot(card, target, 0);
    paint(painted);
    const oxPixelBuffer* picture = target->GetPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(0xFFD02040u, picture->GetRow32(2 + size.y - 6)[2 + size.x / 2]);
    EXPECT_EQ(0xFFD02040u, painted.buffer.GetRow32(lowY)[lowX]);
    EXPECT_EQ(0xFF2040C0u, painted.buffer.GetRow32(lowY)[Box(u"side")->GetFramePosition().x + 2]);

    // With a source snapshot as well, only the source shows where the card was.
    auto* source = new oxSnapshot(card);
    source->AddRef();
    source->Fill(0xFF00FF00u, nullptr, 0);
    oxSetBoxSnapshot(card, source, 1);
    target->Clear();
    paint(painted);
    EXPECT_EQ(0xFF00FF00u, painted.buffer.GetRow32(lowY)[lowX]);
    EXPECT_EQ(0xFF00FF00u, painted.buffer.GetRow32(at.y - 2)[at.x - 2]); // the source starts at the outsets
    EXPECT_EQ(0xFFD02040u, picture->GetRow32(2 + size.y - 6)[2 + size.x / 2]);

    // A target snapshot without a picture paints nothing of the box, and the source still shows.
    target->Destroy();
    paint(painted);
    EXPECT_EQ(0xFF00FF00u, painted.buffer.GetRow32(lowY)[lowX]);

    // Taken away, they leave the box painted as before.
    oxRemoveBoxSnapshot(card, 0);
    oxRemoveBoxSnapshot(card, 1);
    paint(painted);
    int differ = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            differ += plain.buffer.GetRow32(y)[x] != painted.buffer.GetRow32(y)[x];
    EXPECT_EQ(0, differ);
    target->Release();
    source->Release();
}

TEST_F(SnapshotTest, ABoxGoingAwayGivesBackItsSnapshots) {
    auto* box = new oxBox(kAtomBox);
    auto* snapshot = new oxSnapshot();
    snapshot->AddRef();
    oxSetBoxSnapshot(box, snapshot, 0);
    oxSetBoxSnapshot(box, snapshot, 1);
    box->Release();
    EXPECT_EQ(nullptr, oxFindBoxSnapshot(box, 0));
    EXPECT_EQ(nullptr, oxFindBoxSnapshot(box, 1));
    EXPECT_EQ(0u, snapshot->Release()); // neither layer kept a reference
}
