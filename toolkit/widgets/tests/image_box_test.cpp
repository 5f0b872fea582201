// Image boxes in a scene whose files live in a temporary resources folder: sizes from each picture
// kind and the "aspect" rules, animation on the virtual clock, and pictures that do not load.
#include "toolkit/widgets/image_box.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/library/library.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/widgets/tests/resource_scene.h"

namespace {

using widgets_test::ImageFixture;

class ImageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxRegisterImageBoxKind();
        clock = &platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(resources.Ok());
        resources.Write("gif_disposals.gif", ImageFixture("gif_disposals.gif"));
        resources.Write("png_c2_d8.png", ImageFixture("png_c2_d8.png"));
        resources.Write("jpeg_baseline.jpg", ImageFixture("jpeg_baseline.jpg"));
        resources.Write("ico_sizes.ico", ImageFixture("ico_sizes.ico"));
        resources.Write("corrupt.png", std::string("\x89PNG\r\n\x1a\n broken", 16));
        resources.Write("scenes/main.box", "<scene/>");
        scene = std::make_unique<widgets_test::ResourceScene>(resources.BoxUri("scenes/main.box").c_str());
        ASSERT_TRUE(oxTimerQueue::Acquire());
    }
    void TearDown() override {
        for (oxBox* b : boxes)
            b->Release();
        boxes.clear();
        scene.reset();
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }
    oxImageBox* Make(const char16_t* src) {
        auto* box = dynamic_cast<oxImageBox*>(scene->CreateBox(kAtomBoxNamespace, kAtomImage));
        EXPECT_NE(box, nullptr);
        boxes.push_back(box);
        if (src) box->SetAttribute(kAtomSrc, src, true, false);
        return box;
    }
    // Paints the box on a small canvas, as the scene's paint pass would.
    void Paint(oxImageBox* box) {
        oxCanvas canvas;
        canvas.oxGraphicsContext::SetSize(64, 64, 32);
        box->PaintContent(&canvas);
    }
    // Moves the virtual clock and runs the timer queue once.
    void Advance(uint64_t ms) {
        clock->Advance(ms);
        oxTimerQueue::Instance()->Run();
    }

    platform::VirtualClock* clock = nullptr;
    markup_test::TempResources resources;
    std::unique_ptr<widgets_test::ResourceScene> scene;
    std::vector<oxBox*> boxes;
};

TEST_F(ImageBoxTest, FactoryMakesImageBoxes) {
    oxImageBox* box = Make(nullptr);
    EXPECT_EQ(box->GetBoxType(), kAtomImage);
    EXPECT_EQ(box->GetLayout(), nullptr);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomSrc)), u"");
}

TEST_F(ImageBoxTest, EachPictureKindGivesItsNaturalSize) {
    const struct {
        const char16_t* src;
        oxPoint size;
    } cases[] = {
        {u"../gif_disposals.gif", {4, 4}}, {u"../png_c2_d8.png", {5, 3}}, {u"../jpeg_baseline.jpg", {16, 16}},
        {u"../ico_sizes.ico", {8, 8}}, // the largest of its five icons
    };
    for (const auto& c : cases) {
        oxImageBox* box = Make(c.src);
        const oxPoint size = box->GetIntrinsicSize();
        EXPECT_EQ(size.x, c.size.x) << std::string(c.src, c.src + 3);
        EXPECT_EQ(size.y, c.size.y);
    }
    EXPECT_TRUE(scene->reports.empty());
}

TEST_F(ImageBoxTest, RelativeSourceIsStoredAsItsResolvedPath) {
    oxImageBox* box = Make(u"../png_c2_d8.png");
    // Paths inside the resources folder are kept relative to it.
    const std::u16string name(resources.Name().begin(), resources.Name().end());
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomSrc)), name + u"\\png_c2_d8.png");
    // The same text again does not reload: the box keeps its state.
    const std::u16string uri = resources.BoxUri("png_c2_d8.png");
    box->SetAttribute(kAtomSrc, uri.c_str(), true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomSrc)), uri);
    box->SetAttribute(kAtomFramesRepeatCount, u"3", true, false);
    box->SetAttribute(kAtomSrc, uri.c_str(), true, false);
    EXPECT_EQ(box->GetIntrinsicSize().x, 5);
}

TEST_F(ImageBoxTest, AspectScalesFromTheOtherSide) {
    // The JPEG is 16 x 16 and the PNG 5 x 3.
    const struct {
        const char16_t* src;
        const char16_t *width, *height, *maxWidth, *maxHeight;
        oxPoint size;
    } cases[] = {
        {u"../png_c2_d8.png", u"aspect", u"30", nullptr, nullptr, {50, 30}},
        {u"../png_c2_d8.png", u"50", u"aspect", nullptr, nullptr, {50, 30}},
        {u"../jpeg_baseline.jpg", u"aspect", u"aspect", u"8", nullptr, {8, 8}},
        {u"../png_c2_d8.png", u"aspect", nullptr, u"4", u"100", {4, 2}},
        {u"../png_c2_d8.png", u"aspect", nullptr, u"400", u"400", {5, 3}}, // never scaled up
        {u"../png_c2_d8.png", u"aspect", nullptr, nullptr, nullptr, {5, 3}},
        {u"../png_c2_d8.png", u"20", u"20", nullptr, nullptr, {5, 3}}, // no aspect: the natural size
    };
    for (const auto& c : cases) {
        oxImageBox* box = Make(c.src);
        if (c.width) box->SetStyle(u"width", c.width);
        if (c.height) box->SetStyle(u"height", c.height);
        if (c.maxWidth) box->SetStyle(u"maxWidth", c.maxWidth);
        if (c.maxHeight) box->SetStyle(u"maxHeight", c.maxHeight);
        const oxPoint size = box->GetIntrinsicSize();
        EXPECT_EQ(size.x, c.size.x);
        EXPECT_EQ(size.y, c.size.y);
    }
}

TEST_F(ImageBoxTest, LaidOutAtTheAspectSize) {
    oxImageBox* box = Make(u"../png_c2_d8.png");
    box->SetStyle(u"width", u"aspect");
    box->SetStyle(u"height", u"30");
    ArrangeLayoutRoot(box, 200, 30);
    EXPECT_EQ(box->GetPacked(3).x, 50);
    EXPECT_EQ(box->GetPacked(3).y, 30);
    EXPECT_EQ(box->GetPacked(1).x, 50);
}

TEST_F(ImageBoxTest, RepeatCountReadsBackPlusOne) {
    oxImageBox* box = Make(nullptr);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomFramesRepeatCount)), u"-1");
    box->SetAttribute(kAtomFramesRepeatCount, u"0", true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomFramesRepeatCount)), u"1");
    box->SetAttribute(kAtomFramesRepeatCount, u"-5", true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomFramesRepeatCount)), u"-1");
}

// The fixture's delays are 80 (20 raised to the decoder's floor), 500, 100, 80 and 200 ms.
TEST_F(ImageBoxTest, AnimationStepsOnTheVirtualClockByEachFramesDelay) {
    oxImageBox* box = Make(u"../gif_disposals.gif");
    box->SetAttribute(kAtomFramesRepeatCount, u"1", true, false); // plays twice
    Paint(box);
    ASSERT_TRUE(box->IsAnimating());
    const int delays[] = {80, 500, 100, 80, 200};
    std::vector<int> frames;
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < 5; ++k) {
            const int frame = box->GetCurrentFrame();
            frames.push_back(frame);
            Advance(uint64_t(delays[frame] - 1));
            EXPECT_EQ(box->GetCurrentFrame(), frame) << "frame " << frame << " left early";
            Advance(1);
            Paint(box); // the next frame's timer starts when it is painted
        }
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4}));
    // Two plays done: the box rests on the first frame and starts no further timer.
    EXPECT_EQ(box->GetRepeatsDone(), 2);
    EXPECT_EQ(box->GetCurrentFrame(), 0);
    EXPECT_FALSE(box->IsAnimating());
    Advance(10000);
    EXPECT_EQ(box->GetCurrentFrame(), 0);
}

TEST_F(ImageBoxTest, AnimationStopsWhenNotPaintedOrDestroyed) {
    oxImageBox* box = Make(u"../gif_disposals.gif");
    Paint(box);
    Advance(80);
    EXPECT_EQ(box->GetCurrentFrame(), 1);
    // Hidden: nothing paints it, so no timer follows the tick.
    EXPECT_FALSE(box->IsAnimating());
    Advance(5000);
    EXPECT_EQ(box->GetCurrentFrame(), 1);

    // A box destroyed with its timer pending leaves nothing behind for the queue to call.
    Paint(box);
    ASSERT_TRUE(box->IsAnimating());
    boxes.clear();
    box->Release();
    Advance(5000);
}

TEST_F(ImageBoxTest, StillPictureStartsNoTimer) {
    oxImageBox* box = Make(u"../png_c2_d8.png");
    Paint(box);
    EXPECT_FALSE(box->IsAnimating());
    EXPECT_FALSE(oxTimerQueue::Instance()->HasEntries());
}

TEST_F(ImageBoxTest, MissingOrCorruptPictureIsReportedOnceAndTheBoxStaysEmpty) {
    for (const char16_t* src : {u"../nowhere.png", u"../corrupt.png"}) {
        scene->reports.clear();
        oxImageBox* box = Make(src);
        for (int i = 0; i < 3; ++i) {
            Paint(box);
            const oxPoint size = box->GetIntrinsicSize();
            EXPECT_EQ(size.x, 0);
            EXPECT_EQ(size.y, 0);
        }
        EXPECT_EQ(scene->reports.size(), 1u);
        EXPECT_FALSE(box->IsAnimating());
    }
}

TEST_F(ImageBoxTest, SourceOutsideTheResourcesIsNeverOpened) {
    // A real picture beside the resources folder, reachable only by climbing.
    const std::filesystem::path outside =
        std::filesystem::path(platform::ProgramHostPath()).parent_path() / "outside-image-box-test.png";
    std::ofstream(outside, std::ios::binary) << ImageFixture("png_c2_d8.png");
    for (const std::u16string& src : {std::u16string(u"../../../outside-image-box-test.png"),
                                      resources.BoxUri("../../outside-image-box-test.png"),
                                      platform::DevicePathFromHost(outside.string())}) {
        oxImageBox* box = Make(src.c_str());
        EXPECT_EQ(box->GetIntrinsicSize().x, 0);
    }
    std::filesystem::remove(outside);
}

// Without a source the box shows the bitmap resource its fill style's `icon` names.
TEST_F(ImageBoxTest, WithoutSourceTheIconResourceIsThePicture) {
    ASSERT_NE(scene->MakeBitmapResource(u"../png_c2_d8.png", oxAtoms::Intern(u"still")),
              nullptr);
    oxImageBox* box = Make(nullptr);
    EXPECT_EQ(box->GetIntrinsicSize().x, 0);
    box->SetStyle(u"icon", u"url(#still)");
    const oxPoint size = box->GetIntrinsicSize();
    EXPECT_EQ(size.x, 5);
    EXPECT_EQ(size.y, 3);
}

// A plain box whose fill names a picture of several frames steps through them while painted.
TEST_F(ImageBoxTest, AFillPictureOfSeveralFramesStepsOnTheBoxTimer) {
    oxBoxPainter::InstallPaintServices();
    auto* bitmap = static_cast<oxBitmapElement*>(
        scene->MakeBitmapResource(u"../gif_disposals.gif", oxAtoms::Intern(u"anim")));
    ASSERT_NE(bitmap, nullptr);
    bitmap->Prepare();
    ASSERT_EQ(bitmap->GetFrameCount(), 5);
    ASSERT_NE(bitmap->GetFrame(0), bitmap->GetFrame(1));
    auto* box = new oxBox(kAtomBox);
    box->SetScene(scene.get());
    box->SetStyle(u"fill", u"url(#anim)");
    ArrangeLayoutRoot(box, 4, 4);
    oxCanvas canvas;
    canvas.oxGraphicsContext::SetSize(8, 8, 32);
    box->PaintBackground(&canvas);
    EXPECT_EQ(bitmap->GetFrame(-1), bitmap->GetFrame(0));
    clock->Advance(79);
    oxTimerQueue::Instance()->Run();
    EXPECT_EQ(bitmap->GetFrame(-1), bitmap->GetFrame(0));
    Advance(1);
    EXPECT_EQ(bitmap->GetFrame(-1), bitmap->GetFrame(1));
    // The tick itself schedules the next frame, after that frame's own delay.
    Advance(500);
    EXPECT_EQ(bitmap->GetFrame(-1), bitmap->GetFrame(2));
    // A box destroyed with its entry pending is never called.
    box->Release();
    Advance(5000);
    EXPECT_EQ(bitmap->GetFrame(-1), bitmap->GetFrame(2));
    oxSetBoxPaintServices(nullptr);
}

} // namespace
