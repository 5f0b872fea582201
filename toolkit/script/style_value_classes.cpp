#include "toolkit/script/style_value_classes.h"

#include <bit>
#include <cstdlib>
#include <new>

#include "runtime/result_codes.h"
#include "toolkit/core/box.h"
#include "toolkit/script/script_class.h"
#include "toolkit/style/style_tables.h"

using NUBO::XObject;
using NUBO::XVariant;

StyleVariant* MakeStyleVariant(const oxStyleValue& value) {
    auto* variant = new (std::nothrow) StyleVariant(value);
    if (variant) variant->AddRef();
    return variant;
}

StyleRect::StyleRect(const oxStyleRectValue& from) {
    for (int i = 0; i < 4; ++i)
        sides.sides[i] = from.sides[i];
}

namespace {

// -- StyleVariant ----------------------------------------------------------------------------------

int32_t GetUnit(StyleVariant* self, XVariant* out) {
    *out = int(self->value.GetType());
    return 0;
}

int32_t SetUnit(StyleVariant* self, const VARIANT& value) {
    auto unit = oxStyleType(XVariant(value).ToInt32());
    // A value word that holds a number is never read as a payload: a variant that lacks the
    // payload of a compound unit keeps its unit.
    if ((unit == kStyleRect || unit == kStyleTheme) && unit != self->value.GetType()) return 0;
    self->value.SetType(unit);
    return 0;
}

int32_t GetIntValue(StyleVariant* self, XVariant* out) {
    *out = int(self->value.GetInt());
    return 0;
}

int32_t SetIntValue(StyleVariant* self, const VARIANT& value) {
    oxStyleType unit = self->value.GetType();
    if (unit == kStyleRect || unit == kStyleTheme) return 0; // the payload stays; see SetUnit
    self->value.SetValue(XVariant(value).ToInt32());
    return 0;
}

int32_t GetFloatValue(StyleVariant* self, XVariant* out) {
    out->SetDouble(double(std::bit_cast<float>(self->value.GetValue())));
    return 0;
}

int32_t SetFloatValue(StyleVariant* self, const VARIANT& value) {
    oxStyleType unit = self->value.GetType();
    if (unit == kStyleRect || unit == kStyleTheme) return 0;
    double d = 0;
    (void)XVariant(value).GetDouble(&d);
    self->value.SetValue(std::bit_cast<int32_t>(float(d)));
    return 0;
}

int32_t GetStringValue(StyleVariant* self, XVariant* out) {
    WCHAR* text = self->value.ToString();
    *out = text ? text : u"";
    std::free(text);
    return 0;
}

int32_t SetStringValue(StyleVariant* self, const VARIANT& value) {
    self->value.SetText(XVariant(value).ToString().GetString());
    return 0;
}

int32_t GetColorValue(StyleVariant* self, XVariant* out) {
    *out = unsigned(self->value.GetColor());
    return 0;
}

int32_t SetColorValue(StyleVariant* self, const VARIANT& value) {
    self->value.SetType(kStyleColor);
    self->value.SetValue(int32_t(XVariant(value).ToUInt32()));
    return 0;
}

int32_t GetRectValue(StyleVariant* self, XVariant* out) {
    oxStyleRectValue* sides = self->value.GetRect();
    if (!sides) return 0;
    auto* rect = new (std::nothrow) StyleRect(*sides);
    if (rect) rect->AddRef();
    script_class::PutObject(out, rect);
    return 0;
}

int32_t SetRectValue(StyleVariant* self, const VARIANT& value) {
    XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) != 0 || !object) return 0;
    if (XObject::IsKindOf(object, &StyleRect::Descriptor)) {
        auto* copy = new (std::nothrow) oxStyleRectValue(static_cast<StyleRect*>(object)->sides);
        if (copy) self->value.AdoptRect(copy);
    }
    object->Release();
    return 0;
}

int32_t GetKeywordValue(StyleVariant* self, XVariant* out) {
    *out = self->value.GetType() == kStyleKeyword ? int(self->value.GetValue()) : -1;
    return 0;
}

int32_t SetKeywordValue(StyleVariant* self, const VARIANT& value) {
    self->value.SetType(kStyleKeyword);
    self->value.SetValue(XVariant(value).ToInt32());
    return 0;
}

int32_t GetIsNull(StyleVariant* self, XVariant* out) {
    *out = self->value.IsNull();
    return 0;
}

template <int32_t (*Get)(StyleVariant*, XVariant*), int32_t (*Set)(StyleVariant*, const VARIANT&)>
constexpr NUBO::XMemberEntry VP(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<StyleVariant, Get>, script_class::Setter<StyleVariant, Set>);
}

const NUBO::XMemberEntry kVariantMembers[] = {
    VP<GetUnit, SetUnit>("unit"),
    VP<GetIntValue, SetIntValue>("intValue"),
    VP<GetFloatValue, SetFloatValue>("floatValue"),
    VP<GetStringValue, SetStringValue>("stringValue"),
    VP<GetColorValue, SetColorValue>("colorValue"),
    VP<GetRectValue, SetRectValue>("rectValue"),
    VP<GetKeywordValue, SetKeywordValue>("keywordValue"),
    NUBO::XProperty("isNull", script_class::Getter<StyleVariant, GetIsNull>, nullptr),
    NUBO::XMemberEnd(),
};

// -- StyleRect -------------------------------------------------------------------------------------

template <int kSide> int32_t GetSide(StyleRect* self, XVariant* out) {
    script_class::PutObject(out, MakeStyleVariant(self->sides.sides[kSide]));
    return 0;
}

template <int kSide> int32_t SetSide(StyleRect* self, const VARIANT& value) {
    oxStyleValue& side = self->sides.sides[kSide];
    side = oxStyleValue(XVariant(value).ToInt32(), kStyleNumber);
    return 0;
}

template <int kSide> constexpr NUBO::XMemberEntry RP(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<StyleRect, GetSide<kSide>>,
                           script_class::Setter<StyleRect, SetSide<kSide>>);
}

const NUBO::XMemberEntry kRectMembers[] = {
    RP<0>("top"), RP<2>("bottom"), RP<3>("left"), RP<1>("right"), NUBO::XMemberEnd(),
};

// -- StyleProxy ------------------------------------------------------------------------------------

int32_t GetCurrentStyle(StyleProxy* self, XVariant* out) {
    oxBox* box = self->GetBox();
    const WCHAR* text = box ? box->GetAttributeText(kAtomStyle) : nullptr;
    if (box) *out = text ? text : u"";
    return 0;
}

const NUBO::XMemberEntry kProxyMembers[] = {
    NUBO::XProperty("currentStyle", script_class::Getter<StyleProxy, GetCurrentStyle>, nullptr),
    NUBO::XMemberEnd(),
};

bool IsStyleProperty(const WCHAR* name) {
    return name && StylePropertyIdFromName(name) >= 0;
}

} // namespace

int32_t StyleProxy::GetPropertyByName(const WCHAR* name, XVariant* result) {
    if (!IsStyleProperty(name)) return XObject::GetPropertyByName(name, result);
    // A read hands out a null value whatever the box holds: reading a box's style goes through
    // Box.getStyle.
    script_class::PutObject(result, MakeStyleVariant(oxStyleValue()));
    return 0;
}

int32_t StyleProxy::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    if (!IsStyleProperty(name)) return XObject::SetPropertyByName(name, value);
    if (box_ && value) box_->SetStyle(name, XVariant(*value).ToString().GetString());
    return 0;
}

int32_t StyleProxy::HasDynamicProperty(const WCHAR* name, bool* out) {
    XObject::HasDynamicProperty(name, out);
    if (!*out) *out = IsStyleProperty(name);
    return 0;
}

NUBO::XClassDescriptor StyleVariant::Descriptor = {"StyleVariant", 9, kVariantMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor StyleRect::Descriptor = {"StyleRect", 5, kRectMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor StyleProxy::Descriptor = {"StyleProxy", 2, kProxyMembers, &XObject::Descriptor, 0, {}};
