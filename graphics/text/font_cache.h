#pragma once
// The font cache file: "TFBP", then tagged little-endian records {tag, length, payload} carrying the
// face name, the style flags, four metrics, the glyph count and the glyph table (point count,
// commands, points, advance pair per code). Reading builds an oxFont from a file image in memory;
// writing turns a loaded font back into the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

class oxFont;

class oxFontCacheSerializer {
public:
    // Result codes kept inside the serializer.
    static constexpr int kShortData = -39;
    static constexpr int kNoMemory = -108;

    oxFontCacheSerializer() = default;
    virtual ~oxFontCacheSerializer();
    oxFontCacheSerializer(const oxFontCacheSerializer&) = delete;
    oxFontCacheSerializer& operator=(const oxFontCacheSerializer&) = delete;

    // A new font from the file image, or null; `alias` (or null) becomes the font's alias. Why a
    // load failed is kept in LastError().
    oxFont* ReadFontCache(const uint8_t* bytes, size_t size, const char* alias);
    // The image of a loaded font: its length, with a buffer of that length (new[], the caller's)
    // in `out`; 0 on failure.
    virtual size_t WriteFontCache(oxFont* font, uint8_t** out);

    const std::string& LastError() const { return m_error; }

private:
    int Read(void* out, size_t n);
    int ReadGlyphs(oxFont* font, int32_t count);
    int Append(const void* data, size_t n);
    int AppendWord(uint32_t v) { return Append(&v, 4); }
    int AppendRecord(int32_t tag, const void* payload, uint32_t length);
    int Fail(int code, const char* what);

    // Reading.
    size_t m_position = 0;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    // Writing.
    size_t m_length = 0;
    uint8_t* m_buffer = nullptr;
    size_t m_capacity = 0;
    std::string m_error;
};

// A font from a file image (see oxFontCacheSerializer::ReadFontCache); null on failure.
oxFont* ReadFontCache(const uint8_t* bytes, size_t size, const char* alias);
