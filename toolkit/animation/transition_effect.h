#pragma once
// oxTransitionEffect: the base of every screen transition. It owns the work surface (of the source
// picture's size), views the source and target pictures, counts frames and keeps the progress, and
// paints the surface, or pieces of the two pictures, into a window or a DC. Its own frame is the
// interlaced cross-fade; effects override the rendering step and reuse the rest.
#include <cstdint>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/pixel_buffer.h"
#include "platform/types.h"

// What one Paint copies: kind 0 from the source picture, 1 from the target, any other (normally 2)
// from the work surface; the source rectangle in that picture, the destination on the surface.
struct oxUpdateItem {
    int32_t kind = 2;
    RECT source{};
    RECT destination{};
    int32_t unused = 0;
};

class oxTransitionEffect {
public:
    oxTransitionEffect() = default;
    virtual ~oxTransitionEffect();
    oxTransitionEffect(const oxTransitionEffect&) = delete;
    oxTransitionEffect& operator=(const oxTransitionEffect&) = delete;

    virtual bool Begin(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag);
    // The cross-fade frame when `draw`; always counts the frame and keeps the progress.
    virtual bool DrawProgress(float progress, bool draw);
    // The exact target on the surface, progress 1.
    virtual bool DrawFinalFrame();
    virtual void Reset();
    // The surface (or, with `useItems` and items, their pieces) to the window and/or the DC.
    virtual void Paint(HWND window, HDC dc, int flags, bool useItems);
    // Makes the surface for the source's size and depth and copies the source onto it.
    virtual bool Setup(const oxPixelBuffer& source, const oxPixelBuffer& target, int32_t bpp, HWND window, bool flag);
    virtual bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
        return Begin(source, target, window, flag);
    }
    virtual bool RenderFrame(float progress) { return DrawProgress(progress, true); }
    virtual bool Finish() { return DrawFinalFrame(); }
    virtual void SetOrigin(int32_t x, int32_t y);
    virtual const char* GetName() const { return "Base Transition"; }

    void PaintToDC(HDC dc, bool useItems) { Paint(nullptr, dc, 0, useItems); }
    void PaintToWindow(HWND window, int flags, bool useItems) { Paint(window, nullptr, flags, useItems); }
    void SetMode(uint8_t mode) { mode_ = mode; }

    void ClearUpdateItems() { items_.clear(); }
    bool AddUpdateItem(const oxUpdateItem& item);
    void SetUpdateItem(const oxUpdateItem& item);
    // Drops the items of kind 0 (`flag`) or 1, then turns the others of those two kinds into the
    // other kind, each repainting its destination.
    void RecastUpdateItems(bool flag);
    void RemoveUpdateItems(bool flag);
    void ConvertUpdateItems(bool flag);
    void SetArea(const RECT& area);
    void SetBackground(const oxPixelBuffer* background) { background_ = background; }

    oxGraphicsContext& Surface() { return surface_; }
    const std::vector<oxUpdateItem>& UpdateItems() const { return items_; }
    float Progress() const { return progress_; }
    int32_t FrameCount() const { return frames_; }
    const RECT& Clip() const { return clip_; }

protected:
    // Copies a whole picture onto the surface.
    void CopyToSurface(const oxPixelBuffer& picture);
    void SetWholeItem();

    uint32_t scratch_[16] = {};
    oxPixelBuffer source_;
    oxPixelBuffer target_;
    const oxPixelBuffer* background_ = nullptr;
    oxPixelBuffer* sourceCopy_ = nullptr;
    oxPixelBuffer* targetCopy_ = nullptr;
    RECT clip_{-32000, -32000, 32000, 32000};
    RECT area_{};
    float parameters_[4] = {};
    int32_t frames_ = 0;
    float progress_ = 0.0f;
    POINT origin_{0, 0};
    std::vector<oxUpdateItem> items_;
    uint8_t mode_ = 0;
    oxGraphicsContext surface_;
};
