#pragma once
// Enumerators walk one array or dictionary with moveNext, current and reset, and survive changes
// of what they walk: the collection reports each change and the enumerator moves its position
// (arrays) or adjusts its snapshot of the keys (dictionaries). An enumerator holds its collection;
// the collection keeps an uncounted list of its enumerators and is told when one goes away.
#include <cstdint>
#include <new>

#include "runtime/script_object.h"
#include "runtime/script_variant.h"

namespace NUBO {

class XEnumerator : public XObject {
public:
    static XClassDescriptor Descriptor; // "XEnumerator"

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    void OnBeforeDestroy() override;

    // A copy of the current value; 1 when there is none.
    virtual int32_t GetCurrent(XVariant* out);
    virtual int32_t MoveNext(bool* out) = 0;
    virtual int32_t Reset();
    // Holds `collection` (null detaches) and starts over.
    virtual int32_t Attach(XObject* collection);
    virtual void ResetImpl();
    void ClearCurrent();

    int GetPosition() const { return position; }

protected:
    ~XEnumerator() override;

    int position = -1;
    XObject* collection = nullptr;
    XVariant current;
    bool valid = true;
    bool hasCurrent = false;
};

class XArrayEnumerator : public XEnumerator {
public:
    static XClassDescriptor Descriptor; // "XArrayEnumerator"

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int32_t MoveNext(bool* out) override;
    // (kind, index) of the array's change notification; 10 for an unknown kind.
    int32_t OnArrayModified(int kind, int index);
};

class XDictionaryEnumerator : public XEnumerator {
public:
    static XClassDescriptor Descriptor; // "XDictionaryEnumerator"

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int32_t MoveNext(bool* out) override;
    void ResetImpl() override;
    int32_t OnDictionaryModified(int kind, const WCHAR* key);

protected:
    ~XDictionaryEnumerator() override;

private:
    void ReleaseKeys();

    XObject* keys = nullptr; // the array of keys taken at the first moveNext
    int keyCount = 0;
};

// A new enumerator with one reference, initialised; 18 when it cannot be made.
template <class E> int32_t CreateEnumerator(E** out) {
    *out = new (std::nothrow) E;
    if (!*out) return 18;
    (*out)->AddRef();
    int32_t rc = (*out)->Initialize();
    if (rc != 0) {
        (*out)->Release();
        *out = nullptr;
    }
    return rc;
}

} // namespace NUBO
