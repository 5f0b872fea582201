#include "toolkit/binding/xml_source.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/repeater.h"
#include "toolkit/binding/row_tree.h"

namespace {

// A member of a DOM object by name: a property read (no arguments), a method call or a property
// write. The result is cleared first.
HRESULT Member(IDispatch* object, const WCHAR* name, WORD flags, VARIANT* result, VARIANT* args = nullptr,
               UINT count = 0) {
    VariantInit(result);
    if (!object) return E_POINTER;
    DISPID id = 0;
    auto* text = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &text, 1, 0, &id);
    if (FAILED(hr)) return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, flags == DISPATCH_PROPERTYPUT ? &named : nullptr, count,
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
}

// A text argument; the caller clears it.
VARIANT TextArg(const WCHAR* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text ? text : u"");
    return v;
}

// The DOM object a result holds (a new reference), or null.
IDispatch* ObjectOf(VARIANT* value) {
    IDispatch* object = nullptr;
    if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) && value->punkVal)
        value->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
    VariantClear(value);
    return object;
}

// The text that a method with one text argument answers ("getAttribute"), or the node it answers
// ("selectSingleNode").
HRESULT CallWithText(IDispatch* object, const WCHAR* name, const WCHAR* arg, VARIANT* result) {
    VARIANT a = TextArg(arg);
    HRESULT hr = a.bstrVal ? Member(object, name, DISPATCH_METHOD, result, &a, 1) : E_OUTOFMEMORY;
    VariantClear(&a);
    return hr;
}

bool IsSelf(const WCHAR* field) {
    return !field || !*field || wcscmp(field, u"_self") == 0;
}

} // namespace

oxXmlSource* oxXmlSource::Create(NUBO::XObject* document) {
    if (!document) return nullptr;
    auto* source = new (std::nothrow) oxXmlSource(document);
    if (source) source->Select();
    return source;
}

oxXmlSource::oxXmlSource(NUBO::XObject* document) : document_(document) {
    document_->AddRef();
}

oxXmlSource::~oxXmlSource() {
    platform::xml::StopWatching(this);
    DetachAll();
    SetObject(nullptr);
}

ULONG oxXmlSource::ReleaseSourceRef() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

void oxXmlSource::DropRows() {
    for (IDispatch* row : rows_)
        row->Release();
    rows_.clear();
    if (root_) {
        root_->Release();
        root_ = nullptr;
    }
}

void oxXmlSource::Select() {
    DropRows();
    if (!document_) return;
    NUBO::XVariant element;
    if (document_->GetPropertyByName(u"documentElement", &element) != 0) return;
    root_ = ObjectOf(&element);
    if (!root_) return;
    platform::xml::WatchTree(root_, this);
    VARIANT list;
    if (FAILED(CallWithText(root_, u"selectNodes", path_.IsEmpty() ? u"*" : path_.GetString(), &list))) return;
    IDispatch* nodes = ObjectOf(&list);
    if (!nodes) return;
    VARIANT length;
    if (SUCCEEDED(Member(nodes, u"length", DISPATCH_PROPERTYGET, &length)) && length.vt == VT_I4) {
        for (LONG i = 0; i < length.lVal; ++i) {
            VARIANT index, item;
            VariantInit(&index);
            index.vt = VT_I4;
            index.lVal = i;
            if (FAILED(Member(nodes, u"item", DISPATCH_METHOD, &item, &index, 1))) break;
            IDispatch* node = ObjectOf(&item);
            if (node) rows_.push_back(node);
        }
    }
    VariantClear(&length);
    nodes->Release();
}

void oxXmlSource::SetObject(NUBO::XObject* object) {
    if (object == document_) return;
    if (object) object->AddRef();
    if (document_) document_->Release();
    document_ = object;
    Select();
}

int32_t oxXmlSource::GetValueAt(int row, const WCHAR* field, NUBO::XVariant* out) {
    if (row < 0 || row >= GetCount() || !out) return 2;
    IDispatch* node = rows_[size_t(row)];
    VARIANT value;
    VariantInit(&value);
    if (IsSelf(field)) {
        Member(node, u"text", DISPATCH_PROPERTYGET, &value);
    } else if (SUCCEEDED(CallWithText(node, u"getAttribute", field, &value)) && value.vt != VT_BSTR) {
        // No attribute of that name: the text of what the field selects.
        VariantClear(&value);
        if (SUCCEEDED(CallWithText(node, u"selectSingleNode", field, &value))) {
            if (IDispatch* found = ObjectOf(&value)) {
                Member(found, u"text", DISPATCH_PROPERTYGET, &value);
                found->Release();
            }
        }
    }
    if (value.vt != VT_BSTR) {
        VariantClear(&value);
        return 2;
    }
    *out = NUBO::XVariant(value.bstrVal);
    VariantClear(&value);
    return 0;
}

int oxXmlSource::FindIndexOfValue(const WCHAR* field, const VARIANT& value) {
    for (int row = 0; row < GetCount(); ++row) {
        NUBO::XVariant v;
        if (GetValueAt(row, field, &v) == 0 && NUBO::XVariant::Equals(v, value)) return row;
    }
    return -1;
}

void oxXmlSource::PushToTarget(oxBindingElement* binding, oxAtom) {
    if (!binding) return;
    NUBO::XVariant text;
    if (GetValueAt(0, nullptr, &text) != 0) text = NUBO::XVariant(u"");
    binding->SetTargetValue(text.ToString().GetString());
}

void oxXmlSource::Attach(oxBindingElement* binding) {
    if (!binding || std::find(bindings_.begin(), bindings_.end(), binding) != bindings_.end()) return;
    binding->AddRef();
    bindings_.push_back(binding);
    if (wcscmp(path_.GetString(), binding->GetPath().GetString()) != 0) {
        path_ = binding->GetPath();
        Select();
    }
}

void oxXmlSource::Detach(oxBindingElement* binding) {
    auto at = std::find(bindings_.begin(), bindings_.end(), binding);
    if (at == bindings_.end()) return;
    bindings_.erase(at);
    binding->Release();
}

void oxXmlSource::DetachAll() {
    std::vector<oxBindingElement*> taken;
    taken.swap(bindings_);
    for (oxBindingElement* binding : taken)
        binding->Release();
}

void oxXmlSource::AddListener(oxSourceListener* listener) {
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void oxXmlSource::RemoveListener(oxSourceListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void oxXmlSource::OnDomChanged() {
    if (writing_) return;
    AddSourceRef(); // a listener or a binding may let go of the source
    Select();
    const std::vector<oxSourceListener*> told = listeners_;
    for (oxSourceListener* listener : told)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->OnArrayModified(this, kRowsReset, 0);
    std::vector<oxBindingElement*> pushed = bindings_;
    for (oxBindingElement* binding : pushed)
        binding->AddRef();
    for (oxBindingElement* binding : pushed) {
        if (!binding->GetRowTree() && binding->IsConnected() && binding->GetSource() == this &&
            binding->GetUpdateMethod() != kAtomOnDemand)
            PushToTarget(binding, 0);
        binding->Release();
    }
    ReleaseSourceRef();
}

void oxXmlSource::WriteField(IDispatch* node, const WCHAR* field, const WCHAR* text) {
    VARIANT result;
    if (IsSelf(field)) {
        VARIANT a = TextArg(text);
        Member(node, u"text", DISPATCH_PROPERTYPUT, &result, &a, 1);
        VariantClear(&a);
        VariantClear(&result);
        return;
    }
    // An attribute of that name is written; else the text of what the field selects.
    const bool attribute = field[0] == u'@';
    if (attribute || (SUCCEEDED(CallWithText(node, u"getAttribute", field, &result)) && result.vt == VT_BSTR)) {
        VariantClear(&result);
        VARIANT args[2] = {TextArg(text), TextArg(attribute ? field + 1 : field)}; // last first
        Member(node, u"setAttribute", DISPATCH_METHOD, &result, args, 2);
        VariantClear(&args[0]);
        VariantClear(&args[1]);
        VariantClear(&result);
        return;
    }
    VariantClear(&result);
    if (FAILED(CallWithText(node, u"selectSingleNode", field, &result))) return;
    if (IDispatch* found = ObjectOf(&result)) {
        VARIANT a = TextArg(text);
        Member(found, u"text", DISPATCH_PROPERTYPUT, &result, &a, 1);
        VariantClear(&a);
        VariantClear(&result);
        found->Release();
    }
}

void oxXmlSource::SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                                 bool isStyle) {
    if (writing_ || !box || !binding || !value) return;
    AddSourceRef();
    writing_ = true;
    if (oxRowTree* tree = binding->GetRowTree()) {
        // `value` names the row box's attribute (or style property) that changed, `field` the row's
        // field it shows.
        oxRepeater* repeater = nullptr;
        int row = -1;
        if (field && *field && tree->FindRepeaterRowOfBox(box, &repeater, &row) && repeater->GetSource() == this &&
            row >= 0 && row < GetCount()) {
            WCHAR* text = GetBoundValueText(box, value, isStyle);
            if (text) WriteField(rows_[size_t(row)], field, text);
            std::free(text);
        }
    } else if (!rows_.empty()) {
        WriteField(rows_.front(), nullptr, value);
    }
    writing_ = false;
    ReleaseSourceRef();
}
