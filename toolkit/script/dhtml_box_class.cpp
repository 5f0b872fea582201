// The script class of HTML boxes: DHTMLBox, a Box that hosts the platform's HTML control. Once the
// box is gone, `href` reads empty, writes are dropped and `stopNavigate` does nothing.
#include <iterator>

#include "toolkit/script/box.h"
#include "toolkit/script/script_class.h"
#include "toolkit/widgets/frame_box.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XVariant;

namespace {

oxDHTMLBox* HtmlOf(Box* self) {
    return dynamic_cast<oxDHTMLBox*>(self->GetBox());
}

int32_t GetHref(Box* self, XVariant* out) {
    oxDHTMLBox* box = HtmlOf(self);
    *out = TWString(box ? box->GetHref().GetString() : u"");
    return 0;
}

int32_t SetHref(Box* self, const VARIANT& value) {
    if (oxDHTMLBox* box = HtmlOf(self)) box->SetHref(static_cast<const XVariant&>(value).ToString().GetString());
    return 0;
}

int32_t StopNavigate(Box* self, XArgList*, XVariant*) {
    if (oxDHTMLBox* box = HtmlOf(self)) box->StopNavigate();
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    script_class::MethodRow<0, StopNavigate>("stopNavigate"),
    script_class::PropertyRow<GetHref, SetHref>("href"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {

XClassDescriptor DHTMLBox = {"DHTMLBox", int(std::size(kMembers)), kMembers, &Box, 0, {}};

} // namespace wrapper_class
