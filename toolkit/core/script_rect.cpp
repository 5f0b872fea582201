#include "toolkit/core/script_rect.h"

#include "runtime/result_codes.h"

namespace {

using NUBO::XObject;
using NUBO::XVariant;

constexpr int32_t kNoNativeObject = NUBO::XR_NO_NATIVE_OBJECT;

template <class T, int32_t T::*Field> int32_t GetField(XObject* object, XVariant* result) {
    if (!object) return kNoNativeObject;
    *result = int(static_cast<T*>(object)->*Field);
    return 0;
}

template <class T, int32_t T::*Field> int32_t SetField(XObject* object, const VARIANT* value) {
    if (!object) return kNoNativeObject;
    int32_t n = 0;
    if (int32_t rc = XVariant(*value).GetInt32(&n)) return rc;
    static_cast<T*>(object)->*Field = n;
    return 0;
}

int32_t GetRight(XObject* object, XVariant* result) {
    if (!object) return kNoNativeObject;
    auto* r = static_cast<XRect*>(object);
    *result = int(int32_t(uint32_t(r->x) + uint32_t(r->width)));
    return 0;
}

int32_t GetBottom(XObject* object, XVariant* result) {
    if (!object) return kNoNativeObject;
    auto* r = static_cast<XRect*>(object);
    *result = int(int32_t(uint32_t(r->y) + uint32_t(r->height)));
    return 0;
}

const NUBO::XMemberEntry kPointMembers[] = {
    NUBO::XProperty("x", GetField<XPoint, &XPoint::x>, SetField<XPoint, &XPoint::x>),
    NUBO::XProperty("y", GetField<XPoint, &XPoint::y>, SetField<XPoint, &XPoint::y>),
    NUBO::XMemberEnd(),
};

const NUBO::XMemberEntry kRectMembers[] = {
    NUBO::XProperty("x", GetField<XRect, &XRect::x>, SetField<XRect, &XRect::x>),
    NUBO::XProperty("y", GetField<XRect, &XRect::y>, SetField<XRect, &XRect::y>),
    NUBO::XProperty("width", GetField<XRect, &XRect::width>, SetField<XRect, &XRect::width>),
    NUBO::XProperty("height", GetField<XRect, &XRect::height>, SetField<XRect, &XRect::height>),
    NUBO::XProperty("left", GetField<XRect, &XRect::x>, SetField<XRect, &XRect::x>),
    NUBO::XProperty("top", GetField<XRect, &XRect::y>, SetField<XRect, &XRect::y>),
    NUBO::XProperty("right", GetRight, nullptr),
    NUBO::XProperty("bottom", GetBottom, nullptr),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XPoint::Descriptor = {"XPoint", 3, kPointMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor XRect::Descriptor = {"XRect", 9, kRectMembers, &XObject::Descriptor, 0, {}};
