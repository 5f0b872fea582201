#pragma once
// The XML DOM document and its nodes on libxml2. The document object is created per load and
// answers the typed members below; its nodes, node lists and the document itself answer scripts
// by name through IDispatch (node properties, navigation, attributes, `text`, `xml`,
// `getAttribute`, XPath 1.0 `selectSingleNode`/`selectNodes`, lists with `length`, `item`,
// `nextNode`, `reset`). Elements change through `setAttribute`, `appendChild`, `removeChild` and
// by writing `text`; a node taken out of the tree stays usable, and watchers hear of each change. Every node counts a
// reference on its parsed tree, so nodes stay usable after the document loaded another one or went away.
//
// Input is untrusted: nothing outside is ever read (no network, no external entities or DTDs,
// no XInclude), entity expansion is bounded, nesting deeper than 256 and documents larger than
// kMaxDocumentBytes fail the load; an XPath query fails after kMaxXPathSteps steps.
#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"
#include "platform/com/stream.h"

extern const CLSID CLSID_DOMDocument;
extern const IID IID_IXMLDOMDocument;
extern const IID IID_IXMLDOMNode;
extern const IID IID_IXMLDOMElement;
extern const IID IID_IXMLDOMNodeList;

// Members of nodes and lists are reached by name; these interfaces only mark what an object is.
struct IXMLDOMNode : IDispatch {
protected:
    ~IXMLDOMNode() = default;
};
struct IXMLDOMElement : IXMLDOMNode {
protected:
    ~IXMLDOMElement() = default;
};
struct IXMLDOMNodeList : IDispatch {
protected:
    ~IXMLDOMNodeList() = default;
};

// readyState of a document: loads are synchronous, so a document is always complete.
constexpr LONG READYSTATE_COMPLETE = 4;

struct IXMLDOMDocument : IXMLDOMNode {
    // Accepted and remembered; external resources are never read either way.
    virtual HRESULT put_resolveExternals(VARIANT_BOOL resolve) = 0;
    // Validates against the document's own DTD while parsing.
    virtual HRESULT put_validateOnParse(VARIANT_BOOL validate) = 0;
    // Parses a VT_UNKNOWN IStream, read from its current position, synchronously. `ok` is
    // VARIANT_FALSE (and S_FALSE is returned) when the bytes are no well-formed document, too large
    // or hostile; the document is then empty. E_INVALIDARG when the source is no stream.
    virtual HRESULT load(VARIANT source, VARIANT_BOOL* ok) = 0;
    // A new element of the document, not yet in its tree.
    virtual HRESULT createElement(BSTR tagName, IXMLDOMElement** element) = 0;
    // The elements of that name ("*": all) in document order.
    virtual HRESULT getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list) = 0;
    // Null (and S_FALSE) without a document type.
    virtual HRESULT get_doctype(IXMLDOMNode** doctype) = 0;
    // Null (and S_FALSE) when the document is empty.
    virtual HRESULT get_documentElement(IXMLDOMElement** element) = 0;
    virtual HRESULT get_namespaceURI(BSTR* uri) = 0;
    virtual HRESULT get_readyState(LONG* state) = 0;

protected:
    ~IXMLDOMDocument() = default;
};

// The class's factory for CoCreateInstance.
HRESULT CreateDOMDocument(REFIID riid, void** out);

namespace platform::xml {
// The largest document a load accepts.
constexpr size_t kMaxDocumentBytes = 32u << 20;
// The attributes an element may have; an element with more than twice as many fails the load, and
// so does a document type that declares more, or an entity whose text has a tag with more.
constexpr size_t kMaxAttributes = 512;
// The steps (operations and nodes visited) an XPath query may take before it fails.
constexpr unsigned long kMaxXPathSteps = 10'000'000;
// A document parsed from bytes (an HTTP answer's body); null when they are no document.
HRESULT LoadDocumentFromBytes(const char* bytes, size_t size, IDispatch** document);

class DomTree;
class DomWatcher;
void StopWatching(DomWatcher* watcher);

// Told after each change of the tree it watches, made through any node of that tree. It watches one
// tree at a time; a tree that goes lets go of its watchers.
class DomWatcher {
public:
    virtual void OnDomChanged() = 0;

protected:
    ~DomWatcher() = default;

private:
    friend class DomTree;
    friend void StopWatching(DomWatcher* watcher);
    DomTree* watched_ = nullptr;
};
// Watches the tree of `object` (a node or document of ours) instead of any other; false for any
// other object. A watcher must stop watching before it goes.
bool WatchTree(IUnknown* object, DomWatcher* watcher);
// The tree of `to` takes over the watchers of the tree of `from` (a document that loaded anew: its
// next tree), and they hear a change.
void MoveWatchers(IUnknown* from, IUnknown* to);
} // namespace platform::xml
