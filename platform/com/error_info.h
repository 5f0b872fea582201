#pragma once
// The thread's error object: how an automation object that fails gives a description without an
// EXCEPINFO. The object that fails sets it; whoever made the call takes it (which clears it).
#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

extern const IID IID_IErrorInfo;
extern const IID IID_ICreateErrorInfo;

struct IErrorInfo : IUnknown {
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT SetGUID(REFGUID guid) = 0;
    virtual HRESULT SetSource(LPCOLESTR source) = 0;
    virtual HRESULT SetDescription(LPCOLESTR description) = 0;
    virtual HRESULT SetHelpFile(LPCOLESTR helpFile) = 0;
    virtual HRESULT SetHelpContext(DWORD helpContext) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

// A new, empty error object; it also answers IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// Replaces the thread's error object (null clears it); the thread keeps a reference.
HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info);
// Hands over the thread's error object and clears it: S_OK with it, or S_FALSE and null when none.
HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** out);
