// The script class of handle boxes, HandleBox: the handle's target, next box and reference box,
// each readable and settable with a Box object. Once the box is gone, properties fail with 1 and
// methods answer false.
#include <iterator>

#include "runtime/ref_ptr.h"
#include "toolkit/script/box.h"
#include "toolkit/script/script_class.h"
#include "toolkit/widgets/handle_box.h"

using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XVariant;

namespace {

oxHandleBox* HandleOf(Box* self) {
    return dynamic_cast<oxHandleBox*>(self->GetBox());
}

// The native box of a Box value; anything else is no box.
oxBox* BoxOfValue(const VARIANT& value, NUBO::RefPtr<NUBO::XObject>& held) {
    NUBO::XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) != 0 || !object) return nullptr;
    held = NUBO::RefPtr<NUBO::XObject>(object);
    return BoxOfObject(object);
}

// A box result, or 1 when there is none.
int32_t PutFound(Box* self, XVariant* out, oxBox* box) {
    return box ? PutBox(self, out, box) : NUBO::XR_FAIL;
}

int32_t SetReferenceBox(Box* self, XArgList* args, XVariant* out) {
    oxHandleBox* handle = HandleOf(self);
    NUBO::RefPtr<NUBO::XObject> held;
    oxBox* box = handle ? ArgBox(args, 0, held) : nullptr;
    if (box) handle->SetReferenceBox(box);
    *out = box != nullptr;
    return 0;
}

int32_t GetReferenceBox(Box* self, XVariant* out) {
    oxHandleBox* handle = HandleOf(self);
    return handle ? PutFound(self, out, handle->GetReferenceBox()) : NUBO::XR_FAIL;
}

template <oxBox* (oxHandleBox::*Get)()> int32_t GetBoxOf(Box* self, XVariant* out) {
    oxHandleBox* handle = HandleOf(self);
    return handle ? PutFound(self, out, (handle->*Get)()) : NUBO::XR_FAIL;
}

template <void (oxHandleBox::*Set)(oxBox*)> int32_t SetBoxOf(Box* self, const VARIANT& value) {
    oxHandleBox* handle = HandleOf(self);
    if (!handle) return NUBO::XR_FAIL;
    NUBO::RefPtr<NUBO::XObject> held;
    if (oxBox* box = BoxOfValue(value, held)) (handle->*Set)(box);
    return 0;
}

const NUBO::XMemberEntry kHandleMembers[] = {
    script_class::MethodRow<1, SetReferenceBox>("setReferenceBox"),
    script_class::ObjectPropertyRow<GetReferenceBox, SetBoxOf<&oxHandleBox::SetReferenceBox>>("referenceBox"),
    script_class::ObjectPropertyRow<GetBoxOf<&oxHandleBox::GetTarget>, SetBoxOf<&oxHandleBox::SetTarget>>("target"),
    script_class::ObjectPropertyRow<GetBoxOf<&oxHandleBox::GetNext>, SetBoxOf<&oxHandleBox::SetNext>>("next"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {

XClassDescriptor HandleBox = {"HandleBox", int(std::size(kHandleMembers)), kHandleMembers, &Box, 0, {}};

} // namespace wrapper_class
