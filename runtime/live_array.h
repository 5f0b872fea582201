#pragma once
// XLiveArray: an XArray that tells script listeners about every change ("onArrayModified") and
// can have an owner that is told when the array goes away ("beforeCollectionDestroyed").
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/script_array.h"
#include "runtime/script_variant.h"

namespace NUBO {

struct XCollectionListeners {
    struct Entry {
        XObject* listener; // counted
        XVariant context;
    };

    explicit XCollectionListeners(XObject* array) : collection(array) {}
    // Tells the owner, releases it and every listener.
    ~XCollectionListeners();
    XCollectionListeners(const XCollectionListeners&) = delete;
    XCollectionListeners& operator=(const XCollectionListeners&) = delete;

    // The owner is told and released; then `next` (null for none) is held.
    void SetOwner(XObject* next);

    PtrVector<Entry*> listeners;
    XObject* owner = nullptr; // counted
    XObject* collection;      // the live array, not counted
};

class XLiveArray : public XArray {
public:
    static XClassDescriptor Descriptor; // "XLiveArray"

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    // Creates the listener record; 18 when that fails.
    int32_t Initialize() override;
    void OnBeforeDestroy() override;
    void OnModified(int kind, int index, int countChanged) override;

    XCollectionListeners* GetListeners() const { return listeners; }

private:
    XCollectionListeners* listeners = nullptr;
};

// A new XLiveArray with one reference, initialised: 10 for a null out pointer, 18 when it cannot be made.
int32_t CreateXLiveArray(XObject** out);

} // namespace NUBO
