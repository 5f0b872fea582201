#pragma once
// XXmlHttpRequest: `new XMLHttpRequest()` in scripts, and the transport of the web login client. A
// thin layer over the platform's XMLHTTP request, made when first needed: result codes instead of
// exceptions, and the request's ready-state callbacks delivered to a script handler (a function,
// called as one, or an object whose "onReadyStateChanged" is called by name).
#include <cstdint>

#include "platform/com/dispatch.h"
#include "runtime/script_object.h"

struct IXMLHTTPRequest;

// The platform request's ready-state sink: it holds the handler and calls it on every change.
class XXmlHttpReadyStateSink final : public IDispatch {
public:
    explicit XXmlHttpReadyStateSink(NUBO::XObject* handler);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    // Calls the handler's default member; when that fails, its "onReadyStateChanged". Always S_OK.
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepinfo, UINT* argErr) override;

private:
    ~XXmlHttpReadyStateSink();

    volatile LONG refs_ = 0;
    NUBO::XObject* handler_; // counted, may be null
};

class XXmlHttpRequest : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XXmlHttpRequest"

    XXmlHttpRequest() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // The members' work; failures of the platform request come back as its HRESULT.
    int32_t Open(const WCHAR* method, const WCHAR* url);
    int32_t SetRequestHeader(const WCHAR* name, const WCHAR* value);
    int32_t Send(const VARIANT& body);
    int32_t Abort();
    int32_t SetHandler(NUBO::XObject* handler);
    int32_t GetReadyState(NUBO::XVariant* out);
    int32_t GetStatus(NUBO::XVariant* out);
    int32_t GetStatusText(NUBO::XVariant* out);
    // The body as text, or the number 0 for an empty one.
    int32_t GetResponseText(NUBO::XVariant* out);
    int32_t GetResponseXml(NUBO::XVariant* out);
    int32_t GetAllResponseHeaders(NUBO::XVariant* out);
    // Leaves `out` empty for a header that is absent or empty.
    int32_t GetResponseHeader(const WCHAR* name, NUBO::XVariant* out);

protected:
    ~XXmlHttpRequest() override;

private:
    int32_t EnsurePlatformRequest();

    IXMLHTTPRequest* request_ = nullptr;     // counted
    XXmlHttpReadyStateSink* sink_ = nullptr; // the current one, held by the platform request
};

// The create-instance function of "XMLHttpRequest".
int32_t CreateXXmlHttpRequest(NUBO::XObject** out);
