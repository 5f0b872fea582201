#pragma once
// XArray: the script-visible ordered list of values. Every change is announced through OnModified,
// which moves live enumerators (and, in XLiveArray, tells script listeners). Methods that take an
// array accept an XArray or any script object with a "count" property and a "getValue" method.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/script_object.h"

namespace NUBO {

class XArray;
class XArrayEnumerator;

// Notification kinds of arrays.
constexpr int kArrayReset = 0;
constexpr int kArrayInserted = 1;
constexpr int kArrayReplaced = 2;
constexpr int kArrayRemoved = 3; // sent after the removal
constexpr int kArrayAboutToRemove = 4;

// Native read access to an array, counted like the object behind it: an XArray's own face, or an
// XArrayAdapter over any other script object.
class XArrayAccess {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual int32_t GetObject(XObject** out) = 0;
    virtual int32_t GetCount(int* out) = 0;
    virtual int32_t GetValue(int index, XVariant* out) = 0;
    // 13 for an index out of range.
    virtual int32_t GetValueAt(int index, XVariant* out) = 0;
    // A new array of copies of first..last inclusive: 13 for a bound out of range, 10 when last < first.
    virtual int32_t GetRange(int first, int last, XArray** out) = 0;

protected:
    ~XArrayAccess() = default;
};

// Array access to a script object that is no XArray, for the length of a call: its "count"
// property, its "getValue" method and its "getXArrayWithRange" method. Holds the object counted.
class XArrayAdapter final : public XObject, public XArrayAccess {
public:
    explicit XArrayAdapter(XObject* object);

    HRESULT QueryInterface(REFIID riid, void** out) override { return XObject::QueryInterface(riid, out); }
    ULONG AddRef() override { return XObject::AddRef(); }
    ULONG Release() override { return XObject::Release(); }
    int32_t GetObject(XObject** out) override { return XObject::GetObject(out); }

    // 92 without an object.
    int32_t GetCount(int* out) override;
    int32_t GetValue(int index, XVariant* out) override;
    int32_t GetValueAt(int index, XVariant* out) override { return GetValue(index, out); }
    // Only an XArray answer counts.
    int32_t GetRange(int first, int last, XArray** out) override;

protected:
    ~XArrayAdapter() override;

private:
    XObject* target;
};

class XArray : public XObject, public XArrayAccess {
public:
    static XClassDescriptor Descriptor; // "XArray"

    XArray() = default;

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    void OnBeforeDestroy() override;

    // The access face forwards to the object.
    HRESULT QueryInterface(REFIID riid, void** out) override { return XObject::QueryInterface(riid, out); }
    ULONG AddRef() override { return XObject::AddRef(); }
    ULONG Release() override { return XObject::Release(); }
    int32_t GetObject(XObject** out) override { return XObject::GetObject(out); }
    int32_t GetCount(int* out) override;
    int32_t GetValue(int index, XVariant* out) override { return GetValueAt(index, out); }
    int32_t GetValueAt(int index, XVariant* out) override;
    int32_t GetRange(int first, int last, XArray** out) override;

    int Count() const { return count; }
    const VARIANT* Items() const { return items; }

    // Appends a copy; notifies (1, new index).
    int32_t AddValue(const VARIANT& value);
    // Inserts a copy before `index` (0..count); notifies (1, index). The array is unchanged on failure.
    int32_t InsertValue(int index, const VARIANT& value);
    // Notifies (4, index), removes, notifies (3, index).
    int32_t RemoveValueAt(int index);
    int32_t ReplaceValue(int index, const VARIANT& value);
    // Removes everything; notifies (0, -1).
    void RemoveAll();
    int32_t AddEnumerator(XArrayEnumerator* enumerator);
    void RemoveEnumerator(XObject* enumerator);

    // Called after every change (before it, for kind 4): moves the enumerators.
    virtual void OnModified(int kind, int index, int countChanged);

    // Script methods shared with other collections: one stream argument, then "not implemented".
    static int32_t StreamStub(XObject* object, int argc, XArgList* args, XVariant* result);
    static int32_t OneArgStub(XObject* object, int argc, XArgList* args, XVariant* result);

protected:
    ~XArray() override;

    bool NotificationsOn() const { return notificationsOn; }
    void SetNotifications(bool on) { notificationsOn = on; }
    // Removes every element without telling anyone.
    void ClearItems();

private:
    int32_t Reserve(int needed);

    bool notificationsOn = true;
    VARIANT* items = nullptr;
    int count = 0;
    int capacity = 0;
    PtrVector<XArrayEnumerator*> enumerators;

    friend struct XArrayMethods;
};

// A new XArray with one reference, initialised: 10 for a null out pointer, 18 when it cannot be made.
int32_t CreateXArray(XObject** out);
int32_t CreateXArray(XArray** out);
// The native object when it is an XArray, with a reference; otherwise null and 89.
int32_t XArrayFromUnknown(IUnknown* unknown, XArray** out);
int32_t XArrayFromVariant(const VARIANT* value, XArray** out);
// Array access to any object, with a reference: an XArray's own face, otherwise a new adapter.
// 10 for a null argument, 18 when the adapter cannot be made.
int32_t XArrayAccessFor(XObject* object, XArrayAccess** out);

// Whether two objects hold equal contents: arrays and dictionaries by their own comparison, other
// objects by identity. 10 when either is null.
int32_t DeepEquals(XObject* a, XObject* b, bool* out);

} // namespace NUBO
