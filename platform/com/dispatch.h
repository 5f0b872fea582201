#pragma once
// Automation interfaces: calls by name and id (IDispatch), and the dynamic form that scripts use
// to create and delete members (IDispatchEx).
#include "platform/com/excepinfo.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

using DISPID = LONG;
using MEMBERID = DISPID;

constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;
constexpr DISPID DISPID_THIS = -613;
constexpr DISPID DISPID_STARTENUM = -1;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr WORD DISPATCH_CONSTRUCT = 0x4000;

// grfdex of GetDispID / DeleteMemberByName / GetNextDispID.
constexpr DWORD fdexNameCaseSensitive = 0x1;
constexpr DWORD fdexNameEnsure = 0x2;
constexpr DWORD fdexNameImplicit = 0x4;
constexpr DWORD fdexNameCaseInsensitive = 0x8;
constexpr DWORD fdexEnumDefault = 0x1;
constexpr DWORD fdexEnumAll = 0x2;

// Member properties of GetMemberProperties.
constexpr DWORD fdexPropCanGet = 0x1;
constexpr DWORD fdexPropCannotGet = 0x2;
constexpr DWORD fdexPropCanPut = 0x4;
constexpr DWORD fdexPropCannotPut = 0x8;
constexpr DWORD fdexPropCanPutRef = 0x10;
constexpr DWORD fdexPropCannotPutRef = 0x20;
constexpr DWORD fdexPropNoSideEffects = 0x40;
constexpr DWORD fdexPropDynamicType = 0x80;
constexpr DWORD fdexPropCanCall = 0x100;
constexpr DWORD fdexPropCannotCall = 0x200;
constexpr DWORD fdexPropCanConstruct = 0x400;
constexpr DWORD fdexPropCannotConstruct = 0x800;
constexpr DWORD fdexPropCanSourceEvents = 0x1000;
constexpr DWORD fdexPropCannotSourceEvents = 0x2000;

// Arguments travel last first; a property put carries one argument named DISPID_PROPERTYPUT.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

// Type information is declared for the signatures that mention it; nothing here provides it.
struct ITypeInfo : IUnknown {
protected:
    ~ITypeInfo() = default;
};

// The caller's services handed to InvokeEx; ignored by everything here.
struct IServiceProvider : IUnknown {
protected:
    ~IServiceProvider() = default;
};

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepinfo, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};

struct IDispatchEx : IDispatch {
    virtual HRESULT GetDispID(BSTR name, DWORD grfdex, DISPID* id) = 0;
    virtual HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excepinfo, IServiceProvider* caller) = 0;
    virtual HRESULT DeleteMemberByName(BSTR name, DWORD grfdex) = 0;
    virtual HRESULT DeleteMemberByDispID(DISPID id) = 0;
    virtual HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) = 0;
    virtual HRESULT GetMemberName(DISPID id, BSTR* name) = 0;
    virtual HRESULT GetNextDispID(DWORD grfdex, DISPID id, DISPID* next) = 0;
    virtual HRESULT GetNameSpaceParent(IUnknown** parent) = 0;

protected:
    ~IDispatchEx() = default;
};
