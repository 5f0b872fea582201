// The DOM document: parses a stream with libxml2 into a fresh tree per load and answers the
// document members, typed and by name. The parser runs with every door to the outside shut: the
// entity loader refuses all (and a document that needed it fails), no network, entity expansion
// bounded by libxml2's amplification checks, nesting bounded at 256, size at kMaxDocumentBytes and an
// element's attributes at kMaxAttributes.
#include "platform/xml/dom_document.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/valid.h>

#include "platform/crt/wide.h"
#include "platform/xml/dom_internal.h"

const CLSID CLSID_DOMDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace platform::xml {

namespace {

constexpr DISPID kReadyState = 100;
constexpr DISPID kCreateElement = 101;

// Set when the parser asked for anything outside the bytes it was given.
bool g_askedOutside = false;

xmlParserInputPtr RefuseOutside(const char*, const char*, xmlParserCtxtPtr) {
    g_askedOutside = true;
    return nullptr;
}

void IgnoreGeneric(void*, const char*, ...) {}
void IgnoreStructured(void*, xmlErrorPtr) {}

void InitLibrary() {
    static bool done = false;
    if (done) return;
    done = true;
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseOutside);
    xmlSetGenericErrorFunc(nullptr, IgnoreGeneric);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructured);
}

// Bytes from a stream or memory, cut off past the size limit.
struct Source {
    IStream* stream = nullptr;
    const char* bytes = nullptr;
    size_t size = 0;
    size_t taken = 0;
    bool tooLarge = false;
    // The parser reading it, and whether the document has more attributes than an element may.
    xmlParserCtxtPtr context = nullptr;
    bool tooManyAttributes = false;
    int declaredAttributes = 0;
    // The parser's own handlers that the checks below pass on to.
    entityDeclSAXFunc entityDecl = nullptr;
    attributeDeclSAXFunc attributeDecl = nullptr;
};

// The parser checks an element's attributes against one another one pair at a time and appends
// each to a list walked from its start: work that grows with the square of their number. An
// element's attributes are therefore bounded where they can come from: the document's bytes
// (the parser's array for them outgrows twice the bound while it reads the tag), an entity's
// text, and the defaults the document type declares.
bool AttributesOutgrown(const Source& source) {
    return source.context && source.context->maxatts > 2 * 5 * int(kMaxAttributes);
}

// The most attributes a start tag in markup text has: its '=' outside quoted values.
size_t MostAttributesInATag(const xmlChar* text) {
    size_t most = 0, count = 0;
    bool inTag = false;
    xmlChar quote = 0;
    for (const xmlChar* c = text; *c; ++c) {
        if (quote) {
            if (*c == quote) quote = 0;
        } else if (!inTag) {
            inTag = *c == '<';
            count = 0;
        } else if (*c == '"' || *c == '\'') {
            quote = *c;
        } else if (*c == '=') {
            most = std::max(most, ++count);
        } else if (*c == '>') {
            inTag = false;
        }
    }
    return most;
}

// The source the parser is reading (one parse at a time, on one thread).
Source* g_parsing = nullptr;

void Refuse(Source* source) {
    source->tooManyAttributes = true;
    xmlStopParser(source->context);
}

void CheckEntity(void* context, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                 xmlChar* content) {
    Source* source = g_parsing;
    if (content && MostAttributesInATag(content) > kMaxAttributes) Refuse(source);
    if (source->entityDecl) source->entityDecl(context, name, type, publicId, systemId, content);
}

void CheckAttributeDeclaration(void* context, const xmlChar* element, const xmlChar* name, int type, int def,
                               const xmlChar* defaultValue, xmlEnumerationPtr values) {
    Source* source = g_parsing;
    if (++source->declaredAttributes > int(kMaxAttributes)) Refuse(source);
    if (source->attributeDecl) {
        source->attributeDecl(context, element, name, type, def, defaultValue, values);
    } else if (values) {
        xmlFreeEnumeration(values);
    }
}

int ReadSource(void* context, char* buffer, int length) {
    auto* source = static_cast<Source*>(context);
    if (length <= 0) return 0;
    if (AttributesOutgrown(*source)) {
        source->tooManyAttributes = true;
        return -1;
    }
    ULONG got = 0;
    if (source->stream) {
        HRESULT hr = source->stream->Read(buffer, static_cast<ULONG>(length), &got);
        if (FAILED(hr)) return -1;
    } else {
        got = static_cast<ULONG>(std::min(source->size - source->taken, static_cast<size_t>(length)));
        std::memcpy(buffer, source->bytes + source->taken, got);
    }
    source->taken += got;
    if (source->taken > kMaxDocumentBytes) {
        source->tooLarge = true;
        return -1;
    }
    return static_cast<int>(got);
}

int CloseSource(void*) {
    return 0;
}

// The parsed document, or null when the bytes are no (valid) document or broke a limit.
xmlDocPtr Parse(Source* source, bool validate) {
    InitLibrary();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) return nullptr;
    // Internal entities are expanded as the document's text; external ones would need the
    // loader, which refuses, and then the whole load fails below.
    int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (validate) options |= XML_PARSE_DTDVALID;
    g_askedOutside = false;
    source->context = context;
    g_parsing = source;
    source->entityDecl = context->sax->entityDecl;
    source->attributeDecl = context->sax->attributeDecl;
    context->sax->entityDecl = CheckEntity;
    context->sax->attributeDecl = CheckAttributeDeclaration;
    xmlDocPtr doc = xmlCtxtReadIO(context, ReadSource, CloseSource, source, nullptr, nullptr, options);
    g_parsing = nullptr;
    const bool good = doc && context->wellFormed && (!validate || context->valid) && !source->tooLarge &&
                      !g_askedOutside && !source->tooManyAttributes && !AttributesOutgrown(*source);
    xmlFreeParserCtxt(context);
    if (!good && doc) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return doc;
}

DomTree* EmptyTree() {
    return DomTree::Adopt(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
}

class DomDocument : public DispatchObject<IXMLDOMDocument> {
public:
    static DomDocument* Make() {
        DomTree* tree = EmptyTree();
        if (!tree) return nullptr;
        auto* document = new (std::nothrow) DomDocument(tree);
        if (!document) tree->Release();
        return document;
    }

    HRESULT put_resolveExternals(VARIANT_BOOL resolve) override {
        resolveExternals_ = resolve != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT put_validateOnParse(VARIANT_BOOL validate) override {
        validate_ = validate != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT load(VARIANT source, VARIANT_BOOL* ok) override {
        if (ok) *ok = VARIANT_FALSE;
        IStream* stream = nullptr;
        if ((source.vt != VT_UNKNOWN && source.vt != VT_DISPATCH) || !source.punkVal ||
            FAILED(source.punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream))))
            return E_INVALIDARG;
        Source input;
        input.stream = stream;
        HRESULT hr = Replace(Parse(&input, validate_));
        stream->Release();
        if (ok && hr == S_OK) *ok = VARIANT_TRUE;
        return hr;
    }
    HRESULT LoadBytes(const char* bytes, size_t size) {
        Source input;
        input.bytes = bytes;
        input.size = size;
        return Replace(Parse(&input, false));
    }
    HRESULT createElement(BSTR tagName, IXMLDOMElement** element) override {
        if (!element) return E_POINTER;
        *element = nullptr;
        const std::string name = ToUtf8(tagName, SysStringLen(tagName));
        if (xmlValidateName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) != 0) return E_INVALIDARG;
        xmlNodePtr node = xmlNewDocNode(tree_->Doc(), nullptr, reinterpret_cast<const xmlChar*>(name.c_str()), nullptr);
        if (!node) return E_OUTOFMEMORY;
        tree_->KeepLoose(node);
        *element = DomNode::Make(tree_, node);
        return *element ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list) override {
        if (!list) return E_POINTER;
        const std::string name = ToUtf8(tagName, SysStringLen(tagName));
        // A list made once, where the original's is live: it does not follow later changes.
        *list = DomNodeList::Make(tree_, ElementsByTagName(reinterpret_cast<xmlNodePtr>(tree_->Doc()), name));
        return *list ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_doctype(IXMLDOMNode** doctype) override {
        if (!doctype) return E_POINTER;
        *doctype = DomNode::Make(tree_, reinterpret_cast<xmlNodePtr>(tree_->Doc()->intSubset));
        return *doctype ? S_OK : S_FALSE;
    }
    HRESULT get_documentElement(IXMLDOMElement** element) override {
        if (!element) return E_POINTER;
        *element = DomNode::Make(tree_, xmlDocGetRootElement(tree_->Doc()));
        return *element ? S_OK : S_FALSE;
    }
    HRESULT get_namespaceURI(BSTR* uri) override {
        if (!uri) return E_POINTER;
        *uri = SysAllocString(u""); // the document node belongs to no namespace
        return *uri ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT get_readyState(LONG* state) override {
        if (!state) return E_POINTER;
        *state = READYSTATE_COMPLETE;
        return S_OK;
    }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IXMLDOMDocument || riid == IID_IXMLDOMNode; }
    DISPID IdOf(const OLECHAR* name) const override {
        if (wcscmp(name, u"readyState") == 0) return kReadyState;
        if (wcscmp(name, u"createElement") == 0) return kCreateElement;
        return NodeMemberId(name);
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        if (id == kReadyState) {
            if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
            result->vt = VT_I4;
            return get_readyState(&result->lVal);
        }
        if (id == kCreateElement) {
            if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            if (!params || params->cArgs <= params->cNamedArgs) return DISP_E_BADPARAMCOUNT;
            VARIANT name;
            VariantInit(&name);
            HRESULT hr = VariantChangeType(&name, &params->rgvarg[params->cArgs - 1], 0, VT_BSTR);
            IXMLDOMElement* element = nullptr;
            if (SUCCEEDED(hr)) hr = createElement(name.bstrVal, &element);
            VariantClear(&name);
            if (FAILED(hr)) return hr;
            result->vt = VT_DISPATCH;
            result->pdispVal = element;
            return S_OK;
        }
        return CallNodeMember(tree_, reinterpret_cast<xmlNodePtr>(tree_->Doc()), id, flags, params, result);
    }

public:
    DomTree* Tree() const { return tree_; }

private:
    explicit DomDocument(DomTree* tree) : tree_(tree) {}
    ~DomDocument() override { tree_->Release(); }

    // The parsed tree replaces the current one; a failed parse leaves an empty document.
    HRESULT Replace(xmlDocPtr doc) {
        const bool parsed = doc != nullptr;
        DomTree* tree = parsed ? DomTree::Adopt(doc) : EmptyTree();
        if (!tree) return E_OUTOFMEMORY;
        tree_->MoveWatchersTo(tree);
        tree_->Release();
        tree_ = tree;
        tree_->Changed();
        return parsed ? S_OK : S_FALSE;
    }

    DomTree* tree_;
    bool validate_ = false;
    bool resolveExternals_ = false; // remembered only: nothing outside is read either way
};

} // namespace

DomTree* DocumentTree(IUnknown* object) {
    auto* document = dynamic_cast<DomDocument*>(object);
    return document ? document->Tree() : nullptr;
}

HRESULT LoadDocumentFromBytes(const char* bytes, size_t size, IDispatch** document) {
    if (!document) return E_POINTER;
    *document = nullptr;
    DomDocument* made = DomDocument::Make();
    if (!made) return E_OUTOFMEMORY;
    HRESULT hr = made->LoadBytes(bytes, size);
    if (hr != S_OK) {
        made->Release();
        return FAILED(hr) ? hr : S_FALSE;
    }
    *document = made;
    return S_OK;
}

} // namespace platform::xml

HRESULT CreateDOMDocument(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    platform::xml::DomDocument* document = platform::xml::DomDocument::Make();
    if (!document) return E_OUTOFMEMORY;
    HRESULT hr = document->QueryInterface(riid, out);
    document->Release();
    return hr;
}
