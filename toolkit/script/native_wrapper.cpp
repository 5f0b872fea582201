#include "toolkit/script/native_wrapper.h"

#include "toolkit/core/event.h"
#include "toolkit/script/script_object_cache.h"

using NUBO::XClassDescriptor;
using NUBO::XObject;

namespace {

const NUBO::XMemberEntry kNoMembers[] = {NUBO::XMemberEnd()};

} // namespace

oxNativeWrapper::~oxNativeWrapper() {
    if (cache_) cache_->OnWrapperDestroyed(this);
    if (descriptor_ == &wrapper_class::UserEvent) delete static_cast<oxEvent*>(native_); // its own record
}

namespace wrapper_class {

// FIXME: these classes get their members with the box, event, command, resource, data and theme
// script classes; until then scripts can hold, compare and test them.
XClassDescriptor Box = {"Box", 1, kNoMembers, &XObject::Descriptor, 0, {}};
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
XClassDescriptor Selection = {"Selection", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor DataBinding = {"DataBinding", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Theme = {"Theme", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor ThemeManager = {"ThemeManager", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor Factory = {"Factory", 1, kNoMembers, &XObject::Descriptor, 0, {}};

XClassDescriptor Event = {"Event", 1, kNoMembers, &XObject::Descriptor, 0, {}};
XClassDescriptor UserEvent = {"UserEvent", 1, kNoMembers, &Event, 0, {}};
XClassDescriptor DOMEvent = {"DOMEvent", 1, kNoMembers, &Event, 0, {}};
XClassDescriptor UIEvent = {"UIEvent", 1, kNoMembers, &DOMEvent, 0, {}};
XClassDescriptor MouseEvent = {"MouseEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor DragEvent = {"DragEvent", 1, kNoMembers, &MouseEvent, 0, {}};
XClassDescriptor KeyEvent = {"KeyEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor MenuEvent = {"MenuEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor ContextMenuEvent = {"ContextMenuEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor SelectionEvent = {"SelectionEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor CommandEvent = {"CommandEvent", 1, kNoMembers, &UIEvent, 0, {}};
XClassDescriptor SystemEvent = {"SystemEvent", 1, kNoMembers, &DOMEvent, 0, {}};
XClassDescriptor MessageEvent = {"MessageEvent", 1, kNoMembers, &DOMEvent, 0, {}};
XClassDescriptor MutationEvent = {"MutationEvent", 1, kNoMembers, &DOMEvent, 0, {}};
XClassDescriptor DHTMLEvent = {"DHTMLEvent", 1, kNoMembers, &DOMEvent, 0, {}};

} // namespace wrapper_class
