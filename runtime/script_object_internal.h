#pragma once
// Pieces shared by the runtime's script objects and collections. Internal to runtime/: include it
// from runtime sources only, never from a public header.
#include <cstdint>
#include <new>

#include "runtime/enumerator.h"
#include "runtime/ptr_vector.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_array.h"

namespace NUBO {

// A new T with one reference, initialised: 10 for a null out pointer, 18 when it cannot be made,
// otherwise what Initialize answered (the object is let go when that fails).
template <class T, class Out = T> int32_t CreateInitialized(Out** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    auto* object = new (std::nothrow) T;
    if (!object) return XR_OUT_OF_MEMORY;
    object->AddRef();
    int32_t rc = object->Initialize();
    if (rc != XR_SUCCESS) {
        object->Release();
        return rc;
    }
    *out = object;
    return XR_SUCCESS;
}

inline bool IsObjectValue(const VARIANT& v) {
    return v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH;
}

// The argument's native object, or null.
inline RefPtr<XObject> ArgObject(XArgList* args, int i) {
    XObject* object = nullptr;
    VariantToXObject(&object, args->GetArg(i));
    return RefPtr<XObject>(object);
}

// XArrayAccessFor into a holder.
inline int32_t OpenArrayAccess(XObject* object, RefPtr<XArrayAccess>* out) {
    XArrayAccess* access = nullptr;
    int32_t rc = XArrayAccessFor(object, &access);
    *out = RefPtr<XArrayAccess>(access);
    return rc;
}

// Whether two elements of collections being compared are equal: two objects when they are one
// object or hold equal contents, anything else by XVariant::Equals.
inline bool ElementsEqual(const XVariant& mine, const XVariant& theirs) {
    if (!IsObjectValue(mine) || !IsObjectValue(theirs)) return XVariant::Equals(mine, theirs);
    RefPtr<XObject> x(mine.ToXObject()), y(theirs.ToXObject());
    if (x.get() == y.get()) return true;
    bool equal = false;
    return DeepEquals(x.get(), y.get(), &equal) == XR_SUCCESS && equal;
}

// The "getEnumerator" member of a collection: a new enumerator, listed with the collection so that
// changes move it.
template <class Collection, class Enumerator>
int32_t GetCollectionEnumerator(XObject* o, int, XArgList*, XVariant* result) {
    if (!o) return XR_INVALID;
    Enumerator* e = nullptr;
    int32_t rc = CreateEnumerator(&e);
    if (rc != XR_SUCCESS) return rc;
    rc = static_cast<Collection*>(o)->AddEnumerator(e);
    if (rc == XR_SUCCESS) {
        e->Attach(o);
        result->SetObject(e);
    }
    e->Release();
    return rc;
}

// The "beforeEnumeratorDestroyed" member of a collection: the enumerator leaves its list.
template <class Collection> int32_t CollectionEnumeratorDestroyed(XObject* o, int argc, XArgList* args, XVariant*) {
    if (!o) return XR_INVALID;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    RefPtr<XObject> e = ArgObject(args, 0);
    if (!e) return XR_INVALID;
    static_cast<Collection*>(o)->RemoveEnumerator(e.get());
    return XR_SUCCESS;
}

// Each enumerator still listed loses its collection; it leaves the list first.
template <class Enumerator> void DetachEnumerators(PtrVector<Enumerator*>& enumerators) {
    while (!enumerators.empty()) {
        Enumerator* e = enumerators.Back();
        enumerators.PopBack();
        e->Attach(nullptr);
    }
}

} // namespace NUBO
