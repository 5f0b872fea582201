#pragma once
// oxTextBox: the box of the `text` and `simpleText` tags. It shows its `value` with the platform's
// fonts in the font, colour, shadow, highlight, orientation, alignment and crop of its computed
// style: measured with DrawTextW's DT_CALCRECT for the layout and drawn by DrawTextW into the pixels
// of the canvas it is painted on, blended by coverage where the canvas keeps alpha.
#include <cstdint>
#include <memory>

#include "platform/types.h"
#include "platform/win/font.h"
#include "toolkit/base/rect.h"
#include "toolkit/widgets/control_box.h"

class oxStyleGroup;
class oxRichText;
struct oxRichStyle;

class oxTextBoxBase : public oxControlBox {
public:
    explicit oxTextBoxBase(oxAtom tag) : oxControlBox(tag) {}
    oxAtom GetBoxType() const override { return kAtomText; }
    // A text box arranges no children.
    oxLayout* GetLayout() override { return nullptr; }
    void Paint(oxCanvas* canvas) override;

protected:
    // A right-to-left scene's window shows its pictures mirrored: a text box there paints itself
    // mirrored, so that its text reads the right way round. Box positions then count from its right.
    bool ShowsMirrored() const { return mirrored_; }
    oxPoint ToShownPosition(const oxPoint& inBox) const;
    // Null removes `value` and relayouts; otherwise a changed value is stored and relayouts.
    void StoreValue(const WCHAR* text);
    // The content width the logical parent leaves this box, cut to `maxWidth`; 0 when unknown.
    int32_t AvailableWidth();
    bool HasAutoHeight();

private:
    bool mirrored_ = false;
};

class oxTextBox : public oxTextBoxBase {
public:
    explicit oxTextBox(oxAtom tag);
    ~oxTextBox() override;

    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetValue(const WCHAR* text) override;
    void SetStyleValue(int propertyId, const oxStyleValue& value, int mode) override;
    void SetFocused(bool value, bool keepFrameFocus, bool quiet) override;
    oxPoint GetIntrinsicSize() override;
    void Arrange(oxPlacementRecord* placement) override;
    void PaintContent(oxCanvas* canvas) override;
    oxBox* HitTest(const oxPoint& point) override;
    // The rich text's own link and image children ask for no new layout while it lays them out.
    void RequestLayout() override;
    void ApplyRtlOrder() override;

    // The rich text of the value while `plaintext` is not true; null otherwise.
    oxRichText* GetRichDocument() const { return richDocument_.get(); }
    // Lays the rich text out at a wrap width (-1: unbroken) in the box's own text style.
    void LayoutRich(int32_t wrapWidth);
    // Places the laid-out items in the content box (and the link and image boxes with them).
    void PlaceRichItems();
    // A laid-out link: the rectangle it was placed at inside the other text box.
    void SetPlacedInline(const oxRect& rect);

    bool IsTextOverflowed() const { return (textFlags_ & 1) != 0; }

    // Editing. A text box shows its value only: it has no caret, selection, lines or input mode, and
    // these answer 0 and change nothing; the input box fills them.
    virtual void SelectRange(int32_t start, int32_t end) { (void)start, (void)end; }
    virtual void SelectAll() {}
    virtual int32_t GetLineCount() { return 0; }
    virtual void SetCaretPos(int32_t offset) { (void)offset; }
    virtual int32_t GetCaretPos() { return 0; }
    // Offset -1 asks for the caret's line.
    virtual int32_t GetLineFromPos(int32_t offset) { return (void)offset, 0; }
    virtual int32_t GetLineLength(int32_t line) { return (void)line, 0; }
    virtual int32_t GetInputMode() { return 0; }
    virtual void SetInputMode(int32_t mode) { (void)mode; }
    void SetValueText(const WCHAR* text) { SetValue(text); }
    // Puts the text in place of the selection.
    virtual void ReplaceSelection(const WCHAR* text) { (void)text; }
    // The rectangle given to the box where another text box lays it out inline, else its own.
    oxRect GetPlacedRect() const { return placedInline_ ? placedRect_ : GetBoxRect(); }

    // The GDI quality of `textSmoothing` for plain text or for rich-text runs.
    static BYTE TextQuality(const WCHAR* smoothing, bool richRun);
    // The font of the computed style's text group (owned by the font cache); null without a style.
    HFONT GetFont();
    // Single-line extent of `count` units (-1: all) plus the overhang of the last character;
    // (0, 0) for null text or no font (or no text group).
    static SIZE MeasureText(const WCHAR* text, int count, HFONT font);
    static SIZE MeasureText(const WCHAR* text, int count, oxStyleGroup* textGroup);
    // A font of the cache: `size` before the user-interface scale, `angle` in tenths of a degree.
    static HFONT GetCachedFont(const WCHAR* face, int size, bool bold, bool italic, bool underline, int angle,
                               BYTE quality);
    // The size of the value (" " when empty): within the content box when `within`, else on one line,
    // broken again at the width the logical parent leaves when the box wraps.
    SIZE MeasureValue(bool within);

    // A memory context with the font selected, kept for measuring; null when none could be made.
    static HDC MeasuringDC(HFONT font);
    // Drops every cached font.
    static void ClearFontCache();

protected:
    bool AttributeIsTrue(oxAtom attribute);
    // Draws `count` units of `text` (-1: all) on one line with its top-left at (x, y) of the content
    // box, in `argb`, within the content box and the canvas clip.
    void DrawTextLine(oxCanvas* canvas, HFONT font, const WCHAR* text, int count, int x, int y, uint32_t argb);
    // Fills a rectangle given in content-box coordinates through the canvas.
    void FillContentRect(oxCanvas* canvas, int x, int y, int width, int height, uint32_t argb);
    // The computed text colour, 0 when the style sets none.
    uint32_t GetTextColor();
    // The font's height in pixels (the font size at the user-interface scale); 0 without a style.
    int GetFontHeight();

private:
    UINT DrawFlags();
    // Creates or drops the rich text for the current value and `plaintext`.
    void UpdateRichDocument();
    oxRichStyle RichBaseStyle();
    void PaintRich(oxCanvas* canvas);

    std::unique_ptr<oxRichText> richDocument_;
    bool layingOutRich_ = false;
    uint8_t textFlags_ = 0; // bit 0: the text did not fit when last painted
    oxRect placedRect_;
    bool placedInline_ = false;
};

// Makes the box factory build text boxes for the `text` and `simpleText` kinds and input boxes for
// `input` and `nativeText`. The box tree cannot reach this module, so the application calls it once
// before it loads markup.
void oxRegisterTextBoxKinds();
