// The script classes of control boxes: ControlBox, and under it TextBox, RangeBox and SelectBox.
// Each member works on the wrapper's native control through the control's own operations; once
// the box is gone, properties fail with 1 and methods do nothing.
#include <iterator>

#include "toolkit/core/box_flags.h"
#include "toolkit/script/box.h"
#include "toolkit/script/script_class.h"
#include "toolkit/widgets/control_box.h"
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

const NUBO::XMemberEntry kNoMembers[] = {NUBO::XMemberEnd()};

} // namespace

namespace wrapper_class {

XClassDescriptor ControlBox = {"ControlBox", int(std::size(kControlMembers)), kControlMembers, &Box, 0, {}};
XClassDescriptor TextBox = {"TextBox", int(std::size(kTextMembers)), kTextMembers, &ControlBox, 0, {}};
// FIXME: RangeBox and SelectBox get their members once range and select boxes are made by the
// widgets; until then they are control boxes to scripts.
XClassDescriptor RangeBox = {"RangeBox", int(std::size(kNoMembers)), kNoMembers, &ControlBox, 0, {}};
XClassDescriptor SelectBox = {"SelectBox", int(std::size(kNoMembers)), kNoMembers, &ControlBox, 0, {}};

} // namespace wrapper_class
