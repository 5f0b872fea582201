#pragma once
// oxBindingSource: what a data binding talks to on the source side. A box used as element source
// has one (oxElementSource); a script object handed to a binding gets one made for it by
// CreateObjectSourceFor, which the script classes install (object, array and table sources).
// Collection sources also serve the repeaters: rows are counted, read by field, and their changes
// reported to the native listeners.
#include <cstdint>

#include "platform/com/variant.h"
#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxBox;
class oxBindingElement;
class oxBindingSource;
namespace NUBO {
class TWString;
class XObject;
class XVariant;
} // namespace NUBO

// Change kinds of collections.
constexpr int kRowsReset = 0;
constexpr int kRowInserted = 1;
constexpr int kRowChanged = 2;
constexpr int kRowRemoved = 3;
constexpr int kRowAboutToBeRemoved = 4;
constexpr int kRowsResetKeepCurrent = 5;

// A repeater listening to a collection source.
class oxSourceListener {
public:
    // A zero-based index.
    virtual void OnArrayModified(oxBindingSource* source, int kind, int index) = 0;
    // A one-based index; the field that changed (kind 2), or null.
    virtual void OnTableModified(oxBindingSource* source, int kind, int index, const WCHAR* field) = 0;

protected:
    ~oxSourceListener() = default;
};

class oxBindingSource {
public:
    // Counted apart from any script object behind the source: the binding side's holders.
    virtual ULONG AddSourceRef() = 0;
    virtual ULONG ReleaseSourceRef() = 0;

    // Binding side.
    // The source box's attribute or style property changed (element sources).
    virtual void OnSourceAttributeChanged(oxBox* box, oxAtom attribute) { (void)box, (void)attribute; }
    virtual void OnSourceStyleChanged(oxBox* box, int propertyId) { (void)box, (void)propertyId; }
    virtual bool IsReady() = 0;
    // Writes the source's value into the binding's target.
    virtual void PushToTarget(oxBindingElement* binding, oxAtom key) = 0;
    virtual void Attach(oxBindingElement* binding) = 0;
    virtual void Detach(oxBindingElement* binding) = 0;
    virtual void DetachAll() = 0;
    virtual void SetSourceBox(oxBox* box) { (void)box; }
    virtual void SetName(const WCHAR* name) { (void)name; }
    virtual bool GetName(NUBO::TWString* out) {
        (void)out;
        return false;
    }
    // Writes a value from the target (`box`) into the source: `field` names the row's field and
    // `isStyle` says the value came from a style property, for collection bindings.
    virtual void SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                                bool isStyle) = 0;

    // Object and collection side.
    // The script object behind the source (not counted), or null.
    virtual NUBO::XObject* GetDataObject() { return nullptr; }
    // Attaches another object; null detaches.
    virtual void SetObject(NUBO::XObject* object) { (void)object; }
    virtual int GetCount() { return 0; }
    // A row's field (null or "_self": the row itself); 0 on success.
    virtual int32_t GetValueAt(int row, const WCHAR* field, NUBO::XVariant* out) {
        (void)row, (void)field, (void)out;
        return 2;
    }
    // The row that the next reads concern; the cache is emptied when rows change.
    virtual void CacheRow(int row) { (void)row; }
    virtual void ClearRowCache() {}
    // The first row whose field equals the value, or -1.
    virtual int FindIndexOfValue(const WCHAR* field, const VARIANT& value) {
        (void)field, (void)value;
        return -1;
    }
    virtual void AddListener(oxSourceListener* listener) { (void)listener; }
    virtual void RemoveListener(oxSourceListener* listener) { (void)listener; }
    // Every binding lets go of the source and connects again (the source is being dropped).
    virtual void RefreshBindings() {}

protected:
    ~oxBindingSource() = default;
};

// Makes the source for a script object (one reference in `out`); false when none fits. The script
// classes install the maker; until then no object can be a source.
using oxObjectSourceMaker = bool (*)(NUBO::XObject* object, oxBindingSource** out);
void SetObjectSourceMaker(oxObjectSourceMaker maker);
bool CreateObjectSourceFor(NUBO::XObject* object, oxBindingSource** out);
