// The script classes of window, popup and image boxes: WindowBox for a box that owns a top-level
// window, PopupBox and ImageBox. Members work on the native box's own operations; once the box is gone, properties
// fail with 1 and methods do nothing.
#include <iterator>

#include "runtime/ref_ptr.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/script/box.h"
#include "toolkit/script/menu_classes.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/image_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/top_level_frame.h"
#include "toolkit/widgets/window_box.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

oxWindowBox* WindowOf(Box* self) {
    return dynamic_cast<oxWindowBox*>(self->GetBox());
}

oxPopupBox* PopupOf(Box* self) {
    return dynamic_cast<oxPopupBox*>(self->GetBox());
}

const XVariant& AsVariant(const VARIANT& value) {
    return static_cast<const XVariant&>(value);
}

// -- WindowBox methods -----------------------------------------------------------------------------

int32_t BringToFront(Box* self, XArgList*, XVariant*) {
    if (oxWindowBox* window = WindowOf(self)) window->BringToFront();
    return 0;
}

template <void (oxWindowBox::*Command)()> int32_t WindowCommand(Box* self, XArgList*, XVariant*) {
    if (oxWindowBox* window = WindowOf(self)) (window->*Command)();
    return 0;
}

// No edge of this platform's screen has a bar that hides itself.
int32_t AutoHide(Box*, XArgList* args, XVariant* out) {
    (void)SideFromAtom(script_class::ArgText(args, 0).GetString());
    *out = false;
    return 0;
}

int32_t FitOnScreen(Box* self, XArgList*, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    *out = window && window->FitOnScreen();
    return 0;
}

int32_t RefreshMenu(Box* self, XArgList*, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    *out = window && window->GetWindowFrame() && window->RefreshMenu();
    return 0;
}

// -- WindowBox properties --------------------------------------------------------------------------

int32_t GetTitle(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = TWString(window->GetTitle() ? window->GetTitle() : u"");
    return 0;
}
int32_t SetTitle(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetAttribute(kAtomTitle, AsVariant(value).ToString().GetString(), true, false);
    return 0;
}

int32_t GetActive(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = (window->GetStateFlags() & kStateActive) != 0;
    return 0;
}
int32_t SetActive(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetActive(AsVariant(value).ToBool());
    return 0;
}

int32_t GetTranslucent(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = window->TestChangeFlags(kChangeTranslucent);
    return 0;
}
int32_t SetTranslucent(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetAttribute(kAtomTranslucent, AsVariant(value).ToBool() ? u"true" : u"false", true, false);
    return 0;
}

int32_t GetChromeless(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = window->IsChromeless();
    return 0;
}
int32_t SetChromeless(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetChromeless(AsVariant(value).ToBool());
    return 0;
}

int32_t GetDockAffinity(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = TWString(window->GetDockAffinity() == kAtomMonitor ? u"monitor" : u"desktop");
    return 0;
}
int32_t SetDockAffinity(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetDockAffinity(AsVariant(value).ToString().GetString());
    return 0;
}

int32_t GetAlwaysOnTop(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = window->IsAlwaysOnTop();
    return 0;
}
int32_t SetAlwaysOnTop(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetAlwaysOnTop(AsVariant(value).ToBool());
    return 0;
}

int32_t GetFloating(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    *out = window->IsFloating();
    return 0;
}
int32_t SetFloating(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetFloating(AsVariant(value).ToBool());
    return 0;
}

int32_t GetDock(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    WCHAR side[16] = {};
    SideToString(window->GetDockSide(), side, std::size(side));
    *out = TWString(side);
    return 0;
}
int32_t SetDock(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    window->SetDock(SideFromAtom(AsVariant(value).ToString().GetString()));
    return 0;
}

int32_t GetWindowHandle(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return NUBO::XR_FAIL;
    oxWindowFrame* frame = window->GetWindowFrame();
    if (frame && frame->GetWindow()) *out = XVariant(unsigned(reinterpret_cast<uintptr_t>(frame->GetWindow())));
    return 0;
}

// The frame keeps no placement of its own on this platform: the text reads empty and setting it
// changes nothing, as long as there is a frame.
int32_t GetWindowPlacement(Box* self, XVariant*) {
    return WindowOf(self) ? 0 : NUBO::XR_FAIL;
}
int32_t SetWindowPlacement(Box* self, const VARIANT&) {
    oxWindowBox* window = WindowOf(self);
    return window && window->GetWindowFrame() ? 0 : NUBO::XR_FAIL;
}

int32_t GetMenu(Box* self, XVariant* out) {
    oxWindowBox* window = WindowOf(self);
    oxNativeMenu* menu = window ? window->GetMenu() : nullptr;
    if (menu) script_class::PutObject(out, MakeMenuObject(menu));
    else out->SetObject(nullptr);
    return 0;
}
// Anything but a Menu asks for no menu, which the frame refuses.
int32_t SetMenu(Box* self, const VARIANT& value) {
    oxWindowBox* window = WindowOf(self);
    if (!window) return 0;
    NUBO::XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) != 0) object = nullptr;
    oxNativeMenu* menu = nullptr;
    if (object && NUBO::XObject::IsKindOf(object, &Menu::Descriptor)) menu = static_cast<Menu*>(object)->GetNativeMenu();
    window->SetMenu(menu);
    if (object) object->Release();
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kWindowMembers[] = {
    MethodRow<0, BringToFront>("bringToFront"),
    MethodRow<0, WindowCommand<&oxWindowBox::Minimize>>("minimize"),
    MethodRow<0, WindowCommand<&oxWindowBox::Maximize>>("maximize"),
    MethodRow<0, WindowCommand<&oxWindowBox::Restore>>("restore"),
    MethodRow<1, AutoHide>("notifyAutoHide"),
    MethodRow<1, AutoHide>("setAutoHideBar"),
    MethodRow<0, FitOnScreen>("fitOnScreen"),
    MethodRow<0, RefreshMenu>("refreshMenu"),
    PropertyRow<GetTitle, SetTitle>("title"),
    PropertyRow<GetActive, SetActive>("active"),
    PropertyRow<GetTranslucent, SetTranslucent>("translucent"),
    PropertyRow<GetChromeless, SetChromeless>("chromeless"),
    PropertyRow<GetDockAffinity, SetDockAffinity>("dockAffinity"),
    PropertyRow<GetAlwaysOnTop, SetAlwaysOnTop>("alwaysOnTop"),
    PropertyRow<GetFloating, SetFloating>("floating"),
    PropertyRow<GetDock, SetDock>("dock"),
    PropertyRow<GetWindowHandle>("windowHandle"),
    PropertyRow<GetWindowPlacement, SetWindowPlacement>("windowPlacement"),
    script_class::ObjectPropertyRow<GetMenu, SetMenu>("menu"),
    NUBO::XMemberEnd(),
};

// -- PopupBox --------------------------------------------------------------------------------------

// The Box object of a box, through the wrapper's cache; false when the cache is gone.
bool PutBox(Box* self, oxBox* box, XVariant* out) {
    oxScriptObjectCache* cache = self->GetCache();
    if (!cache) return false;
    XObject* object = nullptr;
    if (box) cache->GetBoxObject(box, &object);
    script_class::PutObject(out, object);
    return true;
}

int32_t GetOpened(Box* self, XVariant* out) {
    oxPopupBox* popup = PopupOf(self);
    if (!popup) return NUBO::XR_FAIL;
    *out = popup->IsOpened();
    return 0;
}
int32_t SetOpened(Box* self, const VARIANT& value) {
    oxPopupBox* popup = PopupOf(self);
    if (!popup) return NUBO::XR_FAIL;
    const bool open = AsVariant(value).ToBool();
    if (open != popup->IsOpened()) popup->SetOpened(open, false);
    return 0;
}

int32_t GetCurrentPopupChild(Box* self, XVariant* out) {
    oxPopupBox* popup = PopupOf(self);
    if (!popup || !PutBox(self, popup->GetCurrentPopupChild(), out)) return NUBO::XR_FAIL;
    return 0;
}
int32_t GetFirstPopupChild(Box* self, XVariant* out) {
    oxPopupBox* popup = PopupOf(self);
    if (!popup || !PutBox(self, popup->GetFirstPopupChild(), out)) return NUBO::XR_FAIL;
    return 0;
}
int32_t SetCurrentPopupChild(Box* self, const VARIANT& value) {
    oxPopupBox* popup = PopupOf(self);
    if (!popup || !self->GetCache()) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    oxBox* child = nullptr;
    if (static_cast<const XVariant&>(value).GetXObject(&object) == 0 && object) {
        child = BoxOfObject(object);
        object->Release();
    }
    popup->SetCurrentPopupChild(child);
    return 0;
}

const NUBO::XMemberEntry kPopupMembers[] = {
    PropertyRow<GetOpened, SetOpened>("opened"),
    script_class::ObjectPropertyRow<GetCurrentPopupChild, SetCurrentPopupChild>("currentPopupChild"),
    script_class::ObjectPropertyRow<GetFirstPopupChild>("firstPopupChild"),
    NUBO::XMemberEnd(),
};

// -- ImageBox --------------------------------------------------------------------------------------

oxImageBox* ImageOf(Box* self) {
    return dynamic_cast<oxImageBox*>(self->GetBox());
}

int32_t GetImageSrc(Box* self, XVariant* out) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    *out = TWString(image->GetSrc().GetString() ? image->GetSrc().GetString() : u"");
    return 0;
}
int32_t SetImageSrc(Box* self, const VARIANT& value) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    NUBO::XStream* raw = nullptr;
    if (NUBO::XStreamFromVariant(&value, &raw) == 0 && raw) {
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        image->LoadFromStream(stream.get());
        return 0;
    }
    if (value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH) return 0; // an object that is no stream
    image->SetSrc(AsVariant(value).ToString().GetString());
    return 0;
}

int32_t GetImageBitmap(Box* self, XVariant* out) {
    oxImageBox* image = ImageOf(self);
    oxScriptObjectCache* cache = self->GetCache();
    if (!image || !cache) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    if (oxBitmapElement* picture = image->GetPicture()) cache->GetResourceObject(picture, &object);
    script_class::PutObject(out, object);
    return 0;
}

template <bool Height, bool Intrinsic> int32_t GetImageSize(Box* self, XVariant* out) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    const oxPoint size = Intrinsic ? image->GetImageSize() : image->GetIntrinsicSize();
    *out = int(Height ? size.y : size.x);
    return 0;
}

int32_t GetFramesRepeatCount(Box* self, XVariant* out) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    *out = image->GetFramesRepeatLimit();
    return 0;
}
int32_t SetFramesRepeatCount(Box* self, const VARIANT& value) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    image->SetFramesRepeatCount(AsVariant(value).ToInt32());
    return 0;
}

// The "aspect" keyword as its text, else the style's integer; set as the Box members do.
template <int Property> int32_t GetImageDimension(Box* self, XVariant* out) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    oxStyleValue value;
    image->GetStyleValue(Property, &value);
    if (value.GetType() == kStyleKeyword && value.GetValue() == kKeywordAspect)
        *out = TWString(u"aspect");
    else
        *out = int(value.GetInt());
    return 0;
}
template <void (oxBox::*Set)(int32_t)> int32_t SetImageDimension(Box* self, const VARIANT& value) {
    oxImageBox* image = ImageOf(self);
    if (!image) return NUBO::XR_FAIL;
    (image->*Set)(AsVariant(value).ToInt32());
    return 0;
}

const NUBO::XMemberEntry kImageMembers[] = {
    PropertyRow<GetImageSrc, SetImageSrc>("src"),
    script_class::ObjectPropertyRow<GetImageBitmap>("bitmap"),
    PropertyRow<GetImageDimension<kStyle_height>, SetImageDimension<&oxBox::SetHeight>>("height"),
    PropertyRow<GetImageDimension<kStyle_width>, SetImageDimension<&oxBox::SetWidth>>("width"),
    PropertyRow<GetImageSize<true, false>>("boxHeight"),
    PropertyRow<GetImageSize<false, false>>("boxWidth"),
    PropertyRow<GetImageSize<true, true>>("intrinsicHeight"),
    PropertyRow<GetImageSize<false, true>>("intrinsicWidth"),
    PropertyRow<GetFramesRepeatCount, SetFramesRepeatCount>("framesRepeatCount"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {

XClassDescriptor WindowBox = {"WindowBox", int(std::size(kWindowMembers)), kWindowMembers, &Box, 0, {}};
XClassDescriptor PopupBox = {"PopupBox", int(std::size(kPopupMembers)), kPopupMembers, &Box, 0, {}};
XClassDescriptor ImageBox = {"ImageBox", int(std::size(kImageMembers)), kImageMembers, &Box, 0, {}};

} // namespace wrapper_class
