#pragma once
// XUriRequest: `new uriRequest()` in scripts. openStream(url, listener) downloads the URL through
// a URL moniker; when the last data has come the listener's onDataAvailable gets the whole content
// as a stream, and a failed or aborted download calls its onError with the result code instead.
// Each download has its own binder, which the binding keeps alive until the download ends.
#include <cstdint>

#include "platform/net/url_moniker.h"
#include "runtime/script_object.h"

class XUriRequestBinder : public NUBO::XObject, public IBindStatusCallback {
public:
    XUriRequestBinder() = default;

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    void SetListener(NUBO::XObject* listener);
    // Aborts the running download, if any.
    void Abort();

    HRESULT OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT OnStopBinding(HRESULT result, LPCWSTR error) override;
    HRESULT GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

protected:
    ~XUriRequestBinder() override;

private:
    NUBO::XObject* listener_ = nullptr;
    IBinding* binding_ = nullptr;
};

class XUriRequest : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XUriRequest"

    XUriRequest() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // 10 without a listener (nothing starts), 18 when the binder cannot be made, else the start's
    // result code (an asynchronous start is 0).
    int32_t OpenStream(const WCHAR* url, NUBO::XObject* listener);
    // Aborts the latest download; the listener then hears onError once.
    void Abort();

protected:
    ~XUriRequest() override;

private:
    XUriRequestBinder* binder_ = nullptr;
};

// The create-instance function of "uriRequest".
int32_t CreateXUriRequest(NUBO::XObject** out);
