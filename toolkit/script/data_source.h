#pragma once
// The data sources: native adapters between a script data object and the bindings and repeaters
// that depend on it. The binding side talks only to the source, which reads and writes the object
// by member name, listens to it when the object can notify, and forwards its changes.
// - oxObjectSource: one object; bindings read and write its properties by name.
// - oxArraySource: rows read through getValue(index) and written through setValue(index, value),
//   counted by `count`.
// - oxTableSource: rows and named columns read through getValueAtByName(row, name), 1-based rows,
//   counted by `rowCount`.
// A source is a script object (the data object holds it as its listener) and, apart from that, is
// held by bindings, repeaters and the script registry through its own count: when the last of
// those lets go, it stops listening, so the object and the source do not keep each other alive.
#include <cstdint>
#include <vector>

#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"
#include "runtime/wide_string.h"
#include "toolkit/binding/binding_source.h"

class oxObjectSource : public NUBO::XObject, public oxBindingSource {
public:
    static NUBO::XClassDescriptor Descriptor; // "oxObjectSource"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    ULONG AddSourceRef() override;
    ULONG ReleaseSourceRef() override;

    // Script-facing notifications of the data object.
    int32_t OnPropertyChanged(NUBO::XObject* object, const WCHAR* name);
    void NotifyListeners(int kind, int first, const WCHAR* field, bool table);

    // oxBindingSource.
    bool IsReady() override { return data_ != nullptr; }
    void PushToTarget(oxBindingElement* binding, oxAtom key) override;
    void Attach(oxBindingElement* binding) override;
    void Detach(oxBindingElement* binding) override;
    void DetachAll() override;
    void SetName(const WCHAR* name) override;
    bool GetName(NUBO::TWString* out) override;
    void SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                        bool isStyle) override;
    NUBO::XObject* GetDataObject() override { return data_; }
    void SetObject(NUBO::XObject* object) override;
    void AddListener(oxSourceListener* listener) override;
    void RemoveListener(oxSourceListener* listener) override;
    void RefreshBindings() override;
    void OnSourceAttributeChanged(oxBox* box, oxAtom attribute) override;

    int32_t GetKey(NUBO::TWString* out);
    virtual int IndexFromKey(const VARIANT& key);

    void SetLive(bool on) { live_ = on; }
    void SetObjectListener(bool on) { objectListener_ = on; }
    bool IsObjectListener() const { return objectListener_; }
    size_t GetBindingCount() const { return records_.size(); }
    size_t GetListenerCount() const { return listeners_.size(); }

protected:
    ~oxObjectSource() override;
    virtual bool AttachListeners();
    virtual void DetachListeners();
    // The base writing of a value into the object's property named by the binding's record.
    void WriteProperty(oxBox* box, oxBindingElement* binding, const WCHAR* value);

    struct Record {
        oxBindingElement* binding; // one reference
        oxBox* target;
        NUBO::TWString property;
    };
    std::vector<oxSourceListener*> listeners_; // not owned
    std::vector<Record> records_;
    NUBO::XObject* data_ = nullptr; // one reference
    NUBO::TWString id_;
    bool objectListener_ = false;
    bool live_ = false;
    bool busy_ = false;
    uint32_t sourceRefs_ = 0;
};

class oxArraySource final : public oxObjectSource {
public:
    static NUBO::XClassDescriptor Descriptor; // "oxArraySource"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int GetCount() override;
    int32_t GetValueAt(int row, const WCHAR* field, NUBO::XVariant* out) override;
    void CacheRow(int row) override;
    void ClearRowCache() override;
    int FindIndexOfValue(const WCHAR* field, const VARIANT& value) override;
    void SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                        bool isStyle) override;
    // Writes a row's field (or the row itself without a field) into the array.
    int32_t SetValueAt(NUBO::XObject* array, int row, const WCHAR* field, const VARIANT& value);

protected:
    bool AttachListeners() override;
    void DetachListeners() override;

private:
    int cachedRow_ = -1;
    NUBO::XVariant cached_;
    // The cached row's element when it is an object: a row's fields are read from it one by one.
    NUBO::RefPtr<NUBO::XObject> cachedElement_;
};

class oxTableSource final : public oxObjectSource {
public:
    static NUBO::XClassDescriptor Descriptor; // "oxTableSource"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int GetCount() override;
    int32_t GetValueAt(int row, const WCHAR* field, NUBO::XVariant* out) override;
    int FindIndexOfValue(const WCHAR* field, const VARIANT& value) override;
    int IndexFromKey(const VARIANT& key) override;

protected:
    bool AttachListeners() override;
    void DetachListeners() override;
};

// Chooses the kind by the protocols the object declares; installed as the scenes' source maker.
bool MakeObjectSourceFor(NUBO::XObject* object, oxBindingSource** out);

class oxBox;
class oxRuntime;
class oxScene;

// A script stored an object under a name in a scene's, a box's or the Shell's namespace: a source
// made for it is registered under that name (replacing the source of the value it replaced), and
// the scenes' waiting bindings try to connect. `box` and `scene` null: the Shell.
void RegisterNamedSource(oxRuntime* runtime, oxScene* scene, oxBox* box, const WCHAR* name, NUBO::XObject* old,
                         NUBO::XObject* object);
// The object a script object's own property holds (a new reference), or null; read before the
// property is replaced.
NUBO::XObject* StoredObject(NUBO::XObject* holder, const WCHAR* name);
// `value` was stored under `name` in place of `old`: the named source follows (RegisterNamedSource).
void OnNamedObjectStored(oxRuntime* runtime, oxScene* scene, oxBox* box, const WCHAR* name, NUBO::XObject* old,
                         const VARIANT* value);
