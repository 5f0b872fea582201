// The event classes' members, the user event's owned record and the handler invoker. Members read
// and write the record behind the object directly; a detached object answers 1 for properties and
// does nothing for methods.
#include "toolkit/script/event_classes.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/transfer_data.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/script_wrapper_cache.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/transfer_data_class.h"
#include "toolkit/script/transition_classes.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::XArgList;
using NUBO::XClassDescriptor;
using NUBO::XObject;
using NUBO::XVariant;

UserEventObject::UserEventObject(oxEvent* event) : oxNativeWrapper(&wrapper_class::UserEvent, event), owned_(event) {
    if (event) event->AddFlags(kEventUser);
}

UserEventObject::~UserEventObject() {
    // A dispatch may have detached the object: its entry is found by the record it owns.
    if (oxScriptWrapperCache* cache = GetOwningCache()) {
        cache->ForgetEventObject(owned_);
        ForgetOwningCache();
    }
    delete owned_;
}

namespace {

using Wrapper = oxNativeWrapper;

oxEvent* EventOf(Wrapper* self) {
    return static_cast<oxEvent*>(self->GetNative());
}

// The record as the kind a class reads, or null when the object is detached or the record is of
// another kind (a user event renamed to a typed event's name stays a plain record).
template <class T> T* RecordOf(Wrapper* self) {
    return dynamic_cast<T*>(EventOf(self));
}

oxScriptObjectCache* CacheOfBox(oxBox* box) {
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    return runtime ? runtime->GetScriptObjectCache() : nullptr;
}

// The Box object of a box the record names; null when it has none, or no scene or cache.
void PutBoxOf(XVariant* out, oxReferenced* target) {
    out->SetObject(nullptr);
    auto* box = dynamic_cast<oxBox*>(target);
    oxScriptObjectCache* cache = CacheOfBox(box);
    XObject* object = nullptr;
    if (!cache || !cache->GetBoxObject(box, &object)) return;
    script_class::PutObject(out, object);
}

void PutAtomName(XVariant* out, oxAtom atom) {
    WCHAR name[1024] = {};
    if (!atom || !oxAtoms::GetName(atom, name, 1024)) name[0] = 0;
    *out = name;
}

// -- Event -----------------------------------------------------------------------------------------

template <uint16_t kSet, uint16_t kClear> int32_t ChangeFlags(Wrapper* self, XArgList*, XVariant*) {
    if (oxEvent* event = EventOf(self)) event->SetFlags(uint16_t((event->GetFlags() & ~kClear) | kSet));
    return 0;
}

int32_t GetType(Wrapper* self, XVariant* out) {
    oxEvent* event = EventOf(self);
    if (!event) return NUBO::XR_FAIL;
    PutAtomName(out, event->GetType());
    return 0;
}

int32_t GetTargetBox(Wrapper* self, XVariant* out) {
    oxEvent* event = EventOf(self);
    if (!event) return NUBO::XR_FAIL;
    PutBoxOf(out, event->GetTarget());
    return 0;
}

int32_t GetAtom(Wrapper* self, XVariant* out) {
    oxEvent* event = EventOf(self);
    if (!event) return NUBO::XR_FAIL;
    out->SetUInt16(uint16_t(event->GetType()));
    return 0;
}

int32_t SetUserType(Wrapper* self, const VARIANT& value) {
    // The owned record takes the name even after a dispatch detached the object.
    oxEvent* owned = static_cast<UserEventObject*>(self)->GetOwnedEvent();
    NUBO::TWString text = XVariant(value).ToString();
    if (owned) owned->SetType(text.IsEmpty() ? 0 : oxAtoms::Intern(text.GetString()));
    return 0;
}

// -- DOMEvent --------------------------------------------------------------------------------------

int32_t GetParams(Wrapper* self, XVariant* out) {
    auto* event = RecordOf<oxDOMEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    XObject* params = nullptr;
    event->GetParams(&params);
    script_class::PutObject(out, params);
    return 0;
}

int32_t SetParams(Wrapper* self, const VARIANT& value) {
    auto* event = RecordOf<oxDOMEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    (void)NUBO::VariantToXObject(&object, &value);
    int32_t rc = event->SetParamsObject(object);
    if (object) object->Release();
    return rc;
}

template <oxReferenced* (oxDOMEvent::*Get)() const> int32_t GetDomBox(Wrapper* self, XVariant* out) {
    auto* event = RecordOf<oxDOMEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    PutBoxOf(out, (event->*Get)());
    return 0;
}

// -- UIEvent and its kinds -------------------------------------------------------------------------

template <class T, class F> int32_t Read(Wrapper* self, XVariant* out, F read) {
    T* event = RecordOf<T>(self);
    if (!event) return NUBO::XR_FAIL;
    read(event, out);
    return 0;
}

#define EVENT_GETTER(Name, T, expr)                                                                                    \
    int32_t Name(Wrapper* self, XVariant* out) {                                                                       \
        return Read<T>(self, out, [](T* e, XVariant* o) { expr; });                                                    \
    }

EVENT_GETTER(GetShift, oxUIEvent, *o = e->shift)
EVENT_GETTER(GetCtrl, oxUIEvent, *o = e->ctrl)
EVENT_GETTER(GetAlt, oxUIEvent, *o = e->alt)
EVENT_GETTER(GetButton, oxMouseEvent, o->SetInt8((signed char)e->button))
EVENT_GETTER(GetDetail, oxMouseEvent, *o = int(e->detail))
EVENT_GETTER(GetCapturing, oxMouseEvent, *o = e->capture != nullptr)
EVENT_GETTER(GetMouseBoxX, oxMouseEvent, *o = int(e->GetBoxPosition().x))
EVENT_GETTER(GetMouseBoxY, oxMouseEvent, *o = int(e->GetBoxPosition().y))
EVENT_GETTER(GetMouseFrameX, oxMouseEvent, *o = int(e->framePoint.x))
EVENT_GETTER(GetMouseFrameY, oxMouseEvent, *o = int(e->framePoint.y))
EVENT_GETTER(GetMouseScreenX, oxMouseEvent, *o = int(e->secondPoint.x))
EVENT_GETTER(GetMouseScreenY, oxMouseEvent, *o = int(e->secondPoint.y))
EVENT_GETTER(GetOperation, oxDragEvent, *o = int(e->operation))
EVENT_GETTER(GetLocation, oxDragEvent, *o = int(e->location))
EVENT_GETTER(GetCanDrop, oxDragEvent, *o = e->canDrop != 0)
EVENT_GETTER(GetSourceBox, oxDragEvent, PutBoxOf(o, e->sourceBox))
EVENT_GETTER(GetKeyCode, oxKeyEvent, *o = int(e->keyCode))
EVENT_GETTER(GetVirtualKeyCode, oxKeyEvent, *o = int(e->virtualKeyCode))
EVENT_GETTER(GetMenuId, oxMenuEvent, *o = int(e->menuId))
EVENT_GETTER(GetByKeyboard, oxContextMenuEvent, *o = e->byKeyboard)
EVENT_GETTER(GetMenuFrameX, oxContextMenuEvent, *o = int(e->framePoint.x))
EVENT_GETTER(GetMenuFrameY, oxContextMenuEvent, *o = int(e->framePoint.y))
EVENT_GETTER(GetMenuScreenX, oxContextMenuEvent, *o = int(e->boxPoint.x))
EVENT_GETTER(GetMenuScreenY, oxContextMenuEvent, *o = int(e->boxPoint.y))
EVENT_GETTER(GetMenuBoxX, oxContextMenuEvent, *o = int(e->GetBoxPosition().x))
EVENT_GETTER(GetMenuBoxY, oxContextMenuEvent, *o = int(e->GetBoxPosition().y))
EVENT_GETTER(GetIndex, oxSelectionEvent, *o = int(e->index))
EVENT_GETTER(GetOldIndex, oxSelectionEvent, *o = int(e->oldIndex))
EVENT_GETTER(GetMessageText, oxMessageEvent, PutAtomName(o, oxAtom(e->message)))
EVENT_GETTER(GetMessageResult, oxMessageEvent, *o = int(e->result))
EVENT_GETTER(GetCommandMessage, oxCommandEvent, PutAtomName(o, e->message))
EVENT_GETTER(GetReason, oxSystemEvent, *o = int(e->reason))
EVENT_GETTER(GetAttributeName, oxMutationEvent, PutAtomName(o, oxAtom(e->attribute)))

#undef EVENT_GETTER

// A new TransferData object over the drag's data on every read; nothing when the drag has none.
int32_t GetSourceData(Wrapper* self, XVariant* out) {
    return Read<oxDragEvent>(self, out, [](oxDragEvent* e, XVariant* o) {
        auto* data = dynamic_cast<oxTransferData*>(e->GetSourceData());
        if (!data) return;
        if (auto* object = new (std::nothrow) TransferDataObject(data)) {
            object->AddRef();
            script_class::PutObject(o, object);
        }
    });
}

int32_t GetCommand(Wrapper* self, XVariant* out) {
    auto* event = RecordOf<oxCommandEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    out->SetObject(nullptr);
    if (!event->command) return 0;
    oxScriptObjectCache* cache = CacheOfBox(dynamic_cast<oxBox*>(event->GetTarget()));
    XObject* object = nullptr;
    if (!cache || !cache->GetCommandObject(static_cast<oxElement*>(event->command), &object)) return NUBO::XR_FAIL;
    script_class::PutObject(out, object);
    return 0;
}

template <class T, int32_t T::*Field> int32_t SetIntField(Wrapper* self, const VARIANT& value) {
    T* event = RecordOf<T>(self);
    if (!event) return NUBO::XR_FAIL;
    event->*Field = XVariant(value).ToInt32();
    return 0;
}

int32_t SetCanDrop(Wrapper* self, const VARIANT& value) {
    auto* event = RecordOf<oxDragEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    event->canDrop = XVariant(value).ToBool() ? 1 : 0;
    return 0;
}

// A Snapshot becomes the drag image; any other value clears it.
int32_t SetDragImage(Wrapper* self, const VARIANT& value) {
    auto* event = RecordOf<oxDragEvent>(self);
    if (!event) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    if (NUBO::VariantToXObject(&object, &value) != 0) object = nullptr;
    event->SetDragImage(SnapshotOf(object));
    if (object) object->Release();
    return 0;
}

// -- DHTMLEvent ------------------------------------------------------------------------------------

template <const WCHAR* const* kKey> int32_t GetParam(Wrapper* self, XVariant* out) {
    auto* event = RecordOf<oxDOMEvent>(self);
    XObject* params = nullptr;
    if (event) event->GetParams(&params);
    if (!params) return NUBO::XR_FAIL;
    int32_t rc = params->GetPropertyByName(*kKey, out);
    params->Release();
    return rc;
}

const WCHAR* const kReadyState = u"readyState";
const WCHAR* const kUrl = u"url";
const WCHAR* const kTarget = u"target";
const WCHAR* const kSecurity = u"security";
const WCHAR* const kGuid = u"guid";
const WCHAR* const kFrameUrl = u"frameUrl";
const WCHAR* const kAllowed = u"allowed";

int32_t SetAllowed(Wrapper* self, const VARIANT& value) {
    auto* event = RecordOf<oxDOMEvent>(self);
    XObject* params = nullptr;
    if (event) event->GetParams(&params);
    if (!params) return NUBO::XR_FAIL;
    int32_t rc = params->SetPropertyByName(kAllowed, &value);
    params->Release();
    return rc;
}

// -- tables ----------------------------------------------------------------------------------------

template <int32_t (*Body)(Wrapper*, XArgList*, XVariant*)> constexpr NUBO::XMemberEntry M(const char* name) {
    return NUBO::XMethod(name, script_class::Method<Wrapper, 0, Body>);
}
template <int32_t (*Get)(Wrapper*, XVariant*)> constexpr NUBO::XMemberEntry P(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<Wrapper, Get>, nullptr);
}
template <int32_t (*Get)(Wrapper*, XVariant*), int32_t (*Set)(Wrapper*, const VARIANT&)>
constexpr NUBO::XMemberEntry PW(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<Wrapper, Get>, script_class::Setter<Wrapper, Set>);
}
template <int32_t (*Set)(Wrapper*, const VARIANT&)> constexpr NUBO::XMemberEntry WO(const char* name) {
    return NUBO::XProperty(name, nullptr, script_class::Setter<Wrapper, Set>);
}

const NUBO::XMemberEntry kEventMembers[] = {
    M<ChangeFlags<kEventToScene, 0>>("propagateScenes"),
    M<ChangeFlags<0, kEventPropagating>>("stopPropagation"),
    M<ChangeFlags<kEventStopped, kEventPropagating>>("stop"),
    M<ChangeFlags<kEventBubbles, 0>>("enablePropagation"),
    M<ChangeFlags<kEventDefaultPrevented, 0>>("preventDefault"),
    P<GetType>("type"),
    P<GetTargetBox>("targetBox"),
    P<GetAtom>("atom"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kUserEventMembers[] = {PW<GetType, SetUserType>("type"), NUBO::XMemberEnd()};
const NUBO::XMemberEntry kDOMEventMembers[] = {
    PW<GetParams, SetParams>("paramsDictionary"),
    P<GetDomBox<&oxDOMEvent::GetSource>>("originalTargetBox"),
    P<GetDomBox<&oxDOMEvent::GetCurrent>>("currentBox"),
    P<GetDomBox<&oxDOMEvent::GetRelated>>("relatedTargetBox"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kUIEventMembers[] = {P<GetShift>("shiftKey"), P<GetCtrl>("ctrlKey"), P<GetAlt>("altKey"),
                                              NUBO::XMemberEnd()};
const NUBO::XMemberEntry kMouseEventMembers[] = {
    P<GetButton>("button"),      P<GetDetail>("detail"),        P<GetCapturing>("capturing"),
    P<GetMouseBoxX>("boxX"),     P<GetMouseBoxY>("boxY"),       P<GetMouseFrameX>("frameX"),
    P<GetMouseFrameY>("frameY"), P<GetMouseScreenX>("screenX"), P<GetMouseScreenY>("screenY"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kDragEventMembers[] = {
    PW<GetOperation, SetIntField<oxDragEvent, &oxDragEvent::operation>>("operation"),
    PW<GetLocation, SetIntField<oxDragEvent, &oxDragEvent::location>>("location"),
    PW<GetCanDrop, SetCanDrop>("canDrop"),
    P<GetSourceBox>("sourceBox"),
    P<GetSourceData>("sourceData"),
    WO<SetDragImage>("dragImage"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kKeyEventMembers[] = {P<GetKeyCode>("keyCode"), P<GetVirtualKeyCode>("virtualKeyCode"),
                                               NUBO::XMemberEnd()};
const NUBO::XMemberEntry kMenuEventMembers[] = {P<GetMenuId>("menuId"), NUBO::XMemberEnd()};
const NUBO::XMemberEntry kContextMenuEventMembers[] = {
    P<GetByKeyboard>("generatedByKeyboard"),
    P<GetMenuFrameX>("frameX"),
    P<GetMenuFrameY>("frameY"),
    P<GetMenuScreenX>("screenX"),
    P<GetMenuScreenY>("screenY"),
    P<GetMenuBoxX>("boxX"),
    P<GetMenuBoxY>("boxY"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kSelectionEventMembers[] = {P<GetIndex>("index"), P<GetOldIndex>("oldIndex"),
                                                     NUBO::XMemberEnd()};
const NUBO::XMemberEntry kSystemEventMembers[] = {P<GetReason>("reason"), NUBO::XMemberEnd()};
const NUBO::XMemberEntry kMessageEventMembers[] = {
    P<GetMessageText>("message"),
    PW<GetMessageResult, SetIntField<oxMessageEvent, &oxMessageEvent::result>>("result"),
    NUBO::XMemberEnd(),
};
const NUBO::XMemberEntry kCommandEventMembers[] = {P<GetCommandMessage>("message"), P<GetCommand>("command"),
                                                   NUBO::XMemberEnd()};
const NUBO::XMemberEntry kMutationEventMembers[] = {P<GetAttributeName>("attributeName"), NUBO::XMemberEnd()};
const NUBO::XMemberEntry kDHTMLEventMembers[] = {
    P<GetParam<&kReadyState>>("readyState"),
    P<GetParam<&kUrl>>("url"),
    P<GetParam<&kTarget>>("target"),
    P<GetParam<&kSecurity>>("security"),
    P<GetParam<&kGuid>>("guid"),
    P<GetParam<&kFrameUrl>>("frameUrl"),
    PW<GetParam<&kAllowed>, SetAllowed>("allowed"),
    NUBO::XMemberEnd(),
};

template <size_t N> constexpr int Count(const NUBO::XMemberEntry (&)[N]) {
    return int(N);
}

} // namespace

namespace wrapper_class {

#define EVENT_CLASS(Name, Parent, members) XClassDescriptor Name = {#Name, Count(members), members, Parent, 0, {}};
EVENT_CLASS(Event, &XObject::Descriptor, kEventMembers)
EVENT_CLASS(UserEvent, &Event, kUserEventMembers)
EVENT_CLASS(DOMEvent, &Event, kDOMEventMembers)
EVENT_CLASS(UIEvent, &DOMEvent, kUIEventMembers)
EVENT_CLASS(MouseEvent, &UIEvent, kMouseEventMembers)
EVENT_CLASS(DragEvent, &MouseEvent, kDragEventMembers)
EVENT_CLASS(KeyEvent, &UIEvent, kKeyEventMembers)
EVENT_CLASS(MenuEvent, &UIEvent, kMenuEventMembers)
EVENT_CLASS(ContextMenuEvent, &UIEvent, kContextMenuEventMembers)
EVENT_CLASS(SelectionEvent, &UIEvent, kSelectionEventMembers)
EVENT_CLASS(CommandEvent, &UIEvent, kCommandEventMembers)
EVENT_CLASS(SystemEvent, &DOMEvent, kSystemEventMembers)
EVENT_CLASS(MessageEvent, &DOMEvent, kMessageEventMembers)
EVENT_CLASS(MutationEvent, &DOMEvent, kMutationEventMembers)
EVENT_CLASS(DHTMLEvent, &DOMEvent, kDHTMLEventMembers)
#undef EVENT_CLASS

} // namespace wrapper_class

void RunScriptReaction(oxBox* box, const oxQualifiedName& action, oxEvent* event) {
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    const WCHAR* function = action.GetText();
    if (!runtime || !function || !*function) return;
    // Without a prefix the handler is a function of the scene's own context; a prefix names a script
    // of the scene or an object of the Shell, which the scene picks.
    RefPtr<XObject> target;
    if (action.GetPrefix() == kAtomGadget) {
        // A part's reaction calls the gadget box that owns it.
        oxBox* gadgetBox = box->GetGadget() ? box : box->GetOwner();
        if (!gadgetBox || !gadgetBox->GetGadget()) return;
        gadgetBox->GetGadget()->EnsureScriptObject(gadgetBox);
        oxGadgetInstance* instance = oxGadgetInstance::For(gadgetBox);
        if (!instance || !instance->GetComponent()) return;
        target = RefPtr<XObject>::ref(instance->GetComponent());
    } else if (action.GetPrefix() == 0) {
        oxScriptContextManager* manager = runtime->GetScriptContextManager();
        oxScriptContext* rawContext = nullptr;
        if (scene->GetContextName().IsEmpty() || !manager ||
            manager->GetContext(scene->GetContextName().GetString(), &rawContext) != 0)
            return;
        RefPtr<oxScriptContext> context(rawContext);
        XVariant global;
        if (FAILED(context->GetScriptObject(u"", &global))) return;
        target = RefPtr<XObject>(global.ToXObject());
        if (!target) return;
    }
    oxScriptObjectCache* cache = runtime->GetScriptObjectCache();
    XObject* previous = nullptr;
    XObject* eventObject = cache ? cache->EnterEventHandler(event, &previous) : nullptr;
    XVariant argument(eventObject);
    if (target)
        (void)XObject::CallMethod1NoResult(target.get(), function, argument);
    else
        scene->RunHandler(action, &argument, 1);
    if (cache) cache->LeaveEventHandler(eventObject, previous);
}
