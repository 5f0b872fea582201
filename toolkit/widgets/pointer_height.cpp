#include "toolkit/widgets/pointer_height.h"

#include <algorithm>
#include <map>

#include "platform/win/cursor.h"
#include "platform/win/gdi.h"
#include "platform/win/system_params.h"
#include "toolkit/scene/scene.h"
#include "toolkit/widgets/scene_input_adapter.h"

namespace {

constexpr int32_t kDefaultPointerKind = 28;

// Heights by pointer kind; entries stay for the life of the process.
std::map<int32_t, int32_t>& Heights() {
    static std::map<int32_t, int32_t> heights;
    return heights;
}

int32_t PointerKindOf(oxScene* scene) {
    auto* adapter = scene ? dynamic_cast<oxSceneInputAdapter*>(scene->GetInputState()) : nullptr;
    oxFrameInput* input = adapter ? adapter->GetFrameInput() : nullptr;
    return input ? input->GetPointerKind() : kDefaultPointerKind;
}

// The lowest row the pointer's mask covers, less the hot spot's row; -1 while no pointer shows.
int32_t Measure() {
    HCURSOR cursor = GetCursor();
    if (!cursor) return -1;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    ICONINFO info{};
    int32_t hotY = 0;
    if (GetIconInfo(cursor, &info)) {
        hotY = int32_t(info.yHotspot);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
    }
    const int cx = GetSystemMetrics(SM_CXCURSOR), cy = GetSystemMetrics(SM_CYCURSOR);
    // A new memory context holds a 1 by 1 bitmap: the mask is drawn into one of the pointer's size.
    HBITMAP canvas = CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = canvas ? SelectObject(memory, canvas) : nullptr;
    int32_t row = 0;
    if (canvas) {
        PatBlt(memory, 0, 0, cx, cy, BLACKNESS);
        DrawIconEx(memory, 0, 0, cursor, cx, cy, 0, nullptr, DI_MASK);
        for (int x = 0; x < cx; ++x)
            for (int y = 0; y < cy; ++y) {
                const COLORREF c = GetPixel(memory, x, y);
                if (c != CLR_INVALID && (c & 0xFFFFFF)) row = std::max(row, int32_t(y));
            }
        SelectObject(memory, old);
        DeleteObject(canvas);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return row - hotY;
}

} // namespace

int32_t GetPointerHeight(oxScene* scene) {
    const int32_t kind = PointerKindOf(scene);
    auto& heights = Heights();
    if (auto it = heights.find(kind); it != heights.end()) return it->second;
    const int32_t height = Measure();
    // A hidden pointer has no height to keep: the next ask, with one shown, measures it.
    if (height < 0) return 0;
    heights[kind] = height;
    return height;
}
