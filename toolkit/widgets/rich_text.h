#pragma once
// oxRichText: the text of a text box read as a small HTML subset. The source is cleaned (white space,
// entities, backslash escapes), scanned for tags and cut into items (runs of text in one style and
// direction class, link boxes, image boxes) that are placed on lines with greedy word wrapping.
// Links and images are real child boxes of the text box. Each line can give its items in display
// order for a left-to-right or right-to-left paragraph.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/win/font.h"
#include "toolkit/base/rect.h"

class oxBox;
class oxTextBox;

// The look a run of text is measured and drawn in.
struct oxRichStyle {
    std::u16string face; // at most 31 characters
    int size = 0;        // font size before the user-interface scale
    bool bold = false, italic = false, underline = false;
    uint32_t color = 0; // 0xAARRGGBB; 0 when no colour is set
};

// Direction classes of items.
enum oxRichDirection : int32_t {
    kRichRtl = 0,
    kRichLtr = 1,
    kRichNeutral = 2,
    kRichNumber = 3,
    kRichSign = 4,
    kRichOpenBracket = 5,
    kRichCloseBracket = 6,
    kRichBlank = 7,
    kRichPunctuation = 8,
};

class oxRichItem {
public:
    enum Kind { kText = 0, kImage = 1, kLink = 2 };

    Kind GetKind() const { return kind; }
    // Null for box items.
    const char16_t* GetText() const { return kind == kText ? text.c_str() : nullptr; }
    // The text as drawn: a closing bracket placed as an opening one shows its mirror.
    const std::u16string& GetShownText() const { return mirrored ? shown : text; }
    oxBox* GetImageBox() const { return kind == kImage ? box : nullptr; }
    oxBox* GetLinkBox() const { return kind == kLink ? box : nullptr; }

    Kind kind = kText;
    std::u16string text;
    std::u16string shown;
    bool mirrored = false;
    oxBox* box = nullptr; // owned by the text box as its child
    oxRichStyle style;
    int32_t direction = kRichLtr;
    int32_t width = 0, height = 0;
    int32_t baseline = 0;
    // Where the item was last placed, relative to the text box's content box.
    oxRect placed;
};

class oxRichLine {
public:
    int GetItemCount() const { return int(items.size()); }
    oxRichItem* GetItemAt(int index) const { return items[size_t(index)].get(); }

    std::vector<std::unique_ptr<oxRichItem>> items; // logical order
    std::vector<oxRichItem*> display;               // display order, built on demand
    int32_t width = 0, height = 0;
    bool contentStarted = false;
    bool displayValid = false;
    int32_t displayBase = 0;
    bool rtlEnabled = false;
};

class oxRichText {
public:
    explicit oxRichText(oxTextBox* owner) : owner_(owner) {}
    ~oxRichText();
    oxRichText(const oxRichText&) = delete;
    oxRichText& operator=(const oxRichText&) = delete;

    // Null or empty leaves no source.
    void SetSource(const WCHAR* text);
    bool HasSource() const { return !source_.empty(); }
    // The caller's style, under everything a layout pushes; it is never popped.
    void SetBaseStyle(const oxRichStyle& style) { base_ = style; }
    // Splits runs by direction and lets lines give a display order.
    void SetRightToLeftEnabled(bool on) { rtlEnabled_ = on; }
    bool IsRightToLeftEnabled() const { return rtlEnabled_; }
    // The GDI quality of the runs' fonts.
    void SetQuality(BYTE quality) { quality_ = quality; }

    // Rebuilds the lines: wrapped at `wrapWidth` pixels when > 0, on unbroken lines for -1, nothing
    // for any other value. Earlier link boxes are destroyed first.
    void Layout(int32_t wrapWidth);

    int GetLineCount() const { return int(lines_.size()); }
    oxRichLine* GetLine(int index) const { return lines_[size_t(index)].get(); }
    // The widest line and the sum of the line heights.
    oxPoint GetSize() const;
    // The item at `index` of the line in display order for a base direction (0 left to right, else
    // right to left); null out of range.
    oxRichItem* GetItem(int line, int index, int32_t base);
    // The image or link box whose placed rectangle holds the point (content coordinates), or null.
    oxBox* HitTestEmbedded(const oxPoint& point) const;
    // Removes and destroys every cached image box.
    void ClearImages();
    // The cleaned source (tests and the benchmark).
    const std::u16string& GetCleaned() const { return cleaned_; }

    // The cleaned form of a marked-up text: white space, entities and escapes.
    static std::u16string Clean(const char16_t* text, size_t length);

private:
    struct Scan;
    friend struct Scan;
    void DestroyLinks();
    oxRichLine* NewLine();
    void AddRun(Scan& scan, const char16_t* text, size_t length, const SIZE& size);
    void AddItem(std::unique_ptr<oxRichItem> item);
    void AddBoxItem(Scan& scan, oxRichItem::Kind kind, oxBox* box, int32_t width, int32_t height);
    void AddStretch(Scan& scan, const char16_t* text, size_t length);
    bool MakeLink(Scan& scan, size_t tagStart, size_t tagEnd, size_t* resume);
    bool MakeImage(Scan& scan, size_t tagStart, size_t tagEnd);
    void BuildDisplayOrder(oxRichLine* line, int32_t base);

    oxTextBox* owner_;
    std::vector<std::unique_ptr<oxRichLine>> lines_;
    std::u16string source_;
    std::u16string cleaned_;
    oxRichStyle base_;
    std::map<std::u16string, oxBox*> images_;
    std::vector<oxBox*> links_;
    bool rtlEnabled_ = false;
    BYTE quality_ = 0;
};
