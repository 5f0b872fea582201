#pragma once
// Vector fonts: glyph outlines in em units read from font cache files, each glyph keeping a chain
// of coverage bitmaps rasterised at small sizes (see glyph_render.h), and the process-wide registry
// that finds fonts by face name.
//
// A font owns its glyph records; a glyph owns its chain of bitmaps, whose bits come from ImageAlloc.
#include <cstdint>
#include <vector>

#include "graphics/pixels/pixel_buffer.h"

// Font style flags.
constexpr uint32_t kFontBold = 1;
constexpr uint32_t kFontItalic = 2;
constexpr uint32_t kFontUnderline = 8;

// One glyph rasterised at one pixel size and quarter-pixel phase: 8-bit coverage, three bytes
// (red, green, blue subpixels) per pixel, top-down.
struct oxGlyphBitmap {
    int32_t size = 0;
    int32_t phase = 0;
    oxPixelBuffer pixels;
    oxGlyphBitmap* next = nullptr;
    uint8_t ink = 0; // kInkAtAdvance, kInkInColumn4
    // The pixels (not subpixels) that carry any coverage, so that blending skips the empty margins.
    int32_t inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;

    static constexpr uint8_t kInkAtAdvance = 1;
    static constexpr uint8_t kInkInColumn4 = 2;
};

struct oxGlyphPoint {
    float x, y;
};

// A glyph's outline: one path command per point (kPathMove, kPathLine, kPathCubic, with kPathClose
// on a sub-path's last point), points in em units with y growing downwards.
class oxGlyph {
public:
    oxGlyph() = default;
    ~oxGlyph();
    oxGlyph(const oxGlyph&) = delete;
    oxGlyph& operator=(const oxGlyph&) = delete;

    // Sizes both lists to n entries; false when that cannot be had.
    bool Resize(int32_t n);
    // The largest x and the largest -y over the points.
    void ComputeExtents();

    int32_t PointCount() const { return m_count; }
    const uint8_t* Commands() const { return m_commands.data(); }
    uint8_t* Commands() { return m_commands.data(); }
    const float* Points() const { return m_points.empty() ? nullptr : &m_points[0].x; }
    float* Points() { return m_points.empty() ? nullptr : &m_points[0].x; }
    // The advance (font units) and the second trailing value of the cache file.
    const float* Advance() const { return m_advance; }
    float* Advance() { return m_advance; }
    float RightExtent() const { return m_right; }
    float TopExtent() const { return m_top; }
    oxGlyphBitmap* FirstBitmap() const { return m_bitmaps; }
    void SetFirstBitmap(oxGlyphBitmap* bitmap) { m_bitmaps = bitmap; }
    // Bytes held by the chain of bitmaps.
    size_t BitmapBytes() const;

private:
    std::vector<uint8_t> m_commands;
    std::vector<oxGlyphPoint> m_points;
    int32_t m_count = 0;
    float m_advance[2] = {0, 0};
    float m_right = 0;
    float m_top = 0;
    oxGlyphBitmap* m_bitmaps = nullptr;
};

class oxFont {
public:
    oxFont() = default;
    virtual ~oxFont();
    oxFont(const oxFont&) = delete;
    oxFont& operator=(const oxFont&) = delete;

    virtual bool IsLoaded() const { return m_loaded != 0; }
    virtual float GetVerticalMetric2() const { return m_vertical[1]; }
    virtual float GetVerticalMetric3() const { return m_vertical[2]; }
    virtual float GetVerticalMetric1() const { return m_vertical[0]; }
    // 1 when the glyph of `code` is present; makes room for it in the list.
    virtual int LoadGlyph(int32_t code);
    virtual oxGlyph* GetGlyph(int32_t code);
    virtual bool MatchesFont(const oxFont* other) const;
    // True when the face name begins with `name` (case-sensitive); the rest is not compared.
    virtual bool MatchesFace(const char* name, uint32_t style, float weight, int32_t extra) const;
    virtual const char* GetFaceName() const { return m_face; }
    virtual uint32_t GetStyle() const { return m_style; }
    // Keeps a copy of `text`; null is ignored.
    virtual void SetAlias(const char* text);

    const char* Alias() const { return m_alias; }
    // Takes a copy of the first `length` bytes, cut at a zero byte; false when memory is short.
    bool SetFaceName(const char* name, size_t length);
    void SetStyle(uint32_t style) { m_style = style; }
    void SetLoaded(bool loaded) { m_loaded = loaded ? 1 : 0; }
    void MarkFilling() { m_fresh = 0; }

    // The six words kept after the face name: metric A and B are stored and written back only.
    uint32_t MetricA() const { return m_metricA; }
    uint32_t MetricB() const { return m_metricB; }
    void SetMetricA(uint32_t v) { m_metricA = v; }
    void SetMetricB(uint32_t v) { m_metricB = v; }
    void SetVerticalMetric(int index, float v) { m_vertical[index] = v; }
    float Darkness() const { return m_darkness; }
    void SetDarkness(float d) { m_darkness = d; }

    // The glyph list, indexed by character code; entries may be null.
    int32_t GlyphCount() const { return static_cast<int32_t>(m_glyphs.size()); }
    // Drops every glyph and sizes the list to `count` empty entries; false when memory is short.
    bool ResetGlyphs(int32_t count);
    // Puts `glyph` (owned from now on) at `code`, which must lie in the list.
    void SetGlyph(int32_t code, oxGlyph* glyph);
    oxGlyph* GlyphAt(int32_t code) const { return code >= 0 && code < GlyphCount() ? m_glyphs[code] : nullptr; }
    // Bytes held by every glyph's cached bitmaps.
    size_t GlyphCacheBytes() const;

private:
    void DropGlyphs();

    char* m_alias = nullptr;
    uint8_t m_loaded = 0;
    uint8_t m_fresh = 1;
    int32_t m_current = 0;
    std::vector<oxGlyph*> m_glyphs;
    char* m_face = nullptr;
    uint32_t m_style = 0;
    uint32_t m_metricA = 0;
    uint32_t m_metricB = 0;
    float m_vertical[3] = {0, 0, 0};
    float m_darkness = -1.0f;
};

// The process-wide list of fonts that FindFont searches. Fonts are registered by their owner and
// must be unregistered before they are destroyed.
class oxFontRegistry {
public:
    // Creates the registry on first use and counts uses; 1 when it exists.
    static int Acquire();
    static void Register(oxFont* font);
    static void Unregister(oxFont* font);
    static const std::vector<oxFont*>& Fonts();
};

// The global font scale g: one em is 2048 x g font units.
float FontScale();
void SetFontScale(float g);

// The first registered font whose face name begins with `face`; with `fallback`, one more search
// for "Arial". Null when nothing matches.
oxFont* FindFont(const char* face, uint32_t style, float weight, int32_t extra, bool fallback);
