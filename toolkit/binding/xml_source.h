#pragma once
// oxXmlSource: the source of an `xmlSource` binding, over the DOM document that scripts stored under
// the binding's source name (a script object whose `documentElement` is a DOM node, as
// `new domDocument()` gives). The binding's path, an XPath from the document element (empty: its
// child elements), selects the nodes. With templates each node is a row, whose field is the node's
// attribute of that name, else the text of what the field selects from the node ("" and "_self": the
// node's own text); without, the first node's text is the bound value. Each change of the tree makes
// the rows anew and pushes the value again; values written back change the nodes.
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/xml/dom_document.h"
#include "runtime/wide_string.h"
#include "toolkit/binding/binding_source.h"

class oxXmlSource final : public oxBindingSource, private platform::xml::DomWatcher {
public:
    // One reference; null without a document or when memory is short.
    static oxXmlSource* Create(NUBO::XObject* document);
    oxXmlSource(const oxXmlSource&) = delete;
    oxXmlSource& operator=(const oxXmlSource&) = delete;

    ULONG AddSourceRef() override { return ++refs_; }
    ULONG ReleaseSourceRef() override;

    bool IsReady() override { return document_ != nullptr; }
    void PushToTarget(oxBindingElement* binding, oxAtom key) override;
    // The binding's path selects the nodes from then on.
    void Attach(oxBindingElement* binding) override;
    void Detach(oxBindingElement* binding) override;
    void DetachAll() override;
    void SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                        bool isStyle) override;

    NUBO::XObject* GetDataObject() override { return document_; }
    // Null lets go of the document.
    void SetObject(NUBO::XObject* object) override;
    int GetCount() override { return int(rows_.size()); }
    int32_t GetValueAt(int row, const WCHAR* field, NUBO::XVariant* out) override;
    int FindIndexOfValue(const WCHAR* field, const VARIANT& value) override;
    void AddListener(oxSourceListener* listener) override;
    void RemoveListener(oxSourceListener* listener) override;

private:
    explicit oxXmlSource(NUBO::XObject* document);
    ~oxXmlSource();

    void OnDomChanged() override;
    // Reads the document element again and selects the rows.
    void Select();
    void DropRows();
    // Writes the text into the field of a node (null field: its own text).
    void WriteField(IDispatch* node, const WCHAR* field, const WCHAR* text);

    ULONG refs_ = 1;
    NUBO::XObject* document_;
    IDispatch* root_ = nullptr; // its tree is watched
    std::vector<IDispatch*> rows_;
    NUBO::TWString path_;
    std::vector<oxBindingElement*> bindings_; // counted
    std::vector<oxSourceListener*> listeners_;
    bool writing_ = false; // our own write changes the tree: no echo
};
