#include "runtime/script_object.h"

#include <cstring>
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/sync.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"

namespace NUBO {

const IID IID_XObject = {0x00000000, 0x2E81, 0x4C59, {0xAF, 0x6E, 0xB8, 0xB4, 0x28, 0xE3, 0x40, 0x74}};

namespace {

constexpr LONG kDyingCount = static_cast<LONG>(0xC0000001);

XForeignObjectWrapper foreignWrapper = nullptr;

int32_t ImplementsProtocolMethod(XObject* object, int argc, XArgList* args, XVariant* result) {
    if (!object) return XR_INVALID;
    if (argc < 2) return XR_TOO_FEW_ARGS;
    XArgString name(args->GetArg(0));
    uint32_t version = args->GetArg(1)->ToUInt32();
    bool yes = false;
    int32_t rc = object->implementsProtocol(name, version, &yes);
    if (rc == XR_SUCCESS) *result = yes;
    return rc;
}

const XMemberEntry kObjectMembers[] = {
    XMethod("implementsProtocol", ImplementsProtocolMethod),
    XMemberEnd(),
};

} // namespace

XClassDescriptor XObject::Descriptor = {"XObject", 2, kObjectMembers, nullptr, 0, {}};

XExpandoBag::~XExpandoBag() {
    for (Name* n : names)
        delete n;
    for (Value* v : values)
        delete v;
}

XExpandoBag::Name* XExpandoBag::FindName(const WCHAR* name) const {
    for (Name* n : names)
        if (wcscmp(n->name.GetString(), name) == 0) return n;
    return nullptr;
}

XExpandoBag::Name* XExpandoBag::FindId(int id) const {
    for (Name* n : names)
        if (n->id == id) return n;
    return nullptr;
}

XExpandoBag::Value* XExpandoBag::FindValue(const WCHAR* name) const {
    for (Value* v : values)
        if (wcscmp(v->name.GetString(), name) == 0) return v;
    return nullptr;
}

void XExpandoBag::Remove(const WCHAR* name) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (wcscmp(names[i]->name.GetString(), name) == 0) {
            delete names[i];
            names.Erase(i);
            break;
        }
    }
    for (size_t i = 0; i < values.size(); ++i) {
        if (wcscmp(values[i]->name.GetString(), name) == 0) {
            delete values[i];
            values.Erase(i);
            break;
        }
    }
}

XObject::~XObject() {
    delete expandos;
}

XExpandoBag* XObject::EnsureBag() {
    if (!expandos) expandos = new (std::nothrow) XExpandoBag;
    return expandos;
}

HRESULT XObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_XObject || riid == IID_IDispatch || riid == IID_IDispatchEx) {
        *out = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int32_t XObject::GetObject(XObject** out) {
    if (!out) return XR_INVALID;
    *out = this;
    AddRef();
    return XR_SUCCESS;
}

ULONG XObject::AddRefImpl() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

ULONG XObject::ReleaseImpl() {
    LONG n = InterlockedDecrement(&refCount);
    if (n != 0) return static_cast<ULONG>(n);
    InterlockedExchange(&refCount, kDyingCount);
    OnBeforeDestroy();
    delete this;
    return 0;
}

int32_t XObject::EnsureMembers() {
    XClassDescriptor* d = GetClassDescriptor();
    if (!d->memberVector.empty()) return XR_SUCCESS;
    return BuildMemberVector(d, GetDispatchFlags());
}

int32_t XObject::FindMember(const WCHAR* name, int kind, int* index) {
    if (!name) return XR_NAME_NOT_FOUND;
    int32_t rc = EnsureMembers();
    if (rc != XR_SUCCESS) return rc;
    return FindMemberIndex(GetClassDescriptor(), name, kind, index);
}

int32_t XObject::InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result) {
    result->Clear();
    int index = 0;
    int32_t rc = FindMember(name, kXMemberMethod, &index);
    if (rc == XR_NAME_NOT_FOUND) return XR_NO_METHOD;
    if (rc != XR_SUCCESS) return rc;
    return InvokeMethodAt(index, args, result);
}

int32_t XObject::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    return Access(kXAccessPut, name, const_cast<VARIANT*>(value));
}

int32_t XObject::DeleteMember(const WCHAR* name) {
    XVariant empty;
    return Access(kXAccessDelete, name, &empty);
}

int32_t XObject::GetPropertyByName(const WCHAR* name, XVariant* result) {
    return Access(kXAccessGet, name, result);
}

int32_t XObject::GetIdOfName(const WCHAR* name, int* id) {
    if (!name) return XR_NAME_NOT_FOUND;
    int index = 0;
    int32_t rc = FindMember(name, kXMemberAny, &index);
    if (rc == XR_SUCCESS) {
        *id = index + 1;
        return XR_SUCCESS;
    }
    XExpandoBag* b = EnsureBag();
    if (!b) return XR_OUT_OF_MEMORY;
    if (XExpandoBag::Name* n = b->FindName(name)) {
        *id = n->id;
        return XR_SUCCESS;
    }
    bool dynamic = false;
    HasDynamicProperty(name, &dynamic);
    if (!dynamic) return XR_NAME_NOT_FOUND;
    auto* n = new (std::nothrow) XExpandoBag::Name{TWString(name), b->nextDynamicId};
    if (!n || !b->names.PushBack(n)) {
        delete n;
        return XR_OUT_OF_MEMORY;
    }
    *id = b->nextDynamicId++;
    return XR_SUCCESS;
}

int32_t XObject::InvokeMethodAt(int index, XArgList* args, XVariant* result) {
    if (EnsureMembers() != XR_SUCCESS) return XR_NO_METHOD;
    const auto& v = GetClassDescriptor()->memberVector;
    if (index < 0 || static_cast<size_t>(index) >= v.size()) return XR_NO_METHOD;
    const XMemberEntry* e = v[index];
    if (e->kind != kXMemberMethod || !e->method) return XR_NO_METHOD;
    return e->method(this, args->GetCount(), args, result);
}

int32_t XObject::AccessPropertyAt(int index, int kind, VARIANT* value) {
    if (EnsureMembers() != XR_SUCCESS) return XR_NO_PROPERTY;
    const auto& v = GetClassDescriptor()->memberVector;
    if (index < 0 || static_cast<size_t>(index) >= v.size()) return XR_NO_PROPERTY;
    const XMemberEntry* e = v[index];
    if (kind == kXAccessGet && e->getter) return e->getter(this, static_cast<XVariant*>(value));
    if (kind == kXAccessPut && e->setter) return e->setter(this, value);
    return XR_NO_PROPERTY;
}

int32_t XObject::HasDynamicProperty(const WCHAR* name, bool* out) {
    *out = expandos && name && expandos->FindName(name);
    return XR_SUCCESS;
}

int32_t XObject::GetMemberName(int id, TWString* out) {
    if (id == 0) {
        *out = u"getValue";
        return XR_SUCCESS;
    }
    if (id < 0) return XR_NAME_NOT_FOUND;
    if (id < kXFirstExpandoId) {
        if (EnsureMembers() != XR_SUCCESS) return XR_NAME_NOT_FOUND;
        const auto& v = GetClassDescriptor()->memberVector;
        if (static_cast<size_t>(id - 1) >= v.size()) return XR_NAME_NOT_FOUND;
        *out = TWString(v[id - 1]->name, u"x-system");
        return XR_SUCCESS;
    }
    XExpandoBag* b = EnsureBag();
    if (!b) return XR_NAME_NOT_FOUND;
    XExpandoBag::Name* n = b->FindId(id);
    if (!n) return XR_NAME_NOT_FOUND;
    *out = n->name;
    return XR_SUCCESS;
}

int32_t XObject::QueryUnknown(IUnknown** out) {
    return ResultFromHResult(QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out)));
}

int32_t XObject::implementsProtocol(const WCHAR* name, unsigned version, bool* out) {
    *out = false;
    if (!name) return XR_SUCCESS;
    for (const XClassDescriptor* d = GetClassDescriptor(); d; d = d->parent) {
        for (int i = 0; i < d->count && d->members; ++i) {
            const XMemberEntry& e = d->members[i];
            if (e.kind == kXMemberEnd) break;
            if (e.kind == kXMemberProtocol && CompareMemberName(e.name, name) == 0 && e.version >= version) {
                *out = true;
                return XR_SUCCESS;
            }
        }
    }
    return XR_SUCCESS;
}

int32_t XObject::Access(int kind, const WCHAR* name, VARIANT* value) {
    if (!name) return XR_INVALID;
    if (wcschr(name, u'.')) return AccessPath(kind, name, value);
    return AccessName(kind, name, value);
}

int32_t XObject::AccessName(int kind, const WCHAR* name, VARIANT* value) {
    if (kind == kXAccessDelete) {
        if (expandos) expandos->Remove(name);
        return XR_SUCCESS;
    }
    int id = 0;
    int32_t rc = GetIdOfName(name, &id);
    if (rc == XR_NAME_NOT_FOUND) rc = XR_NO_PROPERTY;
    if (rc == XR_SUCCESS) {
        if (id > 0 && id < kXFirstExpandoId) {
            rc = AccessPropertyAt(id - 1, kind, value);
        } else if (id & kXExpandoIdBit) {
            XExpandoBag::Value* v = expandos ? expandos->FindValue(name) : nullptr;
            if (!v)
                rc = XR_NO_PROPERTY;
            else if (kind == kXAccessGet)
                rc = ResultFromHResult(VariantCopy(value, &v->value));
            else if (kind == kXAccessPut)
                rc = ResultFromHResult(VariantCopy(&v->value, value));
        } else {
            rc = XR_NO_PROPERTY;
        }
    }
    if (rc != XR_NO_PROPERTY || kind != kXAccessPut) return rc;

    // Assigning to a name that has no property creates an expando property of that name.
    XExpandoBag* b = EnsureBag();
    if (!b) return XR_OUT_OF_MEMORY;
    auto* v = new (std::nothrow) XExpandoBag::Value{TWString(name), XVariant(*value)};
    if (!v || !b->values.PushBack(v)) {
        delete v;
        return XR_OUT_OF_MEMORY;
    }
    auto* n = new (std::nothrow) XExpandoBag::Name{TWString(name), b->nextExpandoId};
    if (!n || !b->names.PushBack(n)) {
        delete n;
        b->values.PopBack();
        delete v;
        return XR_OUT_OF_MEMORY;
    }
    ++b->nextExpandoId;
    return XR_SUCCESS;
}

int32_t XObject::AccessPath(int kind, const WCHAR* path, VARIANT* value) {
    XObject* holder = this;
    holder->AddRef();
    const WCHAR* rest = path;
    int32_t rc = XR_SUCCESS;
    for (;;) {
        const WCHAR* dot = rest[0] ? wcschr(rest + 1, u'.') : nullptr;
        if (!dot) {
            // The last segment can still hold a '.' only at its start; it is one name then, and
            // must not be walked again (that would never end).
            if (wcschr(rest, u'.')) {
                rc = kind == kXAccessGet || kind == kXAccessPut || kind == kXAccessDelete
                         ? holder->AccessName(kind, rest, value)
                         : XR_NAME_NOT_FOUND;
            } else if (kind == kXAccessGet) {
                rc = holder->GetPropertyByName(rest, static_cast<XVariant*>(value));
            } else if (kind == kXAccessPut) {
                rc = holder->SetPropertyByName(rest, value);
            } else if (kind == kXAccessDelete) {
                rc = holder->DeleteMember(rest);
            } else {
                rc = XR_NAME_NOT_FOUND;
            }
            break;
        }
        TWString segment(rest, static_cast<int>(dot - rest));
        XVariant step;
        rc = holder->GetPropertyByName(segment.GetString(), &step);
        if (rc != XR_SUCCESS) break;
        if (step.GetKind() != XVK_OBJECT) {
            rc = XR_NO_PROPERTY;
            break;
        }
        XObject* next = nullptr;
        if (step.GetXObject(&next) != XR_SUCCESS || !next) {
            rc = XR_NO_PROPERTY;
            break;
        }
        holder->Release();
        holder = next;
        rest = dot + 1;
    }
    holder->Release();
    return rc;
}

bool XObject::IsKindOf(XObject* object, const XClassDescriptor* descriptor) {
    if (!object || !descriptor) return false;
    for (const XClassDescriptor* d = object->GetClassDescriptor(); d; d = d->parent)
        if (d == descriptor || std::strcmp(d->name, descriptor->name) == 0) return true;
    return false;
}

int32_t XObject::FromUnknown(IUnknown* unknown, XObject** out) {
    return XObjectFromUnknown(unknown, out);
}

int32_t XObjectFromUnknown(IUnknown* unknown, XObject** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!unknown) return XR_INVALID;
    void* face = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_XObject, &face)) && face) {
        XObject* object = static_cast<XObject*>(static_cast<IDispatchEx*>(face));
        int32_t rc = object->GetObject(out);
        object->Release();
        return rc;
    }
    IDispatch* dispatch = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
        return XR_NOT_FOUND;
    int32_t rc = foreignWrapper ? foreignWrapper(dispatch, out) : XR_NOT_FOUND;
    dispatch->Release();
    return rc;
}

void SetForeignObjectWrapper(XForeignObjectWrapper wrapper) {
    foreignWrapper = wrapper;
}

} // namespace NUBO
