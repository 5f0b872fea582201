#include "runtime/live_array.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_object_internal.h"

namespace NUBO {

namespace {

XCollectionListeners* RecordOf(XObject* object) {
    return static_cast<XLiveArray*>(object)->GetListeners();
}

// The record and the listener argument (with a reference) of addListener and removeListener.
int32_t ListenerArgs(XObject* object, int argc, XArgList* args, XCollectionListeners** record, XObject** listener) {
    if (!object) return XR_INVALID;
    *record = RecordOf(object);
    if (!*record) return XR_FAIL;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    VariantToXObject(listener, args->GetArg(0));
    return *listener ? XR_SUCCESS : XR_INVALID;
}

int32_t AddListener(XObject* object, int argc, XArgList* args, XVariant*) {
    XCollectionListeners* record = nullptr;
    XObject* listener = nullptr;
    int32_t rc = ListenerArgs(object, argc, args, &record, &listener);
    if (rc != XR_SUCCESS) return rc;
    auto* entry = new (std::nothrow) XCollectionListeners::Entry{listener, XVariant(*args->GetArg(1))};
    if (!entry || !record->listeners.PushBack(entry)) {
        delete entry;
        listener->Release();
        return XR_OUT_OF_MEMORY;
    }
    return XR_SUCCESS;
}

int32_t RemoveListener(XObject* object, int argc, XArgList* args, XVariant*) {
    XCollectionListeners* record = nullptr;
    XObject* listener = nullptr;
    int32_t rc = ListenerArgs(object, argc, args, &record, &listener);
    if (rc != XR_SUCCESS) return rc;
    RefPtr<XObject> held(listener);
    bool found = false;
    for (size_t i = record->listeners.size(); i-- > 0;) {
        XCollectionListeners::Entry* e = record->listeners[i];
        if (e->listener != listener) continue;
        record->listeners.Erase(i);
        e->listener->Release();
        delete e;
        found = true;
    }
    return found ? XR_SUCCESS : XR_NOT_FOUND;
}

int32_t GetOwner(XObject* object, XVariant* result) {
    if (!object) return XR_NO_NATIVE_OBJECT;
    XCollectionListeners* record = RecordOf(object);
    if (!record) return XR_FAIL;
    result->SetObject(record->owner);
    return XR_SUCCESS;
}

int32_t SetOwner(XObject* object, const VARIANT* value) {
    if (!object) return XR_NO_NATIVE_OBJECT;
    XCollectionListeners* record = RecordOf(object);
    if (!record) return XR_FAIL;
    record->SetOwner(nullptr);
    if (!value || value->vt == VT_EMPTY || value->vt == VT_NULL) return XR_SUCCESS;
    if ((value->vt != VT_UNKNOWN && value->vt != VT_DISPATCH)) return XR_NOT_OBJECT;
    if (!value->punkVal) return XR_SUCCESS;
    XObject* owner = nullptr;
    int32_t rc = XObjectFromUnknown(value->punkVal, &owner);
    if (rc != XR_SUCCESS) return XR_NOT_OBJECT;
    record->owner = owner;
    return XR_SUCCESS;
}

const XMemberEntry kLiveArrayMembers[] = {
    XProtocol("ee://kestrum/basics/simpleLiveArray", 1),
    XProperty("collectionOwner", GetOwner, SetOwner),
    XMethod("addListener", AddListener),
    XMethod("removeListener", RemoveListener),
    XMemberEnd(),
};

} // namespace

XClassDescriptor XLiveArray::Descriptor = {"XLiveArray", 5, kLiveArrayMembers, &XArray::Descriptor, 0, {}};

XCollectionListeners::~XCollectionListeners() {
    SetOwner(nullptr);
    for (Entry* e : listeners) {
        e->listener->Release();
        delete e;
    }
    listeners.Clear();
}

void XCollectionListeners::SetOwner(XObject* next) {
    XObject* old = owner;
    owner = nullptr;
    if (old) {
        XObject::CallMethod1NoResult(old, u"beforeCollectionDestroyed", XVariant(collection));
        old->Release();
    }
    owner = next;
    if (next) next->AddRef();
}

int32_t XLiveArray::Initialize() {
    listeners = new (std::nothrow) XCollectionListeners(this);
    return listeners ? XR_SUCCESS : XR_OUT_OF_MEMORY;
}

void XLiveArray::OnBeforeDestroy() {
    XCollectionListeners* record = listeners;
    listeners = nullptr;
    delete record;
    XArray::OnBeforeDestroy();
}

void XLiveArray::OnModified(int kind, int index, int countChanged) {
    if (NotificationsOn() && listeners && !listeners->listeners.empty()) {
        // Listeners may add or remove listeners while they are told: tell the ones listed now.
        size_t n = listeners->listeners.size();
        auto** told = new (std::nothrow) XCollectionListeners::Entry*[n];
        if (told) {
            for (size_t i = 0; i < n; ++i) {
                XCollectionListeners::Entry* e = listeners->listeners[i];
                told[i] = new (std::nothrow) XCollectionListeners::Entry{e->listener, e->context};
                if (told[i]) told[i]->listener->AddRef();
            }
            RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
            XVariant self;
            self.SetObject(this);
            for (size_t i = 0; i < n; ++i) {
                if (!told[i]) continue;
                XObject::CallMethod4NoResult(told[i]->listener, u"onArrayModified", self, XVariant(kind),
                                             XVariant(index), told[i]->context);
                told[i]->listener->Release();
                delete told[i];
            }
            delete[] told;
        }
    }
    XArray::OnModified(kind, index, countChanged);
}

int32_t CreateXLiveArray(XObject** out) {
    return CreateInitialized<XLiveArray>(out);
}

} // namespace NUBO
