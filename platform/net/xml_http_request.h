#pragma once
// The XMLHTTP request: one HTTP exchange at a time, always asynchronous, run by the message loop of
// the thread that sends it (the same transfer loop as URL-moniker downloads). Ready-state changes
// reach the sink's IDispatch::Invoke(DISPID_VALUE, DISPATCH_METHOD, no arguments) on that thread,
// in order: 1 when opened (inside `open`), then from the loop 2 headers received, 3 body arriving,
// 4 done. Nothing is called inside `send`, after `abort`, or on a sink that was replaced.
// A failed exchange (no connection, time-out, refused certificate) still ends at state 4, with the
// failure's WinINet error code as its status, an empty status text, no headers and no body.
#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"

extern const CLSID CLSID_XMLHTTPRequest;
extern const IID IID_IXMLHTTPRequest;

// Status, headers and body are not there yet (before the headers of the answer came).
constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000A);

// The status of an exchange that failed.
constexpr LONG ERROR_INTERNET_TIMEOUT = 12002;
constexpr LONG ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr LONG ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr LONG ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr LONG ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr LONG ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr LONG ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr LONG ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr LONG ERROR_INTERNET_INVALID_CA = 12045;
constexpr LONG ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr LONG ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr LONG ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

struct IXMLHTTPRequest : IDispatch {
    // Starts a new exchange (ending one still running, silently): state 1. Only http and https
    // URLs (INET_E_UNKNOWN_PROTOCOL, INET_E_INVALID_URL); a method that is no HTTP token and a
    // user or password are E_INVALIDARG; `async` false is E_NOTIMPL.
    virtual HRESULT open(BSTR method, BSTR url, VARIANT async, VARIANT user, VARIANT password) = 0;
    // Between open and send only (E_UNEXPECTED); a header that would break the request (a name that
    // is no token, a line break in the value) is E_INVALIDARG. The same name twice sends both.
    virtual HRESULT setRequestHeader(BSTR header, BSTR value) = 0;
    // The final answer's header of that name (case does not matter), several joined by ", "; a
    // null string when there is none.
    virtual HRESULT getResponseHeader(BSTR header, BSTR* value) = 0;
    // The final answer's header lines, each ending in CR LF, without the status line.
    virtual HRESULT getAllResponseHeaders(BSTR* headers) = 0;
    // Once after open (E_UNEXPECTED). The body: text is sent as UTF-8, empty or null sends none,
    // other values are sent as their text; GET and HEAD send no body.
    virtual HRESULT send(VARIANT body) = 0;
    // Ends the exchange at once: state 0, nothing called.
    virtual HRESULT abort() = 0;
    virtual HRESULT get_status(LONG* status) = 0;
    virtual HRESULT get_statusText(BSTR* text) = 0;
    // The parsed XML body at state 4; null when there is none.
    virtual HRESULT get_responseXML(IDispatch** document) = 0;
    // The body so far as text: a byte-order mark, else the charset of Content-Type (UTF-16,
    // ISO-8859-1, US-ASCII), else UTF-8.
    virtual HRESULT get_responseText(BSTR* text) = 0;
    virtual HRESULT get_readyState(LONG* state) = 0;
    // The object holds the sink (null: none) until another is put or the object goes.
    virtual HRESULT put_onreadystatechange(IDispatch* sink) = 0;

protected:
    ~IXMLHTTPRequest() = default;
};

// The class's factory for CoCreateInstance.
HRESULT CreateXMLHTTPRequest(REFIID riid, void** out);

namespace platform::net {
// Seconds in which an exchange must receive something before it fails with
// ERROR_INTERNET_TIMEOUT (60); tests shorten it.
void SetRequestIdleTimeout(long seconds);
// Bytes of body an answer may bring before the exchange fails with
// ERROR_INTERNET_CONNECTION_ABORTED.
constexpr size_t kMaxResponseBytes = 32u << 20;
} // namespace platform::net
