#pragma once
// What the document and the node objects share: the counted parsed tree that every wrapper holds,
// the by-name dispatch frame and the node members. Module-internal.
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "platform/script/host_member_kind.h"
#include "platform/xml/dom_document.h"

namespace platform::xml {

// One parsed (or empty) libxml2 document, freed when the document object and the last node or
// list of it let go. Elements made by createElement and never put in the tree are freed with it.
class DomTree {
public:
    static DomTree* Adopt(xmlDocPtr doc); // null when doc is null or memory is short
    void AddRef() { ++refs_; }
    void Release();

    xmlDocPtr Doc() const { return doc_; }
    // A subtree outside the tree (made, or taken out of it), freed with the tree unless it is put
    // back; kept once.
    void KeepLoose(xmlNodePtr node);
    // The subtree is back in the tree.
    void Unloose(xmlNodePtr node);

    // Watching this tree ends watching another.
    void Watch(DomWatcher* watcher);
    void Unwatch(DomWatcher* watcher);
    // Every watcher of this tree watches `other` from now on.
    void MoveWatchersTo(DomTree* other);
    // Tells the watchers that the tree changed; one that stops watching while told is not told.
    void Changed();

private:
    explicit DomTree(xmlDocPtr doc) : doc_(doc) {}
    ~DomTree();

    xmlDocPtr doc_;
    std::vector<xmlNodePtr> loose_;
    std::vector<DomWatcher*> watchers_;
    ULONG refs_ = 1;
};

// IUnknown and IDispatch by name for objects whose members live in a name table. Starts with one
// reference.
template <class Interface> class DispatchObject : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override;

protected:
    virtual ~DispatchObject() = default;
    virtual bool Answers(REFIID riid) const = 0;
    virtual DISPID IdOf(const OLECHAR* name) const = 0;
    virtual HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) = 0;

private:
    ULONG refs_ = 1;
};

// A node of a tree (the document node included). Its members are the same for every node.
class DomNode : public DispatchObject<IXMLDOMElement>, public IFixedMemberNames {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }
    HRESULT GetFixedMembers(const FixedMember** members, UINT* count) override;

    // The node's wrapper, holding the tree; null for a null node or a kind scripts never see.
    static DomNode* Make(DomTree* tree, xmlNodePtr node);
    // The wrapper behind a COM object, or null when it is none of ours.
    static DomNode* From(IUnknown* object);
    DomTree* Tree() const { return tree_; }
    xmlNodePtr Node() const { return node_; }

protected:
    bool Answers(REFIID riid) const override;
    DISPID IdOf(const OLECHAR* name) const override;
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override;

private:
    DomNode(DomTree* tree, xmlNodePtr node);
    ~DomNode() override;

    DomTree* tree_;
    xmlNodePtr node_;
};

// A fixed list of nodes with a cursor for nextNode.
class DomNodeList : public DispatchObject<IXMLDOMNodeList> {
public:
    static DomNodeList* Make(DomTree* tree, std::vector<xmlNodePtr> nodes);

protected:
    bool Answers(REFIID riid) const override;
    DISPID IdOf(const OLECHAR* name) const override;
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override;

private:
    DomNodeList(DomTree* tree, std::vector<xmlNodePtr> nodes);
    ~DomNodeList() override;

    DomTree* tree_;
    std::vector<xmlNodePtr> nodes_;
    size_t cursor_ = 0;
};

// The tree of a node or document of ours; null for any other object.
DomTree* TreeOf(IUnknown* object);
DomTree* DocumentTree(IUnknown* object);

// The node members that the document object answers by name too.
DISPID NodeMemberId(const OLECHAR* name);
HRESULT CallNodeMember(DomTree* tree, xmlNodePtr node, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result);

// The elements named `name` ("*": all) below `from`, in document order.
std::vector<xmlNodePtr> ElementsByTagName(xmlNodePtr from, const std::string& name);
// Text between UTF-8 and BSTR.
BSTR ToBstr(const xmlChar* text);
std::string ToUtf8(const OLECHAR* text, UINT length);

} // namespace platform::xml
