#pragma once
// oxSelectionModel: what scripts (Selection) ask of the selection of a list: the rows of a select
// box or data grid, or the data rows a repeater made. Row groups are the sets of data rows of one
// collection; a model without data rows answers false or null to the data operations.
#include <cstdint>

#include "platform/com/variant.h"
#include "platform/types.h"

class oxScriptObjectCache;
namespace NUBO {
class XObject;
class XVariant;
} // namespace NUBO

class oxSelectionModel {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

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

    // The wrapper cache that made the model's Selection object, told when the model goes.
    void SetScriptCache(oxScriptObjectCache* cache) { scriptCache_ = cache; }

protected:
    ~oxSelectionModel() = default;
    oxScriptObjectCache* scriptCache_ = nullptr;
};
