#include "jscript_test_objects.h"

#include <iterator>
#include <string>

namespace jscript_test {
namespace {

constexpr DISPID kValue = 1, kAdd = 2, kEcho = 3, kFail = 4, kKeep = 5, kSelf = 6, kFirstExpando = 100;

const struct {
    const char16_t* name;
    DISPID id;
} kMembers[] = {{u"value", kValue}, {u"add", kAdd},   {u"echo", kEcho},
                {u"fail", kFail},   {u"keep", kKeep}, {u"self", kSelf}};

int ArgInt(const VARIANT& v) {
    return v.vt == VT_I4 ? v.lVal : v.vt == VT_R8 ? static_cast<int>(v.dblVal) : 0;
}

} // namespace

HRESULT TestHost::QueryInterface(REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IDispatchEx)) {
        *out = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TestHost::Release() {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
}

TestHost::~TestHost() {
    --live;
    VariantClear(&kept);
    for (auto& e : expandos)
        VariantClear(&e.second);
}

HRESULT TestHost::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
    return GetDispID(names[0], 0, ids);
}

HRESULT TestHost::GetDispID(BSTR name, DWORD grfdex, DISPID* id) {
    std::u16string key(name);
    for (const auto& m : kMembers)
        if (key == m.name) return *id = m.id, S_OK;
    for (size_t i = 0; i < expandoNames.size(); i++)
        if (expandoNames[i] == key && expandos.count(key)) return *id = kFirstExpando + static_cast<DISPID>(i), S_OK;
    if (!(grfdex & fdexNameEnsure)) return *id = DISPID_UNKNOWN, DISP_E_UNKNOWNNAME;
    expandoNames.push_back(key);
    VARIANT empty;
    VariantInit(&empty);
    expandos[key] = empty;
    *id = kFirstExpando + static_cast<DISPID>(expandoNames.size() - 1);
    return S_OK;
}

HRESULT TestHost::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, IServiceProvider*) {
    calls.push_back(
        {id, flags, p ? p->cArgs : 0, p ? p->cNamedArgs : 0, p && p->cNamedArgs ? p->rgdispidNamedArgs[0] : 0});
    VARIANT scratch;
    if (!result) result = &scratch;
    VariantInit(result);
    UINT n = p ? p->cArgs : 0;
    if (id == DISPID_VALUE) {
        if (flags == DISPATCH_CONSTRUCT) {
            result->vt = VT_UNKNOWN;
            result->punkVal = new TestHost();
        } else {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(n);
        }
    } else if (id == kValue) {
        if (flags & DISPATCH_PROPERTYPUT) {
            value = ArgInt(p->rgvarg[0]);
        } else {
            result->vt = VT_I4;
            result->lVal = value;
        }
    } else if (id >= kFirstExpando && static_cast<size_t>(id - kFirstExpando) < expandoNames.size()) {
        VARIANT& slot = expandos[expandoNames[static_cast<size_t>(id - kFirstExpando)]];
        if (flags & DISPATCH_PROPERTYPUT) return VariantCopy(&slot, &p->rgvarg[0]);
        return VariantCopy(result, &slot);
    } else if (!(flags & DISPATCH_METHOD)) {
        return static_cast<HRESULT>(0x81000002); // a method read as a property
    } else if (id == kAdd) {
        if (n < 2) return DISP_E_BADPARAMCOUNT;
        result->vt = VT_I4;
        result->lVal = ArgInt(p->rgvarg[1]) * 10 + ArgInt(p->rgvarg[0]); // shows the order
    } else if (id == kEcho) {
        if (n >= 1) VariantCopy(result, &p->rgvarg[n - 1]);
    } else if (id == kFail) {
        return static_cast<HRESULT>(0x81000006);
    } else if (id == kKeep) {
        VariantClear(&kept);
        if (n >= 1) VariantCopy(&kept, &p->rgvarg[n - 1]);
    } else if (id == kSelf) {
        result->vt = VT_UNKNOWN;
        result->punkVal = static_cast<IDispatchEx*>(this);
        AddRef();
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

HRESULT TestHost::DeleteMemberByName(BSTR name, DWORD) {
    deleted.emplace_back(name);
    auto found = expandos.find(name);
    if (found != expandos.end()) {
        VariantClear(&found->second);
        expandos.erase(found);
    }
    return S_OK;
}

namespace {

enum FixedId : DISPID { kCount = 1, kLabel, kNext, kTwice, kFixedFail, kTouch, kFar = 0x12345 };
const FixedMember kFixedMembers[] = {{u"count", kCount, false}, {u"label", kLabel, false},    {u"next", kNext, false},
                                     {u"twice", kTwice, true},  {u"fail", kFixedFail, false}, {u"touch", kTouch, false},
                                     {u"far", kFar, false}};

} // namespace

HRESULT FixedHost::QueryInterface(REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(riid, IID_IFixedMemberNames)) {
        *out = static_cast<IFixedMemberNames*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG FixedHost::Release() {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
}

FixedHost::~FixedHost() {
    --live;
    if (next) next->Release();
}

HRESULT FixedHost::GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) {
    if (n != 1) return E_INVALIDARG;
    for (const FixedMember& m : kFixedMembers)
        if (std::u16string(names[0]) == m.name) {
            ids[0] = m.id;
            return S_OK;
        }
    return DISP_E_UNKNOWNNAME;
}

HRESULT FixedHost::GetFixedMembers(const FixedMember** members, UINT* n) {
    *members = kFixedMembers;
    *n = static_cast<UINT>(std::size(kFixedMembers));
    return S_OK;
}

HRESULT FixedHost::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    const bool put = flags & DISPATCH_PROPERTYPUT;
    if (id == kTwice) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        result->vt = VT_I4;
        result->lVal = 2 * ArgInt(params->rgvarg[0]);
        return S_OK;
    }
    if (put) {
        if (id != kCount) return DISP_E_MEMBERNOTFOUND;
        count = ArgInt(params->rgvarg[0]);
        return S_OK;
    }
    switch (id) {
    case kCount:
        result->vt = VT_I4;
        result->lVal = count;
        return S_OK;
    case kLabel: {
        std::u16string text = u"node ";
        for (char c : std::to_string(number))
            text += char16_t(c);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
    case kNext:
        if (!next) next = new FixedHost(number + 1);
        result->vt = VT_DISPATCH;
        result->pdispVal = static_cast<IDispatch*>(next);
        next->AddRef();
        return S_OK;
    case kFixedFail:
        return static_cast<HRESULT>(0x81000006);
    case kTouch:
        if (onTouch) onTouch();
        [[fallthrough]];
    case kFar:
        result->vt = VT_I4;
        result->lVal = number;
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace jscript_test
