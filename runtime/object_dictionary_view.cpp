#include "runtime/object_dictionary_view.h"

#include "runtime/result_codes.h"

using NUBO::XObject;
using NUBO::XVariant;

XObjectDictionaryView::XObjectDictionaryView(XObject* target) : target_(target) {
    if (target_) target_->AddRef();
}

XObjectDictionaryView::~XObjectDictionaryView() {
    XObject* target = target_;
    target_ = nullptr;
    if (target) target->Release();
}

int32_t XObjectDictionaryView::GetObject(XObject** out) {
    if (!target_) return NUBO::XR_INVALID;
    return target_->GetObject(out);
}

int32_t XObjectDictionaryView::QueryUnknown(IUnknown** out) {
    if (!target_) return NUBO::XR_INVALID;
    return target_->QueryUnknown(out);
}

int32_t XObjectDictionaryView::AllKeys(XObject** out) {
    if (!out) return NUBO::XR_INVALID;
    *out = nullptr;
    if (!target_) return NUBO::XR_NO_NATIVE_OBJECT;
    XVariant keys;
    int32_t rc = XObject::CallMethod0(target_, u"allKeys", &keys);
    if (rc != NUBO::XR_SUCCESS) return rc;
    rc = keys.GetXObject(out);
    if (rc == NUBO::XR_SUCCESS && !*out) rc = NUBO::XR_NOT_OBJECT;
    return rc;
}

int32_t XObjectDictionaryView::ValueForKey(const WCHAR* key, XVariant* out) {
    if (!target_) return NUBO::XR_NO_NATIVE_OBJECT;
    return XObject::CallMethod1(target_, u"valueForKey", XVariant(key ? key : u""), out);
}

int32_t XObjectDictionaryView::SetValueForKey(const VARIANT& value, const WCHAR* key) {
    if (!target_) return NUBO::XR_NO_NATIVE_OBJECT;
    return XObject::CallMethod2NoResult(target_, u"setValueForKey", value, XVariant(key ? key : u""));
}
