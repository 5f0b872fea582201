#include "toolkit/script/data_source.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_object_internal.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/repeater.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

oxObjectSource* SourceOf(XObject* object) {
    return object && XObject::IsKindOf(object, &oxObjectSource::Descriptor) ? static_cast<oxObjectSource*>(object)
                                                                            : nullptr;
}

int32_t OnPropertyChangedMethod(XObject* object, int argc, XArgList* args, XVariant*) {
    oxObjectSource* source = SourceOf(object);
    if (!source) return NUBO::XR_INVALID;
    if (argc < 2) return NUBO::XR_TOO_FEW_ARGS;
    RefPtr<XObject> changed(args->GetArg(0)->ToXObject());
    TWString name = args->GetArg(1)->ToString();
    return source->OnPropertyChanged(changed.get(), name.GetString());
}

int32_t OnArrayModifiedMethod(XObject* object, int argc, XArgList* args, XVariant*) {
    oxObjectSource* source = SourceOf(object);
    if (!source) return NUBO::XR_INVALID;
    if (argc < 4) return NUBO::XR_TOO_FEW_ARGS;
    RefPtr<XObject> array(args->GetArg(0)->ToXObject());
    if (array) source->NotifyListeners(args->GetArg(1)->ToInt32(), args->GetArg(2)->ToInt32(), nullptr, false);
    return NUBO::XR_SUCCESS;
}

int32_t OnTableModifiedMethod(XObject* object, int argc, XArgList* args, XVariant*) {
    oxObjectSource* source = SourceOf(object);
    if (!source) return NUBO::XR_INVALID;
    if (argc < 5) return NUBO::XR_TOO_FEW_ARGS;
    TWString name = args->GetArg(3)->ToString();
    source->NotifyListeners(args->GetArg(1)->ToInt32(), args->GetArg(2)->ToInt32(), name.GetString(), true);
    return NUBO::XR_SUCCESS;
}

const NUBO::XMemberEntry kObjectSourceMembers[] = {
    NUBO::XProtocol("EEObjectListener", 1),
    NUBO::XProtocol("XObjectListener", 1),
    NUBO::XMethod("onPropertyChanged", OnPropertyChangedMethod),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kArraySourceMembers[] = {
    NUBO::XProtocol("arrayListener", 1),
    NUBO::XMethod("onArrayModified", OnArrayModifiedMethod),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kTableSourceMembers[] = {
    NUBO::XProtocol("tableListener", 1),
    NUBO::XMethod("onTableModified", OnTableModifiedMethod),
    NUBO::XMemberEnd(),
};

bool Implements(XObject* object, const WCHAR* protocol) {
    bool yes = false;
    return object->implementsProtocol(protocol, 0, &yes) == NUBO::XR_SUCCESS && yes;
}

bool SameText(const TWString& a, const WCHAR* b) {
    return b && wcscmp(a.GetString(), b) == 0;
}

// The text a row box holds under a name: its style property (by name) or its attribute.
} // namespace

NUBO::XClassDescriptor oxObjectSource::Descriptor = {"oxObjectSource",     4, kObjectSourceMembers,
                                                     &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor oxArraySource::Descriptor = {
    "oxArraySource", 3, kArraySourceMembers, &oxObjectSource::Descriptor, 0, {}};
NUBO::XClassDescriptor oxTableSource::Descriptor = {
    "oxTableSource", 3, kTableSourceMembers, &oxObjectSource::Descriptor, 0, {}};

oxObjectSource::~oxObjectSource() {
    for (Record& r : records_)
        r.binding->Release();
    if (data_) data_->Release();
}

ULONG oxObjectSource::AddSourceRef() {
    if (sourceRefs_++ == 0) XObject::AddRef();
    return sourceRefs_;
}

ULONG oxObjectSource::ReleaseSourceRef() {
    if (sourceRefs_ == 0) return 0;
    ULONG n = --sourceRefs_;
    if (n == 0) {
        // No binding side holder is left: the object need not tell this source anything more,
        // and its listener reference must not keep the source (and itself) alive.
        AddRef();
        DetachAll();
        SetObject(nullptr);
        XObject::Release();
        Release();
    }
    return n;
}

void oxObjectSource::SetObject(XObject* object) {
    if (!object) {
        DetachAll();
        if (data_) {
            XObject* old = data_;
            data_ = nullptr;
            old->Release();
        }
        return;
    }
    if (data_ && objectListener_) DetachListeners();
    object->AddRef();
    if (data_) data_->Release();
    data_ = object;
    objectListener_ = AttachListeners();
}

bool oxObjectSource::AttachListeners() {
    if (!data_) return objectListener_;
    if (objectListener_)
        XObject::CallMethod1NoResult(data_, u"addObjectListener", XVariant(static_cast<XObject*>(this)));
    return true;
}

void oxObjectSource::DetachListeners() {
    if (!data_) return;
    if (objectListener_)
        XObject::CallMethod1NoResult(data_, u"removeObjectListener", XVariant(static_cast<XObject*>(this)));
}

void oxObjectSource::AddListener(oxSourceListener* listener) {
    if (live_ && listener) listeners_.push_back(listener);
}

void oxObjectSource::RemoveListener(oxSourceListener* listener) {
    if (!live_) return;
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it != listeners_.end()) listeners_.erase(it);
}

void oxObjectSource::NotifyListeners(int kind, int first, const WCHAR* field, bool table) {
    // A listener may go while it is told (a row's removal destroys its child repeater).
    RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
    std::vector<oxSourceListener*> told = listeners_;
    for (oxSourceListener* l : told) {
        if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) continue;
        if (table)
            l->OnTableModified(this, kind, first, field);
        else
            l->OnArrayModified(this, kind, first);
    }
}

void oxObjectSource::SetName(const WCHAR* name) {
    if (name) id_ = name;
}

bool oxObjectSource::GetName(TWString* out) {
    if (out) *out = id_;
    return !id_.IsEmpty();
}

void oxObjectSource::Attach(oxBindingElement* binding) {
    // A collection binding has no path; it is recorded too, so that it lets go of the source when
    // the source is dropped.
    if (!binding || !binding->ResolveTarget()) return;
    binding->AddRef();
    records_.push_back({binding, binding->GetTargetBox(), binding->GetPath()});
}

void oxObjectSource::Detach(oxBindingElement* binding) {
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].binding != binding) continue;
        records_.erase(records_.begin() + long(i));
        binding->Release();
        return;
    }
}

void oxObjectSource::DetachAll() {
    DetachListeners();
    std::vector<Record> records;
    records.swap(records_);
    for (Record& r : records)
        r.binding->Release();
}

void oxObjectSource::PushToTarget(oxBindingElement* binding, oxAtom key) {
    (void)key;
    if (!data_ || !binding) return;
    for (const Record& r : records_) {
        if (r.binding != binding || r.target != binding->GetTargetBox() || r.property.IsEmpty()) continue;
        XVariant value;
        if (data_->GetPropertyByName(r.property.GetString(), &value) == NUBO::XR_SUCCESS) {
            TWString text = value.ToString();
            binding->SetTargetValue(text.GetString());
        }
        return;
    }
}

int32_t oxObjectSource::OnPropertyChanged(XObject* object, const WCHAR* name) {
    if (!object || !name || !*name) return NUBO::XR_SUCCESS;
    XVariant value;
    int32_t rc = object->GetPropertyByName(name, &value);
    if (rc != NUBO::XR_SUCCESS) return rc;
    TWString text = value.ToString();
    std::vector<Record> told;
    for (const Record& r : records_) {
        if (!SameText(r.property, name) || r.binding->GetUpdateMethod() == kAtomOnDemand) continue;
        r.binding->AddRef();
        told.push_back(r);
    }
    for (const Record& r : told) {
        r.binding->SetTargetValue(text.GetString());
        r.binding->Release();
    }
    return NUBO::XR_SUCCESS;
}

void oxObjectSource::OnSourceAttributeChanged(oxBox* box, oxAtom attribute) {
    if (!box) return;
    const WCHAR* value = box->GetAttribute(attribute);
    WCHAR name[oxAtoms::kLookupUnits];
    if (!oxAtoms::GetName(attribute, name, oxAtoms::kLookupUnits)) return;
    for (const Record& r : records_) {
        if (SameText(r.property, name) && r.binding->GetUpdateMethod() != kAtomOnDemand)
            r.binding->SetTargetValue(value);
    }
}

void oxObjectSource::WriteProperty(oxBox* box, oxBindingElement* binding, const WCHAR* value) {
    if (!box || !data_ || !value) return;
    for (size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        if (r.binding != binding || r.target != box || r.property.IsEmpty()) continue;
        TWString name = r.property;
        XVariant text(value);
        if (data_->SetPropertyByName(name.GetString(), &text) == NUBO::XR_SUCCESS && objectListener_)
            XObject::CallMethod1NoResult(data_, u"notifyPropertyChange", XVariant(name));
    }
}

void oxObjectSource::SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                                    bool isStyle) {
    (void)field, (void)isStyle;
    WriteProperty(box, binding, value);
}

void oxObjectSource::RefreshBindings() {
    DetachListeners();
    std::vector<Record> records = records_;
    for (const Record& r : records)
        r.binding->AddRef();
    for (const Record& r : records) {
        // The binding lets go of this source; looking its source up again finds it no more.
        r.binding->Disconnect();
        r.binding->Connect(true);
        // One that finds no other source waits for the next one published under the name.
        oxBindingScene* scene = r.binding->IsConnected() ? nullptr : r.binding->GetScene();
        if (scene) scene->AddPendingBinding(r.binding);
        r.binding->Release();
    }
}

int32_t oxObjectSource::GetKey(TWString* out) {
    if (!data_) return NUBO::XR_FAIL;
    XVariant value;
    int32_t rc = data_->GetPropertyByName(u"key", &value);
    if (rc == NUBO::XR_SUCCESS && out) *out = value.ToString();
    return rc;
}

int oxObjectSource::IndexFromKey(const VARIANT& key) {
    if (!data_) return -1;
    XVariant result;
    if (XObject::CallMethod1(data_, u"indexFromKey", key, &result) != NUBO::XR_SUCCESS) return -1;
    return result.ToInt32();
}

// Arrays.

namespace {

// A row of the collection: a native array answers directly, as its "getValue" method would; any
// other object through that method.
int32_t RowOf(XObject* data, int row, XVariant* out) {
    if (auto* array = dynamic_cast<NUBO::XArray*>(data)) return array->GetValueAt(row, out);
    return XObject::CallMethod1(data, u"getValue", XVariant(row), out);
}

} // namespace

bool oxArraySource::AttachListeners() {
    if (!data_) return objectListener_;
    oxObjectSource::AttachListeners();
    if (live_) XObject::CallMethod2NoResult(data_, u"addListener", XVariant(static_cast<XObject*>(this)), XVariant(0));
    return true;
}

void oxArraySource::DetachListeners() {
    if (!data_) return;
    oxObjectSource::DetachListeners();
    if (live_)
        XObject::CallMethod2NoResult(data_, u"removeListener", XVariant(static_cast<XObject*>(this)), XVariant(0));
}

int oxArraySource::GetCount() {
    if (!data_) return 0;
    XVariant value;
    if (data_->GetPropertyByName(u"count", &value) != NUBO::XR_SUCCESS) return 0;
    return value.ToInt32();
}

int32_t oxArraySource::GetValueAt(int row, const WCHAR* field, XVariant* out) {
    if (!data_) return NUBO::XR_FAIL;
    bool self = !field || !*field || wcscmp(field, u"_self") == 0;
    if (!self && row == cachedRow_ && cachedRow_ >= 0 && cachedElement_)
        return cachedElement_->GetPropertyByName(field, out);
    XVariant value;
    if (row == cachedRow_ && cachedRow_ >= 0) {
        value = cached_;
    } else if (RowOf(data_, row, &value) != NUBO::XR_SUCCESS) {
        return NUBO::XR_FAIL;
    }
    RefPtr<XObject> element(value.GetKind() == NUBO::XVK_OBJECT ? value.ToXObject() : nullptr);
    if (element && !self) return element->GetPropertyByName(field, out);
    if (!element && !self) return NUBO::XR_FAIL;
    *out = value;
    return NUBO::XR_SUCCESS;
}

void oxArraySource::CacheRow(int row) {
    if (!data_) return;
    XVariant value;
    if (RowOf(data_, row, &value) != NUBO::XR_SUCCESS) return;
    cachedRow_ = row;
    cached_ = value;
    cachedElement_ = RefPtr<XObject>(value.GetKind() == NUBO::XVK_OBJECT ? value.ToXObject() : nullptr);
}

void oxArraySource::ClearRowCache() {
    cachedRow_ = -1;
    cached_.Clear();
    cachedElement_ = RefPtr<XObject>();
}

int oxArraySource::FindIndexOfValue(const WCHAR* field, const VARIANT& value) {
    if (!data_) return -1;
    int count = GetCount();
    for (int row = 0; row < count; ++row) {
        XVariant v;
        if (GetValueAt(row, field, &v) == NUBO::XR_SUCCESS && XVariant::Equals(v, value)) return row;
    }
    return -1;
}

int32_t oxArraySource::SetValueAt(XObject* array, int row, const WCHAR* field, const VARIANT& value) {
    if (!array) return NUBO::XR_FAIL;
    RefPtr<XObject> element;
    if (row == cachedRow_ && cachedRow_ >= 0 && cached_.GetKind() == NUBO::XVK_OBJECT) {
        element = RefPtr<XObject>(cached_.ToXObject());
    } else if (field && *field) {
        XVariant current;
        if (XObject::CallMethod1(array, u"getValue", XVariant(row), &current) == NUBO::XR_SUCCESS)
            element = RefPtr<XObject>(current.ToXObject());
    }
    if (!element) {
        XVariant ignored;
        return XObject::CallMethod2(array, u"setValue", XVariant(row), value, &ignored);
    }
    int32_t rc = element->SetPropertyByName(field, &value);
    if (rc == NUBO::XR_SUCCESS && objectListener_) {
        // Setting the row again makes the array tell its listeners of the change.
        XVariant ignored;
        rc = XObject::CallMethod2(array, u"setValue", XVariant(row), XVariant(element.get()), &ignored);
    }
    return rc;
}

void oxArraySource::SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                                   bool isStyle) {
    if (busy_ || !box || !data_ || !value || !binding || binding->GetBindType() == oxBindingElement::kNotSet) return;
    busy_ = true;
    RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
    if (binding->GetBindType() == oxBindingElement::kCollectionSource && field && *field) {
        // `value` names the row box's attribute (or style property) that changed.
        oxRepeater* repeater = nullptr;
        int row = -1;
        oxRowTree* tree = binding->GetRowTree();
        if (tree && tree->FindRepeaterRowOfBox(box, &repeater, &row) && repeater->GetSource()) {
            auto* rowSource = dynamic_cast<oxArraySource*>(repeater->GetSource());
            WCHAR* text = GetBoundValueText(box, value, isStyle);
            if (rowSource && text) rowSource->SetValueAt(rowSource->GetDataObject(), row, field, XVariant(text));
            std::free(text);
        }
    } else {
        WriteProperty(box, binding, value);
    }
    busy_ = false;
}

// Tables.

bool oxTableSource::AttachListeners() {
    if (!data_) return objectListener_;
    oxObjectSource::AttachListeners();
    if (live_)
        XObject::CallMethod2NoResult(data_, u"addTableListener", XVariant(static_cast<XObject*>(this)), XVariant(0));
    return true;
}

void oxTableSource::DetachListeners() {
    if (!data_) return;
    oxObjectSource::DetachListeners();
    if (live_) XObject::CallMethod1NoResult(data_, u"removeTableListener", XVariant(static_cast<XObject*>(this)));
}

int oxTableSource::GetCount() {
    if (!data_) return 0;
    XVariant value;
    if (data_->GetPropertyByName(u"rowCount", &value) != NUBO::XR_SUCCESS) return 0;
    return value.ToInt32();
}

int32_t oxTableSource::GetValueAt(int row, const WCHAR* field, XVariant* out) {
    if (!data_) return NUBO::XR_FAIL;
    return XObject::CallMethod2(data_, u"getValueAtByName", XVariant(row + 1), XVariant(field ? field : u""), out);
}

int oxTableSource::FindIndexOfValue(const WCHAR* field, const VARIANT& value) {
    int count = GetCount();
    for (int row = 0; row < count; ++row) {
        XVariant v;
        if (GetValueAt(row, field, &v) == NUBO::XR_SUCCESS && XVariant::Equals(v, value)) return row;
    }
    return -1;
}

int oxTableSource::IndexFromKey(const VARIANT& key) {
    return oxObjectSource::IndexFromKey(key) - 1;
}

bool MakeObjectSourceFor(XObject* object, oxBindingSource** out) {
    if (!out) return false;
    *out = nullptr;
    if (!object) return false;
    oxObjectSource* source = nullptr;
    if (Implements(object, u"ee://kestrum/basics/simpleLiveTable")) {
        source = new (std::nothrow) oxTableSource();
        if (source) source->SetLive(true);
    } else if (Implements(object, u"ee://kestrum/basics/simpleTable")) {
        source = new (std::nothrow) oxTableSource();
    } else if (Implements(object, u"ee://kestrum/basics/simpleLiveArray")) {
        source = new (std::nothrow) oxArraySource();
        if (source) source->SetLive(true);
    } else if (Implements(object, u"ee://kestrum/basics/simpleArray")) {
        source = new (std::nothrow) oxArraySource();
    } else {
        source = new (std::nothrow) oxObjectSource();
    }
    if (!source) return false;
    source->SetObjectListener(Implements(object, u"ee://kestrum/basics/simpleLiveDictionary") ||
                              Implements(object, u"ee://kestrum/basics/simpleDictionary") ||
                              Implements(object, u"EEObjectSource"));
    source->AddSourceRef();
    source->SetObject(object);
    *out = source;
    return true;
}

void RegisterNamedSource(oxRuntime* runtime, oxScene* scene, oxBox* box, const WCHAR* name, XObject* old,
                         XObject* object) {
    oxScriptRegistry* registry = runtime ? runtime->GetScriptRegistry() : nullptr;
    if (!registry) return;
    if (old == object) return;
    // The new source is registered before the old one goes, so that the bindings of the old one,
    // connecting again, find the new one by the name.
    oxBindingSource* source = nullptr;
    if (object && MakeObjectSourceFor(object, &source)) {
        source->SetName(name);
        if (box)
            registry->AddBoxObject(box, source);
        else if (scene)
            registry->AddSceneObject(scene, source);
        else
            registry->AddGlobalObject(source);
        source->ReleaseSourceRef();
    }
    if (old) {
        if (box)
            registry->RemoveBoxObject(box, old);
        else if (scene)
            registry->RemoveSceneObject(scene, old);
        else
            registry->RemoveGlobalObject(old);
    }
    if (!source) return;
    if (scene) {
        scene->ConnectPendingBindings();
        return;
    }
    for (int i = 0; i < runtime->GetSceneCount(); ++i)
        runtime->GetSceneAt(i)->ConnectPendingBindings();
}

XObject* StoredObject(XObject* holder, const WCHAR* name) {
    bool had = false;
    if (!holder || !name || holder->XObject::HasDynamicProperty(name, &had) != 0 || !had) return nullptr;
    XVariant old;
    (void)holder->XObject::GetPropertyByName(name, &old);
    return old.GetKind() == NUBO::XVK_OBJECT ? old.ToXObject() : nullptr;
}

void OnNamedObjectStored(oxRuntime* runtime, oxScene* scene, oxBox* box, const WCHAR* name, XObject* old,
                         const VARIANT* value) {
    const XVariant* v = static_cast<const XVariant*>(value);
    RefPtr<XObject> object(v && v->GetKind() == NUBO::XVK_OBJECT ? v->ToXObject() : nullptr);
    if (old || object) RegisterNamedSource(runtime, scene, box, name, old, object.get());
}
