#include "platform/win/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "platform/shell/path_map.h"
#include "platform/win/font_internal.h"

namespace platform::detail {

// One face of one file at one em size and rendering, with its glyph cache. Characters the face
// lacks are taken from fallback faces of the same size, which it owns.
class SizedFace {
public:
    struct Key {
        std::string file;
        int index = 0;
        int ppem = 0;
        bool bold = false;   // synthesised
        bool italic = false; // synthesised
        bool mono = false;
        auto operator<=>(const Key&) const = default;
    };

    static SizedFace* Open(const Key& key);
    void AddRef() { ++refs_; }
    void Release();

    const Glyph& Get(char32_t ch, bool render);
    const Key& key() const { return key_; }
    FT_Face face() const { return face_; }
    int ascent = 0;
    int descent = 0;

private:
    struct Entry : Glyph {
        SizedFace* owner = nullptr; // the face that draws it: this one or a fallback
        FT_UInt index = 0;
        std::vector<uint8_t> bits;
    };
    explicit SizedFace(const Key& key) : key_(key) {}
    ~SizedFace();
    Entry& Load(FT_UInt index);
    void Render(FT_UInt index, Entry& e);
    SizedFace* FallbackFor(char32_t ch);

    Key key_;
    FT_Face face_ = nullptr;
    int refs_ = 0;
    std::unordered_map<FT_UInt, Entry> glyphs_;
    // Resolved characters: the face that draws each one and its glyph entry.
    std::unordered_map<char32_t, Entry*> chars_;
    Entry* low_[0x300] = {};
    std::map<std::string, SizedFace*> fallbacks_;
    Entry blank_;
};

class FontInstance {
public:
    SizedFace* face = nullptr; // null when no face at all could be found
    TEXTMETRICW metrics{};
    int em = 0;
    int escapement = 0;
    bool underline = false;
    bool strikeOut = false;
};

} // namespace platform::detail

using platform::detail::FontInstance;
using platform::detail::Glyph;
using platform::detail::SizedFace;

namespace {

struct Font : HFONT__ {
    LOGFONTW logFont{};
    bool resolved = false;
    bool stock = false;
    FontInstance instance;
};

std::unordered_set<const void*>& LiveFonts() {
    static std::unordered_set<const void*> live;
    return live;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib)) lib = nullptr;
        return lib;
    }();
    return library;
}

bool FontConfigReady() {
    static const bool ready = [] {
        if (FcInit() != FcTrue) return false;
        // fontconfig's configuration is freed at exit only when asked to.
        std::atexit(FcFini);
        return true;
    }();
    return ready;
}

std::map<SizedFace::Key, SizedFace*>& OpenFaces() {
    static std::map<SizedFace::Key, SizedFace*> faces;
    return faces;
}

int Scale(long units, int ppem, int upem) {
    if (upem <= 0) return 0;
    return int(std::lround(double(units) * ppem / upem));
}

// Where fontconfig found a face for a request.
struct Match {
    std::string file;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

bool MatchPattern(FcPattern* pattern, Match* out, char32_t mustHave) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (!match) return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok && mustHave) {
        FcCharSet* chars = nullptr;
        ok = FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch && FcCharSetHasChar(chars, mustHave);
    }
    if (ok) {
        out->file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &out->index) != FcResultMatch) out->index = 0;
        if (FcPatternGetInteger(match, FC_WEIGHT, 0, &out->weight) != FcResultMatch) out->weight = FC_WEIGHT_REGULAR;
        if (FcPatternGetInteger(match, FC_SLANT, 0, &out->slant) != FcResultMatch) out->slant = FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return ok;
}

// Requests already answered, by family (lower case), weight and slant; forgotten when the set
// of registered fonts changes.
std::map<std::string, Match>& MatchCache() {
    static std::map<std::string, Match> cache;
    return cache;
}
// Fallback files by character; an empty file when no face has it.
std::unordered_map<char32_t, Match>& FallbackCache() {
    static std::unordered_map<char32_t, Match> cache;
    return cache;
}

bool Resolve(const std::string& family, int weight, bool italic, Match* out) {
    if (!FontConfigReady()) return false;
    std::string key = family;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    key += '\n' + std::to_string(weight) + (italic ? "i" : "r");
    auto& cache = MatchCache();
    if (auto it = cache.find(key); it != cache.end()) {
        *out = it->second;
        return !out->file.empty();
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    Match m;
    if (!MatchPattern(pattern, &m, 0)) m = Match{};
    FcPatternDestroy(pattern);
    cache[key] = m;
    *out = m;
    return !m.file.empty();
}

bool FindFallback(char32_t ch, Match* out) {
    if (!FontConfigReady()) return false;
    auto& cache = FallbackCache();
    if (auto it = cache.find(ch); it != cache.end()) {
        *out = it->second;
        return !out->file.empty();
    }
    Match m;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* chars = FcCharSetCreate();
    if (pattern && chars) {
        FcCharSetAddChar(chars, ch);
        FcPatternAddCharSet(pattern, FC_CHARSET, chars);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        if (!MatchPattern(pattern, &m, ch)) m = Match{};
    }
    if (chars) FcCharSetDestroy(chars);
    if (pattern) FcPatternDestroy(pattern);
    cache[ch] = m;
    *out = m;
    return !m.file.empty();
}

void ForgetMatches() {
    MatchCache().clear();
    FallbackCache().clear();
}

// Hinted for the grey coverage; the monochrome quality hints for black and white.
FT_Int32 LoadFlags(bool mono) {
    return mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
}

int EmFromHeight(FT_Face face, LONG height) {
    if (height < 0) return int(std::min<int64_t>(-int64_t(height), 2000));
    if (height == 0) return 12;
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    long cell = os2 && os2->usWinAscent + os2->usWinDescent > 0 ? long(os2->usWinAscent) + os2->usWinDescent
                                                                : long(face->ascender) - face->descender;
    if (cell <= 0) cell = face->units_per_EM;
    return std::clamp(int(std::lround(double(height) * face->units_per_EM / cell)), 1, 2000);
}

std::string Utf8Face(const LOGFONTW& lf) {
    size_t n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n])
        ++n;
    return platform::Utf8FromWide(lf.lfFaceName, n);
}

Font* CheckFont(HGDIOBJ object) {
    return object && LiveFonts().count(object) && object->kind == platform::detail::kFontKind
               ? static_cast<Font*>(object)
               : nullptr;
}

Font* StockFont() {
    static Font* stock = [] {
        auto* f = new Font;
        f->kind = platform::detail::kFontKind;
        f->stock = true;
        f->logFont.lfHeight = -12;
        f->logFont.lfWeight = FW_NORMAL;
        f->logFont.lfCharSet = DEFAULT_CHARSET;
        LiveFonts().insert(static_cast<HGDIOBJ>(f));
        return f;
    }();
    return stock;
}

void FillMetrics(Font* f) {
    FontInstance& in = f->instance;
    const LOGFONTW& lf = f->logFont;
    TEXTMETRICW& tm = in.metrics;
    tm = TEXTMETRICW{};
    tm.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm.tmCharSet = lf.lfCharSet;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    if (!in.face) return;
    FT_Face face = in.face->face();
    const int upem = face->units_per_EM;
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    tm.tmAscent = in.face->ascent;
    tm.tmDescent = in.face->descent;
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - in.em);
    if (hhea && os2) {
        const long gap = long(hhea->Ascender) - hhea->Descender + hhea->Line_Gap - os2->usWinAscent - os2->usWinDescent;
        tm.tmExternalLeading = std::max(0, Scale(gap, in.em, upem));
    }
    tm.tmAveCharWidth =
        os2 && os2->xAvgCharWidth > 0 ? Scale(os2->xAvgCharWidth, in.em, upem) : in.face->Get(U'x', false).advance;
    tm.tmMaxCharWidth = Scale(face->max_advance_width, in.em, upem);
    // Variable pitch sets the "fixed pitch" bit, as the platform has it; scalable TrueType.
    tm.tmPitchAndFamily = BYTE((FT_IS_FIXED_WIDTH(face) ? 0 : 1) | 2 | 4);
}

// Finds the face of a font the first time it is used.
FontInstance* ResolveFont(Font* f) {
    if (f->resolved) return &f->instance;
    f->resolved = true;
    const LOGFONTW& lf = f->logFont;
    FontInstance& in = f->instance;
    in.escapement = ((lf.lfEscapement % 3600 + 3600) % 3600) / 900 * 900;
    in.underline = lf.lfUnderline != 0;
    in.strikeOut = lf.lfStrikeOut != 0;
    const int weight = lf.lfWeight ? int(std::clamp<LONG>(lf.lfWeight, 1, 1000)) : FW_NORMAL;
    std::string family = Utf8Face(lf);
    if (family.empty()) family = "sans-serif";
    Match m;
    if (Library() && Resolve(family, weight, lf.lfItalic != 0, &m)) {
        SizedFace::Key key;
        key.file = m.file;
        key.index = m.index;
        key.bold = weight >= 600 && m.weight < FC_WEIGHT_DEMIBOLD;
        key.italic = lf.lfItalic && m.slant == FC_SLANT_ROMAN;
        key.mono = lf.lfQuality == NONANTIALIASED_QUALITY;
        // The em size depends on the face's metrics when a cell height is asked for.
        key.ppem = -1;
        FT_Face probe = nullptr;
        if (!FT_New_Face(Library(), key.file.c_str(), key.index, &probe)) {
            key.ppem = EmFromHeight(probe, lf.lfHeight);
            FT_Done_Face(probe);
        }
        if (key.ppem > 0) in.face = SizedFace::Open(key);
        if (in.face) in.em = key.ppem;
    }
    FillMetrics(f);
    return &in;
}

} // namespace

namespace platform::detail {

SizedFace* SizedFace::Open(const Key& key) {
    auto& faces = OpenFaces();
    if (auto it = faces.find(key); it != faces.end()) {
        it->second->AddRef();
        return it->second;
    }
    FT_Face face = nullptr;
    if (!Library() || FT_New_Face(Library(), key.file.c_str(), key.index, &face)) return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(key.ppem))) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto* s = new (std::nothrow) SizedFace(key);
    if (!s) {
        FT_Done_Face(face);
        return nullptr;
    }
    s->face_ = face;
    // The line is the face's Windows ascent and descent, not its typographic line gap.
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        s->ascent = Scale(os2->usWinAscent, key.ppem, face->units_per_EM);
        s->descent = Scale(os2->usWinDescent, key.ppem, face->units_per_EM);
    } else {
        s->ascent = Scale(face->ascender, key.ppem, face->units_per_EM);
        s->descent = Scale(-face->descender, key.ppem, face->units_per_EM);
    }
    s->blank_.rendered = true;
    s->refs_ = 1;
    faces[key] = s;
    return s;
}

void SizedFace::Release() {
    if (--refs_ > 0) return;
    OpenFaces().erase(key_);
    delete this;
}

SizedFace::~SizedFace() {
    for (auto& [file, fallback] : fallbacks_)
        if (fallback) fallback->Release();
    FT_Done_Face(face_);
}

SizedFace::Entry& SizedFace::Load(FT_UInt index) {
    auto [it, added] = glyphs_.try_emplace(index);
    Entry& e = it->second;
    if (!added) return e;
    e.owner = this;
    e.index = index;
    if (FT_Load_Glyph(face_, index, LoadFlags(key_.mono))) return e;
    FT_GlyphSlot slot = face_->glyph;
    if (key_.italic) FT_GlyphSlot_Oblique(slot);
    if (key_.bold) FT_GlyphSlot_Embolden(slot);
    e.advance = int((slot->advance.x + 32) >> 6);
    return e;
}

void SizedFace::Render(FT_UInt index, Entry& e) {
    e.rendered = true;
    if (FT_Load_Glyph(face_, index, LoadFlags(key_.mono))) return;
    FT_GlyphSlot slot = face_->glyph;
    if (key_.italic) FT_GlyphSlot_Oblique(slot);
    if (key_.bold) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, key_.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL)) return;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0) return;
    e.left = slot->bitmap_left;
    e.top = -slot->bitmap_top;
    e.width = int(bm.width);
    e.height = int(bm.rows);
    e.pitch = e.width;
    e.bits.assign(size_t(e.width) * e.height, 0);
    for (int y = 0; y < e.height; ++y) {
        const unsigned char* src = bm.buffer + ptrdiff_t(y) * bm.pitch;
        uint8_t* dst = e.bits.data() + size_t(y) * e.width;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int x = 0; x < e.width; ++x)
                dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            std::copy(src, src + e.width, dst);
        }
    }
    e.coverage = e.bits.data();
}

SizedFace* SizedFace::FallbackFor(char32_t ch) {
    Match m;
    if (!FindFallback(ch, &m) || (m.file == key_.file && m.index == key_.index)) return nullptr;
    const std::string id = m.file + '#' + std::to_string(m.index);
    auto [it, added] = fallbacks_.try_emplace(id, nullptr);
    if (added) {
        Key k = key_;
        k.file = m.file;
        k.index = m.index;
        it->second = Open(k);
    }
    return it->second;
}

const Glyph& SizedFace::Get(char32_t ch, bool render) {
    Entry* e = ch < 0x300 ? low_[ch] : nullptr;
    if (!e) {
        if (auto it = chars_.find(ch); it != chars_.end()) {
            e = it->second;
        } else {
            SizedFace* owner = this;
            FT_UInt index = 0;
            // Control characters take no room and draw nothing.
            if (ch < 0x20 || ch == 0x7F) {
                e = &blank_;
            } else {
                index = FT_Get_Char_Index(face_, ch);
                if (!index && (ch < 0xD800 || ch > 0xDFFF)) {
                    if (SizedFace* fallback = FallbackFor(ch)) {
                        if (FT_UInt i = FT_Get_Char_Index(fallback->face_, ch)) owner = fallback, index = i;
                    }
                }
                e = &owner->Load(index);
            }
            chars_[ch] = e;
        }
        if (ch < 0x300) low_[ch] = e;
    }
    if (render && !e->rendered && e->owner) e->owner->Render(e->index, *e);
    return *e;
}

FontInstance* InstanceOf(HGDIOBJ font) {
    Font* f = CheckFont(font);
    return ResolveFont(f ? f : StockFont());
}

bool IsFont(HGDIOBJ object) {
    return CheckFont(object) != nullptr;
}

bool DeleteFont(HGDIOBJ object) {
    Font* f = CheckFont(object);
    if (!f) return false;
    if (f->stock) return true;
    LiveFonts().erase(object);
    if (f->instance.face) f->instance.face->Release();
    delete f;
    return true;
}

HFONT DefaultFont() {
    return StockFont();
}

const Glyph& GetGlyph(FontInstance* font, char32_t ch, bool render) {
    static const Glyph none{0, 0, 0, 0, 0, 0, nullptr, true};
    return font && font->face ? font->face->Get(ch, render) : none;
}

const TEXTMETRICW& Metrics(FontInstance* font) {
    return font->metrics;
}
int EmHeight(FontInstance* font) {
    return font->em;
}
int Escapement(FontInstance* font) {
    return font->escapement;
}
bool Underlined(FontInstance* font) {
    return font->underline;
}
bool StruckOut(FontInstance* font) {
    return font->strikeOut;
}

void DecorationMetrics(FontInstance* font, int* underlineOffset, int* thickness, int* strikeOffset) {
    *underlineOffset = 1;
    *thickness = 1;
    *strikeOffset = font->em / 3;
    if (!font->face) return;
    FT_Face face = font->face->face();
    const int upem = face->units_per_EM;
    *thickness = std::max(1, Scale(face->underline_thickness, font->em, upem));
    // FreeType gives the centre of the bar; the bar starts half its thickness above.
    *underlineOffset = std::max(1, Scale(-face->underline_position, font->em, upem) - *thickness / 2);
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->yStrikeoutPosition > 0) *strikeOffset = Scale(os2->yStrikeoutPosition, font->em, upem);
}

std::string FontFilePath(HFONT font, int* faceIndex) {
    FontInstance* in = InstanceOf(font);
    if (faceIndex) *faceIndex = in->face ? in->face->key().index : 0;
    return in->face ? in->face->key().file : std::string();
}

} // namespace platform::detail

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (!font) return nullptr;
    auto* f = new (std::nothrow) Font;
    if (!f) return nullptr;
    f->kind = platform::detail::kFontKind;
    f->logFont = *font;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    LiveFonts().insert(static_cast<HGDIOBJ>(f));
    return f;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    platform::detail::DcTextState* state = platform::detail::TextStateOf(dc);
    if (!state || !metrics) return FALSE;
    *metrics = platform::detail::InstanceOf(state->font)->metrics;
    return TRUE;
}

BOOL GetCharABCWidthsW(HDC dc, UINT first, UINT last, ABC* widths) {
    platform::detail::DcTextState* state = platform::detail::TextStateOf(dc);
    if (!state || !widths || last < first || last > 0xFFFF) return FALSE;
    FontInstance* font = platform::detail::InstanceOf(state->font);
    if (!font->face) return FALSE;
    for (UINT c = first; c <= last; ++c) {
        const Glyph& g = platform::detail::GetGlyph(font, char32_t(c), true);
        ABC& abc = widths[c - first];
        if (g.width == 0) {
            abc = ABC{0, 0, g.advance};
        } else {
            abc.abcA = g.left;
            abc.abcB = UINT(g.width);
            abc.abcC = g.advance - g.left - g.width;
        }
    }
    return TRUE;
}

namespace {

std::map<std::string, int>& AddedFiles() {
    static std::map<std::string, int> files;
    return files;
}

} // namespace

int AddFontResourceW(const WCHAR* path) {
    if (!path || !*path || !Library() || !FontConfigReady()) return 0;
    const std::string file = platform::HostPathFromDevice(path);
    FT_Face face = nullptr;
    if (FT_New_Face(Library(), file.c_str(), -1, &face)) return 0;
    const int faces = int(face->num_faces);
    FT_Done_Face(face);
    if (faces <= 0 || !FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file.c_str()))) return 0;
    ++AddedFiles()[file];
    ForgetMatches();
    return faces;
}

BOOL RemoveFontResourceW(const WCHAR* path) {
    if (!path) return FALSE;
    const std::string file = platform::HostPathFromDevice(path);
    auto& files = AddedFiles();
    auto it = files.find(file);
    if (it == files.end()) return FALSE;
    if (--it->second == 0) {
        files.erase(it);
        // fontconfig cannot take back one file: clear the program's fonts and add the rest again.
        FcConfigAppFontClear(nullptr);
        for (const auto& [name, count] : files)
            FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(name.c_str()));
    }
    ForgetMatches();
    return TRUE;
}

HGDIOBJ GetStockObject(int index) {
    return index == SYSTEM_FONT || index == DEFAULT_GUI_FONT ? static_cast<HGDIOBJ>(StockFont()) : nullptr;
}
