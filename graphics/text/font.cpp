#include "graphics/text/font.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "graphics/pixels/image_memory.h"

namespace {

float g_fontScale = 1.0f;

struct Registry {
    std::vector<oxFont*> fonts;
    int uses = 0;
};
Registry* g_registry = nullptr;

char* CopyText(const char* text, size_t length) {
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

} // namespace

// Glyphs.

oxGlyph::~oxGlyph() {
    while (m_bitmaps) {
        oxGlyphBitmap* next = m_bitmaps->next;
        ImageFree(m_bitmaps->pixels.bits);
        delete m_bitmaps;
        m_bitmaps = next;
    }
}

bool oxGlyph::Resize(int32_t n) {
    if (n < 0) return false;
    try {
        m_commands.resize(size_t(n));
        m_points.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_count = n;
    return true;
}

void oxGlyph::ComputeExtents() {
    // Both start at 0: an outline left of the origin or wholly below the baseline has no extent.
    m_right = 0;
    m_top = 0;
    for (int32_t i = 0; i < m_count; ++i) {
        m_right = std::max(m_right, m_points[size_t(i)].x);
        m_top = std::max(m_top, -m_points[size_t(i)].y);
    }
}

size_t oxGlyph::BitmapBytes() const {
    size_t bytes = 0;
    for (const oxGlyphBitmap* b = m_bitmaps; b; b = b->next)
        bytes += size_t(b->pixels.stride) * size_t(b->pixels.height);
    return bytes;
}

// Fonts.

oxFont::~oxFont() {
    oxFontRegistry::Unregister(this);
    DropGlyphs();
    std::free(m_face);
    std::free(m_alias);
}

void oxFont::DropGlyphs() {
    for (oxGlyph* g : m_glyphs)
        delete g;
    m_glyphs.clear();
}

bool oxFont::ResetGlyphs(int32_t count) {
    DropGlyphs();
    if (count <= 0) return count == 0;
    try {
        m_glyphs.assign(size_t(count), nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void oxFont::SetGlyph(int32_t code, oxGlyph* glyph) {
    delete m_glyphs[size_t(code)];
    m_glyphs[size_t(code)] = glyph;
}

int oxFont::LoadGlyph(int32_t code) {
    if (!m_loaded || code < 0) return 0;
    m_current = code;
    if (code >= GlyphCount()) {
        try {
            m_glyphs.resize(size_t(code) + 1, nullptr);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    return m_glyphs[size_t(code)] ? 1 : 0;
}

oxGlyph* oxFont::GetGlyph(int32_t code) {
    LoadGlyph(code);
    return GlyphAt(code);
}

bool oxFont::MatchesFont(const oxFont* other) const {
    return other && MatchesFace(other->GetFaceName(), 0, 0, 0);
}

bool oxFont::MatchesFace(const char* name, uint32_t, float, int32_t) const {
    if (!name) return false;
    const char* face = m_face ? m_face : "";
    return std::strncmp(face, name, std::strlen(name)) == 0;
}

void oxFont::SetAlias(const char* text) {
    if (!text) return;
    char* copy = CopyText(text, std::strlen(text));
    if (!copy) return;
    std::free(m_alias);
    m_alias = copy;
}

bool oxFont::SetFaceName(const char* name, size_t length) {
    length = strnlen(name, length);
    char* copy = CopyText(name, length);
    if (!copy) return false;
    std::free(m_face);
    m_face = copy;
    return true;
}

size_t oxFont::GlyphCacheBytes() const {
    size_t bytes = 0;
    for (const oxGlyph* g : m_glyphs)
        if (g) bytes += g->BitmapBytes();
    return bytes;
}

// Registry.

int oxFontRegistry::Acquire() {
    if (!g_registry) {
        g_registry = new Registry;
        g_fontScale = 1.0f;
    }
    ++g_registry->uses;
    return 1;
}

void oxFontRegistry::Register(oxFont* font) {
    Acquire();
    if (font && std::find(g_registry->fonts.begin(), g_registry->fonts.end(), font) == g_registry->fonts.end())
        g_registry->fonts.push_back(font);
}

void oxFontRegistry::Unregister(oxFont* font) {
    if (!g_registry) return;
    auto& fonts = g_registry->fonts;
    fonts.erase(std::remove(fonts.begin(), fonts.end(), font), fonts.end());
}

const std::vector<oxFont*>& oxFontRegistry::Fonts() {
    if (!g_registry) Acquire();
    return g_registry->fonts;
}

float FontScale() {
    return g_fontScale;
}

void SetFontScale(float g) {
    g_fontScale = g;
}

oxFont* FindFont(const char* face, uint32_t style, float weight, int32_t extra, bool fallback) {
    for (oxFont* font : oxFontRegistry::Fonts())
        if (font->MatchesFace(face, style, weight, extra)) return font;
    if (fallback) return FindFont("Arial", 0, 0.4f, 0, false);
    return nullptr;
}
