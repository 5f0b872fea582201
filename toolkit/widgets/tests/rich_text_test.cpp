// Rich text: marked-up values of text boxes cut into items and lines, their display order for
// either base direction, links and images as child boxes, paragraphs painted in both depths, and
// sources built to hurt.
#include "toolkit/widgets/rich_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "graphics/paint/canvas.h"
#include "graphics/tests/golden.h"
#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/win/screen.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/widgets/image_box.h"
#include "toolkit/widgets/tests/resource_scene.h"
#include "toolkit/widgets/text_box.h"

namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Wide(const std::string& utf8) {
    return platform::WideFromUtf8(utf8);
}

// An item as the tables write it: style marks (* bold, / italic, _ underline, ~ a colour of its own,
// NN: a size other than 13) before the text; [link:text], [img WxH] and [] for an empty item.
std::string ItemText(const oxRichItem* item, bool shown) {
    if (item->kind == oxRichItem::kLink) return "[link:" + Utf8(static_cast<oxTextBox*>(item->box)->GetValue()) + "]";
    if (item->kind == oxRichItem::kImage)
        return "[img " + std::to_string(item->width) + "x" + std::to_string(item->height) + "]";
    if (item->text.empty()) return "[]";
    std::string marks;
    if (item->style.bold) marks += "*";
    if (item->style.italic) marks += "/";
    if (item->style.underline) marks += "_";
    if (item->style.color) marks += "~";
    if (item->style.size != 13) marks += std::to_string(item->style.size) + ":";
    return marks + Utf8(shown ? item->GetShownText() : item->text);
}

// Lines joined by "\n", items by "|", in logical order.
std::string Dump(oxRichText* doc) {
    std::string out;
    for (int l = 0; l < doc->GetLineCount(); ++l) {
        if (l) out += "\n";
        oxRichLine* line = doc->GetLine(l);
        for (int k = 0; k < line->GetItemCount(); ++k)
            out += (k ? "|" : "") + ItemText(line->GetItemAt(k), false);
    }
    return out;
}

// The first line in display order for a base direction, as drawn from its starting edge.
std::string DisplayOrder(oxRichText* doc, int32_t base) {
    std::string out;
    for (int k = 0; oxRichItem* item = doc->GetItem(0, k, base); ++k)
        out += (k ? "|" : "") + ItemText(item, true);
    return out;
}

// Advances of DejaVu Sans read with FreeType itself, hinted and rounded as glyphs are drawn.
class FreeTypeWidths {
public:
    explicit FreeTypeWidths(int pixels) {
        FcInit();
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* file = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && !FT_Init_FreeType(&library_) &&
            !FT_New_Face(library_, reinterpret_cast<const char*>(file), 0, &face_))
            FT_Set_Pixel_Sizes(face_, 0, FT_UInt(pixels));
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    ~FreeTypeWidths() {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }
    int Width(const std::u16string& text) const {
        int width = 0;
        for (char16_t c : text)
            if (face_ && !FT_Load_Char(face_, c, FT_LOAD_TARGET_NORMAL))
                width += int((face_->glyph->advance.x + 32) >> 6);
        return width;
    }
    bool Ok() const { return face_ != nullptr; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

using widgets_test::PlacingServices;

class RichTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        oxRegisterImageBoxKind();
        platform::headless::UseVirtualClock(1000);
        oxTimerQueue::Acquire();
        ASSERT_TRUE(resources.Ok());
        resources.Write("pictures/smile.png", widgets_test::ImageFixture("png_c2_d8.png"));
        resources.Write("scenes/main.box", "<scene/>");
        scene = std::make_unique<widgets_test::ResourceScene>(resources.BoxUri("scenes/main.box").c_str());
        oxSetBoxPaintServices(&services);
    }
    void TearDown() override {
        oxSetBoxPaintServices(nullptr);
        for (oxBox* b : boxes)
            b->Release();
        boxes.clear();
        scene.reset();
        oxTextBox::ClearFontCache();
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::UseRealClock();
    }
    void CroppedLineEndsInDotsLikePlainText(const std::u16string& value);
    // A text box of 13-pixel DejaVu Sans whose value is `source`, its rich text laid out at `wrap`.
    oxTextBox* Make(const std::u16string& source, int32_t wrap = -1, bool rtl = false,
                    const char16_t* htmlVer = nullptr) {
        scene->rtl = rtl;
        scene->rtlFormatting = rtl;
        auto* box = static_cast<oxTextBox*>(scene->CreateBox(kAtomBoxNamespace, kAtomText));
        boxes.push_back(box);
        box->SetStyle(u"fontFamily", u"DejaVu Sans");
        box->SetStyle(u"fontSize", u"13");
        box->SetStyle(u"textColor", u"#202080");
        if (htmlVer) box->SetAttribute(kAtomHtmlVer, htmlVer, true, false);
        box->SetValue(source.c_str());
        EXPECT_NE(box->GetRichDocument(), nullptr);
        if (box->GetRichDocument()) box->LayoutRich(wrap);
        return box;
    }

    markup_test::TempResources resources;
    std::unique_ptr<widgets_test::ResourceScene> scene;
    std::vector<oxBox*> boxes;
    PlacingServices services;
};

TEST_F(RichTextTest, SourcesGiveTheirItemsAndLines) {
    const struct {
        const char* source;
        const char* items;
    } cases[] = {
        // White space, entities and escapes.
        {"  a \t\n  b  ", "a b "},
        {"a&amp;b", "a&b"},
        {"&#65;", "A"},
        {"&#65", "65"},
        {"&#65 x", "65 x"},
        {"&bogus; &", "&bogus; &"},
        {"&AMP;", "&AMP;"},
        {"&Agrave;&agrave;&divide;&nbsp;&mdash;", "\xC3\x80\xC3\xA0\xC3\xB7 \xE2\x80\x94"},
        {"say \\\"hi\\\" \\\\ \\x", "say \"hi\" \\ \\x"},
        {"one\\ntwo", "one\ntwo"},
        {"tab\\tbed", "tabbed"},
        // Styles, nested and left open.
        {"<b>bold</b> plain", "*bold| plain"},
        {"<B>caps</B>", "*caps"},
        {"<i>x<b>y</b>z</i>", "/x|*/y|/z"},
        {"<font color=\"#ff0000\">r<b>b</b></font>t", "~r|*~b|t"},
        {"<font size=\"2\">big</font>", "14:big"},
        {"<font face='Nowhere Sans' size='3'>x</font>y", "21:x|y"},
        {"<u>open", "_open"},
        {"x<i", "x<i"},
        {"a<font size='3'", "a"},
        {"<pre><b>x</b></pre>y", "<b>x</b>|y"},
        {"<html><p>a</p><tab>b</html>", "a|b"},
        {"a<br>b<BR>c", "a\nb\nc"},
        {"a<br/>b", "a<br/>b"},
        // Links: whole ones become boxes; the rest blue underlined text.
        {"go <a href=\"http://x\">here</a> now", "go |[link:here]| now"},
        {"<a href='x'>open link", "_~open link"},
        {"<a>no href</a>", "_~no href"},
        {"<abbr>t</abbr>", "_~t</abbr>"}, // "/a>" is no prefix of "/abbr>"
        // Images are text until htmlVer says otherwise.
        {"<img src=\"../pictures/smile.png\">", "<img src=\"../pictures/smile.png\">"},
    };
    for (const auto& c : cases) {
        oxTextBox* box = Make(Wide(c.source));
        EXPECT_EQ(Dump(box->GetRichDocument()), c.items) << c.source;
    }
}

TEST_F(RichTextTest, ImagesAreChildBoxesOfTheirPictureSize) {
    oxTextBox* box = Make(u"a <img src=\"../pictures/smile.png\" alt=\"smile\"> b "
                          u"<img src=\"../pictures/smile.png\" width=\"20\" height=\"12\"> <img alt='none'>",
                          -1, false, u"1");
    oxRichText* doc = box->GetRichDocument();
    EXPECT_EQ(Dump(doc), "a |[img 5x3]| b |[img 20x12]| |<img alt='none'>");
    oxRichItem* image = doc->GetLine(0)->GetItemAt(1);
    ASSERT_NE(image->GetImageBox(), nullptr);
    EXPECT_EQ(image->box->GetParent(), box);
    EXPECT_EQ(std::u16string(image->box->GetAttribute(kAtomTooltip)), u"smile");
    // Image boxes survive a new layout; link boxes are made again.
    oxBox* before = image->box;
    box->LayoutRich(-1);
    EXPECT_EQ(doc->GetLine(0)->GetItemAt(1)->box, before);
    EXPECT_EQ(box->GetChildCount(), 2);
    doc->ClearImages();
    EXPECT_EQ(box->GetChildCount(), 0);
}

TEST_F(RichTextTest, LinksAreChildBoxesThatTakeTaps) {
    oxTextBox* box = Make(u"Tap <a href=\"box://x/y\" title=\"Go there\">this link</a> now");
    box->SetAttribute(kAtomWordwrap, u"false", true, false);
    ArrangeLayoutRoot(box, 300, 40);
    oxRichText* doc = box->GetRichDocument();
    ASSERT_EQ(doc->GetLineCount(), 1);
    oxRichItem* item = doc->GetLine(0)->GetItemAt(1);
    oxBox* link = item->GetLinkBox();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->GetParent(), box);
    EXPECT_EQ(std::u16string(link->GetAttribute(kAtomHref)), u"box://x/y");
    EXPECT_EQ(std::u16string(link->GetAttribute(kAtomTooltip)), u"Go there");
    EXPECT_EQ(std::u16string(link->GetAttribute(kAtomAccRole)), u"link");
    EXPECT_EQ(link->GetFocusMode(), 2u);
    // Placed after "Tap " and sized as its underlined text.
    FreeTypeWidths widths(13);
    ASSERT_TRUE(widths.Ok());
    EXPECT_EQ(item->placed.x, widths.Width(u"Tap "));
    EXPECT_EQ(item->width, widths.Width(u"this link"));
    EXPECT_EQ(link->GetPacked(0).x, item->placed.x);
    // A point on the link finds the link box, one beside it the text box.
    const oxPoint on{item->placed.x + 3, item->placed.y + 3};
    EXPECT_EQ(box->HitTest(on), link);
    EXPECT_EQ(box->HitTest(oxPoint{1, 3}), box);
    EXPECT_EQ(doc->HitTestEmbedded(on), link);
    // Laid out again, the old link box is gone and a new one stands in its place, and the exchange
    // asks for no further layout.
    box->SetChangeFlag(kChangeLayoutRoot, true);
    const int requests = scene->layoutRequests;
    ArrangeLayoutRoot(box, 300, 40);
    box->LayoutRich(-1);
    EXPECT_EQ(box->GetChildCount(), 1);
    EXPECT_EQ(scene->layoutRequests, requests);
}

// Wrapping, checked against widths FreeType gives for the same face and size.
TEST_F(RichTextTest, WrapsAtTheWidthWithFreeTypeWidths) {
    FreeTypeWidths widths(13);
    ASSERT_TRUE(widths.Ok());
    const std::u16string text = u"The quick brown fox jumps over the lazy dog";
    const int wrap = widths.Width(u"The quick brown") + 2;
    oxTextBox* box = Make(text, wrap);
    oxRichText* doc = box->GetRichDocument();
    EXPECT_EQ(Dump(doc), "The quick brown\nfox jumps over\nthe lazy dog");
    const char16_t* lines[] = {u"The quick brown", u"fox jumps over", u"the lazy dog"};
    for (int l = 0; l < 3; ++l)
        EXPECT_EQ(doc->GetLine(l)->width, widths.Width(lines[l])) << l;

    // A word longer than the width is cut where the next character would not fit, at least one
    // character a line.
    const std::u16string word = u"Incomprehensibilities";
    const int narrow = widths.Width(u"Incompr");
    box = Make(u"a " + word, narrow);
    doc = box->GetRichDocument();
    std::string expected = "a";
    std::u16string rest = word;
    while (!rest.empty()) {
        size_t fit = 1;
        while (fit < rest.size() && widths.Width(rest.substr(0, fit + 1)) <= narrow)
            ++fit;
        expected += "\n" + Utf8(rest.substr(0, fit));
        rest = rest.substr(fit);
    }
    EXPECT_EQ(Dump(doc), expected);
    box = Make(u"Wide", 1);
    EXPECT_EQ(Dump(box->GetRichDocument()), "W\ni\nd\ne");
    // Zero lays out nothing; the unwrapped size is the widest line and the sum of the heights.
    box->LayoutRich(0);
    EXPECT_EQ(box->GetRichDocument()->GetLineCount(), 0);
}

TEST_F(RichTextTest, RightToLeftRunsTakeTheirDisplayOrder) {
    const struct {
        const char* source;
        int32_t base;
        const char* items;   // logical order
        const char* display; // from the starting edge
    } cases[] = {
        // Digits after Hebrew keep their order inside their run.
        {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 123", 1, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D| |123",
         "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D| |123"},
        // A lone closing parenthesis between right-to-left words shows as an opening one.
        {"\xD7\x90\xD7\x91 ) \xD7\x92\xD7\x93", 1, "\xD7\x90\xD7\x91| |)| |\xD7\x92\xD7\x93",
         "\xD7\x90\xD7\x91| |(| |\xD7\x92\xD7\x93"},
        // Left-to-right base: the stretch reverses with the blank between its words; the blank
        // before the following English goes after it.
        {"abc \xD7\x90\xD7\x91 \xD7\x92\xD7\x93 def", 0, "abc| |\xD7\x90\xD7\x91| |\xD7\x92\xD7\x93| |def",
         "abc| |\xD7\x92\xD7\x93| |\xD7\x90\xD7\x91| |def"},
        // A parenthesised group with more right-to-left words is one right-to-left unit, its
        // opening bracket first.
        {"x (\xD7\x90\xD7\x91 \xD7\x92\xD7\x93 c) y", 0, "x| |(|\xD7\x90\xD7\x91| |\xD7\x92\xD7\x93| |c|)| |y",
         "x| |(|\xD7\x92\xD7\x93| |\xD7\x90\xD7\x91| |c|)| |y"},
        // English inside a right-to-left paragraph: drawn from the right edge, its last word first.
        {"\xD7\x90 hello world", 1, "\xD7\x90| |hello| |world", "\xD7\x90| |world| |hello"},
        {"one two", 1, "one two", "one two"},
        // Numbers inside a right-to-left stretch under a left-to-right base keep their order.
        {"go \xD7\x90 12 \xD7\x91", 0, "go| |\xD7\x90| |12| |\xD7\x91", "go| |\xD7\x91| |12| |\xD7\x90"},
        // A sign before a number joins its run.
        {"\xD7\x90 -5", 1, "\xD7\x90| |-|5", "\xD7\x90| |5|-"},
        // An opening bracket that ends the line is mirrored under a right-to-left base.
        {"\xD7\x90 (", 1, "\xD7\x90| |(", "\xD7\x90| |)"},
    };
    for (const auto& c : cases) {
        oxTextBox* box = Make(Wide(c.source), -1, true);
        oxRichText* doc = box->GetRichDocument();
        EXPECT_EQ(Dump(doc), c.items) << c.source;
        EXPECT_EQ(DisplayOrder(doc, c.base), c.display) << c.source;
        // Every item appears once whatever the base.
        for (int32_t base : {0, 1}) {
            std::vector<oxRichItem*> seen;
            for (int k = 0; oxRichItem* item = doc->GetItem(0, k, base); ++k)
                seen.push_back(item);
            EXPECT_EQ(int(seen.size()), doc->GetLine(0)->GetItemCount());
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
        }
    }
    // Without right-to-left handling a run is one item whatever its scripts.
    oxTextBox* box = Make(Wide("abc \xD7\x90\xD7\x91 def"), -1, false);
    EXPECT_EQ(Dump(box->GetRichDocument()), "abc \xD7\x90\xD7\x91 def");
}

// Paragraphs in both depths; the pictures are backed by what can be computed of them.
TEST_F(RichTextTest, ParagraphsPaintedInThirtyTwoAndSixteenBits) {
    FreeTypeWidths widths(13);
    ASSERT_TRUE(widths.Ok());
    const std::u16string source =
        u"<b>Weftly</b> lays out <i>marked-up</i> text with <font color=\"#B02020\">colours</font>, "
        u"<u>underlines</u> and <a href=\"box://x/y\">links</a>.\\n"
        u"A second paragraph wraps at the width of its box, word by word.";
    for (int bpp : {32, 16}) {
        SCOPED_TRACE(bpp);
        if (bpp == 16) {
            ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 64, 16, false, 96}));
        }
        oxTextBox* box = Make(source, -1);
        box->SetAttribute(kAtomWordwrap, u"true", true, false);
        box->SetFlowed(true);
        ArrangeLayoutRoot(box, 220, 120);
        oxRichText* doc = box->GetRichDocument();
        ASSERT_GE(doc->GetLineCount(), 4);
        // Each line holds as many words as fit in 220 pixels, measured by FreeType.
        for (int l = 0; l < doc->GetLineCount(); ++l) {
            std::u16string text;
            oxRichLine* line = doc->GetLine(l);
            for (int k = 0; k < line->GetItemCount(); ++k) {
                oxRichItem* item = line->GetItemAt(k);
                if (item->kind == oxRichItem::kText && !item->style.bold && !item->style.italic) {
                    EXPECT_EQ(item->width, widths.Width(item->text)) << Utf8(item->text);
                }
            }
            EXPECT_LE(line->width, 220);
        }
        oxCanvas canvas;
        canvas.oxGraphicsContext::SetSize(220, 120, bpp);
        const oxPixelBuffer& t = canvas.Target();
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 220; ++x) {
                if (bpp == 16)
                    t.GetRow16(y)[x] = 0xFFFF;
                else
                    t.GetRow32(y)[x] = 0xFFFFFFFF;
            }
        box->Paint(&canvas);
        // Ink lies only where the lines are, and the link's box paints its own blue text.
        const int height = doc->GetSize().y;
        auto isInk = [&](int x, int y) {
            return bpp == 16 ? t.GetRow16(y)[x] != 0xFFFF : (t.GetRow32(y)[x] & 0xFFFFFF) != 0xFFFFFF;
        };
        bool inkBelow = false;
        for (int y = height + 1; y < 120; ++y)
            for (int x = 0; x < 220; ++x)
                inkBelow |= isInk(x, y);
        EXPECT_FALSE(inkBelow);
        oxRichItem* link = nullptr;
        for (int l = 0; l < doc->GetLineCount() && !link; ++l)
            for (int k = 0; k < doc->GetLine(l)->GetItemCount(); ++k)
                if (doc->GetLine(l)->GetItemAt(k)->kind == oxRichItem::kLink) link = doc->GetLine(l)->GetItemAt(k);
        ASSERT_NE(link, nullptr);
        bool blue = false;
        for (int y = link->placed.y; y < link->placed.Bottom(); ++y)
            for (int x = link->placed.x; x < link->placed.Right(); ++x) {
                const uint32_t p = bpp == 16 ? t.GetRow16(y)[x] : t.GetRow32(y)[x];
                blue |=
                    bpp == 16 ? (p & 0x1F) > 0x18 && (p >> 11) < 0x08 : (p & 0xFF) > 0xC0 && ((p >> 16) & 0xFF) < 0x40;
            }
        EXPECT_TRUE(blue);
        EXPECT_TRUE(MatchesGolden(t, bpp == 32 ? "rich_text_argb32" : "rich_text_rgb565"));
    }
    ConfigureScreen(ScreenConfigFromEnvironment());
}

// Without markup a rich line cropped at the right ends in dots just as plain text does, however
// long it is (a cut found by taking one character off at a time would paint for minutes).
TEST_F(RichTextTest, CroppedLineEndsInDotsLikePlainText) {
    for (const std::u16string& value :
         {std::u16string(u"A rather long line of text"), u"A line of " + std::u16string(200000, u'm')})
        CroppedLineEndsInDotsLikePlainText(value);
}

void RichTextTest::CroppedLineEndsInDotsLikePlainText(const std::u16string& value) {
    std::string pictures[2];
    for (int plain = 0; plain < 2; ++plain) {
        oxTextBox* box = Make(value);
        if (plain) box->SetAttribute(kAtomPlaintext, u"true", true, false);
        box->SetStyle(u"crop", u"right");
        ArrangeLayoutRoot(box, 90, 20);
        EXPECT_EQ(box->GetRichDocument() == nullptr, plain == 1);
        oxCanvas canvas;
        canvas.oxGraphicsContext::SetSize(90, 20, 32);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 90; ++x)
                canvas.Target().GetRow32(y)[x] = 0xFFFFFFFF;
        box->Paint(&canvas);
        pictures[plain] = BufferToRgba(canvas.Target());
    }
    EXPECT_NE(pictures[0], std::string(pictures[0].size(), '\xFF'));
    EXPECT_EQ(pictures[0], pictures[1]);
}

// Sources built to hurt: each ends in bounded time with a plain result.
TEST_F(RichTextTest, HostileSourcesEndWithClearResults) {
    std::u16string nested;
    for (int i = 0; i < 100000; ++i)
        nested += u"<font size='1'><b><i>";
    nested += u"deep";
    oxTextBox* box = Make(nested, 440);
    EXPECT_EQ(Dump(box->GetRichDocument()), "*/7:deep");

    std::u16string links;
    for (int i = 0; i < 100000; ++i)
        links += u"<a href='x'>";
    links += u"z";
    box = Make(links, 440);
    EXPECT_EQ(Dump(box->GetRichDocument()), "_~z");
    EXPECT_EQ(box->GetChildCount(), 0);

    std::u16string brackets(100000, u'(');
    box = Make(u"\u05D0" + brackets, -1, true);
    EXPECT_EQ(box->GetRichDocument()->GetLine(0)->GetItemCount(), 100001);
    EXPECT_NE(box->GetRichDocument()->GetItem(0, 100000, 1), nullptr);

    // A megabyte of words wraps into lines that each fit.
    std::u16string big;
    while (big.size() < (1u << 20))
        big += u"lorem ipsum dolor sit amet ";
    box = Make(big, 440);
    oxRichText* doc = box->GetRichDocument();
    EXPECT_GT(doc->GetLineCount(), 10000);
    for (int l = 0; l < doc->GetLineCount(); ++l)
        ASSERT_LE(doc->GetLine(l)->width, 440);
    // A megabyte without a space is cut character by character into full lines.
    box = Make(std::u16string(1u << 20, u'm'), 440);
    EXPECT_GT(box->GetRichDocument()->GetLineCount(), 1000);

    // Unterminated entities and tags stay text or run to the end.
    box = Make(u"&#6553665536&#;&amp&#x41;<b", 440);
    EXPECT_EQ(Dump(box->GetRichDocument()), "6553665536&#;&amp&#x41;<b");
    box = Make(u"x<font color='#zz' size='4'>y", 440);
    EXPECT_EQ(Dump(box->GetRichDocument()), "x|28:y");

    // An image source climbing out of the resources folder opens nothing, though a picture waits
    // there.
    const std::filesystem::path outside =
        std::filesystem::path(platform::ProgramHostPath()).parent_path() / "outside-rich-text-test.png";
    std::ofstream(outside, std::ios::binary) << widgets_test::ImageFixture("png_c2_d8.png");
    const std::u16string hostPath = platform::WideFromUtf8(outside.string());
    box = Make(u"<img src=\"../../../outside-rich-text-test.png\"><img src=\"" + hostPath + u"\">" + u"<img src=\"" +
                   resources.BoxUri("../outside-rich-text-test.png") + u"\">",
               440, false, u"1");
    std::filesystem::remove(outside);
    doc = box->GetRichDocument();
    ASSERT_EQ(doc->GetLine(0)->GetItemCount(), 3) << Dump(doc);
    for (int k = 0; k < 3; ++k) {
        oxRichItem* item = doc->GetLine(0)->GetItemAt(k);
        ASSERT_NE(item->GetImageBox(), nullptr);
        EXPECT_EQ(item->width, 0);
        oxBitmapElement* picture = static_cast<oxImageBox*>(item->box)->GetPicture();
        EXPECT_TRUE(!picture || picture->GetFrameCount() == 0) << k;
    }
}

} // namespace
