// Nodes and node lists of the DOM, answering scripts by name. A change never frees a node: what
// leaves the tree (and what createElement makes) is kept loose until the tree goes, so a wrapper's
// node lives exactly as long as its tree, which every wrapper counts.
#include <algorithm>
#include <cstdlib>
#include <new>

#include <libxml/xpath.h>

#include "platform/crt/wide.h"
#include "platform/script/host_member_kind.h"
#include "platform/xml/dom_internal.h"

const IID IID_IXMLDOMNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMNodeList = {0x2933BF82, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace platform::xml {

namespace {

enum Member : DISPID {
    kNodeName = 1,
    kNodeValue,
    kNodeType,
    kNodeTypeString,
    kParentNode,
    kChildNodes,
    kFirstChild,
    kLastChild,
    kPreviousSibling,
    kNextSibling,
    kAttributes,
    kOwnerDocument,
    kText,
    kXml,
    kTagName,
    kBaseName,
    kPrefix,
    kNamespaceUri,
    kName,
    kValue,
    kData,
    kDocumentElement,
    kDoctype,
    kHasChildNodes, // methods from here on
    kGetAttribute,
    kGetAttributeNode,
    kGetElementsByTagName,
    kSelectSingleNode,
    kSelectNodes,
    kSetAttribute,
    kAppendChild, // methods that take a node from here on
    kRemoveChild,
};

constexpr FixedMember kNodeMembers[] = {
    {u"nodeName", kNodeName, false},
    {u"nodeValue", kNodeValue, false},
    {u"nodeType", kNodeType, false},
    {u"nodeTypeString", kNodeTypeString, false},
    {u"parentNode", kParentNode, false},
    {u"childNodes", kChildNodes, false},
    {u"firstChild", kFirstChild, false},
    {u"lastChild", kLastChild, false},
    {u"previousSibling", kPreviousSibling, false},
    {u"nextSibling", kNextSibling, false},
    {u"attributes", kAttributes, false},
    {u"ownerDocument", kOwnerDocument, false},
    {u"text", kText, false},
    {u"xml", kXml, false},
    {u"tagName", kTagName, false},
    {u"baseName", kBaseName, false},
    {u"prefix", kPrefix, false},
    {u"namespaceURI", kNamespaceUri, false},
    {u"name", kName, false},
    {u"value", kValue, false},
    {u"data", kData, false},
    {u"documentElement", kDocumentElement, false},
    {u"doctype", kDoctype, false},
    {u"hasChildNodes", kHasChildNodes, true},
    {u"getAttribute", kGetAttribute, true},
    {u"getAttributeNode", kGetAttributeNode, true},
    {u"getElementsByTagName", kGetElementsByTagName, true},
    {u"selectSingleNode", kSelectSingleNode, true},
    {u"selectNodes", kSelectNodes, true},
    {u"setAttribute", kSetAttribute, true},
    {u"appendChild", kAppendChild, true},
    {u"removeChild", kRemoveChild, true},
};

enum ListMember : DISPID {
    kLength = 1,
    kItem,
    kNextNode,
    kReset,
    kGetNamedItem,
    kIndexBase = 0x1000000, // "0", "1", ... read items
};

constexpr FixedMember kListMembers[] = {
    {u"length", kLength, false},
    {u"item", kItem, true},
    {u"nextNode", kNextNode, true},
    {u"reset", kReset, true},
    {u"getNamedItem", kGetNamedItem, true},
};

// The node kinds scripts see; declarations inside a DTD and namespace records stay hidden.
bool Visible(xmlNodePtr node) {
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_PI_NODE:
    case XML_COMMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_DOCUMENT_TYPE_NODE:
    case XML_DTD_NODE:
    case XML_DOCUMENT_FRAG_NODE:
        return true;
    default:
        return false;
    }
}

bool IsDocument(xmlNodePtr node) {
    return node->type == XML_DOCUMENT_NODE;
}

xmlNodePtr FirstVisible(xmlNodePtr node, bool forward) {
    while (node && !Visible(node))
        node = forward ? node->next : node->prev;
    return node;
}

// Children of an attribute or a document are in `children` like those of elements.
xmlNodePtr Children(xmlNodePtr node) {
    return node->type == XML_ENTITY_REF_NODE ? nullptr : node->children;
}

xmlNodePtr LastChild(xmlNodePtr node) {
    xmlNodePtr child = Children(node);
    while (child && child->next)
        child = child->next;
    return child;
}

std::string QualifiedName(xmlNodePtr node) {
    std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns && node->ns->prefix)
        name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    return name;
}

std::string NodeName(xmlNodePtr node) {
    switch (node->type) {
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    case XML_DOCUMENT_NODE:
        return "#document";
    case XML_DOCUMENT_FRAG_NODE:
        return "#document-fragment";
    default:
        return QualifiedName(node);
    }
}

LONG NodeType(xmlNodePtr node) {
    switch (node->type) {
    case XML_DTD_NODE:
    case XML_DOCUMENT_TYPE_NODE:
        return 10;
    default:
        return static_cast<LONG>(node->type);
    }
}

const char* NodeTypeString(xmlNodePtr node) {
    switch (NodeType(node)) {
    case 1:
        return "element";
    case 2:
        return "attribute";
    case 3:
        return "text";
    case 4:
        return "cdatasection";
    case 5:
        return "entityreference";
    case 7:
        return "processinginstruction";
    case 8:
        return "comment";
    case 9:
        return "document";
    case 10:
        return "documenttype";
    default:
        return "documentfragment";
    }
}

bool HasValue(xmlNodePtr node) {
    switch (node->type) {
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_PI_NODE:
    case XML_COMMENT_NODE:
        return true;
    default:
        return false;
    }
}

HRESULT PutText(VARIANT* result, const std::string& text) {
    BSTR value = ToBstr(reinterpret_cast<const xmlChar*>(text.c_str()));
    if (!value) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = value;
    return S_OK;
}

// libxml2's own string, freed here.
HRESULT PutOwnedText(VARIANT* result, xmlChar* text) {
    BSTR value = ToBstr(text ? text : reinterpret_cast<const xmlChar*>(""));
    xmlFree(text);
    if (!value) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = value;
    return S_OK;
}

HRESULT PutNull(VARIANT* result) {
    result->vt = VT_NULL;
    return S_OK;
}

HRESULT PutNode(VARIANT* result, DomTree* tree, xmlNodePtr node) {
    if (!node) return PutNull(result);
    DomNode* wrapper = DomNode::Make(tree, node);
    if (!wrapper) return node && Visible(node) ? E_OUTOFMEMORY : PutNull(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = wrapper;
    return S_OK;
}

HRESULT PutList(VARIANT* result, DomTree* tree, std::vector<xmlNodePtr> nodes) {
    DomNodeList* list = DomNodeList::Make(tree, std::move(nodes));
    if (!list) return E_OUTOFMEMORY;
    result->vt = VT_DISPATCH;
    result->pdispVal = list;
    return S_OK;
}

// The positional argument i (first written first); null when absent.
const VARIANT* Arg(DISPPARAMS* params, UINT i) {
    if (!params || params->cArgs <= params->cNamedArgs) return nullptr;
    const UINT positional = params->cArgs - params->cNamedArgs;
    if (i >= positional) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - i];
}

bool TextOf(const VARIANT* arg, std::string* out) {
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, arg, 0, VT_BSTR))) return false;
    *out = ToUtf8(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    return true;
}

bool ArgText(DISPPARAMS* params, UINT i, std::string* out) {
    const VARIANT* arg = Arg(params, i);
    return arg && TextOf(arg, out);
}

bool ArgIndex(DISPPARAMS* params, UINT i, LONG* out) {
    const VARIANT* arg = Arg(params, i);
    if (!arg) return false;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, arg, 0, VT_I4))) return false;
    *out = number.lVal;
    return true;
}

void IgnoreError(void*, xmlErrorPtr) {}

// XPath 1.0 from the node; E_FAIL for an expression that is wrong, gives no node set, or takes
// more than kMaxXPathSteps steps (nested paths over a large document would hold the thread for hours).
HRESULT Select(xmlNodePtr node, const std::string& expression, std::vector<xmlNodePtr>* out) {
    xmlXPathContextPtr context = xmlXPathNewContext(node->doc);
    if (!context) return E_OUTOFMEMORY;
    context->node = node;
    context->error = IgnoreError;
    context->opLimit = kMaxXPathSteps;
    xmlXPathObjectPtr found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context);
    HRESULT hr = E_FAIL;
    if (found && found->type == XPATH_NODESET) {
        hr = S_OK;
        if (xmlNodeSetPtr set = found->nodesetval) {
            for (int i = 0; i < set->nodeNr; i++)
                if (set->nodeTab[i] && Visible(set->nodeTab[i])) out->push_back(set->nodeTab[i]);
        }
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return hr;
}

HRESULT Serialize(xmlNodePtr node, VARIANT* result) {
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer) return E_OUTOFMEMORY;
    if (IsDocument(node)) {
        for (xmlNodePtr child = node->children; child; child = child->next) {
            if (child != node->children) xmlBufferCCat(buffer, "\r\n");
            xmlNodeDump(buffer, node->doc, child, 0, 0);
        }
    } else {
        xmlNodeDump(buffer, node->doc, node, 0, 0);
    }
    HRESULT hr = PutText(result, reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return hr;
}

xmlAttrPtr FindAttribute(xmlNodePtr node, const std::string& name) {
    if (node->type != XML_ELEMENT_NODE) return nullptr;
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
        if (QualifiedName(reinterpret_cast<xmlNodePtr>(attr)) == name) return attr;
    return nullptr;
}

DISPID FindId(const FixedMember* table, size_t count, const OLECHAR* name) {
    for (size_t i = 0; i < count; i++)
        if (wcscmp(name, table[i].name) == 0) return table[i].id;
    return DISPID_UNKNOWN;
}

// The node of ours that argument i holds, in `tree`; null otherwise.
xmlNodePtr ArgNode(DomTree* tree, DISPPARAMS* params, UINT i) {
    const VARIANT* arg = Arg(params, i);
    if (!arg || (arg->vt != VT_DISPATCH && arg->vt != VT_UNKNOWN) || !arg->punkVal) return nullptr;
    DomNode* node = DomNode::From(arg->punkVal);
    return node && node->Tree() == tree ? node->Node() : nullptr;
}

// The children of an element or attribute leave the tree (kept loose), so that none is freed under
// a wrapper; then the text becomes its one child.
HRESULT ReplaceText(DomTree* tree, xmlNodePtr node, const std::string& text) {
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) {
        if (node->type != XML_TEXT_NODE && node->type != XML_CDATA_SECTION_NODE && node->type != XML_COMMENT_NODE)
            return E_INVALIDARG;
        xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(text.c_str()));
        return S_OK;
    }
    xmlNodePtr added =
        text.empty() ? nullptr : xmlNewDocText(node->doc, reinterpret_cast<const xmlChar*>(text.c_str()));
    if (!text.empty() && !added) return E_OUTOFMEMORY;
    while (xmlNodePtr child = node->children) {
        xmlUnlinkNode(child);
        tree->KeepLoose(child);
    }
    // A text child added to a childless node is not merged with anything, so it is not freed.
    if (added) xmlAddChild(node, added);
    return S_OK;
}

HRESULT SetAttribute(DomTree* tree, xmlNodePtr node, const std::string& name, const std::string& value) {
    if (node->type != XML_ELEMENT_NODE) return E_INVALIDARG;
    if (xmlAttrPtr attr = FindAttribute(node, name))
        return ReplaceText(tree, reinterpret_cast<xmlNodePtr>(attr), value);
    if (xmlValidateName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) != 0) return E_INVALIDARG;
    return xmlNewProp(node, reinterpret_cast<const xmlChar*>(name.c_str()),
                      reinterpret_cast<const xmlChar*>(value.c_str()))
               ? S_OK
               : E_OUTOFMEMORY;
}

// Only elements move, and only below an element or a document without one: a text appended
// beside another would be merged into it and freed.
HRESULT AppendChild(DomTree* tree, xmlNodePtr parent, xmlNodePtr child) {
    if (!child || child->type != XML_ELEMENT_NODE) return E_INVALIDARG;
    if (parent->type != XML_ELEMENT_NODE && !(IsDocument(parent) && !xmlDocGetRootElement(parent->doc)))
        return E_INVALIDARG;
    for (xmlNodePtr up = parent; up; up = up->parent)
        if (up == child) return E_INVALIDARG; // a node cannot hold itself
    xmlUnlinkNode(child);
    tree->Unloose(child);
    xmlAddChild(parent, child);
    return S_OK;
}

} // namespace

// -- the tree ------------------------------------------------------------------------------------

DomTree* DomTree::Adopt(xmlDocPtr doc) {
    if (!doc) return nullptr;
    auto* tree = new (std::nothrow) DomTree(doc);
    if (!tree) xmlFreeDoc(doc);
    return tree;
}

void DomTree::Release() {
    if (--refs_ == 0) delete this;
}

DomTree::~DomTree() {
    for (DomWatcher* watcher : watchers_)
        watcher->watched_ = nullptr;
    for (xmlNodePtr node : loose_)
        if (!node->parent) xmlFreeNode(node);
    xmlFreeDoc(doc_);
}

void DomTree::KeepLoose(xmlNodePtr node) {
    if (node && std::find(loose_.begin(), loose_.end(), node) == loose_.end()) loose_.push_back(node);
}

void DomTree::Unloose(xmlNodePtr node) {
    loose_.erase(std::remove(loose_.begin(), loose_.end(), node), loose_.end());
}

void DomTree::Watch(DomWatcher* watcher) {
    if (!watcher || watcher->watched_ == this) return;
    if (watcher->watched_) watcher->watched_->Unwatch(watcher);
    watchers_.push_back(watcher);
    watcher->watched_ = this;
}

void DomTree::Unwatch(DomWatcher* watcher) {
    auto at = std::find(watchers_.begin(), watchers_.end(), watcher);
    if (at == watchers_.end()) return;
    watchers_.erase(at);
    watcher->watched_ = nullptr;
}

void DomTree::MoveWatchersTo(DomTree* other) {
    if (!other || other == this) return;
    const std::vector<DomWatcher*> moving = watchers_;
    for (DomWatcher* watcher : moving)
        other->Watch(watcher);
}

void DomTree::Changed() {
    AddRef(); // a watcher may let go of the last node
    const std::vector<DomWatcher*> told = watchers_;
    for (DomWatcher* watcher : told)
        if (std::find(watchers_.begin(), watchers_.end(), watcher) != watchers_.end()) watcher->OnDomChanged();
    Release();
}

DomTree* TreeOf(IUnknown* object) {
    if (!object) return nullptr;
    if (DomNode* node = DomNode::From(object)) return node->Tree();
    return DocumentTree(object);
}

bool WatchTree(IUnknown* object, DomWatcher* watcher) {
    DomTree* tree = TreeOf(object);
    if (!tree || !watcher) return false;
    tree->Watch(watcher);
    return true;
}

void StopWatching(DomWatcher* watcher) {
    if (watcher && watcher->watched_) watcher->watched_->Unwatch(watcher);
}

void MoveWatchers(IUnknown* from, IUnknown* to) {
    DomTree* old = TreeOf(from);
    DomTree* now = TreeOf(to);
    if (!old || !now || old == now) return;
    old->MoveWatchersTo(now);
    now->Changed();
}

// -- text ----------------------------------------------------------------------------------------

BSTR ToBstr(const xmlChar* text) {
    const char* bytes = reinterpret_cast<const char*>(text ? text : reinterpret_cast<const xmlChar*>(""));
    const int length = static_cast<int>(std::strlen(bytes));
    if (length == 0) return SysAllocString(u"");
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, length, nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (out) MultiByteToWideChar(CP_UTF8, 0, bytes, length, out, units);
    return out;
}

std::string ToUtf8(const OLECHAR* text, UINT length) {
    if (!text || length == 0) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), bytes, nullptr, nullptr);
    return out;
}

// -- the dispatch frame --------------------------------------------------------------------------

template <class Interface> HRESULT DispatchObject<Interface>::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || Answers(riid)) {
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

template <class Interface>
HRESULT DispatchObject<Interface>::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; i++) {
        ids[i] = names[i] ? IdOf(names[i]) : DISPID_UNKNOWN;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

template <class Interface>
HRESULT DispatchObject<Interface>::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                          EXCEPINFO*, UINT*) {
    VARIANT ignored;
    VariantInit(&ignored);
    VARIANT* out = result ? result : &ignored;
    VariantInit(out);
    HRESULT hr = Call(id, flags, params, out);
    VariantClear(&ignored);
    return hr;
}

template class DispatchObject<IXMLDOMElement>;
template class DispatchObject<IXMLDOMNodeList>;
template class DispatchObject<IXMLDOMDocument>;

// -- node members --------------------------------------------------------------------------------

DISPID NodeMemberId(const OLECHAR* name) {
    return FindId(kNodeMembers, std::size(kNodeMembers), name);
}

HRESULT CallNodeMember(DomTree* tree, xmlNodePtr node, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    const bool method = id >= kHasChildNodes;
    if (id == kText && (flags & DISPATCH_PROPERTYPUT)) {
        // The value written is the last argument, named DISPID_PROPERTYPUT or not.
        std::string text;
        if (!params || params->cArgs == 0 || !TextOf(&params->rgvarg[0], &text)) return DISP_E_BADPARAMCOUNT;
        HRESULT hr = ReplaceText(tree, node, text);
        if (SUCCEEDED(hr)) tree->Changed();
        return hr;
    }
    if (method ? !(flags & DISPATCH_METHOD) : !(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
        return DISP_E_MEMBERNOTFOUND; // the other properties are read-only
    if (id >= kAppendChild) {
        xmlNodePtr child = ArgNode(tree, params, 0);
        if (!Arg(params, 0)) return DISP_E_BADPARAMCOUNT;
        HRESULT hr = E_INVALIDARG;
        if (id == kAppendChild) {
            hr = AppendChild(tree, node, child);
        } else if (child && child->parent == node && child->type != XML_ATTRIBUTE_NODE) {
            xmlUnlinkNode(child);
            tree->KeepLoose(child);
            hr = S_OK;
        }
        if (FAILED(hr)) return hr;
        tree->Changed();
        return PutNode(result, tree, child);
    }
    std::string text;
    if (method && id != kHasChildNodes && !ArgText(params, 0, &text)) return DISP_E_BADPARAMCOUNT;
    switch (id) {
    case kSetAttribute: {
        std::string value;
        if (!ArgText(params, 1, &value)) return DISP_E_BADPARAMCOUNT;
        HRESULT hr = SetAttribute(tree, node, text, value);
        if (SUCCEEDED(hr)) tree->Changed();
        return hr;
    }
    case kNodeName:
        return PutText(result, NodeName(node));
    case kNodeValue:
        return HasValue(node) ? PutOwnedText(result, xmlNodeGetContent(node)) : PutNull(result);
    case kNodeType:
        result->vt = VT_I4;
        result->lVal = NodeType(node);
        return S_OK;
    case kNodeTypeString:
        return PutText(result, NodeTypeString(node));
    case kParentNode:
        return PutNode(result, tree, node->type == XML_ATTRIBUTE_NODE ? nullptr : node->parent);
    case kChildNodes: {
        std::vector<xmlNodePtr> children;
        for (xmlNodePtr child = Children(node); child; child = child->next)
            if (Visible(child)) children.push_back(child);
        return PutList(result, tree, std::move(children));
    }
    case kFirstChild:
        return PutNode(result, tree, FirstVisible(Children(node), true));
    case kLastChild:
        return PutNode(result, tree, FirstVisible(LastChild(node), false));
    case kPreviousSibling:
        return PutNode(result, tree, IsDocument(node) ? nullptr : FirstVisible(node->prev, false));
    case kNextSibling:
        return PutNode(result, tree, IsDocument(node) ? nullptr : FirstVisible(node->next, true));
    case kAttributes: {
        if (node->type != XML_ELEMENT_NODE) return PutNull(result);
        std::vector<xmlNodePtr> attributes;
        for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
            attributes.push_back(reinterpret_cast<xmlNodePtr>(attr));
        return PutList(result, tree, std::move(attributes));
    }
    case kOwnerDocument:
        return PutNode(result, tree, IsDocument(node) ? nullptr : reinterpret_cast<xmlNodePtr>(node->doc));
    case kText:
        return PutOwnedText(result, xmlNodeGetContent(node));
    case kXml:
        return Serialize(node, result);
    case kTagName:
    case kName:
        return PutText(result, NodeName(node));
    case kBaseName:
        return PutText(result, node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE
                                   ? reinterpret_cast<const char*>(node->name)
                                   : "");
    case kPrefix:
        return PutText(result, (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
                                       node->ns->prefix
                                   ? reinterpret_cast<const char*>(node->ns->prefix)
                                   : "");
    case kNamespaceUri:
        return PutText(result, (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
                                       node->ns->href
                                   ? reinterpret_cast<const char*>(node->ns->href)
                                   : "");
    case kValue:
    case kData:
        return HasValue(node) ? PutOwnedText(result, xmlNodeGetContent(node)) : PutNull(result);
    case kDocumentElement:
        return PutNode(result, tree, IsDocument(node) ? xmlDocGetRootElement(node->doc) : nullptr);
    case kDoctype:
        return PutNode(result, tree, IsDocument(node) ? reinterpret_cast<xmlNodePtr>(node->doc->intSubset) : nullptr);
    case kHasChildNodes:
        result->vt = VT_BOOL;
        result->boolVal = FirstVisible(Children(node), true) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case kGetAttribute: {
        xmlAttrPtr attr = FindAttribute(node, text);
        return attr ? PutOwnedText(result, xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr))) : PutNull(result);
    }
    case kGetAttributeNode:
        return PutNode(result, tree, reinterpret_cast<xmlNodePtr>(FindAttribute(node, text)));
    case kGetElementsByTagName:
        return PutList(result, tree, ElementsByTagName(node, text));
    case kSelectSingleNode:
    case kSelectNodes: {
        std::vector<xmlNodePtr> found;
        HRESULT hr = Select(node, text, &found);
        if (FAILED(hr)) return hr;
        if (id == kSelectNodes) return PutList(result, tree, std::move(found));
        return PutNode(result, tree, found.empty() ? nullptr : found.front());
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

std::vector<xmlNodePtr> ElementsByTagName(xmlNodePtr from, const std::string& name) {
    std::vector<xmlNodePtr> found;
    const bool all = name == "*";
    // A walk without recursion: the depth of a tree is the parser's business, not the stack's.
    xmlNodePtr node = Children(from);
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            if (all || QualifiedName(node) == name) found.push_back(node);
            if (node->children) {
                node = node->children;
                continue;
            }
        }
        while (node && node != from && !node->next)
            node = node->parent;
        if (!node || node == from) break;
        node = node->next;
    }
    return found;
}

// -- DomNode -------------------------------------------------------------------------------------

// A node keeps its live wrapper in `_private`, so that a node reached again is the same object and
// costs no allocation; the wrapper clears it when it goes, before its tree can.
DomNode* DomNode::Make(DomTree* tree, xmlNodePtr node) {
    if (!tree || !node || !Visible(node)) return nullptr;
    if (auto* wrapper = static_cast<DomNode*>(node->_private)) {
        wrapper->AddRef();
        return wrapper;
    }
    auto* wrapper = new (std::nothrow) DomNode(tree, node);
    if (wrapper) node->_private = wrapper;
    return wrapper;
}

DomNode* DomNode::From(IUnknown* object) {
    return dynamic_cast<DomNode*>(object);
}

DomNode::DomNode(DomTree* tree, xmlNodePtr node) : tree_(tree), node_(node) {
    tree_->AddRef();
}

DomNode::~DomNode() {
    node_->_private = nullptr;
    tree_->Release();
}

bool DomNode::Answers(REFIID riid) const {
    return riid == IID_IXMLDOMNode || (riid == IID_IXMLDOMElement && node_->type == XML_ELEMENT_NODE);
}

HRESULT DomNode::QueryInterface(REFIID riid, void** out) {
    if (out && riid == IID_IFixedMemberNames) {
        *out = static_cast<IFixedMemberNames*>(this);
        AddRef();
        return S_OK;
    }
    return DispatchObject::QueryInterface(riid, out);
}

HRESULT DomNode::GetFixedMembers(const FixedMember** members, UINT* count) {
    if (!members || !count) return E_POINTER;
    *members = kNodeMembers;
    *count = static_cast<UINT>(std::size(kNodeMembers));
    return S_OK;
}

DISPID DomNode::IdOf(const OLECHAR* name) const {
    return NodeMemberId(name);
}

HRESULT DomNode::Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    return CallNodeMember(tree_, node_, id, flags, params, result);
}

// -- DomNodeList ---------------------------------------------------------------------------------

DomNodeList* DomNodeList::Make(DomTree* tree, std::vector<xmlNodePtr> nodes) {
    if (!tree) return nullptr;
    return new (std::nothrow) DomNodeList(tree, std::move(nodes));
}

DomNodeList::DomNodeList(DomTree* tree, std::vector<xmlNodePtr> nodes) : tree_(tree), nodes_(std::move(nodes)) {
    tree_->AddRef();
}

DomNodeList::~DomNodeList() {
    tree_->Release();
}

bool DomNodeList::Answers(REFIID riid) const {
    return riid == IID_IXMLDOMNodeList;
}

DISPID DomNodeList::IdOf(const OLECHAR* name) const {
    size_t length = 0;
    while (name[length] >= u'0' && name[length] <= u'9')
        length++;
    if (length > 0 && length <= 7 && name[length] == 0) {
        DISPID index = 0;
        for (size_t i = 0; i < length; i++)
            index = index * 10 + (name[i] - u'0');
        return kIndexBase + index;
    }
    return FindId(kListMembers, std::size(kListMembers), name);
}

HRESULT DomNodeList::Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    const bool method = id == kItem || id == kNextNode || id == kReset || id == kGetNamedItem;
    if (method ? !(flags & DISPATCH_METHOD) : !(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
        return DISP_E_MEMBERNOTFOUND;
    if (id >= kIndexBase) {
        const size_t index = static_cast<size_t>(id - kIndexBase);
        return PutNode(result, tree_, index < nodes_.size() ? nodes_[index] : nullptr);
    }
    switch (id) {
    case kLength:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(nodes_.size());
        return S_OK;
    case kItem: {
        LONG index = 0;
        if (!ArgIndex(params, 0, &index)) return DISP_E_BADPARAMCOUNT;
        return PutNode(result, tree_, index >= 0 && size_t(index) < nodes_.size() ? nodes_[size_t(index)] : nullptr);
    }
    case kNextNode:
        return PutNode(result, tree_, cursor_ < nodes_.size() ? nodes_[cursor_++] : nullptr);
    case kReset:
        cursor_ = 0;
        return S_OK;
    case kGetNamedItem: {
        std::string name;
        if (!ArgText(params, 0, &name)) return DISP_E_BADPARAMCOUNT;
        for (xmlNodePtr node : nodes_)
            if (QualifiedName(node) == name) return PutNode(result, tree_, node);
        return PutNull(result);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace platform::xml
