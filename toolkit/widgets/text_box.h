#pragma once
// oxTextBox: the box of the `text` and `simpleText` tags. It shows its `value` with the platform's
// fonts: measured with DrawTextW's DT_CALCRECT and drawn by DrawTextW into the pixels of the
// box's canvas, blended by coverage where the canvas keeps alpha.
#include <cstdint>

#include "platform/types.h"
#include "platform/win/font.h"
#include "toolkit/widgets/control_box.h"

class oxDibBitmap;

// The text, layout and metrics style values a text box reads from its computed style.
struct oxTextStyle {
    enum Orientation : uint8_t { kFixed, kUp, kDown, kLeft };
    const WCHAR* fontFamily = nullptr; // null: the default face
    double fontSize = 12;
    bool fontItalics = false;
    bool fontBold = false;
    bool fontUnderline = false;
    bool hasTextColor = false;
    uint32_t textColor = 0; // 0xAARRGGBB
    bool hasShadow = false;
    uint32_t textShadowColor = 0;
    int textShadowOffsetX = 0;
    int textShadowOffsetY = 0;
    Orientation textOrientation = kFixed;
    oxAtom hAlign = 0; // kAtomCenter, kAtomRight or left
    oxAtom vAlign = 0; // kAtomCenter, kAtomBottom or top
    bool cropRight = false;
    double uiScale = 1.0;
};

// Where the plain text is painted: a 32- or 16-bit canvas bitmap, the content box and the clip in
// its pixels, and whether its pixels keep alpha.
struct oxTextTarget {
    oxDibBitmap* bitmap = nullptr;
    RECT content{0, 0, 0, 0};
    RECT clip{0, 0, 0, 0};
    bool hasAlpha = false;
};

class oxTextBoxBase : public oxControlBox {
public:
    explicit oxTextBoxBase(oxAtom tag) : oxControlBox(tag) {}
    oxAtom GetBoxType() const override { return kAtomText; }
};

class oxTextBox : public oxTextBoxBase {
public:
    explicit oxTextBox(oxAtom tag);
    ~oxTextBox() override;

    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetValue(const WCHAR* text) override;
    bool IsTextOverflowed() const { return (textFlags_ & 1) != 0; }

    // The GDI quality of `textSmoothing` for plain text or for rich-text runs.
    static BYTE TextQuality(const WCHAR* smoothing, bool richRun);
    // The font of a style from the process's font cache (owned by the cache).
    HFONT GetFont(const oxTextStyle& style) const;
    // Single-line extent of `count` units (-1: all) plus the overhang of the last character;
    // (0, 0) for null text.
    static SIZE MeasureText(const WCHAR* text, int count, HFONT font);
    // The size of the value (" " when empty): within the content size when `within`, else on one
    // line, broken again at `wrapWidth` when the box wraps and that is smaller (0: no limit).
    SIZE MeasureValue(const oxTextStyle& style, bool within, SIZE content, int wrapWidth);
    // Paints the value in the target's content box; sets or clears the overflowed bit.
    void PaintPlainText(const oxTextStyle& style, const oxTextTarget& target);

    // Drops every cached font.
    static void ClearFontCache();

private:
    bool AttributeIsTrue(oxAtom attribute);
    UINT DrawFlags();

    uint8_t textFlags_ = 0; // bit 0: the text did not fit when last painted
};
