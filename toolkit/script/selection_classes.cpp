// The Selection and SelectionData script classes. Selection calls its list's selection model;
// SelectionData names one selected data row by its value and the collection it came from.
#include <iterator>
#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/selection_model.h"
#include "toolkit/script/data_classes.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/script_class.h"

using NUBO::RefPtr;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;
using script_class::ArgInt;

namespace {

// A value and its collection, held as the collection's object rather than the row group: the
// object stays valid however long a script keeps the SelectionData.
class SelectionData final : public XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    XVariant value;
    RefPtr<XObject> collection;
};

int32_t GetValue(SelectionData* self, XVariant* out) {
    *out = self->value;
    return 0;
}

int32_t GetCollection(SelectionData* self, XVariant* out) {
    out->SetObject(self->collection.get());
    return 0;
}

const NUBO::XMemberEntry kSelectionDataMembers[] = {
    script_class::PropertyRow<GetValue>("value"),
    script_class::ObjectPropertyRow<GetCollection>("collection"),
    NUBO::XMemberEnd(),
};

oxSelectionModel* ModelOf(oxNativeWrapper* self) {
    return static_cast<oxSelectionModel*>(self->GetNative());
}

int32_t Select(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    *out = false;
    oxSelectionModel* model = ModelOf(self);
    int row = ArgInt(args, 0);
    if (!model || row < 0) return 0;
    model->Select(row);
    *out = true;
    return 0;
}

int32_t SelectState(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    *out = true;
    oxSelectionModel* model = ModelOf(self);
    int row = ArgInt(args, 0);
    if (!model || row < 0) return 0;
    if (ArgBool(args, 1))
        model->SelectRow(row);
    else
        model->UnselectRow(row);
    return 0;
}

int32_t SelectRow(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxSelectionModel* model = ModelOf(self);
    int row = ArgInt(args, 0);
    if (model && row >= 0) model->SelectRow(row);
    return 0;
}

int32_t UnselectRow(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxSelectionModel* model = ModelOf(self);
    int row = ArgInt(args, 0);
    if (model && row >= 0) model->UnselectRow(row);
    return 0;
}

int32_t Clear(oxNativeWrapper* self, XArgList*, XVariant*) {
    if (oxSelectionModel* model = ModelOf(self)) model->ClearSelection();
    return 0;
}

// selectData and unselectData: the row group of the collection, then the model's answer.
template <bool kSelect> int32_t ChangeData(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    *out = false;
    oxSelectionModel* model = ModelOf(self);
    if (!model) return 0;
    void* group = model->FindRowGroup(*args->GetArg(1));
    if (!group) return 0;
    *out = kSelect ? model->SelectData(*args->GetArg(0), group) : model->UnselectData(*args->GetArg(0), group);
    return 0;
}

int32_t GetSelectionIndex(oxNativeWrapper* self, XVariant* out) {
    oxSelectionModel* model = ModelOf(self);
    if (!model) return NUBO::XR_FAIL;
    *out = model->GetSelectionIndex();
    return 0;
}
int32_t SetSelectionIndex(oxNativeWrapper* self, const VARIANT& value) {
    oxSelectionModel* model = ModelOf(self);
    if (!model) return NUBO::XR_FAIL;
    model->SetSelectionIndex(XVariant(value).ToInt32());
    return 0;
}

template <int (oxSelectionModel::*Get)()> int32_t GetInt(oxNativeWrapper* self, XVariant* out) {
    oxSelectionModel* model = ModelOf(self);
    if (!model) return NUBO::XR_FAIL;
    *out = (model->*Get)();
    return 0;
}

template <bool kFirst> int32_t GetSelectedData(oxNativeWrapper* self, XVariant* out) {
    oxSelectionModel* model = ModelOf(self);
    if (!model) return 0;
    XVariant value;
    void* group = nullptr;
    bool found = kFirst ? model->GetFirstSelectedData(&value, &group) : model->GetNextSelectedData(&value, &group);
    if (!found) return 0;
    XObject* data = nullptr;
    if (CreateSelectionData(value, model->GetRowGroupObject(group), &data) == 0) script_class::PutObject(out, data);
    return 0;
}

using script_class::MethodRow;
using script_class::ObjectPropertyRow;
using script_class::PropertyRow;
using M = oxSelectionModel;

const NUBO::XMemberEntry kSelectionMembers[] = {
    MethodRow<1, Select>("select"),
    MethodRow<2, SelectState>("selectState"),
    MethodRow<1, SelectRow>("selectRow"),
    MethodRow<1, UnselectRow>("unselectRow"),
    MethodRow<0, Clear>("clear"),
    MethodRow<2, ChangeData<false>>("unselectData"),
    MethodRow<2, ChangeData<true>>("selectData"),
    PropertyRow<GetSelectionIndex, SetSelectionIndex>("selectionIndex"),
    PropertyRow<GetInt<&M::GetFirstSelectedRow>>("firstSelectedRow"),
    PropertyRow<GetInt<&M::GetNextSelectedRow>>("nextSelectedRow"),
    ObjectPropertyRow<GetSelectedData<true>>("firstSelectedData"),
    ObjectPropertyRow<GetSelectedData<false>>("nextSelectedData"),
    PropertyRow<GetInt<&M::GetSelectedCount>>("rowCount"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor SelectionData::Descriptor = {
    "SelectionData", int(std::size(kSelectionDataMembers)), kSelectionDataMembers, &XObject::Descriptor, 0, {}};

namespace wrapper_class {
NUBO::XClassDescriptor Selection = {
    "Selection", int(std::size(kSelectionMembers)), kSelectionMembers, &XObject::Descriptor, 0, {}};
} // namespace wrapper_class

int32_t CreateSelectionData(const VARIANT& value, XObject* collection, XObject** out) {
    SelectionData* data = nullptr;
    int32_t rc = script_class::CreateInstance<SelectionData>(&data);
    if (rc != 0) return rc;
    data->value = value;
    data->collection = RefPtr<XObject>::ref(collection);
    *out = data;
    return 0;
}
