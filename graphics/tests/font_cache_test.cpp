#include "graphics/text/font_cache.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/tests/font_cache_maker.h"
#include "graphics/text/font.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Word(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void Float(Bytes& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    Word(b, v);
}
void Record(Bytes& b, uint32_t tag, uint32_t length) {
    Word(b, tag);
    Word(b, length);
}
Bytes Magic() {
    return {'T', 'F', 'B', 'P'};
}
// A glyph entry: n points with the given commands, each at (i, -i), and the advance pair.
void Glyph(Bytes& b, const std::vector<uint8_t>& commands, float advance = 1000.0f) {
    Word(b, uint32_t(commands.size()));
    b.insert(b.end(), commands.begin(), commands.end());
    for (size_t i = 0; i < commands.size(); ++i) {
        Float(b, float(i) * 0.25f);
        Float(b, -float(i) * 0.25f);
    }
    Float(b, advance);
    Float(b, 7.0f);
}

// Reads from a heap block of exactly the file's size, so that any read past it is caught.
std::unique_ptr<oxFont> Read(const Bytes& file, std::string* error = nullptr, const char* alias = nullptr) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() ? file.size() : 1]);
    if (!file.empty()) std::memcpy(exact.get(), file.data(), file.size());
    oxFontCacheSerializer reader;
    std::unique_ptr<oxFont> font(reader.ReadFontCache(exact.get(), file.size(), alias));
    if (error) *error = reader.LastError();
    return font;
}

Bytes Write(oxFont* font) {
    oxFontCacheSerializer writer;
    uint8_t* out = nullptr;
    const size_t n = writer.WriteFontCache(font, &out);
    Bytes bytes(out, out + n);
    delete[] out;
    return bytes;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(FontCache, ConvertedFaceReadsBackToTheSameOutlinesAndWritesTheSameBytes) {
    MadeFont made;
    std::string error;
    ASSERT_TRUE(ConvertFace(DEJAVU_SANS, made, error)) << error;
    const Bytes file = SerializeMadeFont(made);
    auto font = Read(file, &error);
    ASSERT_TRUE(font) << error;
    EXPECT_TRUE(font->IsLoaded());
    EXPECT_STREQ(font->GetFaceName(), "DejaVu Sans");
    EXPECT_EQ(font->MetricA(), made.metricA);
    EXPECT_EQ(font->MetricB(), made.metricB);
    EXPECT_EQ(font->GetVerticalMetric1(), made.vertical[0]);
    EXPECT_EQ(font->GetVerticalMetric2(), made.vertical[1]);
    EXPECT_EQ(font->GetVerticalMetric3(), made.vertical[2]);
    ASSERT_EQ(font->GlyphCount(), 256);
    int outlines = 0;
    for (int code = 0; code < 256; ++code) {
        const MadeGlyph& m = made.glyphs[size_t(code)];
        const oxGlyph* g = font->GlyphAt(code);
        ASSERT_TRUE(g);
        ASSERT_EQ(size_t(g->PointCount()), m.commands.size()) << code;
        outlines += g->PointCount() > 0;
        for (size_t i = 0; i < m.commands.size(); ++i) {
            EXPECT_EQ(g->Commands()[i], m.commands[i]) << code;
            EXPECT_EQ(g->Points()[2 * i], m.points[2 * i]) << code;
            EXPECT_EQ(g->Points()[2 * i + 1], m.points[2 * i + 1]) << code;
        }
        EXPECT_EQ(g->Advance()[0], m.advance);
        EXPECT_EQ(g->Advance()[1], m.bearing);
    }
    // Latin-1 letters, digits and signs have outlines; control codes have none.
    EXPECT_GT(outlines, 180);
    EXPECT_EQ(font->GlyphAt('A')->PointCount() > 0, true);
    EXPECT_EQ(font->GlyphAt(' ')->PointCount(), 0);
    EXPECT_EQ(font->GlyphAt(' ')->Advance()[0], 651.0f);                   // the face's space, in its 2048 units
    EXPECT_NEAR(font->GlyphAt('A')->TopExtent(), 1493.0f / 2048.0f, 1e-4); // cap height

    EXPECT_EQ(Write(font.get()), file);
}

TEST(FontCache, CheckedInFilesWriteBackByteForByte) {
    for (const std::string& path : {std::string(TEST_DATA_DIR) + "/dejavu_sans.tfbp",
                                    std::string(TEST_DATA_DIR) + "/../../../resources/demo/fonts/dejavu-sans-bold.tfbp"}) {
        const Bytes file = ReadFile(path);
        ASSERT_FALSE(file.empty()) << path;
        auto font = Read(file);
        ASSERT_TRUE(font) << path;
        EXPECT_EQ(Write(font.get()), file) << path;
    }
}

TEST(FontCache, RecordsAreReadAsTheyCome) {
    // Only the magic: loaded, nameless, empty.
    {
        auto font = Read(Magic());
        ASSERT_TRUE(font);
        EXPECT_TRUE(font->IsLoaded());
        EXPECT_EQ(font->GetFaceName(), nullptr);
        EXPECT_EQ(font->GetVerticalMetric2(), 0.0f);
        EXPECT_EQ(font->GlyphCount(), 0);
    }
    // Tag 9 before tag 8 uses the count 0; a later tag 9 replaces the glyphs; metric words land in
    // their own fields (tag 3 is metric B, tag 4 metric A) in any order.
    {
        Bytes b = Magic();
        Record(b, 9, 0);
        Record(b, 4, 4), Word(b, 11);
        Record(b, 3, 4), Word(b, 22);
        Record(b, 8, 4), Word(b, 2);
        Record(b, 9, 0);
        Glyph(b, {1, 2, 0x12});
        Glyph(b, {});
        Record(b, 8, 4), Word(b, 1);
        Record(b, 9, 0);
        Glyph(b, {1, 8, 8, 8 | 0x10}, 500.0f);
        auto font = Read(b);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->MetricA(), 11u);
        EXPECT_EQ(font->MetricB(), 22u);
        ASSERT_EQ(font->GlyphCount(), 1);
        EXPECT_EQ(font->GlyphAt(0)->PointCount(), 4);
        EXPECT_EQ(font->GlyphAt(0)->Advance()[0], 500.0f);
        EXPECT_FLOAT_EQ(font->GlyphAt(0)->RightExtent(), 0.75f);
        EXPECT_FLOAT_EQ(font->GlyphAt(0)->TopExtent(), 0.75f);
    }
    // An unknown tag consumes its header only: its payload is read as the next header.
    {
        Bytes c = Magic();
        Record(c, 10, 4);
        Word(c, 2), Word(c, 4), Word(c, 3); // the "payload" is a style record's header
        auto font = Read(c);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->GetStyle(), 3u);
    }
    // A glyph without points takes 12 bytes; the alias is kept.
    {
        Bytes b = Magic();
        Record(b, 8, 4), Word(b, 1);
        Record(b, 9, 0);
        const size_t before = b.size();
        Glyph(b, {});
        EXPECT_EQ(b.size() - before, 12u);
        auto font = Read(b, nullptr, "title");
        ASSERT_TRUE(font);
        EXPECT_STREQ(font->Alias(), "title");
    }
}

TEST(FontCache, HostileFilesFailCleanly) {
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    };
    auto with = [](auto build) {
        Bytes b = Magic();
        build(b);
        return b;
    };
    const Case cases[] = {
        {"empty", {}, "shorter than its magic"},
        {"three bytes", {'T', 'F', 'B'}, "shorter than its magic"},
        {"header cut short", with([](Bytes& b) { Word(b, 1); }), "record header cut short"},
        {"face past the end", with([](Bytes& b) { Record(b, 1, 100), b.push_back('A'); }),
         "face name runs past the end"},
        {"face length negative", with([](Bytes& b) { Record(b, 1, 0xFFFFFFFF); }), "face name runs past the end"},
        {"metric cut short", with([](Bytes& b) { Record(b, 5, 4), b.push_back(0); }), "metric record cut short"},
        {"metric not a number", with([](Bytes& b) { Record(b, 6, 4), Word(b, 0x7FC00000); }),
         "vertical metric out of range"},
        {"count negative", with([](Bytes& b) { Record(b, 8, 4), Word(b, 0x80000000), Record(b, 9, 0); }),
         "negative glyph count"},
        {"count overflows", with([](Bytes& b) { Record(b, 8, 4), Word(b, 0x7FFFFFFF), Record(b, 9, 0); }),
         "glyph table larger than the file"},
        {"table bigger than the file",
         with([](Bytes& b) { Record(b, 8, 4), Word(b, 3), Record(b, 9, 0), Glyph(b, {}), Glyph(b, {}); }),
         "glyph table larger than the file"},
        {"points past the end",
         with([](Bytes& b) { Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Word(b, 1000), Word(b, 0), Word(b, 0); }),
         "glyph points run past the end"},
        {"point count negative", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Word(b, 0xFFFFFFF0), Word(b, 0), Word(b, 0);
         }),
         "negative point count"},
        {"points without a move", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Glyph(b, {2, 2, 2});
         }),
         "without a path of commands"},
        {"commands of nothing", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Glyph(b, {0, 0, 0});
         }),
         "without a path of commands"},
        {"a curve short of its end", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Glyph(b, {1, 8, 8, 2});
         }),
         "without a path of commands"},
        {"point not a number", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Word(b, 1), b.push_back(1), Word(b, 0x7F800000), Word(b, 0);
         }),
         "glyph point out of range"},
        {"advance cut short",
         with([](Bytes& b) { Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Word(b, 0), Word(b, 0), b.push_back(0); }),
         "glyph table larger than the file"},
        {"advance of a drawn glyph cut short", with([](Bytes& b) {
             Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Glyph(b, {1});
             b.resize(b.size() - 4);
         }),
         "glyph advance cut short"},
        {"trailing byte",
         with([](Bytes& b) { Record(b, 8, 4), Word(b, 1), Record(b, 9, 0), Glyph(b, {}), b.push_back(0); }),
         "record header cut short"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Read(c.file, &error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

TEST(FontCache, WritingFillsTheWholeCodeRange) {
    Bytes b = Magic();
    Record(b, 1, 4), b.insert(b.end(), {'F', 'o', 'o', 0});
    Record(b, 8, 4), Word(b, 2);
    Record(b, 9, 0);
    Glyph(b, {});
    Glyph(b, {1, 2, 2 | 0x10});
    auto font = Read(b);
    ASSERT_TRUE(font);
    const Bytes written = Write(font.get());
    auto again = Read(written);
    ASSERT_TRUE(again);
    EXPECT_STREQ(again->GetFaceName(), "Foo");
    EXPECT_EQ(again->GlyphCount(), 256); // absent codes are written with no points
    EXPECT_EQ(again->GlyphAt(1)->PointCount(), 3);
    EXPECT_EQ(again->GlyphAt(200)->PointCount(), 0);
    EXPECT_EQ(Write(again.get()), written);
}

} // namespace
