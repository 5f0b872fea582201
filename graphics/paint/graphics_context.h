#pragma once
// The software drawing surface of the toolkit: a target pixel buffer, one vector path, and the
// engines that draw it (polygon filler for fills, stroker feeding the filler for strokes, the
// anti-aliased rasteriser for hairlines), with the drawing state they share.
#include <cstdint>
#include <vector>

#include "graphics/paint/path.h"
#include "graphics/pixels/matrix.h"
#include "graphics/pixels/pixel_buffer.h"
#include "graphics/raster/polygon_filler.h"
#include "graphics/raster/rasterizer.h"
#include "graphics/raster/stroker.h"
#include "platform/types.h"
#include "platform/win/gdi.h"

class oxDibBitmap;

// Option ids of SetOption / SetFloatOption.
enum oxGraphicsOption : int {
    kOptionUseSourceAlpha = 1,
    kOptionTextureBitmap = 3,
    kOptionLinearGradient = 4,
    kOptionRadialGradient = 5,
    kOptionCoverageCurve = 6,
    kOptionGridFit = 7,
    kOptionLinePattern = 10,
    kOptionColorTransform = 12,
    kOptionAlphaTable = 13, // 13..16: alpha, red, green, blue transfer tables (pointer values)
    kOptionRedTable = 14,
    kOptionGreenTable = 15,
    kOptionBlueTable = 16,
    kOptionSaturation = 17,
    kOptionSnapVertical = 18,
    kOptionSnapShift = 19,
};

class oxGraphicsContext {
public:
    oxGraphicsContext();
    virtual ~oxGraphicsContext();
    oxGraphicsContext(const oxGraphicsContext&) = delete;
    oxGraphicsContext& operator=(const oxGraphicsContext&) = delete;

    // Pointer-sized, since options 13 to 16 carry table addresses.
    virtual void SetOption(int id, intptr_t value);
    virtual intptr_t GetOption(int id);
    virtual void SetFloatOption(int id, float value);
    virtual float GetFloatOption(int id);
    virtual void Reserved5() {}
    virtual void GetOriginPoint(float* out) { out[0] = out[1] = 0.0f; }
    virtual void Reserved7() {}
    virtual void GetOriginVector(float* out) { out[0] = out[1] = out[2] = 0.0f; }

    // Colours.
    void SetColor(uint32_t rgb);
    void SetStrokeColor(uint32_t rgb);
    void SetFillColorF(float r, float g, float b);
    void SetStrokeColorF(float r, float g, float b);
    void SetClearColor(float r, float g, float b);
    void SetAlpha(int32_t alpha);
    int32_t Alpha() const { return m_alpha; }
    uint32_t FillColor() const { return m_fillColor; }
    uint32_t StrokeColor() const { return m_strokeColor; }

    // Stroke state: the width is the half-width of the stroke.
    void SetLineWidth(float width) { m_lineWidth = width; }
    float LineWidth() const { return m_lineWidth; }
    void SetLineJoin(int32_t join) { m_join = join; }
    void SetLineCap(int32_t cap) { m_cap = cap; }
    int32_t LineJoin() const { return m_join; }
    int32_t LineCap() const { return m_cap; }
    void SetGridFit(bool on) { m_gridFit = on ? 1 : 0; }
    void SetAntialias(int samples);
    int AntialiasSamples() const { return m_samples; }

    // Transform.
    void ResetTransform();
    void Translate(float dx, float dy) { Translate3(dx, dy, 0.0f); }
    void Translate3(float dx, float dy, float dz);
    void Scale(float sx, float sy);
    void ScaleUniform(float s) { Scale(s, s); }
    void Rotate(float radians);
    const oxMatrix& GetTransform() const { return m_transform; }
    void SetTransform(const oxMatrix& m);

    // Texture.
    void ResetTextureTransform();
    void TranslateTexture(float dx, float dy);
    const oxMatrix& GetTextureTransform() const { return m_textureTransform; }
    void SetTextureTransform(const oxMatrix& m);
    void SetTextureImage(const oxPixelBuffer* image);
    void DisableTextureMapping() { m_textureMapping = 0; }
    bool TextureMapping() const { return m_textureMapping != 0; }
    void SetFillImage(const oxPixelBuffer* image);

    // Clipping.
    void SetClipRect(const RECT* rect);
    RECT GetClippedTargetRect() const;
    void SetClipBounds(const RECT* rect);
    const RECT& ClipBounds() const { return m_clipBounds; }

    // Target.
    int SetSize(int32_t width, int32_t height, int32_t bpp);
    int AttachTarget(const oxPixelBuffer& target);
    void ReleaseTarget();
    bool HasTarget() const { return m_enabled && m_target.valid; }
    const oxPixelBuffer& Target() const { return m_target; }
    oxDibBitmap* OwnedBitmap() const { return m_bitmap; }
    // Hands the owned bitmap to the caller and forgets the target; null when none is owned.
    oxDibBitmap* DetachBitmap();
    // Takes `bitmap` as the owned target, its pixels as they stand; 0, and the bitmap not taken,
    // when it holds no pixels.
    int AdoptBitmap(oxDibBitmap* bitmap);
    HDC GetDC();
    void ReleaseDC();
    void BeginBatch() { ++m_batch; }
    void EndBatch() { --m_batch; }
    void SetDeviceOrigin(int32_t x, int32_t y) { m_originX = x, m_originY = y; }
    void Clear(const RECT* rect);
    int CopyToDC(HDC dc);
    int PaintToWindow(HWND window, bool centre);

    // Drawing: `count` points with `stride` floats each (2 or 3) and a command byte per point (or
    // null: a move then lines). Count 0 draws the context's own path.
    int FillPath(int32_t count, const float* points, int32_t stride, const uint8_t* commands);
    int StrokePath(int32_t count, const float* points, int32_t stride, const uint8_t* commands);
    int DrawPolyline(int32_t count, const float* points, int32_t stride, const uint8_t* commands);
    // 0 fill, 1 stroke, 2 hairline, 3 nothing.
    int DrawPath(int mode);

    // Shapes, built in the context's path and drawn with DrawPath(mode); mode 3 appends only.
    int Rect(float left, float top, float right, float bottom, int mode);
    int FillRectI(const RECT& rect, int mode);
    int RoundRect(float left, float top, float right, float bottom, float radius, int mode);
    // Side flags {left, top, right, bottom}, all set when null.
    int RoundRectRadii(float left, float top, float right, float bottom, float topLeft, float topRight,
                       float bottomRight, float bottomLeft, int mode, const uint8_t* sides);
    int DrawImageRect(const RECT& rect);

    oxPath& Path() { return m_path; }
    oxPolygonFiller& Filler() { return m_filler; }
    oxRasterizer& Rasterizer() { return m_rasterizer; }

private:
    bool CanDraw() const { return m_enabled && m_target.valid && m_alpha != 0; }
    bool PreparePoints(int32_t count, const float* points, int32_t stride, const uint8_t* commands, bool stroking);
    void SnapVerticalEdges(int32_t count);
    bool GridFit(int32_t count, bool stroking);
    int32_t CountSegments(int32_t count);
    void ApplyTextureMapping();
    void StrokeWalk(int32_t count, const float* widths, int32_t widthCount, float scale);
    float TransformScale() const;

    bool m_enabled = false;
    int32_t m_originX = 0;
    int32_t m_originY = 0;
    oxPixelBuffer m_target;
    oxDibBitmap* m_bitmap = nullptr;
    int32_t m_clipArea = 0;
    RECT m_clipBounds{0, 0, 0, 0};
    RECT* m_clipRect = nullptr;
    float m_clear[3] = {0.3f, 0.3f, 0.3f};
    uint32_t m_clearAlpha = 0;
    int m_samples = 4;
    int32_t m_alpha = 256;
    uint8_t m_gridFit = 0;
    float m_snapShift = 0.0f;
    uint8_t m_snapVertical = 0;
    int32_t m_fillRule = 1;
    uint32_t m_fillColor = 0xFF000000u;
    float m_fill[3] = {0, 0, 0};
    float m_lineWidth = 6.0f;
    int32_t m_join = oxStroker::kJoinRound;
    int32_t m_cap = oxStroker::kCapRound;
    uint32_t m_strokeColor = 0xFF000000u;
    float m_stroke[3] = {0, 0, 0};
    uint32_t m_pattern = 0;
    int32_t m_batch = 0;
    HDC m_dc = nullptr;
    int32_t m_dcUses = 0;
    std::vector<uint8_t> m_segments; // one count per cubic of the path being drawn
    oxPath m_path;
    // Transformed points of the path being drawn (x, y, z) and their commands. Kept apart from
    // the path so that drawing the path leaves it as it was built.
    std::vector<float> m_scratch;
    std::vector<uint8_t> m_scratchCommands;
    std::vector<float> m_fitSource; // the points as grid fitting found them
    oxPixelBuffer m_rasterTarget;
    oxPolygonFiller m_filler;
    oxStroker m_stroker;
    oxRasterizer m_rasterizer;
    oxMatrix m_transform;
    uint8_t m_transformChanged = 1;
    oxMatrix m_textureTransform;
    oxPixelBuffer m_texture;
    uint8_t m_textureMapping = 0;
    oxMatrix m_combined;
    uint8_t m_combinedChanged = 1;
    float m_refCoords[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    float m_refPoints[9] = {};
    float m_refMapped[9] = {};
    oxPixelBuffer m_fillImage;
};
