#include "app/xml_http_request.h"

#include <new>

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/net/xml_http_request.h"
#include "platform/win/sync.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XArgString;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// Failures of the platform request pass through as its own HRESULT.
int32_t Code(HRESULT hr) {
    return FAILED(hr) ? int32_t(hr) : 0;
}

// A BSTR the platform handed over becomes the output's text.
void PutBstr(XVariant* out, BSTR text) {
    out->Clear();
    out->vt = VT_BSTR;
    out->bstrVal = text;
}

VARIANT NullVariant() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

int32_t AbortBody(XXmlHttpRequest* self, XArgList*, XVariant*) {
    return self->Abort();
}

int32_t OpenBody(XXmlHttpRequest* self, XArgList* args, XVariant*) {
    XArgString method(args->GetArg(0));
    XArgString url(args->GetArg(1));
    return self->Open(method.GetString(), url.GetString());
}

int32_t SetRequestHeaderBody(XXmlHttpRequest* self, XArgList* args, XVariant*) {
    XArgString name(args->GetArg(0));
    XArgString value(args->GetArg(1));
    return self->SetRequestHeader(name.GetString(), value.GetString());
}

int32_t SendBody(XXmlHttpRequest* self, XArgList* args, XVariant*) {
    return self->Send(*args->GetArg(0));
}

int32_t GetAllResponseHeadersBody(XXmlHttpRequest* self, XArgList*, XVariant* out) {
    return self->GetAllResponseHeaders(out);
}

int32_t GetResponseHeaderBody(XXmlHttpRequest* self, XArgList* args, XVariant* out) {
    XArgString name(args->GetArg(0));
    return self->GetResponseHeader(name.GetString(), out);
}

int32_t GetReadyState(XXmlHttpRequest* self, XVariant* out) {
    return self->GetReadyState(out);
}
int32_t GetResponseText(XXmlHttpRequest* self, XVariant* out) {
    return self->GetResponseText(out);
}
int32_t GetResponseXml(XXmlHttpRequest* self, XVariant* out) {
    return self->GetResponseXml(out);
}
int32_t GetStatus(XXmlHttpRequest* self, XVariant* out) {
    return self->GetStatus(out);
}
int32_t GetStatusText(XXmlHttpRequest* self, XVariant* out) {
    return self->GetStatusText(out);
}
int32_t SetOnReadyStateChange(XXmlHttpRequest* self, const VARIANT& value) {
    XObject* handler = nullptr;
    if (static_cast<const XVariant&>(value).GetXObject(&handler) != 0) handler = nullptr;
    int32_t rc = self->SetHandler(handler);
    if (handler) handler->Release();
    return rc;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<0, AbortBody>("abort"),
    MethodRow<2, OpenBody>("open"),
    MethodRow<2, SetRequestHeaderBody>("setRequestHeader"),
    MethodRow<1, SendBody>("send"),
    MethodRow<0, GetAllResponseHeadersBody>("getAllResponseHeaders"),
    MethodRow<1, GetResponseHeaderBody>("getResponseHeader"),
    PropertyRow<GetReadyState>("readyState"),
    PropertyRow<GetResponseText>("responseText"),
    PropertyRow<GetResponseXml>("responseXML"),
    PropertyRow<GetStatus>("status"),
    PropertyRow<GetStatusText>("statusText"),
    NUBO::XProperty("onreadystatechange", nullptr, script_class::Setter<XXmlHttpRequest, SetOnReadyStateChange>),
    NUBO::XMemberEnd(),
};

} // namespace

XXmlHttpReadyStateSink::XXmlHttpReadyStateSink(XObject* handler) : handler_(handler) {
    if (handler_) handler_->AddRef();
}

XXmlHttpReadyStateSink::~XXmlHttpReadyStateSink() {
    if (handler_) handler_->Release();
}

HRESULT XXmlHttpReadyStateSink::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG XXmlHttpReadyStateSink::AddRef() {
    return ULONG(InterlockedIncrement(&refs_));
}

ULONG XXmlHttpReadyStateSink::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
}

HRESULT XXmlHttpReadyStateSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    if (!handler_) return S_OK;
    // The handler may drop the request, and with it this sink, while it runs.
    AddRef();
    XObject* handler = handler_;
    handler->AddRef();
    IUnknown* unknown = nullptr;
    IDispatch* dispatch = nullptr;
    if (handler->QueryUnknown(&unknown) == 0 && unknown) {
        unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        unknown->Release();
    }
    if (dispatch) {
        DISPPARAMS none{};
        HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                      nullptr, nullptr);
        dispatch->Release();
        if (FAILED(hr)) XObject::CallMethod0NoResult(handler, u"onReadyStateChanged");
    }
    handler->Release();
    Release();
    return S_OK;
}

NUBO::XClassDescriptor XXmlHttpRequest::Descriptor = {"XXmlHttpRequest", 13, kMembers, &XObject::Descriptor, 0, {}};

XXmlHttpRequest::~XXmlHttpRequest() {
    sink_ = nullptr;
    if (request_) {
        request_->put_onreadystatechange(nullptr); // no callback reaches a dead object
        request_->Release();
    }
}

int32_t XXmlHttpRequest::EnsurePlatformRequest() {
    if (request_) return 0;
    HRESULT hr = CoCreateInstance(CLSID_XMLHTTPRequest, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLHTTPRequest,
                                  reinterpret_cast<void**>(&request_));
    if (FAILED(hr)) return int32_t(hr);
    return request_ ? 0 : NUBO::XR_OUT_OF_MEMORY;
}

int32_t XXmlHttpRequest::Open(const WCHAR* method, const WCHAR* url) {
    if (!method || !*method || !url || !*url) return NUBO::XR_INVALID;
    int32_t rc = EnsurePlatformRequest();
    if (rc != 0) return rc;
    BSTR m = SysAllocString(method);
    BSTR u = SysAllocString(url);
    VARIANT async;
    VariantInit(&async);
    async.vt = VT_BOOL;
    async.boolVal = VARIANT_TRUE;
    HRESULT hr = m && u ? request_->open(m, u, async, NullVariant(), NullVariant()) : E_OUTOFMEMORY;
    SysFreeString(m);
    SysFreeString(u);
    return Code(hr);
}

int32_t XXmlHttpRequest::SetRequestHeader(const WCHAR* name, const WCHAR* value) {
    if (!name || !*name || !value || !*value) return 0;
    int32_t rc = EnsurePlatformRequest();
    if (rc != 0) return rc;
    BSTR n = SysAllocString(name);
    BSTR v = SysAllocString(value);
    HRESULT hr = n && v ? request_->setRequestHeader(n, v) : E_OUTOFMEMORY;
    SysFreeString(n);
    SysFreeString(v);
    return Code(hr);
}

int32_t XXmlHttpRequest::Send(const VARIANT& body) {
    if (!request_) return 0;
    return Code(request_->send(body));
}

int32_t XXmlHttpRequest::Abort() {
    return request_ ? Code(request_->abort()) : 0;
}

int32_t XXmlHttpRequest::SetHandler(XObject* handler) {
    int32_t rc = EnsurePlatformRequest();
    if (rc != 0) return rc;
    sink_ = nullptr;
    auto* sink = new (std::nothrow) XXmlHttpReadyStateSink(handler);
    if (!sink) return NUBO::XR_OUT_OF_MEMORY;
    sink->AddRef();
    sink_ = sink;
    HRESULT hr = request_->put_onreadystatechange(sink);
    sink->Release(); // the platform request holds it
    return Code(hr);
}

int32_t XXmlHttpRequest::GetReadyState(XVariant* out) {
    LONG state = 0;
    if (request_) {
        HRESULT hr = request_->get_readyState(&state);
        if (FAILED(hr)) return Code(hr);
    }
    *out = unsigned(state);
    return 0;
}

int32_t XXmlHttpRequest::GetStatus(XVariant* out) {
    LONG status = 0;
    if (request_) {
        HRESULT hr = request_->get_status(&status);
        if (FAILED(hr)) return Code(hr);
    }
    *out = int(status);
    return 0;
}

int32_t XXmlHttpRequest::GetStatusText(XVariant* out) {
    BSTR text = nullptr;
    if (request_) {
        HRESULT hr = request_->get_statusText(&text);
        if (FAILED(hr)) return Code(hr);
    }
    if (!text) text = SysAllocString(u"");
    PutBstr(out, text);
    return 0;
}

int32_t XXmlHttpRequest::GetResponseText(XVariant* out) {
    BSTR text = nullptr;
    if (request_) {
        HRESULT hr = request_->get_responseText(&text);
        if (FAILED(hr)) return Code(hr);
    }
    if (SysStringLen(text) == 0) {
        SysFreeString(text);
        *out = 0;
    } else {
        PutBstr(out, text);
    }
    return 0;
}

int32_t XXmlHttpRequest::GetResponseXml(XVariant* out) {
    if (!request_) return 0;
    IDispatch* document = nullptr;
    HRESULT hr = request_->get_responseXML(&document);
    if (FAILED(hr)) return Code(hr);
    if (!document) return 0;
    XObject* object = nullptr;
    int32_t rc = XObject::FromUnknown(document, &object);
    document->Release();
    if (rc != 0) return rc;
    script_class::PutObject(out, object);
    return 0;
}

int32_t XXmlHttpRequest::GetAllResponseHeaders(XVariant* out) {
    if (!request_) return 0;
    BSTR headers = nullptr;
    HRESULT hr = request_->getAllResponseHeaders(&headers);
    if (FAILED(hr)) return Code(hr);
    PutBstr(out, headers ? headers : SysAllocString(u""));
    return 0;
}

int32_t XXmlHttpRequest::GetResponseHeader(const WCHAR* name, XVariant* out) {
    if (!request_) return 0;
    BSTR n = SysAllocString(name);
    BSTR value = nullptr;
    HRESULT hr = request_->getResponseHeader(n, &value);
    SysFreeString(n);
    if (FAILED(hr)) return Code(hr);
    if (SysStringLen(value) == 0) {
        SysFreeString(value);
        return 0;
    }
    PutBstr(out, value);
    return 0;
}

int32_t CreateXXmlHttpRequest(XObject** out) {
    return script_class::CreateInstance<XXmlHttpRequest>(out);
}
