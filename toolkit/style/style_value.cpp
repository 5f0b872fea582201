#include "toolkit/style/style_value.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"
#include "toolkit/base/uri.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"

namespace {

bool IsTextType(oxStyleType type) {
    return type == kStyleText || type == kStyleUrl || type == kStyleSysColor;
}

bool IsCompoundType(oxStyleType type) {
    return type == kStyleRect || type == kStyleTheme;
}

// Truncation toward zero that stays defined for numbers outside the 32-bit range.
int32_t TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

// `format` of up to two texts into a malloc'd block of at most `limit` units.
WCHAR* FormatNew(size_t limit, const WCHAR* format, ...) {
    WCHAR* out = static_cast<WCHAR*>(std::malloc((limit + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(out, limit + 1, format, args);
    va_end(args);
    if (n < 0) out[limit] = 0; // cut to the limit, as the fixed buffers of the text forms are
    return out;
}

} // namespace

oxStyleValue::oxStyleValue(const WCHAR* text, oxStyleType type) : text_(text), type_(type) {}

oxStyleValue::oxStyleValue(const oxStyleRectValue& sides) : type_(kStyleRect) {
    SetRectPayload(&sides);
}

oxStyleValue::oxStyleValue(oxStyleValue&& other) noexcept
    : text_(static_cast<oxSharedString&&>(other.text_)), word_(other.word_), type_(other.type_),
      propertyId_(other.propertyId_) {
    other.word_ = 0;
    other.type_ = kStyleNull;
}

oxStyleValue& oxStyleValue::operator=(const oxStyleValue& other) {
    if (this == &other) return *this; // clearing first would free the payload being copied
    Clear(true);
    CopyFrom(other);
    return *this;
}

oxStyleValue& oxStyleValue::operator=(oxStyleValue&& other) noexcept {
    if (this == &other) return *this;
    Clear(true);
    // As with a copy, a value that brings no text leaves this one's text in place.
    if (IsTextType(other.type_)) text_ = static_cast<oxSharedString&&>(other.text_);
    word_ = other.word_;
    type_ = other.type_;
    propertyId_ = other.propertyId_;
    other.word_ = 0;
    other.type_ = kStyleNull;
    return *this;
}

void oxStyleValue::Clear(bool reset) {
    if (IsCompoundType(type_) && word_) {
        if (type_ == kStyleRect)
            delete GetRect();
        else
            delete GetTheme();
        word_ = 0;
    }
    if (reset) {
        word_ = 0;
        type_ = kStyleNull;
    }
}

void oxStyleValue::CopyFrom(const oxStyleValue& source) {
    if (this == &source) return;
    Clear(false); // a payload this value still owns would be lost
    type_ = source.type_;
    propertyId_ = source.propertyId_;
    switch (type_) {
    case kStyleRect:
        word_ = 0;
        SetRectPayload(source.GetRect());
        break;
    case kStyleTheme:
        word_ = 0;
        SetThemePayload(source.GetTheme());
        break;
    case kStyleText:
    case kStyleSysColor:
        text_ = source.text_;
        break;
    case kStyleUrl:
        text_ = source.text_;
        word_ = source.word_ != 0;
        break;
    default:
        word_ = source.word_;
        break;
    }
}

void oxStyleValue::SetRectPayload(const oxStyleRectValue* source) {
    if (!source) return;
    word_ = reinterpret_cast<intptr_t>(new (std::nothrow) oxStyleRectValue(*source));
}

void oxStyleValue::SetThemePayload(const oxOSThemeValue* source) {
    if (!source) return;
    word_ = reinterpret_cast<intptr_t>(new (std::nothrow) oxOSThemeValue(*source));
}

void oxStyleValue::AdoptRect(oxStyleRectValue* sides) {
    Clear(true);
    type_ = kStyleRect;
    word_ = reinterpret_cast<intptr_t>(sides);
}

void oxStyleValue::AdoptTheme(oxOSThemeValue* theme) {
    Clear(true);
    type_ = kStyleTheme;
    word_ = reinterpret_cast<intptr_t>(theme);
}

void oxStyleValue::SetType(oxStyleType type) {
    if (type != type_) Clear(false);
    type_ = type;
}

void oxStyleValue::SetValue(int32_t value) {
    Clear(false);
    word_ = value;
}

oxStyleRectValue* oxStyleValue::GetRect() const {
    return type_ == kStyleRect ? reinterpret_cast<oxStyleRectValue*>(word_) : nullptr;
}

oxOSThemeValue* oxStyleValue::GetTheme() const {
    return type_ == kStyleTheme ? reinterpret_cast<oxOSThemeValue*>(word_) : nullptr;
}

void oxStyleValue::SetText(const WCHAR* text) {
    text_ = oxSharedString(text);
}

void oxStyleValue::SetText(const WCHAR* text, size_t length) {
    text_ = oxSharedString(text, length);
}

const WCHAR* oxStyleValue::GetText() const {
    if (!IsTextType(type_) || text_.IsNull()) return nullptr;
    return text_.GetString();
}

bool oxStyleValue::Equals(const oxStyleValue& other) const {
    if (type_ != other.type_) return false;
    if (type_ == kStyleUrl && (word_ != 0) != (other.word_ != 0)) return false;
    if (IsTextType(type_)) {
        if (text_.IsNull() || other.text_.IsNull()) return text_.IsNull() && other.text_.IsNull();
        return wcscmp(text_.GetString(), other.text_.GetString()) == 0;
    }
    return word_ == other.word_;
}

int32_t oxStyleValue::GetInt() const {
    float number = float(int32_t(word_));
    if (type_ == kStyleScaled) number *= GetUiScale();
    return TruncToInt(number);
}

uint32_t oxStyleValue::GetColor() const {
    if (type_ == kStyleColor) return uint32_t(word_);
    if (type_ != kStyleSysColor) return 0;
    uint32_t argb = 0xFF000000;
    if (!ParseColor(GetText(), &argb)) return 0xFF000000;
    return argb;
}

oxElement* oxStyleValue::ResolveResource(oxStyleLibrary* library) const {
    const WCHAR* text = GetText();
    if (!library || !text) return nullptr;
    if (type_ == kStyleUrl && word_ == 0) {
        oxUri uri(text);
        NUBO::TWString fragment(u"#");
        fragment += uri.GetFragment();
        if (oxElement* themed = library->FindThemeResource(fragment.GetString())) return themed;
    }
    return library->FindResourceByUri(text);
}

WCHAR* oxStyleValue::ToString() const {
    switch (type_) {
    case kStyleNumber:
    case kStyleInteger:
        return FormatNew(11, u"%d", int32_t(word_)); // 11, not 9: "-2147483648" stays whole
    case kStyleKeyword: {
        const WCHAR* name = StyleKeywordNameFromId(int32_t(word_));
        return DupWideString(name ? name : u"");
    }
    case kStyleText:
    case kStyleUrl:
    case kStyleSysColor:
        return DupWideString(text_.GetString());
    case kStyleColor:
        return FormatNew(9, u"#%x", uint32_t(word_));
    case kStyleRect:
        if (GetRect()) return GetRect()->ToString();
        break;
    case kStyleTheme:
        if (GetTheme()) return GetTheme()->ToString();
        break;
    default:
        break;
    }
    return DupWideString(u"");
}

WCHAR* oxStyleRectValue::ToString() const {
    WCHAR* text[4] = {};
    WCHAR* out = nullptr;
    bool ok = true;
    for (int i = 0; i < 4; ++i)
        ok = (text[i] = sides[i].ToString()) != nullptr && ok;
    if (ok) out = FormatNew(127, u"%s %s %s %s", text[0], text[1], text[2], text[3]);
    for (WCHAR* t : text)
        std::free(t);
    return out;
}

WCHAR* oxOSThemeValue::ToString() const {
    WCHAR* text[3] = {};
    WCHAR* out = nullptr;
    bool ok = true;
    for (int i = 0; i < 3; ++i)
        ok = (text[i] = parts[i].ToString()) != nullptr && ok;
    if (ok) out = FormatNew(255, u"OSTheme(%s,%s,%s)", text[0], text[1], text[2]);
    for (WCHAR* t : text)
        std::free(t);
    return out;
}

void DupWideStringN(WCHAR** out, const WCHAR* text, size_t count) {
    if (!out || !text) return;
    WCHAR* copy = static_cast<WCHAR*>(std::malloc((count + 1) * sizeof(WCHAR)));
    if (copy) {
        for (size_t i = 0; i < count; ++i)
            copy[i] = text[i];
        copy[count] = 0;
    }
    *out = copy;
}

WCHAR* DupWideString(const WCHAR* text) {
    WCHAR* copy = nullptr;
    if (text) DupWideStringN(&copy, text, wcslen(text));
    return copy;
}
