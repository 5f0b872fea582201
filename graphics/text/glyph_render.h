#pragma once
// Small glyphs (32 pixels and below) are rasterised once per size and quarter-pixel phase into
// coverage at three times the horizontal resolution, one byte per colour subpixel, and cached on
// the glyph. The polygon filler draws the outline into the 8-bit bitmap through a graphics context
// that snaps the glyph's stems to whole columns; a chain of filters then shapes the coverage: the
// edge rows that only a sliver touches are cleared, each row is smoothed across subpixels against
// colour fringes, a per-glyph curve thickens light faces and thins dark ones at small sizes, the
// three subpixels of a pixel are pulled together unless they differ evenly, and a global gain curve
// sharpens the result. Bitmaps are never evicted: their memory is bounded by 32 sizes x 4 phases.
#include <cstdint>

class oxFont;
class oxGlyph;
struct oxGlyphBitmap;
class oxGraphicsContext;

// The coverage bitmap of `code` at `size` pixels for a glyph origin at device x `x`, from the cache
// or newly made; null above 32 pixels, for a glyph without outline, without the shared graphics
// context or when memory is short.
oxGlyphBitmap* RenderGlyph(oxFont* font, int32_t code, int32_t size, float x);

// The context RenderGlyph draws with; the first one set stays.
void SetFontGraphicsContext(oxGraphicsContext* context);
oxGraphicsContext* FontGraphicsContext();
// Sets the context to one of the font manager's own, unless one is set already.
void EnsureFontGraphicsContext();

// In place, from old values: (9 x left + 2 x self + 9 x right) / 20, an end standing in for its
// missing neighbour.
void SmoothRow(uint8_t* bytes, int32_t n);
// Schlick's bias and gain on [0, 1].
float Bias(float x, float g);
float GainCurve(float x, float g);
// Round to nearest with halves upward.
double RoundHalfUp(double v);
