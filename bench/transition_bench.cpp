// One frame of the push effect, of the interlaced cross-fade and of the rectangle sorter over 20 rows
// at 480x800, at 32 and 16 bits.
// The push's peer moves the same rows with memcpy into a buffer of its own; both results are
// compared before timing. Then one frame of every effect of the factory, built by its key, alone
// and with its painting into a window over the whole screen (a run's frame).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/display_format.h"
#include "platform/win/screen.h"
#include "platform/win/window.h"
#include "toolkit/animation/image_morph_effect.h"
#include "toolkit/animation/rect_sorter_effect.h"
#include "toolkit/animation/slide_effects.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"

namespace {

constexpr int W = 480, H = 800;

// On a 16-bit screen 16-bit pictures take the screen's channel layout (depth 0 asks for it), as
// snapshots do on the device: a picture of another layout would be converted at every paint.
int PictureDepth(int bpp) {
    return bpp == 16 && GetScreenDepth() == 16 ? 0 : bpp;
}

struct Pictures {
    oxDibBitmap source, target;
    explicit Pictures(int bpp)
        : source(W, H, PictureDepth(bpp), true, false), target(W, H, PictureDepth(bpp), true, false) {
        const int bytes = bpp / 8;
        for (int y = 0; y < H; ++y) {
            uint8_t* s = source.pixels.GetRow8(y);
            uint8_t* t = target.pixels.GetRow8(y);
            for (int x = 0; x < W * bytes; ++x) {
                s[x] = uint8_t(x * 7 + y);
                t[x] = uint8_t(x * 3 + y * 5 + 1);
            }
        }
    }
};

// The push to the left at progress a, with plain row copies: the target, drawn second, starts at
// trunc(W - W * a).
void PeerPush(std::vector<uint8_t>& out, const Pictures& p, int bytes, float a) {
    const int shift = int(float(W) * a), from = int(float(W) - float(W) * a);
    for (int y = 0; y < H; ++y) {
        uint8_t* row = out.data() + size_t(y) * W * bytes;
        std::memcpy(row, p.source.pixels.GetRow8(y) + size_t(shift) * bytes, size_t(from) * bytes);
        std::memcpy(row + size_t(from) * bytes, p.target.pixels.GetRow8(y), size_t(W - from) * bytes);
    }
}

bool SameAsPeer(oxPushEffect& e, const Pictures& p, int bytes, float a) {
    std::vector<uint8_t> peer(size_t(W) * H * bytes);
    PeerPush(peer, p, bytes, a);
    e.RenderFrame(a);
    for (int y = 0; y < H; ++y)
        if (std::memcmp(e.Surface().Target().GetRow8(y), peer.data() + size_t(y) * W * bytes, size_t(W) * bytes))
            return false;
    return true;
}

void BM_Push(benchmark::State& state) {
    const int bpp = int(state.range(0));
    Pictures p(bpp);
    oxPushEffect e(-1, 0);
    e.Start(p.source.pixels, p.target.pixels, nullptr, false);
    if (!SameAsPeer(e, p, bpp / 8, 0.37f)) state.SkipWithError("push differs from its peer");
    float a = 0.0f;
    for (auto _ : state) {
        e.RenderFrame(a);
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
}
BENCHMARK(BM_Push)->Arg(32)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_PushPeer(benchmark::State& state) {
    const int bpp = int(state.range(0));
    Pictures p(bpp);
    std::vector<uint8_t> out(size_t(W) * H * (bpp / 8));
    float a = 0.0f;
    for (auto _ : state) {
        PeerPush(out, p, bpp / 8, a);
        benchmark::DoNotOptimize(out.data());
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
}
BENCHMARK(BM_PushPeer)->Arg(32)->Arg(16)->Unit(benchmark::kMillisecond);

// The floor every frame is measured against: the whole target copied row by row onto a screen
// buffer, as the run's final frame does.
void BM_RowCopy(benchmark::State& state) {
    const int bpp = int(state.range(0)), bytes = bpp / 8;
    Pictures p(bpp);
    std::vector<uint8_t> out(size_t(W) * H * bytes);
    for (auto _ : state) {
        for (int y = 0; y < H; ++y)
            std::memcpy(out.data() + size_t(y) * W * bytes, p.target.pixels.GetRow8(y), size_t(W) * bytes);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_RowCopy)->Arg(32)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_CrossFade(benchmark::State& state) {
    const int bpp = int(state.range(0));
    Pictures p(bpp);
    oxTransitionEffect e;
    e.Start(p.source.pixels, p.target.pixels, nullptr, false);
    float a = 0.0f;
    for (auto _ : state) {
        e.RenderFrame(a);
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
}
BENCHMARK(BM_CrossFade)->Arg(32)->Arg(16)->Unit(benchmark::kMillisecond);

const char16_t* const kKeys[] = {u"pushLeft",     u"slideCoverLeft", u"squashLeft", u"zoomIn",          u"zoomOut",
                                 u"spinCW",       u"spinCWIn",       u"dissolve",   u"scaleWipe",       u"water",
                                 u"radialWipeIn", u"radialWipeOut",  u"pageTurn",   u"puzzle",          u"super",
                                 u"gizmo",        u"spiral",         u"spring",     u"slideUncoverLeft"};

// One frame of the effect of a key at a progress that moves through the run; the 16-bit pictures
// are the 16-bit screen's, as on the device.
// A window over the whole screen that frames are painted into, as a run paints them.
HWND ScreenWindow() {
    static HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"TransitionBenchWindow";
        RegisterClassW(&wc);
        return CreateWindowExW(0, u"TransitionBenchWindow", u"", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

// The 16-bit pictures are the 16-bit screen's, as on the device.
void UseScreenDepth(int bpp) {
    ScreenConfig config = ScreenConfigFromEnvironment();
    config.bpp = bpp;
    ConfigureScreen(config);
}

void BM_EffectFrame(benchmark::State& state) {
    const int bpp = int(state.range(1));
    const bool painted = state.range(2) != 0;
    UseScreenDepth(bpp);
    Pictures p(bpp);
    oxTransition t;
    if (!t.CreateEffect(kKeys[state.range(0)])) state.SkipWithError("no effect");
    oxTransitionEffect* e = t.GetEffect();
    e->Start(p.source.pixels, p.target.pixels, nullptr, false);
    std::string label;
    for (const char16_t* c = kKeys[state.range(0)]; *c; ++c)
        label += char(*c);
    state.SetLabel(label + (painted ? " painted" : ""));
    HWND window = painted ? ScreenWindow() : nullptr;
    float a = 0.0f;
    for (auto _ : state) {
        e->RenderFrame(a);
        if (window) e->PaintToWindow(window, 0, true);
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
    ConfigureScreen(ScreenConfigFromEnvironment());
}
BENCHMARK(BM_EffectFrame)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(std::size(kKeys)) - 1, 1), {32, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// One frame of each effect that draws its pictures row by row, beside the floor: the whole screen's
// rows copied with memcpy. The alpha and light wipe take their mask and angle from a fixed seed;
// the image morph moves one picture of a quarter of the screen across a background.
const char16_t* const kPictureKeys[] = {u"blur",  u"alpha", u"lightWipe", u"ripple",
                                        u"black", u"twist", u"roll",      u"imageMorph"};

void BM_PictureEffectFrame(benchmark::State& state) {
    const int bpp = int(state.range(1));
    UseScreenDepth(bpp);
    Pictures p(bpp);
    const char16_t* key = kPictureKeys[state.range(0)];
    std::srand(57);
    oxTransition t;
    if (!t.CreateEffect(key)) state.SkipWithError("no effect");
    oxTransitionEffect* e = t.GetEffect();
    oxSnapshot first, second, item;
    item.GetCanvas()->oxGraphicsContext::SetSize(W / 2, H / 2, bpp);
    for (int y = 0; y < H / 2; ++y)
        std::memcpy(item.GetPicture()->GetRow8(y), p.target.pixels.GetRow8(y), size_t(W / 2) * (bpp / 8));
    first.AddImageMorphItem(&item, 0, 0, W / 2, H / 2);
    second.AddImageMorphItem(&item, W / 4, H / 3, W / 2 + 40, H / 2 + 60);
    if (auto* morph = dynamic_cast<oxImageMorphEffect*>(e)) {
        morph->SetImageItems(first.GetImageItems(), second.GetImageItems());
        morph->SetBackground(&p.source.pixels);
    }
    e->Start(p.source.pixels, p.target.pixels, nullptr, false);
    std::string label;
    for (const char16_t* c = key; *c; ++c)
        label += char(*c);
    state.SetLabel(label);
    float a = 0.0f;
    for (auto _ : state) {
        e->RenderFrame(a);
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
    e->Finish();
    ConfigureScreen(ScreenConfigFromEnvironment());
}
BENCHMARK(BM_PictureEffectFrame)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(std::size(kPictureKeys)) - 1, 1), {32, 16}})
    ->Unit(benchmark::kMillisecond);

void BM_RowCopyFloor(benchmark::State& state) {
    const int bpp = int(state.range(0)), bytes = bpp / 8;
    Pictures p(bpp);
    oxDibBitmap out(W, H, bpp, true, false);
    for (auto _ : state) {
        for (int y = 0; y < H; ++y)
            std::memcpy(out.pixels.GetRow8(y), p.target.pixels.GetRow8(y), size_t(W) * bytes);
        benchmark::DoNotOptimize(out.pixels.bits);
    }
}
BENCHMARK(BM_RowCopyFloor)->Arg(32)->Arg(16)->Unit(benchmark::kMillisecond);

// 20 rows of 40 sorted backwards: every row moves, row i from 40 i to 40 (19 - i).
constexpr int kRows = 20, kRowHeight = H / kRows;

struct SortedRows {
    std::vector<oxSnapshotRectItem> from, to;
    SortedRows() {
        for (int i = 0; i < kRows; ++i) {
            auto* key = reinterpret_cast<oxBox*>(uintptr_t(0x1000 + 16 * i));
            from.push_back({oxRect{0, kRowHeight * i, W, kRowHeight}, key, 0});
            to.push_back({oxRect{0, kRowHeight * (kRows - 1 - i), W, kRowHeight}, key, 0});
        }
    }
};

// The sorter's frame at a after a frame at `last`, with plain row work: the rows' last places are
// filled with opaque black, then each row's target rows are copied to its place at a, in the list's order.
void PeerSort(oxPixelBuffer& out, const Pictures& p, const SortedRows& rows, int bytes, float last, float a) {
    auto place = [](const oxSnapshotRectItem& f, const oxSnapshotRectItem& t, float at) {
        const double q = double(at);
        return int32_t(double(t.rect.y) * q + double(f.rect.y) * (1.0 - q));
    };
    for (int i = 0; i < kRows; ++i) {
        const int32_t y = place(rows.from[i], rows.to[i], last);
        for (int r = std::max(0, y); r < std::min(H, y + kRowHeight); ++r) {
            if (bytes == 2)
                std::memset(out.GetRow8(r), 0, size_t(W) * 2);
            else
                std::fill_n(out.GetRow32(r), W, 0xFF000000u);
        }
    }
    for (int i = 0; i < kRows; ++i) {
        const int32_t y = place(rows.from[i], rows.to[i], a);
        for (int r = 0; r < kRowHeight; ++r)
            if (y + r >= 0 && y + r < H)
                std::memcpy(out.GetRow8(y + r), p.target.pixels.GetRow8(rows.to[i].rect.y + r), size_t(W) * bytes);
    }
}

void BM_RectSorter(benchmark::State& state) {
    const int bpp = int(state.range(0)), bytes = bpp / 8;
    const bool peer = state.range(1) != 0;
    UseScreenDepth(bpp);
    Pictures p(bpp);
    SortedRows rows;
    oxTransition t;
    t.CreateEffect(u"rectSorter");
    auto* e = static_cast<oxRectSorterEffect*>(t.GetEffect());
    e->SetSortArea(oxRect{0, 0, W, H});
    e->BuildItems(rows.from, rows.to);
    e->SetFillColor(0xFF000000u);
    e->Start(p.source.pixels, p.target.pixels, nullptr, false);
    oxDibBitmap out(W, H, bpp, true, false);
    for (int y = 0; y < H; ++y)
        std::memcpy(out.pixels.GetRow8(y), p.source.pixels.GetRow8(y), size_t(W) * bytes);
    // Both from the source, a frame at 0.37 after one at 0.
    PeerSort(out.pixels, p, rows, bytes, 0.0f, 0.37f);
    e->RenderFrame(0.37f);
    for (int y = 0; y < H; ++y)
        if (std::memcmp(e->Surface().Target().GetRow8(y), out.pixels.GetRow8(y), size_t(W) * bytes)) {
            state.SkipWithError("the sorter differs from its peer");
            break;
        }
    state.SetLabel(peer ? "peer" : "rectSorter");
    float last = 0.37f, a = 0.38f;
    for (auto _ : state) {
        if (peer)
            PeerSort(out.pixels, p, rows, bytes, last, a);
        else
            e->RenderFrame(a);
        last = a;
        a = a + 0.01f > 1.0f ? 0.0f : a + 0.01f;
    }
    ConfigureScreen(ScreenConfigFromEnvironment());
}
BENCHMARK(BM_RectSorter)->ArgsProduct({{32, 16}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
