// The transition object: the effect factory, and runs of its frame loop into a headless window on a
// clock that moves 10 ms each time it is read, so that a run of 300 ms shows a known number of
// frames; keys and taps that arrive while it runs end it early, and its last frame is the target.
#include "toolkit/animation/transition.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "platform/win/gdi.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "toolkit/animation/rect_sorter_effect.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition_effect.h"
#include "toolkit/animation/water_effect.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/markup/tests/temp_resources.h"

using namespace markup_test;

namespace {

constexpr int W = 40, H = 20;
constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;

// Moves 10 ms at every read; `onRead` runs at the read numbered `at` (input arriving mid-run).
class SteppingClock : public platform::Clock {
public:
    uint64_t NowMs() const override {
        now_ += 10;
        ++reads_;
        if (onRead_ && reads_ == at_) onRead_();
        if (onEveryRead_) onEveryRead_(reads_);
        return now_;
    }
    // Called at every read with its number, counted from the last Arm.
    void Watch(std::function<void(int)> watcher) {
        reads_ = 0;
        onEveryRead_ = std::move(watcher);
    }
    void Arm(int read, std::function<void()> input) {
        reads_ = 0;
        at_ = read;
        onRead_ = std::move(input);
    }

private:
    mutable uint64_t now_ = 1000;
    mutable int reads_ = 0;
    int at_ = -1;
    std::function<void()> onRead_;
    std::function<void(int)> onEveryRead_;
};

oxTransitionHost g_host;
bool FindTestHost(oxBox*, oxTransitionHost* host) {
    *host = g_host;
    return true;
}

class TransitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        resources.Write("t.box", R"(<box xmlns="http://www.kestrum.com/weftly/box.xsd" id="root"/>)");
        uri = resources.DevicePath("t.box");
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        ASSERT_TRUE(scene->LoadFile(loader));
        scene->Open();
        ASSERT_NE(scene->root, nullptr);
        ArrangeLayoutRoot(scene->root, W, H);

        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"TransitionTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, u"TransitionTestWindow", u"", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        platform::headless::RunUntilIdle();
        ASSERT_TRUE(backBuffer.SetSize(W, H, 32));
        g_host = oxTransitionHost{};
        g_host.window = window;
        g_host.canvas = &backBuffer;
        oxSetTransitionHostFinder(FindTestHost);
        source.Fill32(kBlack);
        target.Fill32(kWhite);
        previousClock = platform::SetClock(&clock);
        platform::input::Reset();
    }
    void TearDown() override {
        platform::SetClock(previousClock);
        platform::input::Reset();
        oxSetTransitionHostFinder(nullptr);
        DestroyWindow(window);
        platform::headless::RunUntilIdle();
    }
    // A transition of the root box with the effect and duration.
    oxTransition* Make(const WCHAR* type, int32_t ms) {
        auto* t = new oxTransition(scene->root);
        t->AddRef();
        t->CreateEffect(type);
        t->duration = ms;
        return t;
    }
    // The window's pixels on the screen as letters: b black, w white, . anything else; row y.
    std::string ScreenRow(int y) {
        std::string s;
        for (uint32_t p : platform::headless::ReadScreen(RECT{0, y, W, y + 1}))
            s += p == 0 ? 'b' : p == 0xFFFFFF ? 'w' : '.';
        return s;
    }
    bool BackBufferIsTarget() {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (backBuffer.Target().GetRow32(y)[x] != kWhite) return false;
        return true;
    }

    FileRuntime runtime;
    TempResources resources;
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
    HWND window = nullptr;
    oxCanvas backBuffer;
    TestSurface source{W, H, 32}, target{W, H, 32};
    SteppingClock clock;
    platform::Clock* previousClock = nullptr;
};

} // namespace

TEST(TransitionFactoryTest, EachKeyBuildsItsEffect) {
    struct Case {
        const WCHAR* key;
        const char* name; // null: no effect
    };
    // Every key of the factory, in its order, then names that are not keys.
    const Case cases[] = {
        {u"", "Base Transition"},
        {u"imageMorph", "Image Morph"},
        {u"rectSorter", "Rectangle Sorter"},
        {u"rectSorterZoom", "Rectangle Sorter"},
        {u"blur", "Blur"},
        {u"alpha", "Alpha"},
        {u"water", "Water"},
        {u"ripple", "Ripple"},
        {u"radialWipeIn", "Radial Wipe"},
        {u"radialWipeOut", "Radial Wipe"},
        {u"pageTurn", "Page Turn"},
        {u"black", "Base Transition"},
        {u"lightWipe", "Light Wipe"},
        {u"roll", "Roll"},
        {u"scaleWipe", "Scale Wipe"},
        {u"twist", "Twist"},
        {u"puzzle", "Puzzle"},
        {u"dissolve", "Base Transition"},
        {u"spiral", "Spiral"},
        {u"spring", "Spring"},
        {u"super", "SuperBLT"},
        {u"gizmo", "Gizmo"},
        {u"slideCoverLeft", "Move"},
        {u"slideCoverUp", "Move"},
        {u"slideCoverRight", "Move"},
        {u"slideCoverDown", "Move"},
        {u"slideUncoverLeft", "Base Transition"},
        {u"slideUncoverUp", "Base Transition"},
        {u"slideUncoverRight", "Base Transition"},
        {u"slideUncoverDown", "Base Transition"},
        {u"squashLeft", "Squash"},
        {u"squashRight", "Squash"},
        {u"squashDown", "Squash"},
        {u"squashUp", "Squash"},
        {u"pushLeft", "Push"},
        {u"pushRight", "Push"},
        {u"pushDown", "Push"},
        {u"pushUp", "Push"},
        {u"spinCW", "SpinZoom"},
        {u"spinCCW", "SpinZoom"},
        {u"zoomIn", "SpinZoom"},
        {u"zoomOut", "SpinZoom"},
        {u"spinCWIn", "SpinZoom"},
        {u"spinCCWIn", "SpinZoom"},
        {u"spinCWOut", "SpinZoom"},
        {u"spinCCWOut", "SpinZoom"},
        {u"pushleft", nullptr},
        {u"Water", nullptr},
        {u"slideUncover", nullptr},
        {u"noSuchEffect", nullptr},
        {u"imageMorph", "Image Morph"},      {u"blur", "Blur"},
        {u"alpha", "Alpha"},                 {u"ripple", "Ripple"},
        {u"black", "Base Transition"},       {u"lightWipe", "Light Wipe"},
        {u"roll", "Roll"},                   {u"twist", "Twist"},
    };
    for (const Case& c : cases) {
        oxTransition t;
        EXPECT_EQ(c.name != nullptr, t.CreateEffect(c.key)) << Utf8(c.key);
        if (c.name)
            EXPECT_STREQ(c.name, t.GetEffect() ? t.GetEffect()->GetName() : "(no effect)") << Utf8(c.key);
        else
            EXPECT_EQ(nullptr, t.GetEffect());
    }
    oxTransition t;
    EXPECT_EQ(1, t.duration == 1000 && t.fillColor == 0xFF000000u);
    EXPECT_EQ(1, t.SetType(u"pushLeft"));
    oxTransitionEffect* kept = t.GetEffect();
    EXPECT_EQ(0, t.SetType(u"pushLeft")) << "the same name keeps the effect and its state";
    EXPECT_EQ(kept, t.GetEffect());
    EXPECT_EQ(1, t.SetType(u"pushRight"));
    EXPECT_EQ(0, t.SetType(nullptr));
    EXPECT_STREQ("Push", t.GetEffect()->GetName());
}

TEST_F(TransitionTest, RunsUntilTheDurationAndEndsOnTheTarget) {
    oxTransition* t = Make(u"pushLeft", 300);
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    // One clock read before the loop, one per frame: 10 ms a frame, so 30 frames reach 300 ms (or
    // 31, when the seconds in floating point leave the thirtieth a hair short of the end).
    EXPECT_NEAR(30.5, t->GetEffect()->FrameCount(), 0.5);
    EXPECT_FLOAT_EQ(1.0f, t->GetEffect()->Progress());
    EXPECT_EQ(std::string(W, 'w'), ScreenRow(0));
    EXPECT_EQ(std::string(W, 'w'), ScreenRow(H - 1));
    EXPECT_TRUE(BackBufferIsTarget()) << "the frame's back buffer keeps the last frame";
    t->Release();
}

TEST_F(TransitionTest, TheSorterTakesItsItemsFromTheRunClippedToTheBox) {
    oxTransition* t = Make(u"rectSorter", 100);
    // One row moving down, one moving out of the box below: that one fades out where it was.
    oxBox* first = scene->root;
    oxBox* second = reinterpret_cast<oxBox*>(reinterpret_cast<uintptr_t>(first) + 16);
    const std::vector<oxSnapshotRectItem> from = {{oxRect{0, 0, W, 5}, first, 0}, {oxRect{0, 5, W, 5}, second, 0}};
    const std::vector<oxSnapshotRectItem> to = {{oxRect{0, 10, W, 5}, first, 0}, {oxRect{0, H, W, 5}, second, 0}};
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, &from, &to);
    const auto& items = static_cast<oxRectSorterEffect*>(t->GetEffect())->Items();
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(oxRectSorterEffect::kMoving, items[0].kind);
    EXPECT_EQ(oxRectSorterEffect::kDisappearing, items[1].kind);
    EXPECT_EQ(5, items[1].rect.y);
    EXPECT_TRUE(BackBufferIsTarget());
    // Without items the sorter has nothing to move: the run still ends on the target.
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_TRUE(BackBufferIsTarget());
    t->Release();
}

TEST_F(TransitionTest, AKeyOrANewTapEndsItEarlyAndTheLastFrameIsStillDrawn) {
    struct Case {
        const char* what;
        std::function<void()> input;
        bool heldBefore; // the stylus is down when the run starts
    };
    const Case cases[] = {
        {"key", [] { platform::input::KeyDown(VK_SPACE); }, false},
        {"tap", [] { platform::input::PointerDown(5, 5); }, false},
        {"second tap", [] { platform::input::PointerUp(5, 5), platform::input::PointerDown(5, 5); }, true},
    };
    for (const Case& c : cases) {
        platform::input::Reset();
        if (c.heldBefore) platform::input::PointerDown(5, 5);
        // The sixth read is in the fifth frame: the input ends the run after it.
        clock.Arm(6, c.input);
        oxTransition* t = Make(u"squashLeft", 1000);
        t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
        EXPECT_EQ(5, t->GetEffect()->FrameCount()) << c.what;
        EXPECT_FLOAT_EQ(1.0f, t->GetEffect()->Progress()) << c.what;
        EXPECT_EQ(std::string(W, 'w'), ScreenRow(H / 2)) << c.what;
        t->Release();
    }
}

TEST_F(TransitionTest, EachFramePaintsOnlyWhatChanged) {
    // A slide from the right over 100 ms: a mark put on the window's left edge in the second frame
    // stays until the target's edge reaches it, since the frames repaint only the target's part.
    HDC dc = GetDC(window);
    std::string seen;
    clock.Watch([&](int read) {
        if (read == 3) SetPixel(dc, 0, 5, RGB(255, 0, 0));
        if (read >= 3) seen += platform::headless::ReadScreen(RECT{0, 5, 1, 6})[0] == 0xFF0000 ? 'm' : '-';
    });
    oxTransition* t = Make(u"slideCoverLeft", 100);
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    clock.Watch(nullptr);
    ReleaseDC(window, dc);
    // Reads 3 to 11 are frames 2 to 10: the mark stands until the last frame covers the edge.
    EXPECT_EQ("mmmmmmmm", seen.substr(0, 8)) << seen;
    EXPECT_EQ(std::string(W, 'w'), ScreenRow(5));
    t->Release();
}

TEST_F(TransitionTest, AStylusHeldFromBeforeDoesNotEndIt) {
    platform::input::PointerDown(5, 5); // before the run, never released
    oxTransition* t = Make(u"pushLeft", 100);
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_NEAR(10.5, t->GetEffect()->FrameCount(), 0.5);
    t->Release();
}

TEST_F(TransitionTest, ADragUnderWaySkipsItAndMissingPiecesDrawNothing) {
    // The stylus went down at (5, 5) and is now 6 pixels away.
    platform::input::PointerDown(11, 5);
    platform::headless::RunUntilIdle();
    g_host.pressed = true;
    g_host.pressPoint = POINT{5, 5};
    oxTransition* t = Make(u"pushLeft", 100);
    EXPECT_FALSE(t->IsStylusSteady());
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, t->GetEffect()->FrameCount()) << "a drag is under way";
    g_host.pressPoint = POINT{6, 10};
    EXPECT_TRUE(t->IsStylusSteady()) << "within 5 pixels";
    g_host.pressed = false;

    TestSurface small{W / 2, H, 32};
    small.Fill32(kWhite);
    t->PerformBuffers(&source.buffer, &small.buffer, nullptr, nullptr, nullptr);
    EXPECT_NEAR(10.5, t->GetEffect()->FrameCount(), 0.5) << "the common part runs";
    EXPECT_EQ(std::string(W / 2, 'w'), ScreenRow(0).substr(0, W / 2));

    t->CreateEffect(u"noSuchEffect");
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_EQ(nullptr, t->GetEffect());
    t->Release();
}

TEST_F(TransitionTest, ABoxThatGoesAwayIsForgottenByItsTransitions) {
    oxBox* box = scene->CreateBox(kAtomBoxNamespace, kAtomBox);
    ASSERT_NE(box, nullptr); // made with one reference
    oxTransition t(box);
    t.CreateEffect(u"pushLeft");
    EXPECT_EQ(box, t.GetTarget());
    box->Release();
    EXPECT_EQ(nullptr, t.GetTarget());
    t.PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, t.GetEffect()->FrameCount()) << "no box, no frame to paint into";
}

TEST_F(TransitionTest, AZeroDurationShowsTheFinalFrameAtOnce) {
    oxTransition* t = Make(u"", 0);
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, t->GetEffect()->FrameCount());
    EXPECT_EQ(std::string(W, 'w'), ScreenRow(3));
    t->Release();
}

TEST_F(TransitionTest, EffectsThatPrepareImagesGiveThemBackOnAnEarlyEndAndSurviveOddPictures) {
    const WCHAR* const keys[] = {u"blur", u"alpha", u"ripple", u"lightWipe", u"black", u"twist", u"roll", u"imageMorph"};
    for (const WCHAR* key : keys) {
        // A key in the fifth frame ends the run; its last frame is still the target. (The image
        // morph run without snapshots has no items: it counts no frame.)
        platform::input::Reset();
        clock.Arm(6, [] { platform::input::KeyDown(VK_SPACE); });
        oxTransition* t = Make(key, 1000);
        t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
        EXPECT_EQ(Utf8(key) == "imageMorph" ? 0 : 5, t->GetEffect()->FrameCount()) << Utf8(key);
        EXPECT_EQ(std::string(W, 'w'), ScreenRow(H / 2)) << Utf8(key);
        // Odd sizes, a picture of one pixel, one smaller than the other, and empty ones.
        platform::input::Reset();
        clock.Arm(-1, nullptr);
        t->duration = 50;
        struct Size {
            int fw, fh, tw, th;
        };
        for (const Size& z : {Size{7, 5, 7, 5}, Size{1, 1, 1, 1}, Size{3, 1, 3, 1}, Size{1, 9, 1, 9}, Size{7, 5, W, H},
                              Size{0, 0, 0, 0}}) {
            TestSurface from{z.fw, z.fh, 32}, to{z.tw, z.th, 32};
            from.Fill32(kBlack);
            to.Fill32(kWhite);
            t->PerformBuffers(&from.buffer, &to.buffer, nullptr, nullptr, nullptr);
            if (z.fw > 0) {
                EXPECT_EQ(std::string(z.fw, 'w'), ScreenRow(0).substr(0, z.fw)) << Utf8(key) << " " << z.fw;
            }
        }
        t->Release();
    }
}

TEST_F(TransitionTest, EveryEffectRunEndsOnTheTarget) {
    for (const WCHAR* key : {u"scaleWipe", u"water", u"radialWipeIn", u"radialWipeOut", u"pageTurn", u"puzzle",
                             u"super", u"gizmo", u"spiral", u"spring", u"slideUncoverLeft", u"slideUncoverDown"}) {
        backBuffer.SetSize(W, H, 32);
        oxTransition* t = Make(key, 100);
        ASSERT_NE(nullptr, t->GetEffect()) << Utf8(key);
        t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
        EXPECT_NEAR(10.5, t->GetEffect()->FrameCount(), 0.5) << Utf8(key);
        EXPECT_TRUE(BackBufferIsTarget()) << Utf8(key);
        for (int y : {0, H / 2, H - 1})
            EXPECT_EQ(std::string(W, 'w'), ScreenRow(y)) << Utf8(key) << " row " << y;
        t->Release();
    }
}

TEST_F(TransitionTest, TheImageMorphTakesItsItemsAndBackgroundFromTheSnapshots) {
    // Snapshots of the box's size (black, then white) whose items move a red picture across.
    auto make = [](int w, int h, uint32_t argb) {
        auto* s = new oxSnapshot();
        s->AddRef();
        s->GetCanvas()->oxGraphicsContext::SetSize(w, h, 32);
        const oxPixelBuffer& p = *s->GetPicture();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.GetRow32(y)[x] = argb;
        return s;
    };
    oxSnapshot* from = make(W, H, kBlack);
    oxSnapshot* to = make(W, H, kWhite);
    oxSnapshot* red = make(10, 10, 0xFFFF0000u);
    from->AddImageMorphItem(red, 0, 0, 10, 10);
    to->AddImageMorphItem(red, 30, 10, 10, 10);
    oxTransition* t = Make(u"imageMorph", 100);
    t->fillColor = 0xFF0000FFu;
    // In the fifth frame (0.4) the item stands at (12, 4), both its pictures fading over the fill
    // colour or the background, which shows around it.
    uint32_t item = 0, rest = 0;
    auto perform = [&] {
        item = rest = 0;
        clock.Watch([&](int read) {
            if (read != 6) return;
            item = platform::headless::ReadScreen(RECT{20, 10, 21, 11})[0];
            rest = platform::headless::ReadScreen(RECT{35, 2, 36, 3})[0];
        });
        t->Perform(from, to);
        clock.Watch(nullptr);
    };
    auto mostlyRed = [&] { return (item >> 16) > 0xA0 && ((item >> 8) & 0xFF) < 0x40 && (item & 0xFF) < (item >> 16); };
    perform();
    EXPECT_TRUE(mostlyRed()) << std::hex << item;
    EXPECT_EQ(0x0000FFu, rest);
    EXPECT_TRUE(BackBufferIsTarget());

    oxSnapshot* background = make(W, H, 0xFF00FF00u);
    t->SetBackground(background);
    background->Release(); // the transition holds it now
    perform();
    EXPECT_EQ(0x00FF00u, rest);
    EXPECT_TRUE(BackBufferIsTarget());
    // Without it again, the fill colour: the effect keeps no picture of a background that went.
    t->SetBackground(nullptr);
    perform();
    EXPECT_EQ(0x0000FFu, rest);
    EXPECT_TRUE(mostlyRed()) << std::hex << item;
    t->Release();
    for (oxSnapshot* s : {from, to, red})
        s->Release();
}

TEST_F(TransitionTest, WaterFreesItsTablesAtTheEndAndWhenARunEndsEarly) {
    oxTransition* t = Make(u"water", 1000);
    auto* water = static_cast<oxWaterEffect*>(t->GetEffect());
    EXPECT_FALSE(water->HoldsTables()) << "none before a run";
    bool heldMidRun = false;
    clock.Watch([&](int read) { heldMidRun = heldMidRun || (read == 4 && water->HoldsTables()); });
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    clock.Watch(nullptr);
    EXPECT_TRUE(heldMidRun) << "held while it runs";
    EXPECT_FALSE(water->HoldsTables());
    clock.Arm(6, [] { platform::input::KeyDown(VK_SPACE); });
    t->PerformBuffers(&source.buffer, &target.buffer, nullptr, nullptr, nullptr);
    EXPECT_EQ(5, water->FrameCount()) << "ended early by the key";
    EXPECT_FALSE(water->HoldsTables());
    EXPECT_TRUE(BackBufferIsTarget());
    t->Release();
}
