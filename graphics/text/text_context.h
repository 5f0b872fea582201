#pragma once
// Lays out and draws a run of UTF-16 text with a vector font through a graphics context. The matrix
// maps em units to device pixels (its scale is the font size). The run may carry a small inline
// markup (b, i, u, font color, p align, br, tab and character entities). Lines break at a maximum
// width on word boundaries, aligned left, right, centred or justified. Measuring is the same pass
// without a target. Small upright glyphs blend cached coverage bitmaps; everything else fills
// outlines.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/pixels/matrix.h"

class oxFont;
class oxGlyph;
struct oxGlyphBitmap;
class oxGraphicsContext;
struct oxPixelBuffer;
struct RECT;

class oxTextContext {
public:
    // Glyph modes of Draw.
    enum GlyphMode : int32_t {
        kGlyphCached = -1, // coverage bitmaps where possible, else filled outlines
        kGlyphFill = 0,
        kGlyphStroke = 1,
        kGlyphHairline = 2,
        kGlyphAppend = 3, // outline points appended to the context's path
        kGlyphNone = 4,   // layout only
    };
    enum Markup : int32_t { kMarkupLiteral = 0, kMarkupApply = 1, kMarkupSkip = 2 };
    enum Align : int32_t { kAlignNone = 0, kAlignLeft = 1, kAlignRight = 2, kAlignCenter = 3, kAlignJustify = 4 };

    // A box {x0, y0, z0, x1, y1, z1} in device units; all zero when nothing was laid out.
    struct Box {
        float v[6] = {0, 0, 0, 0, 0, 0};
    };

    virtual ~oxTextContext() = default;

    // The handle gets a new context, or null when memory is short.
    static void Create(oxTextContext** handle);
    static void Destroy(oxTextContext** handle);
    static void SetFont(oxTextContext* context, oxFont* font);
    static void SetMarkupEnabled(oxTextContext* context, int32_t mode);
    static void SetSpacesExtend(oxTextContext* context, int32_t flag);
    // Draws with the target's current transform as the matrix, which is restored afterwards. A
    // length below 0 runs to the first zero unit; a character width of -1 is the default.
    static Box Draw(oxTextContext* context, const char16_t* text, int32_t length, oxGraphicsContext* target,
                    int32_t glyphMode, float lineAdvance, float maxWidth, int32_t charWidth, int32_t alignment,
                    char16_t accessChar);
    static Box Measure(oxTextContext* context, const char16_t* text, int32_t length, const oxMatrix& matrix,
                       float lineAdvance, float maxWidth, int32_t charWidth, int32_t alignment);

    // Decodes one character at `text` (markup and entities as the mode says); the units consumed,
    // 0 at the end or for a character width other than 2. Tags that give no character are consumed
    // with the character after them; *out is 0 when only tags were left.
    int32_t DecodeChar(char16_t* out, const char16_t* text, const char16_t* end, int32_t charWidth, int32_t mode);

    void SetLetterSpacing(float ems) { m_letterSpacing = ems; }
    // The gain table that coverage passes through before blending.
    void SetBias(float g);
    const uint8_t* GainTable() const { return m_gain; }
    // The font set, else the registry's default; null when none is loaded.
    oxFont* CurrentFont() const;

    int32_t BoldCount() const { return m_bold; }
    int32_t ItalicCount() const { return m_italic; }
    int32_t UnderlineCount() const { return m_underline; }
    int32_t Alignment() const { return m_align; }
    size_t AlignStackDepth() const { return m_alignStack.size(); }
    size_t FontStackDepth() const { return m_fontStack.size(); }

private:
    struct FontEntry {
        oxFont* font;
        uint32_t color;
    };
    struct LineMeasure;
    struct Run;

    oxTextContext();
    Box Layout(const char16_t* text, int32_t length, const oxMatrix& matrix, float lineAdvance, float maxWidth,
               int32_t charWidth, int32_t alignment, int32_t glyphMode, char16_t accessChar);
    void ApplyTag(const char16_t* tag, int32_t length, int32_t mode, char16_t* out);
    void ChangeStyle();
    float Advance(oxFont* font, char16_t c, float v) const;
    float MeasureWord(const char16_t*& p, const char16_t* end, float budget, float v, bool& cut);
    void MeasureLine(Run& run, const char16_t* from, LineMeasure& out);
    void PaintGlyph(Run& run, oxGlyph* glyph, char16_t c, float penX, float advance);

    float m_letterSpacing = 0;
    oxFont* m_font = nullptr;
    std::vector<FontEntry> m_fontStack;
    int32_t m_markup = kMarkupLiteral;
    int32_t m_charWidth = 2;
    int32_t m_bold = 0;
    int32_t m_italic = 0;
    int32_t m_underline = 0;
    int32_t m_spacesExtend = 0;
    std::vector<int32_t> m_alignStack;
    int32_t m_align = kAlignNone;
    oxGraphicsContext* m_target = nullptr;
    uint8_t m_gain[256];
    float m_bias = -1.0f;
};

// Blends glyph coverage in `color` (0xRRGGBB) into a 32- or 16-bit target: `source` of the bitmap's
// pixels to `destination`, stepping the source in 16.16, clipped to `clip`.
void BlitGlyphCoverage(const oxPixelBuffer& target, const oxGlyphBitmap& bitmap, const RECT& source,
                       const RECT& destination, uint32_t color, const uint8_t* gain, const RECT& clip);
