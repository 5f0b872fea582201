// Parses arbitrary bytes as an XML document and walks what parsed through the nodes' own by-name
// members, as scripts do: names, values, text, serialisation, attributes and an XPath query. A
// document that does not parse must answer no document; nothing may crash or leak.
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "platform/xml/dom_document.h"

namespace {

// A member by name; the value is cleared by the caller.
HRESULT Member(IDispatch* object, const OLECHAR* name, WORD flags, VARIANT* out, VARIANT* arg = nullptr) {
    DISPID id = 0;
    auto* text = const_cast<LPOLESTR>(name);
    if (FAILED(object->GetIDsOfNames(IID_NULL, &text, 1, 0, &id))) abort(); // every name walked exists
    DISPPARAMS params{arg, nullptr, arg ? 1u : 0u, 0};
    VariantInit(out);
    return object->Invoke(id, IID_NULL, 0, flags, &params, out, nullptr, nullptr);
}

void Read(IDispatch* node, const OLECHAR* name) {
    VARIANT v;
    Member(node, name, DISPATCH_PROPERTYGET, &v);
    VariantClear(&v);
}

// Walks the node, its children and its next siblings, to a bounded number of nodes.
void Walk(IDispatch* first, int* budget) {
    IDispatch* node = first;
    node->AddRef();
    while (node && (*budget)-- > 0) {
        for (const OLECHAR* name : {u"nodeName", u"nodeValue", u"nodeType", u"text", u"xml", u"prefix"})
            Read(node, name);
        VARIANT attributes;
        Member(node, u"attributes", DISPATCH_PROPERTYGET, &attributes);
        if (attributes.vt == VT_DISPATCH) {
            VARIANT attribute;
            Member(attributes.pdispVal, u"0", DISPATCH_PROPERTYGET, &attribute);
            if (attribute.vt == VT_DISPATCH) Read(attribute.pdispVal, u"value");
            VariantClear(&attribute);
        }
        VariantClear(&attributes);
        VARIANT child;
        Member(node, u"firstChild", DISPATCH_PROPERTYGET, &child);
        if (child.vt == VT_DISPATCH) Walk(child.pdispVal, budget); // the parser bounds the depth
        VariantClear(&child);
        VARIANT next;
        Member(node, u"nextSibling", DISPATCH_PROPERTYGET, &next);
        IDispatch* following = next.vt == VT_DISPATCH ? next.pdispVal : nullptr;
        if (following) following->AddRef();
        VariantClear(&next);
        node->Release();
        node = following;
    }
    if (node) node->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    IDispatch* document = nullptr;
    HRESULT hr = platform::xml::LoadDocumentFromBytes(reinterpret_cast<const char*>(data), size, &document);
    if ((hr == S_OK) != (document != nullptr)) abort();
    if (!document) return 0;
    VARIANT root;
    Member(document, u"documentElement", DISPATCH_PROPERTYGET, &root);
    if (root.vt != VT_DISPATCH) abort(); // a parsed document has its element
    int budget = 2000;
    Walk(root.pdispVal, &budget);
    VARIANT query, found;
    VariantInit(&query);
    query.vt = VT_BSTR;
    query.bstrVal = SysAllocString(u"//*[@*]");
    Member(root.pdispVal, u"selectNodes", DISPATCH_METHOD, &found, &query);
    VariantClear(&found);
    VariantClear(&query);
    VariantClear(&root);
    document->Release();
    return 0;
}
