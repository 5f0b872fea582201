#pragma once
// oxSelectionModel: the cursor and selection of a list: the rows of a select box or data grid
// (oxListSelectionModel), or the data rows a repeater made (oxDataSelectionModel), which a bound
// select box holds in place of its own. The select box, the cursor commands and scripts (Selection)
// drive either through this one interface. Row groups are the sets of data rows of one collection;
// a model without data rows answers false or null to the data operations.
#include <cstdint>

#include "platform/com/variant.h"
#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxBox;
class oxScriptObjectCache;
namespace NUBO {
class XObject;
class XVariant;
} // namespace NUBO

class oxSelectionModel {
public:
    // Cursor actions.
    enum { kCursorOnly = 0, kSelectOnly = 1, kToggle = 2, kExtend = 3, kAdd = 4 };

    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

    // The cursor side, which the select box and the cursor commands drive.
    virtual int GetCursor() = 0;
    void SetCursor(int index) { MoveCursor(index, kCursorOnly, false); }
    virtual oxBox* GetCursorRow() = 0;
    virtual int GetFirstSelected() = 0;
    virtual void SelectIndex(int index) = 0;
    virtual bool IsSelected(int index) = 0;
    virtual void MoveCursor(int index, int action, bool skipUnselectable) = 0;
    // Rows 0 ... last; nothing in single mode.
    virtual void SelectAll(int last) = 0;
    // Answers whether anything was selected.
    virtual bool ClearAll(bool updateRows) = 0;
    virtual bool HasMultipleSelected() = 0;
    // The list that shows the model is going: the model stays for whoever still holds it, inert.
    virtual void ForgetOwner() = 0;

    // What scripts ask.
    virtual int GetSelectionIndex() = 0;
    virtual void SetSelectionIndex(int row) = 0;
    virtual int GetSelectedCount() = 0;
    // Only this row.
    virtual void Select(int row) = 0;
    virtual void UnselectRow(int row) = 0;
    // Adds the row.
    virtual void SelectRow(int row) = 0;
    virtual void ClearSelection() = 0;
    virtual int GetFirstSelectedRow() = 0;
    virtual int GetNextSelectedRow() = 0;
    virtual bool GetFirstSelectedData(NUBO::XVariant* value, void** group) = 0;
    virtual bool GetNextSelectedData(NUBO::XVariant* value, void** group) = 0;
    // The row group of a collection (an object), the list's own for any other value; null when none.
    virtual void* FindRowGroup(const VARIANT& collection) = 0;
    virtual bool SelectData(const VARIANT& value, void* group) = 0;
    virtual bool UnselectData(const VARIANT& value, void* group) = 0;
    // The script collection of a row group (not counted), or null.
    virtual NUBO::XObject* GetRowGroupObject(void* group) = 0;

    // The cursor data: the data row under the cursor, as its value and row group. Scripts set it
    // in three steps: the collection's row group (null when the list has none for it), then either
    // the reset (no row group) or the value in that group.
    void* PrepareCursorData(const VARIANT& collection) { return FindRowGroup(collection); }
    virtual void ResetCursorData() = 0;
    // Puts the cursor on the row of the value; false when no row has it.
    virtual bool SetCursorData(const VARIANT& value, void* group) = 0;
    // False when the cursor is on no data row.
    virtual bool GetCursorData(NUBO::XVariant* value, void** group) = 0;

    // Select mode 1024 "single", 2048 "multiple", 4096 "contiguous"; cursor mode 0 or 8192 "wrap".
    void SetSelectMode(uint32_t mode) { selectMode_ = mode; }
    uint32_t GetSelectMode() const { return selectMode_; }
    void SetCursorMode(uint32_t mode) { cursorMode_ = mode; }
    uint32_t GetCursorMode() const { return cursorMode_; }
    // "current": the selection follows the cursor row; a list model starts so and a data model
    // installed in its place takes it over.
    void SetModeAtom(oxAtom mode) { modeAtom_ = mode; }
    oxAtom GetModeAtom() const { return modeAtom_; }

    // The wrapper cache that made the model's Selection object, told when the model goes.
    void SetScriptCache(oxScriptObjectCache* cache) { scriptCache_ = cache; }

protected:
    ~oxSelectionModel() = default;
    bool IsSingle() const { return selectMode_ == 1024; }
    bool IsWrap() const { return cursorMode_ == 8192; }

    oxScriptObjectCache* scriptCache_ = nullptr;
    uint32_t cursorMode_ = 0;
    uint32_t selectMode_ = 1024;
    oxAtom modeAtom_ = kAtomCurrent;
};
