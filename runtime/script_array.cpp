#include "runtime/script_array.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/enumerator.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_object_internal.h"
#include "runtime/stream_adapter.h"
#include "runtime/typed_value_xml.h"

namespace NUBO {

namespace {

XArray* Self(XObject* object) {
    return static_cast<XArray*>(object);
}

int32_t SetNewArray(XArray* array, XVariant* result) {
    result->SetObject(array);
    array->Release();
    return XR_SUCCESS;
}

} // namespace

// The script members, with access to the array's storage.
struct XArrayMethods {
    static bool InRange(XArray* a, int i) { return i >= 0 && i < a->count; }

    static int32_t CheckRange(XArray* a, int first, int last) {
        if (!InRange(a, first) || !InRange(a, last)) return XR_BEFORE_START;
        if (last < first) return XR_INVALID;
        return XR_SUCCESS;
    }

    static int32_t GetValueAt(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        int row = args->GetArg(0)->ToInt32(), column = args->GetArg(1)->ToInt32();
        XArray* a = Self(o);
        if (row != 1 || column < 1 || column > a->count) return XR_INVALID;
        return ResultFromHResult(VariantCopy(result, &a->items[column - 1]));
    }

    static int32_t GetColumnCount(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        *result = Self(o)->count;
        return XR_SUCCESS;
    }

    static int32_t GetRowCount(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        *result = 1;
        return XR_SUCCESS;
    }

    static int IndexOf(XArray* a, const VARIANT& v, int first, int last) {
        for (int i = first; i <= last; ++i)
            if (XVariant::Equals(a->items[i], v)) return i;
        return -1;
    }

    static int32_t ContainsValue(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        *result = IndexOf(Self(o), *args->GetArg(0), 0, Self(o)->count - 1) >= 0;
        return XR_SUCCESS;
    }

    static int32_t IndexOfKey(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        XArgString key(args->GetArg(0));
        XArgString value(args->GetArg(1));
        XArray* a = Self(o);
        int found = -1;
        for (int i = 0; i < a->count && found < 0; ++i) {
            const XVariant& item = static_cast<const XVariant&>(a->items[i]);
            if (key.GetLength() == 0) {
                if (wcscmp(item.ToString().GetString(), value.GetString()) == 0) found = i;
                continue;
            }
            if (!IsObjectValue(item)) continue;
            RefPtr<XObject> element(item.ToXObject());
            XVariant property;
            if (element && element->GetPropertyByName(key, &property) == XR_SUCCESS &&
                wcscmp(property.ToString().GetString(), value.GetString()) == 0)
                found = i;
        }
        *result = found;
        return XR_SUCCESS;
    }

    static int32_t IndexOfValue(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        *result = IndexOf(Self(o), *args->GetArg(0), 0, Self(o)->count - 1);
        return XR_SUCCESS;
    }

    static int32_t IndexOfValueInRange(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 3) return XR_TOO_FEW_ARGS;
        int first = args->GetArg(1)->ToInt32(), last = args->GetArg(2)->ToInt32();
        int32_t rc = CheckRange(Self(o), first, last);
        if (rc != XR_SUCCESS) return rc;
        *result = IndexOf(Self(o), *args->GetArg(0), first, last);
        return XR_SUCCESS;
    }

    static int32_t IsEqualToArray(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> other = ArgObject(args, 0);
        if (!other) return XR_INVALID;
        XArray* a = Self(o);
        if (other.get() == o) {
            *result = true;
            return XR_SUCCESS;
        }
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(other.get(), &view); opened != XR_SUCCESS) return opened;
        int n = 0;
        int32_t rc = view->GetCount(&n);
        if (rc != XR_SUCCESS) return rc;
        bool equal = n == a->count;
        for (int i = 0; equal && i < n; ++i) {
            XVariant theirs;
            if (view->GetValue(i, &theirs) != XR_SUCCESS) {
                equal = false;
                break;
            }
            equal = ElementsEqual(static_cast<const XVariant&>(a->items[i]), theirs);
        }
        *result = equal;
        return XR_SUCCESS;
    }

    static int32_t LastValue(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        XArray* a = Self(o);
        if (a->count == 0) return XR_FAIL;
        return ResultFromHResult(VariantCopy(result, &a->items[a->count - 1]));
    }

    static int32_t ValueAtIndex(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        return Self(o)->GetValueAt(args->GetArg(0)->ToInt32(), result);
    }

    static int32_t SetValue(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return Self(o)->ReplaceValue(args->GetArg(0)->ToInt32(), *args->GetArg(1));
    }

    static int32_t SubarrayWithRange(XObject* o, int argc, XArgList* args, XVariant* result) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        XArray* range = nullptr;
        int32_t rc = Self(o)->GetRange(args->GetArg(0)->ToInt32(), args->GetArg(1)->ToInt32(), &range);
        if (rc != XR_SUCCESS) return rc;
        return SetNewArray(range, result);
    }

    // A new array holding copies of every value.
    static int32_t CopyOf(XArray* a, XArray** out) {
        return a->count ? a->GetRange(0, a->count - 1, out) : CreateXArray(out);
    }

    // The source of an operation that changes `a` while reading it: a copy when the source is `a`
    // itself, since its values shift as others go in.
    static int32_t StableSource(XArray* a, RefPtr<XObject>* source) {
        if (source->get() != static_cast<XObject*>(a)) return XR_SUCCESS;
        XArray* copy = nullptr;
        int32_t rc = CopyOf(a, &copy);
        if (rc == XR_SUCCESS) *source = RefPtr<XObject>(copy);
        return rc;
    }

    static int32_t GetXArray(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        XArray* copy = nullptr;
        int32_t rc = CopyOf(Self(o), &copy);
        if (rc != XR_SUCCESS) return rc;
        return SetNewArray(copy, result);
    }

    static int32_t AddValue(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return Self(o)->AddValue(*args->GetArg(0));
    }

    static int32_t AppendFrom(XArray* a, XArrayAccess* source) {
        int n = 0;
        int32_t rc = source->GetCount(&n);
        for (int i = 0; rc == XR_SUCCESS && i < n; ++i) {
            XVariant v;
            rc = source->GetValue(i, &v);
            if (rc == XR_SUCCESS) rc = a->AddValue(v);
        }
        return rc;
    }

    static int32_t AddValuesFromXArray(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        XArray* source = nullptr;
        if (XArrayFromVariant(args->GetArg(0), &source) != XR_SUCCESS || !source) return XR_INVALID;
        RefPtr<XArray> held(source);
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return AppendFrom(Self(o), source);
    }

    static int32_t AddValuesFromArray(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        return AppendFrom(Self(o), view.get());
    }

    static int32_t ExchangeValuesAtIndex(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        XArray* a = Self(o);
        int i = args->GetArg(0)->ToInt32(), j = args->GetArg(1)->ToInt32();
        if (!InRange(a, i) || !InRange(a, j)) return XR_BEFORE_START;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        VARIANT t = a->items[i];
        a->items[i] = a->items[j];
        a->items[j] = t;
        a->OnModified(kArrayReplaced, i, 1);
        a->OnModified(kArrayReplaced, j, 1);
        return XR_SUCCESS;
    }

    static int32_t InsertValueAtIndex(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return Self(o)->InsertValue(args->GetArg(1)->ToInt32(), *args->GetArg(0));
    }

    // Inserts every value of `source` before `index`, last first, so the block keeps its order.
    static int32_t InsertFrom(XArray* a, XArrayAccess* source, int index) {
        if (index < 0 || index > a->count) return XR_BEFORE_START;
        int n = 0;
        int32_t rc = source->GetCount(&n);
        for (int i = n - 1; rc == XR_SUCCESS && i >= 0; --i) {
            XVariant v;
            rc = source->GetValue(i, &v);
            if (rc == XR_SUCCESS) rc = a->InsertValue(index, v);
        }
        return rc;
    }

    static int32_t InsertArrayAtIndex(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        int32_t rc = StableSource(Self(o), &source);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        return InsertFrom(Self(o), view.get(), args->GetArg(1)->ToInt32());
    }

    static int32_t InsertXArrayAtIndex(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        XArray* source = nullptr;
        if (XArrayFromVariant(args->GetArg(0), &source) != XR_SUCCESS || !source) return XR_INVALID;
        RefPtr<XObject> held(source);
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        int32_t rc = StableSource(Self(o), &held);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(held.get(), &view); opened != XR_SUCCESS) return opened;
        return InsertFrom(Self(o), view.get(), args->GetArg(1)->ToInt32());
    }

    static int32_t RemoveAllValues(XObject* o, int, XArgList*, XVariant*) {
        if (!o) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        Self(o)->RemoveAll();
        return XR_SUCCESS;
    }

    static int32_t RemoveLastValue(XObject* o, int, XArgList*, XVariant*) {
        if (!o) return XR_INVALID;
        XArray* a = Self(o);
        if (a->count == 0) return XR_FAIL;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return a->RemoveValueAt(a->count - 1);
    }

    static void RemoveEqual(XArray* a, const VARIANT& v, int first, int last) {
        for (int i = last; i >= first; --i)
            if (i < a->count && XVariant::Equals(a->items[i], v)) a->RemoveValueAt(i);
    }

    static int32_t RemoveValue(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        XVariant value(*args->GetArg(0));
        RemoveEqual(Self(o), value, 0, Self(o)->count - 1);
        return XR_SUCCESS;
    }

    static int32_t RemoveValueInRange(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 3) return XR_TOO_FEW_ARGS;
        int first = args->GetArg(1)->ToInt32(), last = args->GetArg(2)->ToInt32();
        int32_t rc = CheckRange(Self(o), first, last);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        XVariant value(*args->GetArg(0));
        RemoveEqual(Self(o), value, first, last);
        return XR_SUCCESS;
    }

    static int32_t RemoveValueAtIndex(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        return Self(o)->RemoveValueAt(args->GetArg(0)->ToInt32());
    }

    static int32_t RemoveValuesInArray(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        int n = 0;
        if (view->GetCount(&n) != XR_SUCCESS) return XR_FAIL;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        XArray* a = Self(o);
        for (int i = a->count - 1; i >= 0; --i) {
            for (int j = 0; j < n; ++j) {
                XVariant v;
                if (i < a->count && view->GetValue(j, &v) == XR_SUCCESS && XVariant::Equals(a->items[i], v)) {
                    a->RemoveValueAt(i);
                    break;
                }
            }
        }
        return XR_SUCCESS;
    }

    // Notifies (4, i) for the whole block, removes it, then (3, i) for each.
    static void RemoveBlock(XArray* a, int first, int last) {
        for (int i = first; i <= last; ++i)
            a->OnModified(kArrayAboutToRemove, i, 1);
        // A listener may have shrunk the array meanwhile.
        if (last >= a->count) last = a->count - 1;
        if (first > last) return;
        for (int i = first; i <= last; ++i)
            VariantClear(&a->items[i]);
        int n = last - first + 1;
        std::memmove(static_cast<void*>(a->items + first), a->items + last + 1,
                     sizeof(VARIANT) * size_t(a->count - last - 1));
        a->count -= n;
        for (int i = first; i <= last; ++i)
            a->OnModified(kArrayRemoved, i, 1);
    }

    static int32_t RemoveValuesInRange(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        int first = args->GetArg(0)->ToInt32(), last = args->GetArg(1)->ToInt32();
        XArray* a = Self(o);
        if (last < first) return XR_INVALID;
        if (!InRange(a, first) || !InRange(a, last)) return XR_BEFORE_START;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        RemoveBlock(a, first, last);
        return XR_SUCCESS;
    }

    static int32_t CheckReplaceRange(XArray* a, int first, int last) {
        return !InRange(a, first) || !InRange(a, last) || last < first ? XR_BEFORE_START : XR_SUCCESS;
    }

    static int32_t ReplaceValuesInRange(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 3) return XR_TOO_FEW_ARGS;
        XArray* a = Self(o);
        int first = args->GetArg(0)->ToInt32(), last = args->GetArg(1)->ToInt32();
        int32_t rc = CheckReplaceRange(a, first, last);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XObject> source = ArgObject(args, 2);
        if (!source) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        rc = StableSource(a, &source);
        if (rc != XR_SUCCESS) return rc;
        RemoveBlock(a, first, last);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        return InsertFrom(a, view.get(), first);
    }

    static int32_t ReplaceValuesFromRange(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 5) return XR_TOO_FEW_ARGS;
        XArray* a = Self(o);
        int first = args->GetArg(0)->ToInt32(), last = args->GetArg(1)->ToInt32();
        int32_t rc = CheckReplaceRange(a, first, last);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XObject> source = ArgObject(args, 2);
        int sourceFirst = args->GetArg(3)->ToInt32(), sourceLast = args->GetArg(4)->ToInt32();
        if (!source || sourceLast < sourceFirst) return XR_INVALID;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        XArray* block = nullptr;
        rc = view->GetRange(sourceFirst, sourceLast, &block);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XArray> held(block);
        RemoveBlock(a, first, last);
        return InsertFrom(a, block, first);
    }

    static int32_t SetArray(XObject* o, int argc, XArgList* args, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 1) return XR_TOO_FEW_ARGS;
        RefPtr<XObject> source = ArgObject(args, 0);
        if (!source) return XR_INVALID;
        if (source.get() == o) return XR_SUCCESS;
        RefPtr<XObject> hold = RefPtr<XObject>::ref(o);
        XArray* a = Self(o);
        a->ClearItems();
        a->notificationsOn = false;
        RefPtr<XArrayAccess> view;
        if (int32_t opened = OpenArrayAccess(source.get(), &view); opened != XR_SUCCESS) return opened;
        int32_t rc = AppendFrom(a, view.get());
        a->notificationsOn = true;
        a->OnModified(kArrayReset, -1, 0);
        return rc;
    }

    static int32_t Sort(XObject* o, int argc, XArgList*, XVariant*) {
        if (!o) return XR_INVALID;
        if (argc < 2) return XR_TOO_FEW_ARGS;
        return XR_NOT_IMPLEMENTED;
    }

    static int32_t GetXmlString(XObject* o, int, XArgList*, XVariant* result) {
        if (!o) return XR_INVALID;
        TWString text;
        int32_t rc = WriteTypedArrayXml(Self(o)->items, Self(o)->count, &text);
        if (rc == XR_SUCCESS) *result = text;
        return rc;
    }

    static int32_t GetCountProperty(XObject* o, XVariant* result) {
        if (!o) return XR_NO_NATIVE_OBJECT;
        *result = Self(o)->count;
        return XR_SUCCESS;
    }
};

namespace {

using M = XArrayMethods;

const XMemberEntry kArrayMembers[] = {
    XProtocol("ee://kestrum/basics/array", 2),
    XProtocol("ee://kestrum/basics/simpleArray", 1),
    XProtocol("EETableSource", 1),
    XMethod("getValueAt", M::GetValueAt),
    XMethod("getColumnCount", M::GetColumnCount),
    XMethod("getRowCount", M::GetRowCount),
    XMethod("containsValue", M::ContainsValue),
    XMethod("indexOfKey", M::IndexOfKey),
    XMethod("indexOfValue", M::IndexOfValue),
    XMethod("indexOfValueInRange", M::IndexOfValueInRange),
    XMethod("isEqualToArray", M::IsEqualToArray),
    XMethod("lastValue", M::LastValue),
    XMethod("valueAtIndex", M::ValueAtIndex),
    XMethod("getValue", M::ValueAtIndex),
    XMethod("setValue", M::SetValue),
    XMethod("subarrayWithRange", M::SubarrayWithRange),
    XMethod("addValue", M::AddValue),
    XMethod("addValuesFromXArray", M::AddValuesFromXArray),
    XMethod("addValuesFromArray", M::AddValuesFromArray),
    XMethod("exchangeValuesAtIndex", M::ExchangeValuesAtIndex),
    XMethod("insertValueAtIndex", M::InsertValueAtIndex),
    XMethod("insertArrayAtIndex", M::InsertArrayAtIndex),
    XMethod("insertXArrayAtIndex", M::InsertXArrayAtIndex),
    XMethod("removeAllValues", M::RemoveAllValues),
    XMethod("removeLastValue", M::RemoveLastValue),
    XMethod("removeValue", M::RemoveValue),
    XMethod("removeValueInRange", M::RemoveValueInRange),
    XMethod("removeValueAtIndex", M::RemoveValueAtIndex),
    XMethod("removeValuesInArray", M::RemoveValuesInArray),
    XMethod("removeValuesInRange", M::RemoveValuesInRange),
    XMethod("replaceValueAtIndex", M::SetValue),
    XMethod("sort", M::Sort),
    XMethod("replaceValuesInRange", M::ReplaceValuesInRange),
    XMethod("replaceValuesInRangeWithValuesFromArrayRange", M::ReplaceValuesFromRange),
    XMethod("setArray", M::SetArray),
    XMethod("getXArray", M::GetXArray),
    XMethod("getXArrayWithRange", M::SubarrayWithRange),
    XMethod("toXML", XArray::StreamStub),
    XMethod("fromXML", XArray::StreamStub),
    XMethod("toJSON", XArray::StreamStub),
    XMethod("writeJSONStream", XArray::OneArgStub),
    XMethod("getXmlString", M::GetXmlString),
    XMethod("fromJSON", XArray::StreamStub),
    XMethod("getEnumerator", GetCollectionEnumerator<XArray, XArrayEnumerator>),
    XMethod("beforeEnumeratorDestroyed", CollectionEnumeratorDestroyed<XArray>),
    XProperty("count", M::GetCountProperty, nullptr),
    XMemberEnd(),
};

} // namespace

XClassDescriptor XArray::Descriptor = {
    "XArray", int(sizeof kArrayMembers / sizeof kArrayMembers[0]), kArrayMembers, &XObject::Descriptor, 0, {}};

int32_t XArray::StreamStub(XObject* object, int argc, XArgList* args, XVariant*) {
    if (!object) return XR_INVALID;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    XStream* stream = nullptr;
    VariantToXStream(&stream, args->GetArg(0));
    if (stream) stream->Release();
    return XR_NOT_IMPLEMENTED;
}

int32_t XArray::OneArgStub(XObject* object, int argc, XArgList*, XVariant*) {
    if (!object) return XR_INVALID;
    if (argc < 1) return XR_TOO_FEW_ARGS;
    return XR_NOT_IMPLEMENTED;
}

XArray::~XArray() {
    ClearItems();
    std::free(items);
}

void XArray::ClearItems() {
    for (int i = 0; i < count; ++i)
        VariantClear(&items[i]);
    count = 0;
}

void XArray::OnBeforeDestroy() {
    DetachEnumerators(enumerators);
    XObject::OnBeforeDestroy();
}

int32_t XArray::Reserve(int needed) {
    if (needed <= capacity) return XR_SUCCESS;
    size_t grown = PtrVectorGrowth(size_t(capacity), size_t(needed), sizeof(VARIANT));
    if (grown == 0 || grown > size_t(INT32_MAX)) return XR_OUT_OF_MEMORY;
    auto* block = static_cast<VARIANT*>(std::realloc(static_cast<void*>(items), grown * sizeof(VARIANT)));
    if (!block) return XR_OUT_OF_MEMORY;
    items = block;
    capacity = int(grown);
    return XR_SUCCESS;
}

int32_t XArray::GetCount(int* out) {
    if (!out) return XR_INVALID;
    *out = count;
    return XR_SUCCESS;
}

int32_t XArray::GetValueAt(int index, XVariant* out) {
    if (!out) return XR_INVALID;
    if (index < 0 || index >= count) return XR_BEFORE_START;
    return ResultFromHResult(VariantCopy(out, &items[index]));
}

int32_t XArray::GetRange(int first, int last, XArray** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (first < 0 || first >= count || last < 0 || last >= count) return XR_BEFORE_START;
    if (last < first) return XR_INVALID;
    XArray* range = nullptr;
    if (CreateXArray(&range) != XR_SUCCESS) return XR_FAIL;
    int32_t rc = range->Reserve(last - first + 1);
    for (int i = first; rc == XR_SUCCESS && i <= last; ++i) {
        VariantInit(&range->items[range->count]);
        rc = ResultFromHResult(VariantCopy(&range->items[range->count], &items[i]));
        if (rc == XR_SUCCESS) ++range->count;
    }
    if (rc != XR_SUCCESS) {
        range->Release();
        return rc;
    }
    *out = range;
    return XR_SUCCESS;
}

int32_t XArray::AddValue(const VARIANT& value) {
    return InsertValue(count, value);
}

int32_t XArray::InsertValue(int index, const VARIANT& value) {
    if (index < 0 || index > count) return XR_BEFORE_START;
    VARIANT copy;
    VariantInit(&copy);
    int32_t rc = ResultFromHResult(VariantCopy(&copy, &value));
    if (rc != XR_SUCCESS) return rc;
    rc = Reserve(count + 1);
    if (rc != XR_SUCCESS) {
        VariantClear(&copy);
        return rc;
    }
    std::memmove(static_cast<void*>(items + index + 1), items + index, sizeof(VARIANT) * size_t(count - index));
    items[index] = copy;
    ++count;
    OnModified(kArrayInserted, index, 1);
    return XR_SUCCESS;
}

int32_t XArray::ReplaceValue(int index, const VARIANT& value) {
    if (index < 0 || index >= count) return XR_BEFORE_START;
    VARIANT copy;
    VariantInit(&copy);
    int32_t rc = ResultFromHResult(VariantCopy(&copy, &value));
    if (rc != XR_SUCCESS) return rc;
    VariantClear(&items[index]);
    items[index] = copy;
    OnModified(kArrayReplaced, index, 1);
    return XR_SUCCESS;
}

int32_t XArray::RemoveValueAt(int index) {
    if (index < 0 || index >= count) return XR_BEFORE_START;
    OnModified(kArrayAboutToRemove, index, 1);
    // A listener may have changed the array meanwhile.
    if (index >= count) return XR_BEFORE_START;
    VariantClear(&items[index]);
    std::memmove(static_cast<void*>(items + index), items + index + 1, sizeof(VARIANT) * size_t(count - index - 1));
    --count;
    OnModified(kArrayRemoved, index, 1);
    return XR_SUCCESS;
}

void XArray::RemoveAll() {
    ClearItems();
    OnModified(kArrayReset, -1, 0);
}

int32_t XArray::AddEnumerator(XArrayEnumerator* enumerator) {
    return enumerators.PushBack(enumerator) ? XR_SUCCESS : XR_OUT_OF_MEMORY;
}

void XArray::RemoveEnumerator(XObject* enumerator) {
    for (size_t i = enumerators.size(); i-- > 0;)
        if (static_cast<XObject*>(enumerators[i]) == enumerator) enumerators.Erase(i);
}

void XArray::OnModified(int kind, int index, int) {
    if (!notificationsOn) return;
    for (size_t i = 0; i < enumerators.size(); ++i)
        enumerators[i]->OnArrayModified(kind, index);
}

XArrayAdapter::XArrayAdapter(XObject* object) : target(object) {
    if (target) target->AddRef();
}

XArrayAdapter::~XArrayAdapter() {
    XObject* held = target;
    target = nullptr;
    if (held) held->Release();
}

int32_t XArrayAdapter::GetCount(int* out) {
    if (!out) return XR_INVALID;
    *out = 0;
    if (!target) return XR_NO_NATIVE_OBJECT;
    XVariant n;
    int32_t rc = target->GetPropertyByName(u"count", &n);
    if (rc != XR_SUCCESS) return rc;
    return n.GetInt32(out);
}

int32_t XArrayAdapter::GetValue(int index, XVariant* out) {
    if (!out) return XR_INVALID;
    if (!target) return XR_NO_NATIVE_OBJECT;
    return XObject::CallMethod1(target, u"getValue", XVariant(index), out);
}

int32_t XArrayAdapter::GetRange(int first, int last, XArray** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!target) return XR_NO_NATIVE_OBJECT;
    XVariant range;
    int32_t rc = XObject::CallMethod2(target, u"getXArrayWithRange", XVariant(first), XVariant(last), &range);
    if (rc != XR_SUCCESS) return rc;
    return XArrayFromVariant(&range, out);
}

int32_t XArrayAccessFor(XObject* object, XArrayAccess** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!object) return XR_INVALID;
    if (XObject::IsKindOf(object, &XArray::Descriptor)) {
        auto* array = static_cast<XArray*>(object);
        array->AddRef();
        *out = array;
        return XR_SUCCESS;
    }
    auto* adapter = new (std::nothrow) XArrayAdapter(object);
    if (!adapter) return XR_OUT_OF_MEMORY;
    adapter->AddRef();
    *out = adapter;
    return XR_SUCCESS;
}

int32_t CreateXArray(XArray** out) {
    return CreateInitialized<XArray>(out);
}

int32_t CreateXArray(XObject** out) {
    if (!out) return XR_INVALID;
    XArray* a = nullptr;
    int32_t rc = CreateXArray(&a);
    *out = a;
    return rc;
}

int32_t XArrayFromUnknown(IUnknown* unknown, XArray** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    XObject* object = nullptr;
    if (XObjectFromUnknown(unknown, &object) != XR_SUCCESS || !object) return XR_NOT_STREAM;
    if (!XObject::IsKindOf(object, &XArray::Descriptor)) {
        object->Release();
        return XR_NOT_STREAM;
    }
    *out = static_cast<XArray*>(object);
    return XR_SUCCESS;
}

int32_t XArrayFromVariant(const VARIANT* value, XArray** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!value || !IsObjectValue(*value)) return XR_NOT_OBJECT;
    if (!value->punkVal) return XR_SUCCESS;
    return XArrayFromUnknown(value->punkVal, out);
}

int32_t DeepEquals(XObject* a, XObject* b, bool* out) {
    if (!out) return XR_INVALID;
    *out = false;
    if (!a || !b) return XR_INVALID;
    bool yes = false;
    const WCHAR* method = nullptr;
    if (a->implementsProtocol(u"ee://kestrum/basics/array", 1, &yes) == XR_SUCCESS && yes)
        method = u"isEqualToArray";
    else if (a->implementsProtocol(u"ee://kestrum/basics/dictionary", 1, &yes) == XR_SUCCESS && yes)
        method = u"isEqualToDictionary";
    if (!method) {
        *out = a == b;
        return XR_SUCCESS;
    }
    XVariant result;
    int32_t rc = XObject::CallMethod1(a, method, XVariant(b), &result);
    if (rc == XR_SUCCESS) *out = result.ToBool();
    return rc;
}

} // namespace NUBO
