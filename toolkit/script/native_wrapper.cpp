#include "toolkit/script/native_wrapper.h"

#include "toolkit/script/script_object_cache.h"

using NUBO::XClassDescriptor;
using NUBO::XObject;

namespace {

const NUBO::XMemberEntry kNoMembers[] = {NUBO::XMemberEnd()};

} // namespace

oxNativeWrapper::~oxNativeWrapper() {
    if (cache_) cache_->OnWrapperDestroyed(this);
}

namespace wrapper_class {

// FIXME: these classes get their members with the box kind, command and resource script
// classes; until then scripts can hold, compare and test them. Box, the event classes and the theme
// classes have theirs (box_members.cpp, event_classes.cpp, theme_classes.cpp).
XClassDescriptor TextBox = {"TextBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor ControlBox = {"ControlBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor DHTMLBox = {"DHTMLBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor HandleBox = {"HandleBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor ImageBox = {"ImageBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor PopupBox = {"PopupBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor RangeBox = {"RangeBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor SelectBox = {"SelectBox", 1, kNoMembers, &Box, 0, {}};
XClassDescriptor WindowBox = {"WindowBox", 1, kNoMembers, &Box, 0, {}};

XClassDescriptor Command = {"Command", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor CommandGroup = {"CommandGroup", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Key = {"Key", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor KeyGroup = {"KeyGroup", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Library = {"Library", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Resource = {"Resource", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Bitmap = {"Bitmap", 1, kNoMembers, &Resource, 0, {}};
XClassDescriptor ImageElement = {"ImageElement", 1, kNoMembers, &Resource, 0, {}};
XClassDescriptor Gadget = {"Gadget", 1, kNoMembers, &Resource, 0, {}};
XClassDescriptor Factory = {"Factory", 1, kNoMembers, &XObject::Descriptor, 0, {}};

} // namespace wrapper_class
