#include "runtime/enumerator.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"

namespace NUBO {

namespace {

// The plain object that carries one dictionary entry as its "key" and "value" properties.
class XEntryObject : public XObject {};

int32_t CurrentGetter(XObject* object, XVariant* result) {
    if (!object) return XR_NO_NATIVE_OBJECT;
    return static_cast<XEnumerator*>(object)->GetCurrent(result);
}

int32_t MoveNextMethod(XObject* object, int, XArgList*, XVariant* result) {
    if (!object) return XR_INVALID;
    bool more = false;
    int32_t rc = static_cast<XEnumerator*>(object)->MoveNext(&more);
    *result = more;
    return rc;
}

int32_t ResetMethod(XObject* object, int, XArgList*, XVariant*) {
    if (!object) return XR_INVALID;
    return static_cast<XEnumerator*>(object)->Reset();
}

const XMemberEntry kEnumeratorMembers[] = {
    XProperty("current", CurrentGetter, nullptr),
    XMethod("moveNext", MoveNextMethod),
    XMethod("reset", ResetMethod),
    XMemberEnd(),
};

} // namespace

XClassDescriptor XEnumerator::Descriptor = {"XEnumerator", 4, kEnumeratorMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor XArrayEnumerator::Descriptor = {"XArrayEnumerator",       4, kEnumeratorMembers,
                                                 &XEnumerator::Descriptor, 0, {}};
XClassDescriptor XDictionaryEnumerator::Descriptor = {"XDictionaryEnumerator",  4, kEnumeratorMembers,
                                                      &XEnumerator::Descriptor, 0, {}};

XEnumerator::~XEnumerator() {
    ClearCurrent();
    if (collection) collection->Release();
}

void XEnumerator::OnBeforeDestroy() {
    if (collection) XObject::CallMethod1NoResult(collection, u"beforeEnumeratorDestroyed", XVariant(this));
    XObject::OnBeforeDestroy();
}

int32_t XEnumerator::GetCurrent(XVariant* out) {
    if (!out) return XR_INVALID;
    if (!hasCurrent) return XR_FAIL;
    *out = current;
    return XR_SUCCESS;
}

int32_t XEnumerator::Reset() {
    ResetImpl();
    return XR_SUCCESS;
}

int32_t XEnumerator::Attach(XObject* next) {
    RefPtr<XObject>::Assign(collection, next);
    ResetImpl();
    return XR_SUCCESS;
}

void XEnumerator::ResetImpl() {
    valid = true;
    position = -1;
    ClearCurrent();
}

void XEnumerator::ClearCurrent() {
    current.Clear();
    hasCurrent = false;
}

int32_t XArrayEnumerator::MoveNext(bool* out) {
    *out = false;
    if (!valid) {
        ClearCurrent();
        return XR_SUCCESS;
    }
    int32_t rc = XR_SUCCESS;
    bool more = false;
    if (collection) {
        XVariant n;
        rc = collection->GetPropertyByName(u"count", &n);
        if (rc != XR_SUCCESS) {
            ClearCurrent();
            return rc;
        }
        int count = n.ToInt32();
        if (count > 0) {
            ++position;
            if (position < count) {
                XVariant value;
                if (XObject::CallMethod1(collection, u"getValue", XVariant(position), &value) == XR_SUCCESS) {
                    current = value;
                    hasCurrent = true;
                    more = true;
                }
            }
        }
    }
    valid = more;
    if (!more) ClearCurrent();
    *out = more;
    return rc;
}

int32_t XArrayEnumerator::OnArrayModified(int kind, int index) {
    if (position == -1) return XR_SUCCESS;
    switch (kind) {
    case 0:
    case 5:
        valid = false;
        return XR_SUCCESS;
    case 1:
        if (position >= index) ++position;
        return XR_SUCCESS;
    case 3:
        if (position >= index) --position;
        return XR_SUCCESS;
    case 2:
    case 4:
        return XR_SUCCESS;
    default:
        return XR_INVALID;
    }
}

XDictionaryEnumerator::~XDictionaryEnumerator() {
    ReleaseKeys();
}

void XDictionaryEnumerator::ReleaseKeys() {
    XObject* old = keys;
    keys = nullptr;
    keyCount = 0;
    if (old) old->Release();
}

void XDictionaryEnumerator::ResetImpl() {
    ReleaseKeys();
    XEnumerator::ResetImpl();
}

int32_t XDictionaryEnumerator::MoveNext(bool* out) {
    *out = false;
    if (!valid) {
        ClearCurrent();
        return XR_SUCCESS;
    }
    bool more = false;
    int32_t rc = XR_SUCCESS;
    if (collection) {
        if (position == -1) {
            XVariant all;
            rc = XObject::CallMethod0(collection, u"allKeys", &all);
            if (rc != XR_SUCCESS) return rc;
            if (all.GetKind() == XVK_OBJECT) {
                XObject* snapshot = nullptr;
                rc = all.GetXObject(&snapshot);
                if (rc != XR_SUCCESS) return rc;
                ReleaseKeys();
                keys = snapshot;
                XVariant n;
                rc = keys ? keys->GetPropertyByName(u"count", &n) : XR_INVALID;
                if (rc != XR_SUCCESS) return rc;
                keyCount = n.ToInt32();
            }
        }
        if (keyCount >= 1 && keys) {
            ++position;
            if (position < keyCount) {
                XVariant key, value;
                rc = XObject::CallMethod1(keys, u"getValue", XVariant(position), &key);
                TWString text = key.ToString();
                if (rc == XR_SUCCESS) rc = XObject::CallMethod1(collection, u"valueForKey", XVariant(text), &value);
                if (rc != XR_SUCCESS) {
                    ClearCurrent();
                    valid = false;
                    return rc;
                }
                auto* entry = new (std::nothrow) XEntryObject;
                if (!entry) return XR_OUT_OF_MEMORY;
                RefPtr<XObject> hold = RefPtr<XObject>::ref(entry);
                XVariant keyValue(text);
                rc = entry->SetPropertyByName(u"key", &keyValue);
                if (rc == XR_SUCCESS) rc = entry->SetPropertyByName(u"value", &value);
                if (rc != XR_SUCCESS) return rc;
                current.SetObject(entry);
                hasCurrent = true;
                more = true;
            }
        }
    }
    valid = more;
    if (!more) ClearCurrent();
    *out = more;
    return rc;
}

int32_t XDictionaryEnumerator::OnDictionaryModified(int kind, const WCHAR* key) {
    if (position == -1) return XR_SUCCESS;
    switch (kind) {
    case 0:
        valid = false;
        return XR_SUCCESS;
    case 3:
        return XR_SUCCESS;
    case 1: {
        if (!keys) return XR_SUCCESS;
        XVariant index;
        if (XObject::CallMethod1(keys, u"indexOfValue", XVariant(key), &index) == XR_SUCCESS && index.ToInt32() == -1 &&
            XObject::CallMethod1NoResult(keys, u"addValue", XVariant(key)) == XR_SUCCESS)
            ++keyCount;
        return XR_SUCCESS;
    }
    case 2: {
        if (!keys) return XR_SUCCESS;
        XVariant index;
        if (XObject::CallMethod1(keys, u"indexOfValue", XVariant(key), &index) != XR_SUCCESS) return XR_SUCCESS;
        int at = index.ToInt32();
        if (at > position && XObject::CallMethod1NoResult(keys, u"removeValueAtIndex", XVariant(at)) == XR_SUCCESS)
            --keyCount;
        return XR_SUCCESS;
    }
    default:
        return XR_INVALID;
    }
}

} // namespace NUBO
