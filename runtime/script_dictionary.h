#pragma once
// XDictionary: the script-visible map from text keys to values. Its keys are also its dynamic
// properties; declared methods win over keys of the same name. Enumeration follows the map's
// bucket order, and changes are reported to live enumerators with the key.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/script_array.h"
#include "runtime/script_object.h"
#include "runtime/string_map.h"

namespace NUBO {

class XDictionaryEnumerator;

// Notification kinds of dictionaries.
constexpr int kDictionaryReset = 0;
constexpr int kDictionarySet = 1;
constexpr int kDictionaryRemoved = 2; // sent after the removal
constexpr int kDictionaryAboutToRemove = 3;

// Native access to a dictionary, counted like the dictionary itself.
class XDictionaryAccess {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual int32_t GetObject(XObject** out) = 0;
    // A copy of the key's value; 8 when absent.
    virtual int32_t GetValueForKey(const WCHAR* key, XVariant* out) = 0;
    virtual int32_t SetValueForKey(const VARIANT* value, const WCHAR* key) = 0;
    // A new array of the keys in enumeration order, seen through its access face, with a reference.
    virtual int32_t AllKeys(XArrayAccess** out) = 0;

protected:
    ~XDictionaryAccess() = default;
};

class XDictionary : public XObject, public XDictionaryAccess {
public:
    static XClassDescriptor Descriptor; // "XDictionary"

    XDictionary() = default;

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int GetDispatchFlags() override { return 3; }
    // Keys are taken as they stand: a dot does not make a path.
    int32_t GetPropertyByName(const WCHAR* key, XVariant* out) override;
    int32_t SetPropertyByName(const WCHAR* key, const VARIANT* value) override;
    int32_t DeleteMember(const WCHAR* key) override;
    int32_t HasDynamicProperty(const WCHAR* key, bool* out) override;
    void OnBeforeDestroy() override;

    // The access face forwards to the object.
    HRESULT QueryInterface(REFIID riid, void** out) override { return XObject::QueryInterface(riid, out); }
    ULONG AddRef() override { return XObject::AddRef(); }
    ULONG Release() override { return XObject::Release(); }
    int32_t GetObject(XObject** out) override { return XObject::GetObject(out); }
    int32_t GetValueForKey(const WCHAR* key, XVariant* out) override { return GetPropertyByName(key, out); }
    // Holds a reference while listeners hear of the change.
    int32_t SetValueForKey(const VARIANT* value, const WCHAR* key) override;
    int32_t AllKeys(XArrayAccess** out) override;

    virtual void OnModified(int kind, const WCHAR* key);

    int Count() const { return int(entries.Count()); }
    void RemoveAll();
    int32_t AddEnumerator(XDictionaryEnumerator* enumerator);
    void RemoveEnumerator(XObject* enumerator);

protected:
    ~XDictionary() override;

private:
    void FreeEntries();
    // A new XArray of the keys, in enumeration order.
    int32_t KeysArray(XArray** out);

    bool notificationsOn = true;
    oxStringMap<XVariant*> entries;
    PtrVector<XDictionaryEnumerator*> enumerators;

    friend struct XDictionaryMethods;
};

// A new XDictionary with one reference, initialised: 10 for a null out pointer, 18 when it cannot be made.
int32_t CreateXDictionary(XObject** out);

} // namespace NUBO
