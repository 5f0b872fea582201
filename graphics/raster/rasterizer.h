#pragma once
// Draws one-pixel-wide lines and small points straight into a 16 or 32 bits per pixel buffer:
// hairlines for the graphics context, and the depth-tested, shaded and textured lines and wide
// points of the 3-D operations. Geometry is stepped in 16.16 fixed point, depth with 27 fraction
// bits (larger is nearer); coverage and alpha come from tables rebuilt when the alpha changes.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"
#include "platform/types.h"

class oxMipChain;

struct oxVertex {
    float x, y, z;
};
struct oxTexCoord {
    float u, v;
};
struct oxVertexColor {
    float r, g, b;
};

using oxPlotCallback = void (*)(int32_t x, int32_t y, int32_t alpha, void* user);
using oxPickCallback = void (*)(void* user, int64_t depth, int32_t x, int32_t y, uint32_t tag);

class oxRasterizer {
public:
    explicit oxRasterizer(void* owner = nullptr);
    oxRasterizer(const oxRasterizer&) = delete;
    oxRasterizer& operator=(const oxRasterizer&) = delete;

    virtual int DrawShadedTexturedLine(const oxVertex* p0, const oxVertexColor* c0, const oxTexCoord* t0,
                                       const oxVertex* p1, const oxVertexColor* c1, const oxTexCoord* t1);
    // s0 and s1 are texture coordinates (u, v) with a texture set, else colours (r, g, b).
    virtual int DrawShadedLine(const oxVertex* p0, const float* s0, const oxVertex* p1, const float* s1);
    virtual int DrawDepthLine(const oxVertex* p0, const oxVertex* p1);
    virtual int DrawShadedTexturedLineMultiIndexed(const oxVertex* positions, const oxVertexColor* colors,
                                                   const oxTexCoord* texcoords, const int32_t* ip, const int32_t* ic,
                                                   const int32_t* it);
    virtual int DrawTexturedLineMultiIndexed(const oxVertex* positions, const oxTexCoord* texcoords, const int32_t* ip,
                                             const int32_t* it);
    virtual int DrawColoredLineMultiIndexed(const oxVertex* positions, const oxVertexColor* colors, const int32_t* ip,
                                            const int32_t* ic);
    virtual int DrawShadedTexturedLineIndexed(const oxVertex* positions, const oxVertexColor* colors,
                                              const oxTexCoord* texcoords, int32_t i, int32_t j);
    virtual int DrawTexturedLineIndexed(const oxVertex* positions, const oxTexCoord* texcoords, int32_t i, int32_t j);
    virtual int DrawColoredLineIndexed(const oxVertex* positions, const oxVertexColor* colors, int32_t i, int32_t j);
    virtual int DrawDepthLineIndexed(const oxVertex* positions, int32_t i, int32_t j);
    virtual int DrawLine(float x0, float y0, float x1, float y1);
    virtual int DrawPoint(const oxVertex* p);
    virtual int DrawPointIndexed(const oxVertex* positions, int32_t i);
    virtual int DrawPoint2D(float x, float y);
    virtual void UpdateTextureScale();
    virtual ~oxRasterizer() = default;
    virtual void SetColorRgb(const float* rgb);
    virtual void SetColor(uint32_t argb) { m_color = argb; }

    void SetAlpha(int32_t alpha);
    void SetAntialias(bool on) { m_antialias = on ? 1 : 0; }

    uint32_t Color() const { return m_color; }
    int32_t Alpha() const { return m_alpha; }
    const uint8_t* CoverageTable() const { return m_coverage; }
    const uint8_t* CoverageTable5() const { return m_coverage5; }
    // 1 / d for d != 0, from the shared table when |d| < 64.
    static float Reciprocal(float d);

    // Line writers; non-zero when something was in range. Rows writers step one pixel row at a
    // time, Columns writers one column. All coordinates 16.16, depths with 27 fraction bits.
    int FillLineRows32(int32_t slope, int32_t start, int32_t end);
    int FillLineColumns32(int32_t slope, int32_t start, int32_t end);
    int FillLineRows16(int32_t slope, int32_t start, int32_t end);
    int FillLineColumns16(int32_t slope, int32_t start, int32_t end);
    int FillDepthRows32(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth, int32_t depthStep);
    int FillDepthColumns32(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth, int32_t depthStep);
    int FillDepthRows16(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth, int32_t depthStep);
    int FillDepthColumns16(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth, int32_t depthStep);
    int FillShadedRows32(int32_t slope, int32_t start, int32_t end, int32_t minor);
    int FillShadedColumns32(int32_t slope, int32_t start, int32_t end, int32_t minor);
    int FillShadedRows16(int32_t slope, int32_t start, int32_t end, int32_t minor);
    int FillShadedColumns16(int32_t slope, int32_t start, int32_t end, int32_t minor);

    // Owner-supplied state; the pointers are not owned and must outlive their use.
    uint8_t m_antialias = 1;
    uint32_t m_gapMask = 0; // bit (i mod 32) set: the pixel at major coordinate i is left out
    uint8_t m_depthWrite = 0;
    RECT m_clip{0, 0, 0, 0};
    const oxPixelBuffer* m_target = nullptr;
    int32_t* m_depthBuffer = nullptr; // one entry per target pixel, rows of the target's width
    int32_t m_depthOffset = 0;
    const oxPixelBuffer* m_texture = nullptr; // 32 bpp
    uint32_t m_wrapU = 0;
    uint32_t m_wrapV = 0;
    oxPlotCallback m_plot = nullptr;
    void* m_plotUser = nullptr;
    uint8_t m_pick = 0;
    void* m_pickUser = nullptr;
    oxPickCallback m_pickCallback = nullptr;
    uint32_t m_pickTag = 0;
    float m_textureScaleU = 1.0f;
    float m_textureScaleV = 1.0f;
    float m_textureScaleU256 = 1.0f / 256;
    float m_textureScaleV256 = 1.0f / 256;
    float m_textureOffsetU = 0;
    float m_textureOffsetV = 0;
    oxMipChain* m_mipChain = nullptr;

    // Shading state of the shaded writers: texel u, v or colour r, g, b (25 fraction bits) and
    // their steps per major pixel; the mip-level choice shifts them.
    int32_t m_shade[3] = {};
    int32_t m_shadeStep[3] = {};
    int32_t m_depthStart = 0;
    int32_t m_depthStep = 0;

private:
    template <bool Rows, int Bpp> int FillLine(int32_t slope, int32_t start, int32_t end);
    template <bool Rows, int Bpp>
    int FillDepth(int32_t slope, int32_t start, int32_t end, int32_t minor, int32_t depth, int32_t depthStep);
    template <bool Rows, int Bpp> int FillShaded(int32_t slope, int32_t start, int32_t end, int32_t minor);
    bool TargetBounds(RECT& bounds) const;
    int PickLine(float x0, float y0, float z0, float x1, float y1, float z1);
    int DrawPointAt(float x, float y, float z);
    uint16_t Color16(uint32_t argb) const;

    void* m_owner;
    uint32_t m_color = 0;
    uint8_t m_coverage[257] = {};
    uint8_t m_coverage5[33] = {};
    int32_t m_halfExtent = 0x8000;
    int32_t m_minorStart = 0;
    int32_t m_alpha = -1;
};
