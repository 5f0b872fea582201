#pragma once
// oxVectorTextBox: the box of the `vectorText` tag. Its glyphs come from a `vectorFont` resource of
// the scene, named by the style's `fontFamily`, and are drawn through the canvas's own graphics
// context, so the text turns and scales with the canvas transform and fades with its layer. Small
// upright text blends the font's cached glyph coverage; everything else fills outlines.
#include <cstdint>
#include <string>

#include "toolkit/base/rect.h"
#include "toolkit/widgets/text_box.h"

class oxBoxStyle;
class oxFont;

class oxVectorTextBox : public oxTextBoxBase {
public:
    explicit oxVectorTextBox(oxAtom tag);
    ~oxVectorTextBox() override;

    void CloneInto(oxBox* target, bool keepBindingsIdle) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetValue(const WCHAR* text) override;
    void SetStyleValue(int propertyId, const oxStyleValue& value, int mode) override;
    oxPoint GetIntrinsicSize() override;
    void Arrange(oxPlacementRecord* placement) override;
    void PaintContent(oxCanvas* canvas) override;

    bool IsTextOverflowed() const { return (textBits_ & kOverflowed) != 0; }
    // Takes the font flags, size and family from the computed style; the family's `vectorFont`
    // element gives the font. True when anything changed.
    bool UpdateFont(oxBoxStyle* style);
    oxFont* GetVectorFont() const { return vectorFont_; }
    // The size of `count` units of `text` (-1: all) at font size `size`: on one line, or wrapped at
    // the width of `wrap` when `wrapFlag` is set (and then at least the wrap rectangle's size).
    oxPoint Measure(const WCHAR* text, int32_t count, float size, const oxRect* wrap, bool wrapFlag);
    // The line advance in pixels at a font size: size x 1.125, rounded.
    static int32_t LineHeight(float size);

private:
    enum : uint8_t {
        kOverflowed = 1,
        kWordwrap = 2,
        kBold = 4,
        kItalic = 8,
        kUnderline = 16,
        kPlaintext = 32,
    };
    // The text context's alignment for the justify mode.
    int32_t Alignment(bool wrapping) const;

    oxPoint measuredSize_{0, 0};
    std::u16string measuredText_;
    uint8_t textBits_ = 0;
    uint16_t fontPixelSize_ = 0;
    std::u16string fontFamily_;
    int32_t justifyMode_ = 1; // 0 none, 1 left, 2 center, 3 right
    oxFont* vectorFont_ = nullptr;
    bool fontRead_ = false;
};

// Makes the box factory build vector text boxes for `vectorText`.
void oxRegisterVectorTextBoxKind();
