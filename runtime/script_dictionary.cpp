#include "runtime/script_dictionary.h"

#include <new>

#include "runtime/enumerator.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_array.h"
#include "runtime/script_object_internal.h"
#include "runtime/typed_value_xml.h"

namespace NUBO {

namespace {

XDictionary* Self(XObject* object) {
    return static_cast<XDictionary*>(object);
}

// Any script object read as a dictionary through its allKeys, valueForKey and setValueForKey.
struct DictionaryView {
    XObject* target;

    int32_t Keys(RefPtr<XObject>* out, int* count) {
        *count = 0;
        if (!target) return XR_NO_NATIVE_OBJECT;
        XVariant all;
        int32_t rc = XObject::CallMethod0(target, u"allKeys", &all);
        if (rc != XR_SUCCESS) return rc;
        XObject* keys = nullptr;
        rc = all.GetXObject(&keys);
        if (rc != XR_SUCCESS || !keys) return rc == XR_SUCCESS ? XR_INVALID : rc;
        *out = RefPtr<XObject>(keys);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(keys, &view); opened != XR_SUCCESS) return opened;
        return view->GetCount(count);
    }

    int32_t ValueForKey(const VARIANT& key, XVariant* out) {
        if (!target) return XR_NO_NATIVE_OBJECT;
        XVariant text(key.vt == VT_BSTR ? static_cast<const XVariant&>(key).GetStringPtr() : u"");
        return XObject::CallMethod1(target, u"valueForKey", text, out);
    }
};

} // namespace

struct XDictionaryMethods {
    static int32_t SetValueForKey(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        XArgString key(args->GetArg(1));
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return o->SetPropertyByName(key, args->GetArg(0));
    }

    static int32_t ValueForKey(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        XArgString key(args->GetArg(0));
        return o->GetPropertyByName(key, result);
    }

    static int32_t RemoveValueForKey(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        XArgString key(args->GetArg(0));
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return o->DeleteMember(key);
    }

    static int32_t RemoveValuesForKeys(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> keys = ArgObject(args, 0);
        if (!keys) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(keys.get(), &view); opened != XR_SUCCESS) return opened;
        int n = 0;
        int32_t rc = view->GetCount(&n);
        if (rc != XR_SUCCESS) return rc;
        for (int i = 0; i < n; ++i) {
            XVariant key;
            if (view->GetValue(i, &key) != XR_SUCCESS) continue;
            XArgString text(&key);
            if (Self(o)->entries.Find(text.Get())) o->DeleteMember(text);
        }
        return XR_SUCCESS;
    }

    static int32_t RemoveAllValues(XObject* o, int, XArgList*, XVariant*) {
        if (!o) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        Self(o)->RemoveAll();
        return XR_SUCCESS;
    }

    static int32_t AddEntries(XDictionary* d, XObject* source) {
        DictionaryView view{source};
        RefPtr<XObject> keys;
        int n = 0;
        int32_t rc = view.Keys(&keys, &n);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XArrayAccess> keyView;
        if (int32_t opened = OpenArrayAccess(keys.get(), &keyView); opened != XR_SUCCESS) return opened;
        for (int i = 0; i < n; ++i) {
            XVariant key, value;
            if (keyView->GetValue(i, &key) != XR_SUCCESS) continue;
            if (view.ValueForKey(key, &value) != XR_SUCCESS) continue;
            const WCHAR* text = key.vt == VT_BSTR ? key.GetStringPtr() : u"";
            rc = d->SetPropertyByName(text, &value);
            if (rc != XR_SUCCESS) return rc;
        }
        return XR_SUCCESS;
    }

    static int32_t AddEntriesFromDictionary(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return AddEntries(Self(o), source.get());
    }

    static int32_t SetDictionary(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        if (source.get() == o) return XR_SUCCESS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        XDictionary* d = Self(o);
        d->notificationsOn = false;
        d->RemoveAll();
        int32_t rc = AddEntries(d, source.get());
        d->notificationsOn = true;
        d->OnModified(kDictionaryReset, u"");
        return rc;
    }

    static int32_t AllKeys(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        XArray* keys = nullptr;
        int32_t rc = Self(o)->KeysArray(&keys);
        if (rc != XR_SUCCESS) return rc;
        result->SetObject(keys);
        keys->Release();
        return XR_SUCCESS;
    }

    static int32_t AllKeysForValue(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        XArray* keys = nullptr;
        int32_t rc = CreateXArray(&keys);
        if (rc != XR_SUCCESS) return rc;
        const VARIANT& value = *args->GetArg(0);
        for (auto& node : Self(o)->entries) {
            if (!XVariant::Equals(*node.value, value)) continue;
            rc = keys->AddValue(XVariant(node.key));
            if (rc != XR_SUCCESS) break;
        }
        if (rc == XR_SUCCESS) result->SetObject(keys);
        keys->Release();
        return rc;
    }

    static int32_t AllValues(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        XArray* values = nullptr;
        int32_t rc = CreateXArray(&values);
        if (rc != XR_SUCCESS) return rc;
        for (auto& node : Self(o)->entries) {
            rc = values->AddValue(*node.value);
            if (rc != XR_SUCCESS) break;
        }
        if (rc == XR_SUCCESS) result->SetObject(values);
        values->Release();
        return rc;
    }

    static int32_t IsEqualToDictionary(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> other = ArgObject(args, 0);
        if (!other) return XR_INVALID;
        if (other.get() == o) {
            *result = true;
            return XR_SUCCESS;
        }
        DictionaryView view{other.get()};
        RefPtr<XObject> keys;
        int n = 0;
        int32_t rc = view.Keys(&keys, &n);
        if (rc != XR_SUCCESS) return rc;
        bool equal = n == Self(o)->Count();
        RefPtr<XArrayAccess> keyView;
        if (int32_t opened = OpenArrayAccess(keys.get(), &keyView); opened != XR_SUCCESS) return opened;
        for (int i = 0; equal && i < n; ++i) {
            XVariant key, theirs, mine;
            equal = keyView->GetValue(i, &key) == XR_SUCCESS && view.ValueForKey(key, &theirs) == XR_SUCCESS &&
                    o->GetPropertyByName(key.vt == VT_BSTR ? key.GetStringPtr() : u"", &mine) == XR_SUCCESS;
            if (!equal) break;
            equal = ElementsEqual(mine, theirs);
        }
        *result = equal;
        return XR_SUCCESS;
    }

    static int32_t ValuesForKeysWithNotFoundMarker(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> keys = ArgObject(args, 0);
        if (!keys) return XR_INVALID;
        const VARIANT& marker = *args->GetArg(1);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(keys.get(), &view); opened != XR_SUCCESS) return opened;
        int n = 0;
        int32_t rc = view->GetCount(&n);
        if (rc != XR_SUCCESS) return rc;
        XArray* values = nullptr;
        rc = CreateXArray(&values);
        if (rc != XR_SUCCESS) return rc;
        for (int i = 0; rc == XR_SUCCESS && i < n; ++i) {
            XVariant key, value;
            bool found = view->GetValue(i, &key) == XR_SUCCESS;
            if (found) {
                XArgString text(&key);
                found = o->GetPropertyByName(text, &value) == XR_SUCCESS;
            }
            rc = values->AddValue(found ? static_cast<const VARIANT&>(value) : marker);
        }
        if (rc == XR_SUCCESS) result->SetObject(values);
        values->Release();
        return rc;
    }

    static int32_t GetXmlString(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        XDictionary* d = Self(o);
        int n = d->Count();
        auto* keys = new (std::nothrow) TWString[size_t(n) + 1];
        auto* values = new (std::nothrow) VARIANT[size_t(n) + 1];
        int32_t rc = XR_OUT_OF_MEMORY;
        if (keys && values) {
            int i = 0;
            for (auto& node : d->entries) {
                keys[i] = node.key;
                values[i] = *node.value; // borrowed for the call
                ++i;
            }
            TWString text;
            rc = WriteTypedDictionaryXml(keys, values, n, &text);
            if (rc == XR_SUCCESS) *result = text;
        }
        delete[] keys;
        delete[] values;
        return rc;
    }

    static int32_t GetDynPropertyCount(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        *result = unsigned(Self(o)->Count());
        return XR_SUCCESS;
    }

    static int32_t GetDynPropertyNameByIndex(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        int index = args->GetArg(0)->ToInt32();
        if (index < 0 || index >= Self(o)->Count()) return XR_BEFORE_START;
        for (auto& node : Self(o)->entries) {
            if (index-- == 0) {
                *result = node.key;
                break;
            }
        }
        return XR_SUCCESS;
    }
};

namespace {

using M = XDictionaryMethods;

const XMemberEntry kDictionaryMembers[] = {
    XProtocol("ee://kestrum/basics/dictionary", 2),
    XProtocol("ee://kestrum/basics/simpleDictionary", 1),
    XMethod("addEntriesFromDictionary", M::AddEntriesFromDictionary),
    XMethod("setValueForKey", M::SetValueForKey),
    XMethod("removeAllValues", M::RemoveAllValues),
    XMethod("removeValueForKey", M::RemoveValueForKey),
    XMethod("removeValuesForKeys", M::RemoveValuesForKeys),
    XMethod("setDictionary", M::SetDictionary),
    XMethod("allKeys", M::AllKeys),
    XMethod("allKeysForValue", M::AllKeysForValue),
    XMethod("allValues", M::AllValues),
    XMethod("isEqualToDictionary", M::IsEqualToDictionary),
    XMethod("valueForKey", M::ValueForKey),
    XMethod("valuesForKeysWithNotFoundMarker", M::ValuesForKeysWithNotFoundMarker),
    XMethod("toXML", XArray::StreamStub),
    XMethod("fromXML", XArray::StreamStub),
    XMethod("toJSON", XArray::StreamStub),
    XMethod("writeJSONStream", XArray::StreamStub),
    XMethod("getXmlString", M::GetXmlString),
    XMethod("fromJSON", XArray::StreamStub),
    XMethod("getEnumerator", GetCollectionEnumerator<XDictionary, XDictionaryEnumerator>),
    XMethod("beforeEnumeratorDestroyed", CollectionEnumeratorDestroyed<XDictionary>),
    XMethod("getDynPropertyCount", M::GetDynPropertyCount),
    XMethod("getDynPropertyNameByIndex", M::GetDynPropertyNameByIndex),
    XMemberEnd(),
};

} // namespace

XClassDescriptor XDictionary::Descriptor = {"XDictionary",
                                            int(sizeof kDictionaryMembers / sizeof kDictionaryMembers[0]),
                                            kDictionaryMembers,
                                            &XObject::Descriptor,
                                            0,
                                            {}};

XDictionary::~XDictionary() {
    FreeEntries();
}

void XDictionary::FreeEntries() {
    for (auto& node : entries)
        delete node.value;
    entries.ClearNodes();
}

int32_t XDictionary::GetPropertyByName(const WCHAR* key, XVariant* out) {
    if (!key || !out) return XR_INVALID;
    auto* node = entries.Find(key);
    if (!node) return XR_NO_PROPERTY;
    *out = *node->value;
    return XR_SUCCESS;
}

int32_t XDictionary::SetPropertyByName(const WCHAR* key, const VARIANT* value) {
    if (!key || !value) return XR_INVALID;
    auto* copy = new (std::nothrow) XVariant;
    if (!copy) return XR_FAIL;
    if (FAILED(VariantCopy(copy, value))) {
        delete copy;
        return XR_FAIL;
    }
    if (auto* node = entries.Find(key)) {
        delete node->value;
        node->value = copy;
    } else {
        entries.Insert(key, copy);
    }
    OnModified(kDictionarySet, key);
    return XR_SUCCESS;
}

int32_t XDictionary::DeleteMember(const WCHAR* key) {
    if (!key) return XR_INVALID;
    if (!entries.Find(key)) return XR_NO_PROPERTY;
    // The key may be the text of the entry itself: keep a copy for the notifications.
    TWString name(key);
    OnModified(kDictionaryAboutToRemove, name.GetString());
    if (auto* node = entries.Find(name)) {
        delete node->value;
        entries.Erase(name);
    }
    OnModified(kDictionaryRemoved, name.GetString());
    return XR_SUCCESS;
}

int32_t XDictionary::HasDynamicProperty(const WCHAR* key, bool* out) {
    if (!out) return XR_INVALID;
    *out = key && entries.Find(key);
    return XR_SUCCESS;
}

void XDictionary::OnBeforeDestroy() {
    notificationsOn = false;
    DetachEnumerators(enumerators);
    FreeEntries();
    XObject::OnBeforeDestroy();
}

void XDictionary::OnModified(int kind, const WCHAR* key) {
    if (!notificationsOn) return;
    for (size_t i = 0; i < enumerators.size(); ++i)
        enumerators[i]->OnDictionaryModified(kind, key);
}

void XDictionary::RemoveAll() {
    FreeEntries();
    OnModified(kDictionaryReset, u"");
}

int32_t XDictionary::AddEnumerator(XDictionaryEnumerator* enumerator) {
    return enumerators.PushBack(enumerator) ? XR_SUCCESS : XR_OUT_OF_MEMORY;
}

void XDictionary::RemoveEnumerator(XObject* enumerator) {
    for (size_t i = 0; i < enumerators.size(); ++i) {
        if (static_cast<XObject*>(enumerators[i]) == enumerator) {
            enumerators.Erase(i);
            return;
        }
    }
}

int32_t XDictionary::SetValueForKey(const VARIANT* value, const WCHAR* key) {
    RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
    return SetPropertyByName(key, value);
}

int32_t XDictionary::AllKeys(XArrayAccess** out) {
    if (!out) return XR_INVALID;
    XArray* keys = nullptr;
    int32_t rc = KeysArray(&keys);
    *out = keys;
    return rc;
}

int32_t XDictionary::KeysArray(XArray** out) {
    *out = nullptr;
    XArray* keys = nullptr;
    int32_t rc = CreateXArray(&keys);
    if (rc != XR_SUCCESS) return rc;
    for (auto& node : entries) {
        rc = keys->AddValue(XVariant(node.key));
        if (rc != XR_SUCCESS) {
            keys->Release();
            return rc;
        }
    }
    *out = keys;
    return XR_SUCCESS;
}

int32_t CreateXDictionary(XObject** out) {
    return CreateInitialized<XDictionary>(out);
}

} // namespace NUBO
