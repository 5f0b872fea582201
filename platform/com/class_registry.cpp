#include "platform/com/class_registry.h"

#include "platform/crt/wide.h"
#include "platform/net/xml_http_request.h"
#include "platform/script/jscript_engine.h"
#include "platform/xml/dom_document.h"

namespace {

using CreateFn = HRESULT (*)(REFIID riid, void** out);

struct ClassEntry {
    const OLECHAR* progId;
    const CLSID* clsid;
    CreateFn create;
};

constexpr ClassEntry kClasses[] = {
    {u"JScript", &CLSID_JScript, CreateJScriptEngine},
    {u"Microsoft.XMLHTTP", &CLSID_XMLHTTPRequest, CreateXMLHTTPRequest},
    {u"Microsoft.XMLDOM", &CLSID_DOMDocument, CreateDOMDocument},
};

} // namespace

HRESULT CoInitializeEx(void*, DWORD) {
    return S_OK;
}

void CoUninitialize() {}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!clsid) return E_INVALIDARG;
    *clsid = IID_NULL;
    if (!progId) return CO_E_CLASSSTRING;
    for (const ClassEntry& entry : kClasses) {
        if (_wcsicmp(entry.progId, progId) == 0) {
            *clsid = *entry.clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    for (const ClassEntry& entry : kClasses)
        if (IsEqualGUID(*entry.clsid, clsid)) return entry.create(riid, out);
    return REGDB_E_CLASSNOTREG;
}
