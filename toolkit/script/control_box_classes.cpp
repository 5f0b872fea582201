// The script classes of control boxes: ControlBox, and under it TextBox, RangeBox and SelectBox.
// Each member works on the wrapper's native control through the control's own operations; once
// the box is gone, properties fail with 1 and methods do nothing.
#include <iterator>

#include "runtime/ref_ptr.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/script/box.h"
#include "toolkit/script/data_classes.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/range_box.h"
#include "toolkit/widgets/select_box.h"
#include "toolkit/widgets/text_box.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;

namespace {

oxControlBox* ControlOf(Box* self) {
    return dynamic_cast<oxControlBox*>(self->GetBox());
}

// The text operations belong to text boxes; other boxes of a text kind answer as read-only text.
oxTextBox* TextOf(Box* self) {
    return dynamic_cast<oxTextBox*>(self->GetBox());
}

void PutText(XVariant* out, const WCHAR* text) {
    *out = TWString(text ? text : u"");
}

// -- ControlBox ------------------------------------------------------------------------------------

int32_t Command(Box* self, XArgList*, XVariant*) {
    if (oxControlBox* control = ControlOf(self)) control->Command();
    return 0;
}

int32_t Click(Box* self, XArgList*, XVariant*) {
    if (oxControlBox* control = ControlOf(self)) control->Click();
    return 0;
}

int32_t GetValue(Box* self, XVariant* out) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    PutText(out, control->GetValue());
    return 0;
}

int32_t SetValue(Box* self, const VARIANT& value) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    control->SetValue(static_cast<const XVariant&>(value).ToString().GetString());
    return 0;
}

int32_t GetLabel(Box* self, XVariant* out) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    PutText(out, control->GetLabel());
    return 0;
}

int32_t SetLabel(Box* self, const VARIANT& value) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    control->SetLabel(static_cast<const XVariant&>(value).ToString().GetString());
    return 0;
}

int32_t GetToggled(Box* self, XVariant* out) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    *out = (control->GetStateFlags() & kStateToggled) != 0;
    return 0;
}

int32_t SetToggled(Box* self, const VARIANT& value) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    control->SetToggled(static_cast<const XVariant&>(value).ToBool(), false);
    return 0;
}

int32_t GetTristate(Box* self, XVariant* out) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    *out = XVariant(unsigned(control->GetTristate()));
    return 0;
}

int32_t SetTristate(Box* self, const VARIANT& value) {
    oxControlBox* control = ControlOf(self);
    if (!control) return NUBO::XR_FAIL;
    control->SetTristate(int(static_cast<const XVariant&>(value).ToUInt32() & 0xFF));
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kControlMembers[] = {
    MethodRow<0, Command>("command"),
    MethodRow<0, Click>("click"),
    PropertyRow<GetValue, SetValue>("value"),
    PropertyRow<GetLabel, SetLabel>("label"),
    PropertyRow<GetToggled, SetToggled>("toggled"),
    PropertyRow<GetTristate, SetTristate>("tristate"),
    NUBO::XMemberEnd(),
};

// -- TextBox ---------------------------------------------------------------------------------------

// True when the box is a text box at all (gone boxes answer as missing).
bool IsTextKind(Box* self) {
    return dynamic_cast<oxTextBoxBase*>(self->GetBox()) != nullptr;
}

int32_t ReplaceSelection(Box* self, XArgList* args, XVariant*) {
    if (oxTextBox* text = TextOf(self)) text->ReplaceSelection(ArgText(args, 0).GetString());
    return 0;
}

int32_t GetCaretPos(Box* self, XArgList*, XVariant* out) {
    if (!IsTextKind(self)) return 0;
    oxTextBox* text = TextOf(self);
    *out = text ? text->GetCaretPos() : 0;
    return 0;
}

int32_t GetLineLength(Box* self, XArgList* args, XVariant* out) {
    if (!IsTextKind(self)) return NUBO::XR_FAIL;
    oxTextBox* text = TextOf(self);
    *out = text ? text->GetLineLength(ArgInt(args, 0)) : 0;
    return 0;
}

int32_t GetLineFromPos(Box* self, XArgList* args, XVariant* out) {
    if (!IsTextKind(self)) return NUBO::XR_FAIL;
    oxTextBox* text = TextOf(self);
    *out = text ? text->GetLineFromPos(ArgInt(args, 0)) : 0;
    return 0;
}

int32_t SetCaretPos(Box* self, XArgList* args, XVariant* out) {
    *out = false;
    if (!IsTextKind(self)) return 0;
    if (oxTextBox* text = TextOf(self)) text->SetCaretPos(ArgInt(args, 0));
    *out = true;
    return 0;
}

int32_t GetLineCount(Box* self, XVariant* out) {
    if (!IsTextKind(self)) return NUBO::XR_FAIL;
    oxTextBox* text = TextOf(self);
    *out = text ? text->GetLineCount() : 0;
    return 0;
}

int32_t GetInputMode(Box* self, XVariant* out) {
    if (!IsTextKind(self)) return NUBO::XR_FAIL;
    oxTextBox* text = TextOf(self);
    *out = text ? text->GetInputMode() : 0;
    return 0;
}

int32_t SetInputMode(Box* self, const VARIANT& value) {
    if (!IsTextKind(self)) return NUBO::XR_FAIL;
    if (oxTextBox* text = TextOf(self)) text->SetInputMode(static_cast<const XVariant&>(value).ToInt32());
    return 0;
}

const NUBO::XMemberEntry kTextMembers[] = {
    MethodRow<1, ReplaceSelection>("replaceSelection"),
    MethodRow<0, GetCaretPos>("getCaretPos"),
    MethodRow<1, GetLineLength>("getLineLength"),
    MethodRow<1, GetLineFromPos>("getLineFromPos"),
    MethodRow<1, SetCaretPos>("setCaretPos"),
    PropertyRow<GetLineCount>("lineCount"),
    PropertyRow<GetInputMode, SetInputMode>("inputMode"),
    NUBO::XMemberEnd(),
};

// -- SelectBox -------------------------------------------------------------------------------------

oxSelectBox* SelectOf(Box* self) {
    return dynamic_cast<oxSelectBox*>(self->GetBox());
}

int32_t GetBoxAtRow(Box* self, XArgList* args, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    return PutBox(self, out, select ? select->GetRowBox(ArgInt(args, 0)) : nullptr);
}

int32_t GetRowOfBox(Box* self, XArgList* args, XVariant* out) {
    NUBO::RefPtr<NUBO::XObject> held;
    oxSelectBox* select = SelectOf(self);
    *out = select ? select->GetRowIndex(ArgBox(args, 0, held)) : -1;
    return 0;
}

int32_t SortByValue(Box* self, XArgList* args, XVariant*) {
    if (oxSelectBox* select = SelectOf(self)) select->SortByValue(script_class::ArgBool(args, 0), script_class::ArgBool(args, 1));
    return 0;
}

int32_t DeleteItem(Box* self, XArgList* args, XVariant*) {
    NUBO::RefPtr<NUBO::XObject> held;
    if (oxSelectBox* select = SelectOf(self)) select->DeleteRow(ArgBox(args, 0, held));
    return 0;
}

template <void (oxSelectBox::*Op)()> int32_t AllRows(Box* self, XArgList*, XVariant*) {
    if (oxSelectBox* select = SelectOf(self)) (select->*Op)();
    return 0;
}

int32_t GetFirstRowBox(Box* self, XArgList*, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    return PutBox(self, out, select ? select->GetRowBox(0) : nullptr);
}

int32_t GetNextRowBox(Box* self, XArgList* args, XVariant* out) {
    NUBO::RefPtr<NUBO::XObject> held;
    oxSelectBox* select = SelectOf(self);
    oxBox* row = ArgBox(args, 0, held);
    const int index = select && row ? select->GetRowIndex(row) : -1;
    return PutBox(self, out, index >= 0 ? select->GetRowBox(index + 1) : nullptr);
}

int32_t GetIsRowVisible(Box* self, XArgList* args, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    const int row = ArgInt(args, 0);
    *out = select && row >= select->GetFirstVisibleRowIndex() && row <= select->GetLastVisibleRowIndex() && row >= 0;
    return 0;
}

// contractRow and expandRow: the row of the box, with the flag true unless given.
template <bool kExpand> int32_t ChangeRow(Box* self, XArgList* args, XVariant*) {
    NUBO::RefPtr<NUBO::XObject> held;
    oxSelectBox* select = SelectOf(self);
    const int row = select ? select->GetRowIndex(ArgBox(args, 0, held)) : -1;
    if (row == -1) return 0;
    const bool flag = args->GetCount() < 2 || script_class::ArgBool(args, 1);
    kExpand ? select->ExpandRow(row, flag, false) : select->ContractRow(row, flag, false);
    return 0;
}

// The cursor data: the collection's row group, then the value in it. Without a group for the
// collection (a plain list has none) the cursor data is reset, which counts as done.
bool PutCursorData(oxSelectionModel* model, const VARIANT& value, const VARIANT& collection) {
    // The cursor move tells the box and its listeners, which may let go of the box and its model.
    NUBO::RefPtr<oxSelectionModel> held = NUBO::RefPtr<oxSelectionModel>::ref(model);
    void* group = model->PrepareCursorData(collection);
    if (!group) {
        model->ResetCursorData();
        return true;
    }
    return model->SetCursorData(value, group);
}

// The value is passed as written, not made an integer: text keys would otherwise never match, and
// what `cursorData` reads could not be written back.
int32_t SetCursorRowData(Box* self, XArgList* args, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    oxSelectionModel* model = select ? select->GetSelectionModel() : nullptr;
    *out = model && PutCursorData(model, *args->GetArg(0), *args->GetArg(1));
    return 0;
}

template <bool kCursor> int32_t GetIndex(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select || !select->GetSelectionModel()) return NUBO::XR_FAIL;
    oxSelectionModel* model = select->GetSelectionModel();
    *out = kCursor ? model->GetCursor() : model->GetFirstSelected();
    return 0;
}

template <bool kCursor> int32_t SetIndex(Box* self, const VARIANT& value) {
    oxSelectBox* select = SelectOf(self);
    if (!select || !select->GetSelectionModel()) return 0;
    const int index = static_cast<const XVariant&>(value).ToInt32();
    kCursor ? select->GetSelectionModel()->SetCursor(index) : select->GetSelectionModel()->SelectIndex(index);
    return 0;
}

template <bool kCursor> int32_t GetRowBoxOf(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    return PutBox(self, out, kCursor ? select->GetCursorBox() : select->GetSelectedBox());
}

template <bool kCursor> int32_t SetRowBoxOf(Box* self, const VARIANT& value) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    NUBO::XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) != 0 || !object) return 0;
    NUBO::RefPtr<NUBO::XObject> held(object);
    if (oxBox* row = BoxOfObject(object)) select->MoveCursorToBox(row, kCursor ? 0 : 1);
    return 0;
}

int32_t GetSortColumn(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    *out = select->GetSortColumn();
    return 0;
}

int32_t SetSortColumn(Box* self, const VARIANT& value) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    select->SetSortColumn(static_cast<const XVariant&>(value).ToInt32());
    return 0;
}

// A new SelectionData over the cursor row's value and collection; nothing when the cursor is on no
// data row.
int32_t GetCursorData(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    oxSelectionModel* model = select->GetSelectionModel();
    XVariant value;
    void* group = nullptr;
    if (!model || !model->GetCursorData(&value, &group)) return 0;
    NUBO::XObject* data = nullptr;
    if (CreateSelectionData(value, model->GetRowGroupObject(group), &data) == 0) script_class::PutObject(out, data);
    return 0;
}

// An object's `value` and `collection`, read by name, as for setCursorRowData; any other value
// passes empty ones.
int32_t SetCursorData(Box* self, const VARIANT& value) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    oxSelectionModel* model = select->GetSelectionModel();
    if (!model) return 0;
    XVariant data, collection;
    NUBO::XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) == 0 && object) {
        NUBO::RefPtr<NUBO::XObject> held(object);
        if (object->GetPropertyByName(u"value", &data) != 0) data.Clear();
        if (object->GetPropertyByName(u"collection", &collection) != 0) collection.Clear();
    }
    PutCursorData(model, data, collection);
    return 0;
}

template <int (oxSelectBox::*Get)()> int32_t GetCount(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select) return NUBO::XR_FAIL;
    *out = (select->*Get)();
    return 0;
}

int32_t GetSelection(Box* self, XVariant* out) {
    oxSelectBox* select = SelectOf(self);
    if (!select || !select->GetSelectionModel() || !self->GetCache()) return NUBO::XR_FAIL;
    NUBO::XObject* object = nullptr;
    if (!self->GetCache()->GetSelectionObject(select->GetSelectionModel(), &object)) return NUBO::XR_FAIL;
    script_class::PutObject(out, object);
    return 0;
}

using script_class::ObjectMethodRow;
using script_class::ObjectPropertyRow;

const NUBO::XMemberEntry kSelectMembers[] = {
    ObjectMethodRow<1, GetBoxAtRow>("getBoxAtRow"),
    MethodRow<1, GetRowOfBox>("getRowOfBox"),
    MethodRow<2, SortByValue>("sortByValue"),
    MethodRow<1, DeleteItem>("deleteItem"),
    MethodRow<0, AllRows<&oxSelectBox::DeleteSelectedRows>>("deleteSelectedItems"),
    MethodRow<0, AllRows<&oxSelectBox::DeleteAllRows>>("deleteAllItems"),
    MethodRow<0, AllRows<&oxSelectBox::SelectAllRows>>("selectAllItems"),
    ObjectMethodRow<0, GetFirstRowBox>("getFirstRowBox"),
    ObjectMethodRow<1, GetNextRowBox>("getNextRowBox"),
    MethodRow<1, GetIsRowVisible>("getIsRowVisible"),
    MethodRow<1, ChangeRow<false>>("contractRow"),
    MethodRow<1, ChangeRow<true>>("expandRow"),
    MethodRow<2, SetCursorRowData>("setCursorRowData"),
    PropertyRow<GetIndex<true>, SetIndex<true>>("cursorIndex"),
    PropertyRow<GetIndex<false>, SetIndex<false>>("selectedIndex"),
    ObjectPropertyRow<GetRowBoxOf<false>, SetRowBoxOf<false>>("selectedBox"),
    PropertyRow<GetSortColumn, SetSortColumn>("sortColumn"),
    ObjectPropertyRow<GetRowBoxOf<true>, SetRowBoxOf<true>>("cursorBox"),
    ObjectPropertyRow<GetCursorData, SetCursorData>("cursorData"),
    PropertyRow<GetCount<&oxSelectBox::GetFirstVisibleRowIndex>>("firstVisibleRowIndex"),
    PropertyRow<GetCount<&oxSelectBox::GetLastVisibleRowIndex>>("lastVisibleRowIndex"),
    PropertyRow<GetCount<&oxSelectBox::GetRowCount>>("rowCount"),
    ObjectPropertyRow<GetSelection>("selection"),
    NUBO::XMemberEnd(),
};

// -- RangeBox --------------------------------------------------------------------------------------

oxRangeBox* RangeOf(Box* self) {
    return dynamic_cast<oxRangeBox*>(self->GetBox());
}

int32_t CoordsToTicks(Box* self, XArgList* args, XVariant* out) {
    if (oxRangeBox* range = RangeOf(self)) *out = range->PixelsToTicks(ArgInt(args, 0));
    return 0;
}

int32_t GetPageSize(Box* self, XVariant* out) {
    oxRangeBox* range = RangeOf(self);
    if (!range) return NUBO::XR_FAIL;
    *out = range->GetPageSize();
    return 0;
}

int32_t GetPagingDirection(Box* self, XVariant* out) {
    oxRangeBox* range = RangeOf(self);
    if (!range) return NUBO::XR_FAIL;
    *out = range->GetPagingDirection();
    return 0;
}

const NUBO::XMemberEntry kRangeMembers[] = {
    MethodRow<1, CoordsToTicks>("coordsToTicks"),
    PropertyRow<GetPageSize>("pageSize"),
    PropertyRow<GetPagingDirection>("pagingDirection"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {

XClassDescriptor ControlBox = {"ControlBox", int(std::size(kControlMembers)), kControlMembers, &Box, 0, {}};
XClassDescriptor TextBox = {"TextBox", int(std::size(kTextMembers)), kTextMembers, &ControlBox, 0, {}};
XClassDescriptor RangeBox = {"RangeBox", int(std::size(kRangeMembers)), kRangeMembers, &ControlBox, 0, {}};
XClassDescriptor SelectBox = {"SelectBox", int(std::size(kSelectMembers)), kSelectMembers, &ControlBox, 0, {}};

} // namespace wrapper_class
