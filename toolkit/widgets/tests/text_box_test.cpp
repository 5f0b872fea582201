// Text boxes made by the box factory from markup, styled by their computed style, sized by the flex
// layout from their fonts and painted through the toolkit canvas.
#include "toolkit/widgets/text_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/golden.h"
#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/win/screen.h"
#include "platform/win/text_draw.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/element.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/layout_dump.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/tests/plain_box_scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/tests/resource_scene.h"

namespace {

constexpr uint32_t kBackground = 0xF8E8D0; // exact in RGB565 too
constexpr uint32_t kInk = 0xFF202080;

using TextScene = widgets_test::FactoryScene;

using markup_test::RootHolder;

using widgets_test::PlacingServices;

std::string Utf8(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += char(*text);
    return out;
}

std::string DataPath(const std::string& name) {
    return std::string(TEST_DATA_DIR) + "/" + name;
}

class TextBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        oxSetBoxPaintServices(&services);
    }
    void TearDown() override {
        oxSetBoxPaintServices(nullptr);
        if (box) box->Release();
        holder.reset();
        oxTextBox::ClearFontCache();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    // A plain text box of 13-pixel DejaVu Sans in the ink colour, laid out alone at a size.
    oxTextBox* MakeBox(const char16_t* value, int width = 120, int height = 24) {
        box = static_cast<oxTextBox*>(scene.CreateBox(kAtomBoxNamespace, kAtomText));
        box->SetStyle(u"fontFamily", u"DejaVu Sans");
        box->SetStyle(u"fontSize", u"13");
        box->SetStyle(u"textColor", u"#202080");
        // These are the plain-text paths; marked-up values are the rich-text tests' part.
        box->SetAttribute(kAtomPlaintext, u"true", true, false);
        if (value) box->SetValue(value);
        ArrangeLayoutRoot(box, width, height);
        return box;
    }
    // Loads tests/data/<name>.box and lays its root out at `testWidth` x `testHeight`.
    oxBox* Load(const std::string& name) {
        holder = std::make_unique<RootHolder>(&scene);
        const std::u16string uri = platform::DevicePathFromHost(DataPath(name + ".box"));
        NUBO::XStream* raw = nullptr;
        if (OpenUriStream(uri.c_str(), &raw) != 0) return nullptr;
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        oxMarkupLoader loader;
        loader.Load(uri.c_str(), stream.get(), holder.get());
        oxBox* root = scene.root = holder->root;
        if (!root) return nullptr;
        auto number = [root](const char16_t* attribute) {
            const WCHAR* text = root->GetAttributeText(oxAtoms::Intern(attribute));
            return text ? _wtoi(text) : 0;
        };
        ArrangeLayoutRoot(root, number(u"testWidth"), number(u"testHeight"));
        return root;
    }
    oxBox* Find(const char16_t* id) {
        const oxAtom atom = oxAtoms::Intern(id);
        for (oxBox* b = scene.root; b; b = b->GetNextBox(scene.root, false, false))
            if (b->GetId() == atom) return b;
        return nullptr;
    }
    // A canvas of the background colour in 32 bits or in the screen's RGB565.
    std::unique_ptr<oxCanvas> MakeCanvas(int w, int h, int bpp) {
        if (bpp == 16) {
            EXPECT_TRUE(ConfigureScreen(ScreenConfig{64, 64, 16, false, 96}));
        }
        auto canvas = std::make_unique<oxCanvas>();
        canvas->oxGraphicsContext::SetSize(w, h, bpp);
        const oxPixelBuffer& t = canvas->Target();
        const uint16_t rgb565 =
            uint16_t(((kBackground >> 8) & 0xF800) | ((kBackground >> 5) & 0x07E0) | ((kBackground >> 3) & 0x1F));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (bpp == 16)
                    t.GetRow16(y)[x] = rgb565;
                else
                    t.GetRow32(y)[x] = 0xFF000000u | kBackground;
            }
        return canvas;
    }
    static uint32_t Pixel(const oxCanvas& canvas, int x, int y) { return canvas.Target().GetRow32(y)[x]; }

    TextScene scene;
    PlacingServices services;
    std::unique_ptr<RootHolder> holder;
    oxTextBox* box = nullptr;
};

// GDI's own extent of a text in a font, measured beside the text box.
SIZE Extent(const char16_t* text, int height, bool bold = false) {
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    std::u16string(u"DejaVu Sans").copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, int(std::char_traits<char16_t>::length(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return size;
}

TEST_F(TextBoxTest, FactoryMakesTextBoxesForBothTags) {
    for (oxAtom tag : {kAtomText, kAtomSimpleText}) {
        oxBox* made = scene.factory.CreateBox(tag, 0, tag);
        ASSERT_NE(dynamic_cast<oxTextBox*>(made), nullptr);
        EXPECT_EQ(made->GetBoxType(), kAtomText);
        EXPECT_EQ(made->GetLayout(), nullptr);
        EXPECT_FALSE(made->GetStateFlags() & kStateEngaged);
        made->Release();
    }
    oxBox* plain = scene.CreateBox(kAtomBoxNamespace, kAtomVbox);
    EXPECT_EQ(dynamic_cast<oxTextBox*>(plain), nullptr);
    plain->Release();
}

TEST_F(TextBoxTest, ValueAndHtmlValueGoToTheValue) {
    MakeBox(nullptr);
    box->SetAttribute(kAtomHtmlValue, u"<b>x</b>", true, false);
    EXPECT_EQ(std::u16string(box->GetValue()), u"<b>x</b>");
    box->SetAttribute(kAtomValue, nullptr, true, false);
    EXPECT_EQ(box->GetValue(), nullptr);
}

TEST_F(TextBoxTest, SmoothingChoosesTheQuality) {
    const struct {
        const char16_t* smoothing;
        BYTE plain, rich;
    } cases[] = {
        {u"none", 3, 3}, {u"antiAlias", 4, 4}, {u"clearType", 5, 6}, {nullptr, 0, 0}, {u"sharp", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oxTextBox::TextQuality(c.smoothing, false), c.plain);
        EXPECT_EQ(oxTextBox::TextQuality(c.smoothing, true), c.rich);
    }
}

// The fixture's sizes are GDI's extents of each value in each box's font; the dump keeps the whole
// picture, the wrapped column included.
TEST_F(TextBoxTest, FlexLayoutSizesTextBoxesFromTheirFonts) {
    oxBox* root = Load("text_layout");
    ASSERT_NE(root, nullptr);
    const struct {
        const char16_t* id;
        const char16_t* value;
        int height;
        bool bold;
    } cases[] = {
        {u"hello", u"Hello world", 13, false},
        {u"big", u"Bigger, bolder", 20, true},
        {u"empty", u" ", 13, false},
        {u"side", u"Side", 11, false},
        {u"single", u"Never wrapped at all", 13, false},
    };
    for (const auto& c : cases) {
        oxBox* b = Find(c.id);
        ASSERT_NE(b, nullptr);
        const SIZE extent = Extent(c.value, c.height, c.bold);
        EXPECT_EQ(b->GetPacked(1).x, extent.cx) << Utf8(c.id);
        EXPECT_EQ(b->GetPacked(1).y, extent.cy) << Utf8(c.id);
    }
    // The wrapped text fits its 80-pixel column on more than one line; without a break opportunity
    // the word is cut between characters; a text that does not wrap keeps its line and overflows.
    const int line = Extent(u"A", 13).cy;
    oxBox* wrapped = Find(u"wrapped");
    EXPECT_LE(wrapped->GetPacked(1).x, 80);
    EXPECT_GE(wrapped->GetPacked(1).y, 3 * line);
    EXPECT_EQ(wrapped->GetPacked(1).y % line, 0);
    oxBox* characters = Find(u"characters");
    EXPECT_LE(characters->GetPacked(1).x, 80);
    EXPECT_EQ(characters->GetPacked(1).y, 2 * line);
    EXPECT_GT(Find(u"single")->GetPacked(1).x, 80);

    NUBO::TWString dump;
    oxDumpLayout(root, dump);
    const std::string actual = Utf8(dump.GetString());
    const std::string path = DataPath("text_layout.txt");
    if (const char* update = std::getenv("TANDU_UPDATE_GOLDENS"); update && *update == '1')
        std::ofstream(path) << actual;
    std::stringstream expected;
    expected << std::ifstream(path).rdbuf();
    EXPECT_EQ(actual, expected.str());
}

// The layout gives a wrapping box less width than its line: it arranges to the wrapped height.
TEST_F(TextBoxTest, ArrangeWrapsAtTheGivenWidth) {
    MakeBox(u"Two words", 200, 40);
    box->SetAttribute(kAtomWordwrap, u"true", true, false);
    box->SetChangeFlag(kChangeFlowed, true);
    const SIZE line = Extent(u"Two words", 13);
    oxPlacementRecord record;
    const int width = Extent(u"words", 13).cx + 2;
    record.Construct(false, width, line.cy, width, line.cy, 0, 0, width, line.cy, width, line.cy, true, true, 0);
    box->Arrange(&record);
    EXPECT_EQ(record.GetDeltaY(), line.cy);
    EXPECT_EQ(box->GetPacked(1).y, 2 * line.cy);
    // The same box unwrapped keeps the height it was given.
    box->SetAttribute(kAtomWordwrap, nullptr, true, false);
    record.Construct(false, width, line.cy, width, line.cy, 0, 0, width, line.cy, width, line.cy, true, true, 0);
    box->Arrange(&record);
    EXPECT_EQ(box->GetPacked(1).y, line.cy);
}

TEST_F(TextBoxTest, MeasuresTheValueAndAnEmptyOneAsASpace) {
    MakeBox(u"");
    const SIZE space = Extent(u" ", 13);
    EXPECT_EQ(box->MeasureValue(false).cx, space.cx);
    box->SetValue(u"Hello world");
    const SIZE line = box->MeasureValue(false);
    EXPECT_EQ(line.cx, Extent(u"Hello world", 13).cx);
    // Turned text trades width for height.
    box->SetStyle(u"textOrientation", u"up");
    const SIZE turned = box->MeasureValue(false);
    EXPECT_EQ(turned.cx, line.cy);
    EXPECT_EQ(turned.cy, line.cx);
    // and is never rich.
    EXPECT_TRUE(ParseBool(box->oxBox::GetAttribute(kAtomPlaintext)));
}

TEST_F(TextBoxTest, ItalicOverhangWidensTheMeasure) {
    MakeBox(u"f");
    box->SetStyle(u"fontSize", u"20");
    box->SetStyle(u"fontItalics", u"true");
    HFONT font = box->GetFont();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE plain{};
    GetTextExtentPoint32W(dc, u"f", 1, &plain);
    ABC abc{};
    GetCharABCWidthsW(dc, u'f', u'f', &abc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ASSERT_LT(abc.abcC, 0);
    EXPECT_EQ(oxTextBox::MeasureText(u"f", 1, font).cx, plain.cx - abc.abcC);
    EXPECT_EQ(oxTextBox::MeasureText(nullptr, -1, font).cx, 0);
    EXPECT_EQ(oxTextBox::MeasureText(u"f", 1, static_cast<oxStyleGroup*>(nullptr)).cx, 0);
    EXPECT_EQ(oxTextBox::MeasureText(u"f", 1, box->GetStyle()->GetTextGroup()).cx, plain.cx - abc.abcC);
}

// Text that exactly fits is not clipped and leaves the overflowed bit clear; one pixel less sets it.
TEST_F(TextBoxTest, OverflowBitFollowsTheFit) {
    const SIZE size = Extent(u"Fits", 13);
    MakeBox(u"Fits", size.cx, size.cy);
    auto canvas = MakeCanvas(100, 40, 32);
    box->Paint(canvas.get());
    EXPECT_FALSE(box->IsTextOverflowed());
    ArrangeLayoutRoot(box, size.cx - 1, size.cy);
    box->Paint(canvas.get());
    EXPECT_TRUE(box->IsTextOverflowed());
}

// "autoTooltip" shows a text box's value only while its text is cut off: the text box it names, or
// the box itself when the name is no box's; "none" shows nothing.
TEST_F(TextBoxTest, ACutOffTextIsItsOwnAutomaticTooltip) {
    const SIZE size = Extent(u"Fits", 13);
    MakeBox(u"Fits", size.cx, size.cy);
    auto canvas = MakeCanvas(100, 40, 32);
    box->Paint(canvas.get());
    EXPECT_EQ(oxFrameInput::CutOffText(box), nullptr) << "no autoTooltip";
    box->SetAttribute(kAtomAutoTooltip, u"self", false, false);
    EXPECT_EQ(oxFrameInput::CutOffText(box), nullptr) << "the text fits";
    ArrangeLayoutRoot(box, size.cx - 1, size.cy);
    box->Paint(canvas.get());
    ASSERT_NE(oxFrameInput::CutOffText(box), nullptr) << "an id that names no box means the box itself";
    EXPECT_EQ(std::u16string(oxFrameInput::CutOffText(box)), u"Fits");
    box->SetAttribute(kAtomAutoTooltip, u"None", false, false);
    EXPECT_EQ(oxFrameInput::CutOffText(box), nullptr);

    oxBox* row = scene.CreateBox(kAtomBoxNamespace, kAtomBox);
    scene.ids[oxAtoms::Intern(u"label")] = box;
    row->SetAttribute(kAtomAutoTooltip, u"label", false, false);
    ASSERT_NE(oxFrameInput::CutOffText(row), nullptr);
    EXPECT_EQ(std::u16string(oxFrameInput::CutOffText(row)), u"Fits");
    row->SetAttribute(kAtomAutoTooltip, u"self", false, false);
    EXPECT_EQ(oxFrameInput::CutOffText(row), nullptr) << "a box that is no text box has nothing cut off";
    row->Release();
}

// A too-wide single line ends in "..." exactly as the shortened text would be drawn; a wrapped text
// is measured as its words, with no dots.
TEST_F(TextBoxTest, CropRightEndsAWideSingleLineInDots) {
    const SIZE kept = Extent(u"A rather...", 13);
    MakeBox(u"A rather long line of text", kept.cx, 20);
    box->SetStyle(u"crop", u"right");
    auto cut = MakeCanvas(120, 40, 32), expected = MakeCanvas(120, 40, 32);
    box->Paint(cut.get());
    box->Release();
    MakeBox(u"A rather...", 120, 20);
    box->Paint(expected.get());
    const oxPixelBuffer &a = cut->Target(), &b = expected->Target();
    for (int y = 0; y < 40; ++y)
        ASSERT_EQ(0, std::memcmp(a.GetRow8(y), b.GetRow8(y), size_t(a.usedBytes))) << y;
    box->SetStyle(u"crop", u"right");
    box->SetAttribute(kAtomWordwrap, u"true", true, false);
    box->SetValue(u"A rather long line of text");
    ArrangeLayoutRoot(box, kept.cx, 200);
    EXPECT_GT(box->MeasureValue(true).cy, kept.cy);
}

// The alpha road (a box layer's canvas) leaves, as each pixel's alpha, the coverage that the opaque
// road blends on white.
TEST_F(TextBoxTest, LayerCanvasesTakeTheCoverageAsAlpha) {
    MakeBox(u"Coverage", 96, 26);
    box->SetStyle(u"textColor", u"#000000");
    oxCanvas layer(100, 30), white(100, 30);
    layer.flags |= 1;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            white.Target().GetRow32(y)[x] = 0xFFFFFFFF;
    box->Paint(&layer);
    box->Paint(&white);
    int covered = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) {
            const uint32_t a = Pixel(layer, x, y) >> 24;
            const uint32_t red = (Pixel(white, x, y) >> 16) & 0xFF;
            ASSERT_NEAR(int(a), 255 - int(red), 1) << x << "," << y;
            covered += a > 0;
        }
    EXPECT_GT(covered, 20);
}

// Each alignment in a grid of boxes laid out from markup and painted through the canvas: the ink lies
// where the alignment puts it, in both canvas depths.
TEST_F(TextBoxTest, AlignmentsPaintedThroughTheCanvasInThirtyTwoAndSixteenBits) {
    oxBox* root = Load("text_align");
    ASSERT_NE(root, nullptr);
    const SIZE text = Extent(u"Align", 13);
    for (int bpp : {32, 16}) {
        SCOPED_TRACE(bpp);
        auto canvas = MakeCanvas(216, 108, bpp);
        root->Paint(canvas.get());
        const oxPixelBuffer& t = canvas->Target();
        auto blue = [&](int x, int y) { return bpp == 16 ? (t.GetRow16(y)[x] & 0x1F) << 3 : t.GetRow32(y)[x] & 0xFF; };
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                oxTextBox* cell = static_cast<oxTextBox*>(root->GetChildAt(row, false)->GetChildAt(col, false));
                EXPECT_FALSE(cell->IsTextOverflowed());
                const int left = col * 72 + 4, top = row * 36 + 4, cw = 64, ch = 28;
                const int x = left + (col == 0 ? 0 : col == 1 ? (cw - text.cx) / 2 : cw - text.cx);
                const int y = top + (row == 0 ? 0 : row == 1 ? (ch - text.cy) / 2 : ch - text.cy);
                // The text pass's ink starts within a pixel of the placed rectangle's left edge.
                bool inkAtLeft = false, inkBefore = false;
                for (int py = y; py < y + text.cy; ++py)
                    for (int px = x; px < x + 2; ++px)
                        inkAtLeft |= blue(px, py) < 0x90;
                for (int py = top; py < top + ch; ++py)
                    for (int px = left; px < x - 1; ++px)
                        inkBefore |= blue(px, py) != (kBackground & 0xF8);
                EXPECT_TRUE(inkAtLeft) << row << "," << col;
                EXPECT_FALSE(inkBefore) << row << "," << col;
            }
        EXPECT_TRUE(MatchesGolden(t, bpp == 32 ? "text_box_align_argb32" : "text_box_align_rgb565"));
    }
}

// The canvas's highlight string is filled in `textHighlight` under each occurrence, whatever its case.
TEST_F(TextBoxTest, HighlightFillsEachOccurrence) {
    MakeBox(u"Light highlight", 160, 20);
    box->SetStyle(u"textHighlight", u"#60FF60");
    auto canvas = MakeCanvas(160, 20, 32);
    canvas->PushStyleString(u"LIGHT");
    box->Paint(canvas.get());
    HFONT font = box->GetFont();
    const int first = oxTextBox::MeasureText(u"Light", -1, font).cx;
    const int second = oxTextBox::MeasureText(u"Light high", -1, font).cx;
    const int gap = oxTextBox::MeasureText(u"Light ", -1, font).cx;
    // The top row lies above the letters: highlight where an occurrence is, background between.
    EXPECT_EQ(Pixel(*canvas, first / 2, 0), 0xFF60FF60u);
    EXPECT_EQ(Pixel(*canvas, second + 3, 0), 0xFF60FF60u);
    EXPECT_EQ(Pixel(*canvas, (first + gap) / 2 + 1, 0), 0xFF000000u | kBackground);
    EXPECT_EQ(Pixel(*canvas, gap + 2, 0), 0xFF000000u | kBackground);
    // Wrapping text gets no highlight.
    box->SetAttribute(kAtomWordwrap, u"true", true, false);
    auto plain = MakeCanvas(160, 20, 32);
    plain->PushStyleString(u"light");
    box->Paint(plain.get());
    EXPECT_EQ(Pixel(*plain, first / 2, 0), 0xFF000000u | kBackground);
}

// The access key's character gets a bar of the text colour along the bottom of its extent.
TEST_F(TextBoxTest, AccelCharIsUnderlined) {
    MakeBox(u"Open", 60, 20);
    auto canvas = MakeCanvas(60, 20, 32);
    box->Paint(canvas.get());
    HFONT font = box->GetFont();
    const int from = oxTextBox::MeasureText(u"O", -1, font).cx;
    const SIZE p = oxTextBox::MeasureText(u"p", -1, font);
    auto barRow = [&](const oxCanvas& c) {
        int inked = 0;
        for (int x = from; x < from + p.cx; ++x)
            inked += Pixel(c, x, p.cy - 1) == kInk;
        return inked;
    };
    EXPECT_LT(barRow(*canvas), p.cx);
    box->SetAttribute(kAtomAccelChar, u"p", true, false);
    auto underlined = MakeCanvas(60, 20, 32);
    box->Paint(underlined.get());
    EXPECT_EQ(barRow(*underlined), p.cx);
    EXPECT_NE(Pixel(*underlined, from - 2, p.cy - 1), kInk);
}

// Without `dir` the scene's direction decides: right-to-left reading mirrors where a line's
// neutral end goes.
TEST_F(TextBoxTest, SceneDirectionAppliesWithoutDir) {
    MakeBox(u"abc!", 80, 20);
    auto ltr = MakeCanvas(80, 20, 32);
    box->Paint(ltr.get());
    scene.rtl = true;
    auto rtl = MakeCanvas(80, 20, 32);
    box->Paint(rtl.get());
    box->SetAttribute(kAtomDir, u"ltr", true, false);
    auto forced = MakeCanvas(80, 20, 32);
    box->Paint(forced.get());
    const oxPixelBuffer &a = ltr->Target(), &b = rtl->Target(), &c = forced->Target();
    bool differs = false;
    for (int y = 0; y < 20; ++y) {
        differs |= std::memcmp(a.GetRow8(y), b.GetRow8(y), size_t(a.usedBytes)) != 0;
        EXPECT_EQ(0, std::memcmp(a.GetRow8(y), c.GetRow8(y), size_t(a.usedBytes))) << y;
    }
    EXPECT_TRUE(differs);
}

// Right-to-left reading starts a line at the right: wrapped lines whose alignment is left at the
// start keep to the right edge, plain and marked-up alike; an explicit side is kept.
TEST_F(TextBoxTest, WrappedLinesOfRightToLeftTextKeepToTheRightEdge) {
    const SIZE wide = Extent(u"mmmmm", 13), narrow = Extent(u"i", 13);
    const int width = wide.cx + 4, height = 2 * wide.cy + 2;
    const struct {
        const char16_t* dir;
        const char16_t* hAlign; // null: not set
        bool plain;
        bool right;
    } cases[] = {
        {u"rtl", nullptr, true, true},  {u"rtl", u"start", true, true}, {u"rtl", u"left", true, false},
        {u"ltr", nullptr, true, false}, {u"rtl", nullptr, false, true}, {u"ltr", nullptr, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.dir) + " " + (c.hAlign ? Utf8(c.hAlign) : "-") + (c.plain ? " plain" : " rich"));
        if (box) box->Release();
        box = nullptr;
        MakeBox(nullptr, width, height);
        if (!c.plain) box->SetAttribute(kAtomPlaintext, u"false", true, false);
        box->SetAttribute(kAtomDir, c.dir, true, false);
        box->SetAttribute(kAtomWordwrap, u"true", true, false);
        if (c.hAlign) box->SetStyle(u"hAlign", c.hAlign);
        box->SetValue(u"mmmmm i");
        ArrangeLayoutRoot(box, width, height);
        auto canvas = MakeCanvas(width, height, 32);
        box->Paint(canvas.get());
        // The inked columns of the second line.
        int first = width, last = -1;
        for (int y = wide.cy; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (Pixel(*canvas, x, y) != (0xFF000000u | kBackground))
                    first = std::min(first, x), last = x > last ? x : last;
        ASSERT_LE(first, last) << "the second line shows";
        if (c.right) {
            EXPECT_GE(first, width - narrow.cx - 1);
        } else {
            EXPECT_LE(last, narrow.cx);
        }
    }
}

TEST_F(TextBoxTest, NothingToPaintWithoutValueOrRoom) {
    MakeBox(nullptr, 10, 10);
    auto canvas = MakeCanvas(20, 20, 32);
    box->Paint(canvas.get());
    box->PaintContent(nullptr);
    box->SetValue(u"x");
    ArrangeLayoutRoot(box, 0, 10);
    box->Paint(canvas.get());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(Pixel(*canvas, x, y), 0xFF000000u | kBackground);
}

} // namespace
