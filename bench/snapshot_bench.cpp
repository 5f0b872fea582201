// A snapshot of the demo's contact list at 480x800 (the screen's depth from TANDU_SCREEN_BPP): the
// list captured as its window shows it, beside a peer that copies the same rows of the window's back
// buffer with memcpy; and the list painted anew into a target snapshot, as a transition's target is
// made. Both results are compared before timing.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_toolkit.h"
#include "graphics/paint/canvas.h"
#include "toolkit/animation/box_snapshots.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"

namespace {

using bench_support::Toolkit;

struct ContactList {
    Toolkit toolkit;
    oxScene* scene = nullptr;
    oxBox* list = nullptr;
    oxCanvas* canvas = nullptr;
    ContactList() {
        scene = toolkit.Ok() ? toolkit.Open(u"demo/contacts.box", u"contacts") : nullptr;
        list = scene ? scene->GetBoxById(oxAtoms::Find(u"list"), false) : nullptr;
        oxTransitionHost host;
        if (list && oxFindTransitionHost(list, &host)) canvas = host.canvas;
    }
    ~ContactList() {
        if (scene) Toolkit::Close(scene);
    }
};

// The list's rows of the back buffer, as 32-bit pixels the snapshot holds them in.
bool SameAsBackBuffer(const oxSnapshot* snapshot, const oxCanvas* canvas) {
    const oxPixelBuffer* picture = snapshot ? snapshot->GetPicture() : nullptr;
    if (!picture || canvas->Target().bpp != 32) return picture != nullptr; // 16-bit pixels are widened
    const oxRect r = snapshot->GetRect();
    for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x)
            if ((picture->GetRow32(y)[x] & 0xFFFFFF) != (canvas->Target().GetRow32(r.y + y)[r.x + x] & 0xFFFFFF))
                return false;
    return true;
}

void BM_ListSnapshot(benchmark::State& state) {
    ContactList c;
    if (!c.canvas) return state.SkipWithError("the contact list did not open");
    oxSnapshot* first = oxBoxTakeSnapshot(c.list);
    if (!SameAsBackBuffer(first, c.canvas)) state.SkipWithError("the snapshot differs from the window");
    if (first) {
        state.SetLabel(std::to_string(first->GetPicture()->width) + "x" + std::to_string(first->GetPicture()->height) +
                       " at " + std::to_string(c.canvas->Target().bpp) + " bits");
        first->Release();
    }
    for (auto _ : state) {
        oxSnapshot* snapshot = oxBoxTakeSnapshot(c.list);
        benchmark::DoNotOptimize(snapshot);
        snapshot->Release();
    }
}
BENCHMARK(BM_ListSnapshot)->Unit(benchmark::kMicrosecond);

void BM_ListSnapshotPeer(benchmark::State& state) {
    ContactList c;
    if (!c.canvas) return state.SkipWithError("the contact list did not open");
    oxSnapshot* first = oxBoxTakeSnapshot(c.list);
    const oxRect r = first ? first->GetRect() : oxRect{};
    const oxPixelBuffer& from = c.canvas->Target();
    const int bytes = from.bpp / 8;
    std::vector<uint8_t> out(size_t(r.width) * r.height * bytes);
    auto copy = [&] {
        for (int y = 0; y < r.height; ++y)
            std::memcpy(out.data() + size_t(y) * r.width * bytes, from.GetRow8(r.y + y) + size_t(r.x) * bytes,
                        size_t(r.width) * bytes);
    };
    // The rows copied are the picture the snapshot holds (16-bit pixels are widened there).
    copy();
    const oxPixelBuffer* picture = first ? first->GetPicture() : nullptr;
    bool same = picture && picture->width == r.width && picture->height == r.height;
    for (int y = 0; same && bytes == 4 && y < r.height; ++y)
        for (int x = 0; same && x < r.width; ++x) {
            uint32_t p;
            std::memcpy(&p, out.data() + (size_t(y) * r.width + x) * 4, 4);
            same = (p & 0xFFFFFF) == (picture->GetRow32(y)[x] & 0xFFFFFF);
        }
    if (first) first->Release();
    if (!same) state.SkipWithError("the copied rows differ from the snapshot");
    for (auto _ : state) {
        copy();
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ListSnapshotPeer)->Unit(benchmark::kMicrosecond);

void BM_ListRenderedIntoTargetSnapshot(benchmark::State& state) {
    ContactList c;
    if (!c.canvas) return state.SkipWithError("the contact list did not open");
    oxSnapshot* target = new oxSnapshot(c.list);
    target->AddRef();
    oxBoxAttachSnapshot(c.list, target, 0);
    oxBoxRenderTargetSnapshot(c.list);
    oxSnapshot* shown = oxBoxTakeSnapshot(c.list);
    // What the list painted into its target is what its window shows of it.
    bool same = shown && target->GetPicture() && shown->GetPicture()->width == target->GetPicture()->width;
    for (int y = 0; same && y < shown->GetPicture()->height; y += 7)
        same = shown->GetPicture()->bpp != 32 ||
               (shown->GetPicture()->GetRow32(y)[5] & 0xFFFFFF) == (target->GetPicture()->GetRow32(y)[5] & 0xFFFFFF);
    if (!same) state.SkipWithError("the target snapshot differs from the window");
    if (shown) shown->Release();
    for (auto _ : state)
        oxBoxRenderTargetSnapshot(c.list);
    oxBoxDetachSnapshot(c.list, 0);
    target->Release();
}
BENCHMARK(BM_ListRenderedIntoTargetSnapshot)->Unit(benchmark::kMicrosecond);

} // namespace
