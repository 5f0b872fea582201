#pragma once
// Turns straight edges in device pixels into anti-aliased coverage and composites a solid colour,
// a tiled texture or a gradient into a 32, 16 or 8 bits per pixel buffer. Each pixel row is sampled on 2^n
// sub-scanlines; edges are stepped in 20.12 fixed point from bucketed start lists, and the coverage of one row is
// accumulated in an oxCoverageRow and written when the row's last sub-scanline is done.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"
#include "graphics/pixels/pixel_fill.h"
#include "graphics/raster/coverage_row.h"
#include "graphics/raster/texture_source.h"
#include "platform/types.h"

class oxPolygonFiller {
public:
    enum FillRule : uint8_t { kEvenOdd = 0, kNonZero = 1 };
    enum TextureMode : int32_t { kTextureBitmap = 0, kLinearGradient = 1, kRadialGradient = 2 };

    oxPolygonFiller();
    virtual ~oxPolygonFiller();
    oxPolygonFiller(const oxPolygonFiller&) = delete;
    oxPolygonFiller& operator=(const oxPolygonFiller&) = delete;

    // Copies the buffer's record and clips to all of it; null empties the target and returns 0.
    int SetTarget(const oxPixelBuffer* target);
    void SetClip(const RECT& clip);
    // 0 or 1: one sub-scanline per row; 2: two; 4: four; anything else: eight.
    void SetQuality(int level);
    void SetCoverageCurve(float p);
    float CoverageCurve() const { return m_curveParam; }
    void SetColor(uint32_t argb) { m_color = argb; }
    void SetOpacity(int32_t opacity) { m_opacity = opacity; }
    void SetFillRule(FillRule rule) { m_nonZero = rule == kNonZero; }

    // Starts a polygon of about `expectedEdges` edges; 0 when the edge arrays cannot be had.
    int BeginPolygon(int32_t expectedEdges);
    // 1 when the edge was dropped as wholly above or below the clip, 0 when it crosses no
    // sub-scanline or cannot be stored; otherwise it is stored.
    int AddEdge(float x0, float y0, float x1, float y1);
    // Renders the current edges and consumes them.
    int Fill();

    static int32_t FloorToInt(double v);

    // A 32 or 8-bit buffer becomes the texture (its record is copied); anything else clears it.
    void SetTexture(const oxPixelBuffer* texture);
    bool HasTexture() const { return m_texture.HasPixels(); }
    // Three device points (x, y, z) and their texture coordinates (u, v, w), 1.0 spanning the
    // whole texture. Does nothing without a texture.
    void SetTextureMapping(const float* points, const float* coords);
    void SetTextureMode(int32_t mode) { m_textureMode = mode; }
    // Set: texture pixels are composited by their own alpha; clear: they count as opaque.
    void SetUseSourceAlpha(bool on) { m_useSourceAlpha = on ? 1 : 0; }
    void SetColorTransform(bool on) { m_colorTransform.enabled = on ? 1 : 0; }
    void SetSaturation(int32_t saturation) { m_colorTransform.saturation = saturation; }
    void SetTransferTable(int channel, const uint8_t* table) { m_colorTransform.SetTable(channel, table); }
    // The source pixels of columns [x0, x1) of row y, before the colour transform.
    void TextureSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    const oxTextureMapping& Mapping() const { return m_mapping; }

    const RECT& Clip() const { return m_clip; }
    int SubsampleExponent() const { return m_n; }
    int32_t EdgeCount() const { return m_edgeCount; }

private:
    void BuildCoverageCurve(float p);
    void RefreshTables();
    bool ReserveEdges(int32_t size);
    int StoreEdge(double x0, double y0, double x1, double y1);
    int AddClampedEdge(double x0, double y0, double x1, double y1);
    void ClearBuckets();
    bool FillRectangle();
    bool FillRectangle16(int32_t left, int32_t top, int32_t right, int32_t bottom);
    bool FillUprightBand();
    void FlushBand(int32_t top, int32_t bottom);
    int32_t UprightRows(int32_t i, int32_t count, int32_t nearestEnd) const;
    bool TwoEdgeRow(int32_t i);
    bool FillBand16(int32_t top, int32_t bottom);
    bool FillBand32(int32_t top, int32_t bottom);
    // The solid colour scaled by every coverage weight, for 32-bit rows.
    const uint32_t* WeightedColors();
    void AddRowSpans(int32_t subline, int32_t count);
    const uint8_t* SolidRow(int32_t y);
    void ScanConvert();
    void FlushRow(int32_t y, bool clear = true);
    void FlushRow32(int32_t y);
    void FlushRow16(int32_t y);
    void FlushRow8(int32_t y);
    // Source pixels after the colour transform.
    void SourceSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    void BitmapSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    void LinearSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    void RadialSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    bool FillTexturedRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    bool CopyTextureRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void FlushTextured32(int32_t y);
    void FlushTextured16(int32_t y);
    // 16-bit targets: the source pixels of [x0, x1) of row y by the 16-bit sampling of a texture or
    // gradient, after the colour transform, dithered to 16 bits; with `alpha`, the source alphas too.
    void SourceRow16(uint16_t* out, uint8_t* alpha, int32_t y, int32_t x0, int32_t x1);
    void TextureSpan16(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    // The texels of a bitmap span: straight from the texture row when they lie in it one to one.
    const uint32_t* BitmapSpan16(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const;
    int32_t LinearIndex16(int64_t u) const;
    int32_t RadialIndex16(int64_t u, int64_t v) const;
    // The ramp dithered for every phase of the 4 x 4 dither, indexed [y & 3][index][x & 3]; null
    // when the colour transform is on or the ramp cannot be had.
    const uint16_t* DitheredRamp();
    // Composites source row `src` (and its alphas, when the source alpha counts) by the coverage.
    void Composite16(uint16_t* row, const uint16_t* src, const uint8_t* alpha, int32_t y, int32_t x0, int32_t x1);
    bool RowsRepeat() const;
    bool FillTexturedBand16(int32_t top, int32_t bottom);
    bool SourceBand16(int32_t top, int32_t bottom, int32_t x0, int32_t x1);
    // Scratch of the 16-bit sources: four rows of 16-bit pixels and of alphas.
    bool Reserve16(int32_t width);

    oxCoverageRow m_coverage;
    oxPixelBuffer m_target;
    RECT m_clip{0, 0, 0, 0};
    uint32_t m_color = 0;
    int32_t m_opacity = 256;
    int m_n = 2;
    float m_curveParam = -1.0f;
    int32_t m_tableOpacity = -1; // -1: the opacity table is stale
    uint8_t m_opacityTable[256] = {};
    uint8_t m_curve[256] = {};
    uint8_t m_weight[256] = {}; // m_opacityTable[m_curve[c]], rebuilt with either table
    bool m_weightStale = true;
    uint32_t m_weighted[256] = {}; // the solid colour scaled by m_weight, for 32-bit rows
    uint32_t m_weightedColor = 0;
    bool m_weightedStale = true;
    uint32_t* m_rowScratch = nullptr;
    int32_t m_rowScratchSize = 0;
    // Fully covered runs are copied from rows of the solid colour: one row for 32 bits, four
    // (one per dither row) for 16 bits. Rebuilt when the colour or the 16-bit layout changes.
    uint8_t* m_solid = nullptr;
    int32_t m_solidSize = 0;
    uint64_t m_solidKey = 0;
    bool m_solidValid = false;
    oxFillPattern m_solidFill[4]; // the solid rows as fill patterns, made with them

    // Fully covered groups [from, to) of a row whose coverage is written to many rows; the flush
    // copies them without looking at their coverage again.
    int32_t m_runFrom = -1;
    int32_t m_runTo = -1;

    int32_t m_edgeCount = 0;
    int32_t m_firstEdge = 0; // edge with the smallest first sub-scanline
    int32_t m_lastEdge = 0;  // edge with the largest end sub-scanline
    float m_minX = 0;
    float m_maxX = 0;
    bool m_allLeft = true;
    bool m_allRight = true;
    bool m_allAbove = true;
    bool m_allBelow = true;
    // Set by an edge with a point that is not a number or infinite: the polygon draws nothing.
    bool m_broken = false;
    int32_t m_maxEdgeCount = 0;
    bool m_nonZero = true;

    // Without a texture the filler draws its solid colour.
    oxPixelBuffer m_texture;
    oxTextureMapping m_mapping;
    int32_t m_textureMode = kTextureBitmap;
    uint8_t m_useSourceAlpha = 0;
    oxSpanColorTransform m_colorTransform;
    uint16_t* m_rampDithered = nullptr; // 4 x 256 x 4 entries
    uint32_t m_rampKey[256] = {};       // the ramp it was made from
    uint64_t m_rampLayout = 0;          // and the 16-bit layout
    int32_t m_rampKeyWidth = 0;         // 0: not made
    uint16_t* m_source16 = nullptr;
    int32_t m_source16Width = 0;

    int32_t m_edgeSize = 0;     // the edge arrays' size as the polygon asked for it
    int32_t m_edgeCapacity = 0; // what is allocated
    int32_t* m_x = nullptr;     // 20.12 at the current sub-scanline
    int32_t* m_step = nullptr;  // 20.12 per sub-scanline
    int32_t* m_first = nullptr; // first sub-scanline, inclusive
    int32_t* m_end = nullptr;   // end sub-scanline, exclusive
    uint8_t* m_dir = nullptr;   // 1 down the screen, 255 up
    int32_t* m_next = nullptr;  // next edge of the same bucket, -1 = none
    int32_t* m_active = nullptr;
    int32_t* m_buckets = nullptr; // one list head per sub-scanline of the target
    int32_t m_bucketCount = 0;
};
