#pragma once
// oxStyleValue: the tagged value of the style system, held by declarations, property groups,
// animations and bindings. A small value type: it owns a compound payload (four sides, theme
// reference) outright and deep-copies it, and shares its text with its copies.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/shared_string.h"

class oxElement;
class oxStyleLibrary;
struct oxStyleRectValue;
struct oxOSThemeValue;

enum oxStyleType : int8_t {
    kStyleNull = 0,
    kStyleNumber = 1, // no unit
    kStyleKeyword = 6,
    kStyleText = 7,
    kStyleUrl = 8, // "url(...)"; the value word is 0 when library-qualified, 1 when plain
    kStyleColor = 9,
    kStyleSysColor = 10, // a "syscolor..." name, resolved at every read
    kStyleInteger = 11,
    kStylePercent = 13,
    kStylePx = 14,
    kStylePt = 15,
    kStyleEm = 16,
    kStyleSeconds = 17,
    kStyleMs = 18,
    kStyleRect = 19,   // owns an oxStyleRectValue
    kStyleTheme = 20,  // owns an oxOSThemeValue
    kStyleScaled = 21, // "*": multiplied by the user-interface scale when read
};

class oxStyleValue {
public:
    oxStyleValue() = default;
    explicit oxStyleValue(oxStyleType type) : type_(type) {}
    oxStyleValue(int32_t value, oxStyleType type) : word_(value), type_(type) {}
    // A text payload holding a copy of `text`, for types 7, 8 and 10.
    oxStyleValue(const WCHAR* text, oxStyleType type);
    // Type 19 with a deep copy of the four sides.
    explicit oxStyleValue(const oxStyleRectValue& sides);
    static oxStyleValue Color(uint32_t argb) { return oxStyleValue(int32_t(argb), kStyleColor); }
    static oxStyleValue Keyword(int id) { return oxStyleValue(id, kStyleKeyword); }

    oxStyleValue(const oxStyleValue& other) { CopyFrom(other); }
    oxStyleValue(oxStyleValue&& other) noexcept;
    oxStyleValue& operator=(const oxStyleValue& other);
    oxStyleValue& operator=(oxStyleValue&& other) noexcept;
    ~oxStyleValue() { Clear(false); }

    // Frees a compound payload; with `reset`, also zeroes the type and the value word. The text
    // payload stays until the value is destroyed or given new text.
    void Clear(bool reset);
    // Copies type, property id and value; compound payloads are deep-copied, text is shared.
    void CopyFrom(const oxStyleValue& source);

    oxStyleType GetType() const { return type_; }
    // Leaving a compound type frees its payload.
    void SetType(oxStyleType type);
    bool IsNull() const { return type_ == kStyleNull; }
    int GetPropertyId() const { return propertyId_; }
    void SetPropertyId(int id) { propertyId_ = uint8_t(id); }
    // The raw value word: integer, ARGB, keyword id or reference flag. Compound types use Rect/Theme.
    int32_t GetValue() const { return int32_t(word_); }
    void SetValue(int32_t value);

    // Replaces the text with a copy of `text`; the type is unchanged.
    void SetText(const WCHAR* text);
    void SetText(const WCHAR* text, size_t length);
    // The text of a type 7, 8 or 10 value; null for other types or when there is none.
    const WCHAR* GetText() const;
    // The compound payload of a type 19 or 20 value, or null.
    oxStyleRectValue* GetRect() const;
    oxOSThemeValue* GetTheme() const;
    // Takes ownership of a payload and sets the type (19 or 20); the value's old payload is freed.
    void AdoptRect(oxStyleRectValue* sides);
    void AdoptTheme(oxOSThemeValue* theme);

    bool Equals(const oxStyleValue& other) const;
    // The number, through single precision; type 21 scaled by the user-interface scale.
    int32_t GetInt() const;
    // Type 9: the ARGB; type 10: the named system colour (opaque black when unknown); else 0.
    uint32_t GetColor() const;
    // The resource element that a reference (or text) names in the library, library-qualified
    // references trying the active themes first; null without a library or text.
    oxElement* ResolveResource(oxStyleLibrary* library) const;
    // New malloc'd text, "" for types without a text form; null only when memory ran out.
    WCHAR* ToString() const;

private:
    void SetRectPayload(const oxStyleRectValue* source);
    void SetThemePayload(const oxOSThemeValue* source);

    oxSharedString text_;
    intptr_t word_ = 0; // an integer, or the owned payload of types 19 and 20
    oxStyleType type_ = kStyleNull;
    uint8_t propertyId_ = 0;
};

// The four sides of a shorthand or stroke value, in the order top, right, bottom, left.
struct oxStyleRectValue {
    oxStyleValue sides[4];

    // Fills the four sides from 1 to 4 blank-separated parts, each parsed under `mask`. False for
    // null text or text without a part.
    bool Parse(const WCHAR* text, unsigned mask);
    // "top right bottom left"; malloc'd, null when memory ran out.
    WCHAR* ToString() const;
};

// The three texts of an OSTheme(a,b,c) reference, in written order.
struct oxOSThemeValue {
    oxStyleValue parts[3];

    // "OSTheme(a,b,c)"; malloc'd, null when memory ran out.
    WCHAR* ToString() const;
};

// A malloc'd copy of `count` units of `text`, terminated, stored in `out` (null when memory ran
// out); nothing happens for a null text or out.
void DupWideStringN(WCHAR** out, const WCHAR* text, size_t count);
// A malloc'd copy of terminated text; null for null text or when memory ran out.
WCHAR* DupWideString(const WCHAR* text);
