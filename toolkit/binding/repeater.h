#pragma once
// oxRepeater: one level of replication of a collection binding. It makes one box per row of its
// collection from the binding's templates into its container box, keeps them in step with the
// collection's change notifications, and gives a row whose template recurses a child repeater
// over the row's nested collection. oxRowTree (row_tree.h) is the root level of a binding.
#include <cstdint>
#include <vector>

#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/binding/binding_source.h"

class oxBox;
class oxBindingElement;
class oxRowTemplate;
class oxRowTree;

class oxRepeater : public oxSourceListener {
public:
    struct Row {
        oxBox* box = nullptr; // held by the container
        int templateIndex = -1;
    };

    oxRepeater(oxRowTree* tree, oxRepeater* parent, int rowIndex, int depth);
    virtual ~oxRepeater();
    oxRepeater(const oxRepeater&) = delete;
    oxRepeater& operator=(const oxRepeater&) = delete;

    // oxSourceListener.
    void OnArrayModified(oxBindingSource* source, int kind, int index) override;
    void OnTableModified(oxBindingSource* source, int kind, int index, const WCHAR* field) override;

    // Builds all rows into the container.
    virtual void Populate(oxBox* container, oxBindingElement* binding);
    // Drops the rows and sizes them to the source's row count, none made.
    void AttachSource();
    // Holds and listens to a new source (null: none).
    void SetSourceObject(oxBindingSource* source);
    oxBindingSource* GetSource() const { return source_; }

    // The row's box, made now when it is not made yet and may be; null when out of range.
    oxBox* GetRowBox(int index);
    oxBox* GetMadeRowBox(int index) const {
        return index >= 0 && index < int(rows_.size()) ? rows_[size_t(index)].box : nullptr;
    }
    // The row's key value: the key field, or the index when the key is none or "_none".
    void GetRowKey(int index, NUBO::XVariant* out);
    int FindRowOfKey(const VARIANT& value);
    bool HasIndexKeys() const { return key_ == 0 || key_ == kAtom_none || key_ == kAtomNone; }
    // The index of the row whose box is `box` or holds it, or -1.
    int FindRowIndexOfBox(oxBox* box) const;
    const oxRowTemplate* GetRowTemplate(int index) const;

    int GetRowCount() const { return int(rows_.size()); }
    oxAtom GetKey() const { return key_; }
    void SetKey(oxAtom key) { key_ = key; }
    oxAtom GetReplication() const { return replication_; }
    void SetReplication(oxAtom atom) { replication_ = atom; }
    oxRepeater* GetParent() const { return parent_; }
    int GetRowIndex() const { return rowIndex_; }
    void SetRowIndex(int index) { rowIndex_ = index; }
    int GetDepth() const { return depth_; }
    bool IsCollapsed() const { return collapsed_; }
    void SetCollapsed(bool on) { collapsed_ = on; }
    bool IsHidden() const { return hidden_; }
    oxBox* GetContainer() const { return container_; }
    const std::vector<oxRepeater*>& GetChildren() const { return children_; }
    oxRepeater* GetChildAtRow(int index) const;
    // Numbering, kept by the row tree: the flat number of the holding row (-1 for the root), and
    // the visible rows of this level and its open descendants.
    int GetFirstRow() const { return firstRow_; }
    void SetFirstRow(int n) { firstRow_ = n; }
    int GetSpan() const { return span_; }
    void SetSpan(int n) { span_ = n; }

protected:
    // The binding's templates, or an empty list.
    const std::vector<oxRowTemplate*>& Templates() const;
    int ChooseTemplate(int index) const;
    // Makes row i's box (from a template, or reused under "recycle"), stores and adds it.
    oxBox* MakeRow(int index);
    oxBox* Recycle(int index, int templateIndex);
    void AddRowBox(oxBox* box, int index);
    // A row box is in the container: listeners, layout and selection hear of it.
    void OnRowBoxAdded(oxBox* box, int index);
    // A child repeater over row i's nested collection, when its template recurses and the field is
    // a collection.
    void MakeChildRepeater(int index);
    void BuildRows();
    void RemoveRowBoxes();
    void DestroyChildren();
    void DestroyRowBox(oxBox* box);
    void RefreshRow(int index, const WCHAR* field);
    void Relayout();
    void OnChange(int kind, int index, const WCHAR* field);
    void RemoveRow(int index);
    void InsertRow(int index);

    oxRowTree* tree_;
    oxBindingElement* binding_ = nullptr;
    oxAtom replication_ = kAtomFull;
    oxBindingSource* source_ = nullptr; // one reference, listened to
    std::vector<Row> rows_;
    oxAtom key_ = 0;
    int firstRow_ = -1;
    int rowIndex_;
    int span_ = 0;
    std::vector<oxRepeater*> children_; // owned, by row index
    oxRepeater* parent_;
    oxBox* container_ = nullptr;
    bool collapsed_ = false;
    bool hidden_ = false;
    int depth_;
    bool removalPending_ = false;
    bool populating_ = false;
    bool changedWhilePopulating_ = false;
    class CollapseListener;
    CollapseListener* collapseListener_ = nullptr; // one reference, on the holding row box
    oxBox* holder_ = nullptr;                      // the row box that holds this level

    friend class oxRowTree;
};
