#include "app/dom_document.h"

#include <iterator>
#include <new>

#include "platform/com/class_registry.h"
#include "platform/xml/dom_document.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/stream_adapter.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// The result of a load whose stream is no well-formed (or valid) document.
constexpr int32_t kParseFailed = 75;

// The result code of a platform failure is its own HRESULT; S_FALSE is a success.
int32_t Code(HRESULT hr) {
    return FAILED(hr) ? int32_t(hr) : 0;
}

// A platform object passes to the script as VT_UNKNOWN with the reference it came with; null
// stays null.
void PutUnknown(XVariant* out, IUnknown* object) {
    out->Clear();
    if (!object) {
        out->vt = VT_NULL;
        return;
    }
    out->vt = VT_UNKNOWN;
    out->punkVal = object;
}

int32_t LoadBody(XDomDocument* self, XArgList* args, XVariant*) {
    return self->Load(args->GetArg(0), script_class::ArgBool(args, 1));
}

int32_t CreateElementBody(XDomDocument* self, XArgList* args, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    NUBO::XArgString tag(args->GetArg(0));
    BSTR name = SysAllocString(tag.GetString());
    IXMLDOMElement* element = nullptr;
    HRESULT hr = document->createElement(name, &element);
    SysFreeString(name);
    if (FAILED(hr)) return Code(hr);
    PutUnknown(out, element);
    return 0;
}

int32_t GetElementsByTagNameBody(XDomDocument* self, XArgList* args, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    NUBO::XArgString tag(args->GetArg(0));
    BSTR name = SysAllocString(tag.GetString());
    IXMLDOMNodeList* list = nullptr;
    HRESULT hr = document->getElementsByTagName(name, &list);
    SysFreeString(name);
    if (FAILED(hr)) return Code(hr);
    PutUnknown(out, list);
    return 0;
}

int32_t GetDocType(XDomDocument* self, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    IXMLDOMNode* doctype = nullptr;
    HRESULT hr = document->get_doctype(&doctype);
    if (FAILED(hr)) return Code(hr);
    PutUnknown(out, doctype);
    return 0;
}

int32_t GetDocumentElement(XDomDocument* self, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    IXMLDOMElement* element = nullptr;
    HRESULT hr = document->get_documentElement(&element);
    if (FAILED(hr)) return Code(hr);
    PutUnknown(out, element);
    return 0;
}

// Replacing the document element is not supported.
int32_t SetDocumentElement(XDomDocument*, const VARIANT&) {
    return NUBO::XR_FAIL;
}

int32_t GetNamespaceUri(XDomDocument* self, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    BSTR uri = nullptr;
    HRESULT hr = document->get_namespaceURI(&uri);
    if (FAILED(hr)) return Code(hr);
    *out = XVariant(uri ? uri : u"");
    SysFreeString(uri);
    return 0;
}

int32_t SetNamespaceUri(XDomDocument*, const VARIANT&) {
    return NUBO::XR_NOT_IMPLEMENTED;
}

int32_t GetReadyState(XDomDocument* self, XVariant* out) {
    IXMLDOMDocument* document = self->Document();
    if (!document) return NUBO::XR_FAIL;
    LONG state = 0;
    HRESULT hr = document->get_readyState(&state);
    if (FAILED(hr)) return Code(hr);
    *out = XVariant(int(state));
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<2, LoadBody>("load"),
    MethodRow<1, CreateElementBody>("createElement"),
    MethodRow<1, GetElementsByTagNameBody>("getElementsByTagName"),
    PropertyRow<GetDocType>("docType"),
    PropertyRow<GetDocumentElement, SetDocumentElement>("documentElement"),
    PropertyRow<GetNamespaceUri, SetNamespaceUri>("namespaceURI"),
    PropertyRow<GetReadyState>("readyState"),
    NUBO::XMemberEnd(),
};

} // namespace

XDomDocumentHolder::~XDomDocumentHolder() {
    if (document) document->Release();
}

NUBO::XClassDescriptor XDomDocument::Descriptor = {
    "XDomDocument", int(std::size(kMembers)), kMembers, &XObject::Descriptor, 0, {}};

XDomDocument::~XDomDocument() {
    if (holder_) holder_->Release();
}

IXMLDOMDocument* XDomDocument::Document() const {
    return holder_ ? holder_->document : nullptr;
}

int32_t XDomDocument::Load(const VARIANT* source, bool validate) {
    NUBO::XStream* raw = nullptr;
    if (NUBO::VariantToXStream(&raw, source) != 0 || !raw) return NUBO::XR_INVALID;
    NUBO::RefPtr<NUBO::XStream> stream(raw);

    auto* holder = new (std::nothrow) XDomDocumentHolder();
    if (!holder) return NUBO::XR_OUT_OF_MEMORY;
    holder->AddRef();
    // The previous document's watchers (bindings showing it) follow to the new one once it loaded.
    NUBO::RefPtr<XDomDocumentHolder> previous(holder_);
    holder_ = holder;

    HRESULT hr = CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(&holder->document));
    if (FAILED(hr)) return Code(hr);
    if (!holder->document) return NUBO::XR_OUT_OF_MEMORY;
    IXMLDOMDocument* document = holder->document;
    document->put_resolveExternals(VARIANT_FALSE);
    if (validate) {
        document->put_resolveExternals(VARIANT_TRUE);
        document->put_validateOnParse(VARIANT_TRUE);
    } else {
        document->put_validateOnParse(VARIANT_FALSE);
    }

    auto* adapter = new (std::nothrow) NUBO::XtoIStreamAdapter(stream.get());
    if (!adapter) return NUBO::XR_OUT_OF_MEMORY;
    adapter->AddRef();
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = static_cast<IStream*>(adapter);
    VARIANT_BOOL ok = VARIANT_FALSE;
    hr = document->load(input, &ok);
    adapter->Release();
    if (previous && previous->document) platform::xml::MoveWatchers(previous->document, document);
    if (FAILED(hr)) return Code(hr);
    return ok == VARIANT_TRUE ? 0 : kParseFailed;
}

int32_t CreateXDomDocument(XObject** out) {
    return script_class::CreateInstance<XDomDocument>(out);
}
