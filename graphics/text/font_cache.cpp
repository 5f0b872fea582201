#include "graphics/text/font_cache.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "graphics/paint/path.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/text/font.h"

namespace {

enum Tag : int32_t {
    kTagFace = 1,
    kTagStyle = 2,
    kTagMetricB = 3,
    kTagMetricA = 4,
    kTagVertical1 = 5,
    kTagVertical2 = 6,
    kTagVertical3 = 7,
    kTagGlyphCount = 8,
    kTagGlyphs = 9,
};

constexpr uint8_t kMagic[4] = {'T', 'F', 'B', 'P'};
// Count, commands and points, advance pair.
constexpr size_t kGlyphFixedBytes = 12;
constexpr size_t kBytesPerPoint = 9;
// Outlines are in ems: anything this far out is not a glyph, and would overflow device coordinates.
constexpr float kPointLimit = 1024.0f;
constexpr float kAdvanceLimit = 1048576.0f;

uint32_t LoadWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float WordToFloat(uint32_t w) {
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}

uint32_t FloatToWord(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

// A sub-path starts with a move; Bezier points come in threes.
bool CommandsAreAPath(const uint8_t* commands, int32_t n) {
    int32_t cubicRun = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t c = commands[i];
        const uint8_t kind = c & kPathKindMask;
        if (c & ~(kPathKindMask | kPathClose | kPathOpen)) return false;
        if (kind != kPathMove && kind != kPathLine && kind != kPathCubic) return false;
        if ((c & kPathOpen) && kind != kPathMove) return false;
        if (i == 0 && kind != kPathMove) return false;
        if (kind == kPathCubic) {
            ++cubicRun;
        } else {
            if (cubicRun % 3) return false;
            cubicRun = 0;
        }
        if ((c & kPathClose) && cubicRun % 3) return false;
    }
    return cubicRun % 3 == 0;
}

} // namespace

oxFontCacheSerializer::~oxFontCacheSerializer() {
    ImageFree(m_buffer);
}

int oxFontCacheSerializer::Fail(int code, const char* what) {
    char text[160];
    std::snprintf(text, sizeof text, "font cache: %s (at byte %zu of %zu)", what, m_position, m_size);
    m_error = text;
    return code;
}

int oxFontCacheSerializer::Read(void* out, size_t n) {
    if (n > m_size - m_position) return kShortData;
    std::memcpy(out, m_data + m_position, n);
    m_position += n;
    return 0;
}

oxFont* ReadFontCache(const uint8_t* bytes, size_t size, const char* alias) {
    oxFontCacheSerializer reader;
    return reader.ReadFontCache(bytes, size, alias);
}

oxFont* oxFontCacheSerializer::ReadFontCache(const uint8_t* bytes, size_t size, const char* alias) {
    m_error.clear();
    m_data = bytes;
    m_size = bytes ? size : 0;
    m_position = 0;
    std::unique_ptr<oxFont> font(new (std::nothrow) oxFont);
    int result = font ? 0 : Fail(kNoMemory, "no memory for the font");
    uint8_t magic[4];
    // The magic is read but, as the file was always read, not compared.
    if (result == 0 && Read(magic, 4)) result = Fail(kShortData, "shorter than its magic");
    if (result == 0) font->MarkFilling();
    int32_t count = 0;
    while (result == 0 && m_position < m_size) {
        uint8_t header[8];
        if (Read(header, 8)) {
            result = Fail(kShortData, "record header cut short");
            break;
        }
        const int32_t tag = int32_t(LoadWord(header));
        const int32_t length = int32_t(LoadWord(header + 4));
        uint8_t word[4];
        switch (tag) {
        case kTagFace:
            if (length < 0 || size_t(length) > m_size - m_position) {
                result = Fail(kShortData, "face name runs past the end");
            } else if (!font->SetFaceName(reinterpret_cast<const char*>(m_data + m_position), size_t(length))) {
                result = Fail(kNoMemory, "no memory for the face name");
            } else {
                m_position += size_t(length);
            }
            break;
        case kTagStyle:
        case kTagMetricB:
        case kTagMetricA:
        case kTagVertical1:
        case kTagVertical2:
        case kTagVertical3:
        case kTagGlyphCount:
            // The header's length is not consulted: every one of these is one word.
            if (Read(word, 4)) {
                result = Fail(kShortData, "metric record cut short");
                break;
            }
            if (tag == kTagStyle)
                font->SetStyle(LoadWord(word));
            else if (tag == kTagMetricB)
                font->SetMetricB(LoadWord(word));
            else if (tag == kTagMetricA)
                font->SetMetricA(LoadWord(word));
            else if (tag == kTagGlyphCount)
                count = int32_t(LoadWord(word));
            else {
                const float v = WordToFloat(LoadWord(word));
                // A metric that is not a number would make every glyph cell unmeasurable.
                if (!std::isfinite(v) || std::fabs(v) > kAdvanceLimit)
                    result = Fail(kShortData, "vertical metric out of range");
                else
                    font->SetVerticalMetric(tag - kTagVertical1, v);
            }
            break;
        case kTagGlyphs:
            result = ReadGlyphs(font.get(), count);
            break;
        default:
            break; // only the header of an unknown record is consumed
        }
    }
    m_data = nullptr;
    m_size = 0;
    m_position = 0;
    if (result) return nullptr;
    if (alias) font->SetAlias(alias);
    font->SetLoaded(true);
    return font.release();
}

int oxFontCacheSerializer::ReadGlyphs(oxFont* font, int32_t count) {
    // Every entry takes at least its fixed bytes: a count the rest of the file cannot hold is refused
    // before anything is allocated for it.
    if (count < 0) return Fail(kShortData, "negative glyph count");
    if (size_t(count) > (m_size - m_position) / kGlyphFixedBytes)
        return Fail(kShortData, "glyph table larger than the file");
    if (!font->ResetGlyphs(count)) return Fail(kNoMemory, "no memory for the glyph list");
    for (int32_t code = 0; code < count; ++code) {
        uint8_t word[4];
        if (Read(word, 4)) return Fail(kShortData, "glyph entry cut short");
        const int32_t n = int32_t(LoadWord(word));
        if (n < 0) return Fail(kShortData, "negative point count");
        if (size_t(n) > (m_size - m_position) / kBytesPerPoint)
            return Fail(kShortData, "glyph points run past the end");
        std::unique_ptr<oxGlyph> glyph(new (std::nothrow) oxGlyph);
        if (!glyph || !glyph->Resize(n)) return Fail(kNoMemory, "no memory for a glyph");
        if (n && Read(glyph->Commands(), size_t(n))) return Fail(kShortData, "glyph commands cut short");
        if (!CommandsAreAPath(glyph->Commands(), n)) return Fail(kShortData, "glyph points without a path of commands");
        float* points = glyph->Points();
        for (int32_t i = 0; i < 2 * n; ++i) {
            if (Read(word, 4)) return Fail(kShortData, "glyph points cut short");
            points[i] = WordToFloat(LoadWord(word));
            if (!std::isfinite(points[i]) || std::fabs(points[i]) > kPointLimit)
                return Fail(kShortData, "glyph point out of range");
        }
        for (int i = 0; i < 2; ++i) {
            if (Read(word, 4)) return Fail(kShortData, "glyph advance cut short");
            glyph->Advance()[i] = WordToFloat(LoadWord(word));
            if (!std::isfinite(glyph->Advance()[i]) || std::fabs(glyph->Advance()[i]) > kAdvanceLimit)
                return Fail(kShortData, "glyph advance out of range");
        }
        glyph->ComputeExtents();
        font->SetGlyph(code, glyph.release());
    }
    return 0;
}

// Writing.

int oxFontCacheSerializer::Append(const void* data, size_t n) {
    if (n > m_capacity - m_length) {
        const size_t capacity = std::max(2 * m_length, 2 * n);
        void* grown = m_buffer ? ImageRealloc(m_buffer, capacity, 1) : ImageAlloc(capacity, 1);
        if (!grown) return kNoMemory;
        m_buffer = static_cast<uint8_t*>(grown);
        m_capacity = capacity;
    }
    std::memcpy(m_buffer + m_length, data, n);
    m_length += n;
    return 0;
}

int oxFontCacheSerializer::AppendRecord(int32_t tag, const void* payload, uint32_t length) {
    if (AppendWord(uint32_t(tag)) || AppendWord(length)) return kNoMemory;
    return length ? Append(payload, length) : 0;
}

size_t oxFontCacheSerializer::WriteFontCache(oxFont* font, uint8_t** out) {
    if (out) *out = nullptr;
    if (!font || !out) return 0;
    for (int32_t code = 0; code < 256; ++code)
        font->LoadGlyph(code);
    m_length = 0;
    const char* face = font->GetFaceName() ? font->GetFaceName() : "";
    const uint32_t words[7] = {font->GetStyle(),
                               font->MetricB(),
                               font->MetricA(),
                               FloatToWord(font->GetVerticalMetric1()),
                               FloatToWord(font->GetVerticalMetric2()),
                               FloatToWord(font->GetVerticalMetric3()),
                               uint32_t(font->GlyphCount())};
    int result = Append(kMagic, 4);
    if (!result) result = AppendRecord(kTagFace, face, uint32_t(std::strlen(face) + 1));
    for (int i = 0; i < 7 && !result; ++i)
        result = AppendRecord(kTagStyle + i, &words[i], 4);
    if (!result) result = AppendRecord(kTagGlyphs, nullptr, 0);
    for (int32_t code = 0; code < font->GlyphCount() && !result; ++code) {
        const oxGlyph* glyph = font->GlyphAt(code);
        const int32_t n = glyph ? glyph->PointCount() : 0;
        const float none[2] = {0, 0};
        result = AppendWord(uint32_t(n));
        if (!result && n) result = Append(glyph->Commands(), size_t(n));
        if (!result && n) result = Append(glyph->Points(), size_t(n) * 8);
        if (!result) result = Append(glyph ? glyph->Advance() : none, 8);
    }
    size_t length = 0;
    if (!result) {
        uint8_t* copy = new (std::nothrow) uint8_t[m_length];
        if (copy) {
            std::memcpy(copy, m_buffer, m_length);
            *out = copy;
            length = m_length;
        }
    }
    ImageFree(m_buffer);
    m_buffer = nullptr;
    m_length = m_capacity = 0;
    return length;
}
