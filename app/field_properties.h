#pragma once
// Member table rows of script properties that read and write one field of the native object
// directly: text, 32-bit number or boolean. A written value is converted as every property
// converts it (any value reads as text, a number or a boolean).
#include <cstdint>

#include "runtime/bstr_string.h"
#include "runtime/wide_string.h"
#include "toolkit/script/script_class.h"

namespace field_properties {

template <class T, NUBO::TBstr T::*F> int32_t GetText(T* self, NUBO::XVariant* out) {
    *out = (self->*F).GetString();
    return 0;
}
template <class T, NUBO::TBstr T::*F> int32_t SetText(T* self, const VARIANT& value) {
    self->*F = static_cast<const NUBO::XVariant&>(value).ToString().GetString();
    return 0;
}
template <class T, int32_t T::*F> int32_t GetNumber(T* self, NUBO::XVariant* out) {
    *out = int(self->*F);
    return 0;
}
template <class T, int32_t T::*F> int32_t SetNumber(T* self, const VARIANT& value) {
    self->*F = static_cast<const NUBO::XVariant&>(value).ToInt32();
    return 0;
}
template <class T, bool T::*F> int32_t GetFlag(T* self, NUBO::XVariant* out) {
    *out = self->*F;
    return 0;
}
template <class T, bool T::*F> int32_t SetFlag(T* self, const VARIANT& value) {
    self->*F = static_cast<const NUBO::XVariant&>(value).ToBool();
    return 0;
}

template <class T, NUBO::TBstr T::*F> constexpr NUBO::XMemberEntry TextRow(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<T, GetText<T, F>>, script_class::Setter<T, SetText<T, F>>);
}
template <class T, int32_t T::*F> constexpr NUBO::XMemberEntry NumberRow(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<T, GetNumber<T, F>>, script_class::Setter<T, SetNumber<T, F>>);
}
template <class T, bool T::*F> constexpr NUBO::XMemberEntry FlagRow(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<T, GetFlag<T, F>>, script_class::Setter<T, SetFlag<T, F>>);
}

// A write-only property that hands the assigned object (null for any other value) to `Set`.
template <class T, void (T::*Set)(NUBO::XObject*)> int32_t SetObject(T* self, const VARIANT& value) {
    NUBO::XObject* object = nullptr;
    if (static_cast<const NUBO::XVariant&>(value).GetXObject(&object) != 0) object = nullptr;
    (self->*Set)(object);
    if (object) object->Release();
    return 0;
}
template <class T, void (T::*Set)(NUBO::XObject*)> constexpr NUBO::XMemberEntry ObjectSetterRow(const char* name) {
    return NUBO::XProperty(name, nullptr, script_class::Setter<T, SetObject<T, Set>>);
}

} // namespace field_properties
