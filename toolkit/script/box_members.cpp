// The members of the Box script class: 68 methods, then 71 properties. Every body first looks for
// its native box; an object whose box is gone answers as its row says (most getters 1, methods
// false, null, -1 or nothing). Boxes, the scene and bindings reach scripts through the wrapper
// cache; a box that no parent holds is kept by the Scene object until it gets one.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"
#include "toolkit/animation/box_snapshots.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/base/uri.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/repeater.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/row_source.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/key_names.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/script/box.h"
#include "toolkit/script/data_classes.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/event_classes.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/style_value_classes.h"
#include "toolkit/script/transition_classes.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/scene_frame.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;
using script_class::ArgInt;
using script_class::ArgObject;
using script_class::ArgText;
using script_class::PutObject;

namespace {

constexpr size_t kNameUnits = 1024;

// -- helpers ---------------------------------------------------------------------------------------

bool IsBound(const oxBox* box) {
    return (box->GetStateFlags() & kStateReplicated) != 0;
}

void PutName(XVariant* out, oxAtom atom) {
    WCHAR name[kNameUnits] = {};
    if (atom) oxAtoms::GetName(atom, name, kNameUnits);
    *out = name;
}

const WCHAR* PartName(const TWString& kind, bool allowPart) {
    if (allowPart && _wcsicmp(kind.GetString(), u"part") == 0) return u"part";
    if (_wcsicmp(kind.GetString(), u"descendantPart") == 0) return u"descendantPart";
    return nullptr; // "default"
}

// Moves `child` under `parent` through `insert`. A child without a parent must be one the Scene
// object keeps: its reference goes to the parent; any other parentless box (a root) is refused,
// since the parent would take a reference nobody gave it.
template <class F> bool Adopt(Box* self, oxBox* child, F insert) {
    Scene* keeper = self->GetSceneObject();
    bool wasKept = false;
    if (!child->GetParent()) {
        if (!keeper || !keeper->TakeMadeBox(child)) return false;
        wasKept = true;
    }
    insert();
    if (wasKept && !child->GetParent()) {
        keeper->KeepMadeBox(child); // refused by the tree: the Scene object keeps it again
        child->Release();
    }
    return true;
}

// A child taken out of the tree lives on, kept by the Scene object.
void KeepRemoved(Box* self, oxBox* removed) {
    if (!removed) return;
    if (Scene* keeper = self->GetSceneObject()) keeper->KeepMadeBox(removed);
    removed->Release();
}

uint16_t KeyCodeOfName(const TWString& name) {
    return VirtualKeyFromName(name.GetString());
}

void PutActionText(XVariant* out, const oxReactionElement* reaction) {
    if (!reaction) return;
    TWString text;
    reaction->GetAction().ToString(text);
    *out = text;
}

// -- tree editing ----------------------------------------------------------------------------------

// The four child insertions: kIndexed reads an index before the kind; kContent inserts into the
// content part, where "part" is no kind. Only addChild and addContentChild refuse the box itself,
// and insertContentChildAt accepts a bound child.
template <bool kContent, bool kIndexed> int32_t InsertChild(Box* self, XArgList* args, XVariant* out) {
    args->SetDefaultString(u"default");
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    int32_t index = kIndexed ? ArgInt(args, 1) : -1;
    TWString kind = ArgText(args, kIndexed ? 2 : 1);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !child || IsBound(box)) return 0;
    if ((!kIndexed && child == box) || (!(kContent && kIndexed) && IsBound(child))) return 0;
    // A tree deeper than boxes may nest is refused: the call did nothing.
    oxBox* parent = kContent ? box->GetContentPart() : box;
    if (parent && child->GetParent() != parent && !parent->CanTakeChild(child)) return 0;
    const WCHAR* part = PartName(kind, !kContent);
    *out = Adopt(self, child, [&] {
        if (kContent && kIndexed)
            box->InsertContentChildAt(index, child, part, true);
        else if (kContent)
            box->AddContentChild(child, part, true);
        else
            box->InsertChildrenAt(index, &child, 1, part, true);
    });
    return 0;
}

int32_t RemoveChild(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !child || IsBound(box)) return 0;
    KeepRemoved(self, box->RemoveChild(child, true));
    *out = true;
    return 0;
}

int32_t RemoveContentChild(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !child || IsBound(box)) return 0;
    KeepRemoved(self, box->RemoveContentChild(child));
    *out = true;
    return 0;
}

int32_t DeleteChild(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !child || IsBound(box)) return 0;
    if (oxBoxScene* scene = box->GetScene()) {
        if (oxBox* removed = box->RemoveChild(child, true)) scene->DestroyBox(removed);
    }
    *out = true;
    return 0;
}

int32_t DeleteContentChild(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !child || IsBound(box)) return 0;
    oxBoxScene* scene = box->GetScene();
    for (int i = 0; scene && i < box->GetContentChildCount(); ++i) {
        if (box->GetContentChildAt(i) != child) continue;
        if (oxBox* parent = child->GetParent()) {
            if (oxBox* removed = parent->RemoveChild(child, false)) scene->DestroyBox(removed);
        }
        break;
    }
    *out = true;
    return 0;
}

int32_t DeleteContentChildren(Box* self, XArgList*, XVariant* out) {
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || IsBound(box)) return 0;
    box->ExpandCollapsedContent();
    box->DeleteContentChildren();
    *out = true;
    return 0;
}

int32_t CloneAndInsert(Box* self, XArgList* args, XVariant*) {
    RefPtr<XObject> held;
    oxBox* source = ArgBox(args, 0, held);
    int32_t count = ArgInt(args, 1), index = ArgInt(args, 2);
    oxBox* box = self->GetBox();
    if (!box || !source || IsBound(box) || count <= 0 || index < 0) return 0;
    NUBO::PtrVector<oxBox*> copies;
    for (int32_t i = 0; i < count; ++i) {
        oxBox* copy = source->Duplicate(true, false);
        if (!copy) break;
        if (!copies.PushBack(copy)) {
            copy->Release();
            break;
        }
    }
    if (copies.empty()) return 0;
    box->InsertChildrenAt(index, copies.data(), int(copies.size()), nullptr, false);
    for (oxBox* copy : copies) {
        if (copy->GetParent() != box) copy->Release(); // refused: nobody else holds it
    }
    return 0;
}

int32_t Clone(Box* self, XArgList* args, XVariant* out) {
    bool deep = ArgBool(args, 0);
    oxBox* box = self->GetBox();
    oxBox* copy = box ? box->Duplicate(deep, true) : nullptr;
    if (!copy) return 0;
    KeepRemoved(self, copy);
    return PutBox(self, out, copy);
}

// -- navigation and lookup -------------------------------------------------------------------------

int32_t GetChildAt(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    return box ? PutBox(self, out, box->GetChildAt(ArgInt(args, 0), true)) : 0;
}

int32_t GetContentChildAt(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    return box ? PutBox(self, out, box->GetContentChildAt(ArgInt(args, 0))) : 0;
}

int32_t GetChildIndex(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* child = ArgBox(args, 0, held);
    *out = child && self->GetBox() ? int(child->GetIndex()) : -1;
    return 0;
}

int32_t GetPartById(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    oxAtom id = oxAtoms::Find(ArgText(args, 0).GetString());
    return box && id ? PutBox(self, out, box->GetPartById(id)) : 0;
}

int32_t GetBoxByTag(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    oxAtom tag = oxAtoms::Find(ArgText(args, 0).GetString());
    out->SetObject(nullptr);
    return box && tag ? PutBox(self, out, box->GetBoxByTag(tag)) : 0;
}

int32_t Equals(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* other = ArgBox(args, 0, held);
    if (other) *out = other == self->GetBox();
    return 0;
}

int32_t GetSelected(Box* self, XArgList*, XVariant* out) {
    oxBox* box = self->GetBox();
    *out = box && (box->GetStateFlags() & kStateSelected) != 0;
    return 0;
}

// -- attributes and style --------------------------------------------------------------------------

int32_t GetAttribute(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    oxAtom atom = oxAtoms::Find(ArgText(args, 0).GetString());
    const WCHAR* text = box && atom ? box->GetAttribute(atom) : nullptr;
    if (text) *out = text;
    return 0;
}

// The shared store of setAttribute and setProperty; false when it cannot act.
bool StoreAttribute(Box* self, XArgList* args) {
    TWString name = ArgText(args, 0), value = ArgText(args, 1);
    oxBox* box = self->GetBox();
    if (!box || name.IsEmpty() || IsBound(box)) return false;
    RefPtr<oxBox> hold = RefPtr<oxBox>::ref(box); // handlers of the change may let the box go
    box->SetAttribute(oxAtoms::Intern(name.GetString()), value.GetString(), true, true);
    return true;
}

int32_t SetAttribute(Box* self, XArgList* args, XVariant* out) {
    if (StoreAttribute(self, args)) *out = true;
    return 0;
}

int32_t SetProperty(Box* self, XArgList* args, XVariant* out) {
    if (!StoreAttribute(self, args)) return NUBO::XR_FAIL;
    *out = true;
    return 0;
}

int32_t RemoveAttribute(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || name.IsEmpty() || IsBound(box)) return 0;
    if (oxAtom atom = oxAtoms::Find(name.GetString())) box->RemoveAttribute(atom);
    *out = true;
    return 0;
}

int32_t GetStyle(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return 0;
    int id = StylePropertyIdFromName(ArgText(args, 0).GetString());
    oxStyleValue value;
    if (id >= 0) box->GetStyleValue(id, &value);
    PutObject(out, MakeStyleVariant(value));
    return 0;
}

int32_t GetStyleString(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    int id = StylePropertyIdFromName(ArgText(args, 0).GetString());
    if (!box || id < 0) return 0;
    if (WCHAR* text = box->GetStyleString(id)) {
        *out = text;
        std::free(text);
    }
    return 0;
}

int32_t SetStyle(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0), value = ArgText(args, 1);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || name.IsEmpty() || value.IsEmpty() || IsBound(box)) return 0;
    box->SetStyle(name.GetString(), value.GetString());
    *out = true;
    return 0;
}

int32_t RemoveStyle(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || name.IsEmpty() || IsBound(box)) return 0;
    box->RemoveStyle(name.GetString());
    *out = true;
    return 0;
}

int32_t SetStyleVal(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    RefPtr<XObject> variant(script_class::ArgObjectOf(args, 1, &StyleVariant::Descriptor));
    oxBox* box = self->GetBox();
    int id = StylePropertyIdFromName(name.GetString());
    *out = false;
    // A name that is no style property has nowhere to go: it is refused like an empty one.
    if (!box || !variant || id < 0 || IsBound(box)) return 0;
    box->SetStyleValue(id, static_cast<StyleVariant*>(variant.get())->value, 0);
    *out = true;
    return 0;
}

template <int32_t kZ> int32_t MoveTo(Box* self, XArgList*, XVariant*) {
    if (oxBox* box = self->GetBox()) box->SetZIndex(kZ);
    return 0;
}

int32_t Nothing(Box*, XArgList*, XVariant*) {
    return 0;
}

int32_t ReturnFalse(Box*, XArgList*, XVariant* out) {
    *out = false;
    return 0;
}

// -- focus and scrolling ---------------------------------------------------------------------------

// A scene whose window is disabled (under a modal dialog) keeps its focus.
int32_t Focus(Box* self, XArgList*, XVariant*) {
    oxBox* box = self->GetBox();
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    if (!scene) return 0;
    oxSceneWindow* window = scene->GetWindow();
    if (!window || window->IsEnabled()) scene->SetFocusedBox(box);
    return 0;
}

int32_t Blur(Box* self, XArgList*, XVariant*) {
    oxBox* box = self->GetBox();
    if (auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr) scene->SetFocusedBox(nullptr);
    return 0;
}

int32_t ScrollToBox(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* target = ArgBox(args, 0, held);
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !target) return 0;
    box->ScrollToBox(target);
    *out = true;
    return 0;
}

int32_t ScrollToRow(Box* self, XArgList* args, XVariant*) {
    // A grid scrolls by rows; a list scrolls to the box its repeater made for the row.
    if (oxBox* box = self->GetBox()) box->ScrollToRow(ArgInt(args, 0));
    return 0;
}

int32_t ScrollBy(Box* self, XArgList* args, XVariant*) {
    if (oxBox* box = self->GetBox()) box->ScrollByY(ArgInt(args, 0));
    return 0;
}

int32_t ScrollToTop(Box* self, XArgList*, XVariant*) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    if (oxBox* bar = box->FindVScrollBar()) bar->SetAttribute(kAtomValue, u"0", true, false);
    return 0;
}

int32_t ScrollToBottom(Box* self, XArgList*, XVariant*) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    if (oxBox* bar = box->FindVScrollBar()) {
        const WCHAR* max = bar->GetAttributeText(kAtomMax);
        TWString text(max ? max : u"");
        bar->SetAttribute(kAtomValue, text.GetString(), true, false);
        box->RequestLayout();
    }
    return 0;
}

// -- snapshots and transitions ---------------------------------------------------------------------

// The snapshot is made even when the native box is gone.
int32_t NewSnapshot(Box* self, XArgList*, XVariant* out) {
    script_class::PutObject(out, NewBoxSnapshot(self->GetBox()));
    return 0;
}

int32_t TakeSnapshot(Box* self, XArgList*, XVariant* out) {
    script_class::PutObject(out, TakeBoxSnapshot(self->GetBox()));
    return 0;
}

int32_t CreateSnapshot(Box* self, XArgList* args, XVariant* out) {
    return ArgBool(args, 0) ? NewSnapshot(self, args, out) : TakeSnapshot(self, args, out);
}

template <int kLayer> int32_t AttachSnapshot(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold(script_class::ArgObjectOf(args, 0, &Snapshot::Descriptor));
    oxSnapshot* snapshot = SnapshotOf(hold.get());
    *out = snapshot && self->GetBox();
    if (snapshot && self->GetBox()) oxBoxAttachSnapshot(self->GetBox(), snapshot, kLayer);
    return 0;
}

template <int kLayer> int32_t DetachSnapshot(Box* self, XArgList*, XVariant*) {
    oxBoxDetachSnapshot(self->GetBox(), kLayer);
    return 0;
}

int32_t RenderTargetSnapshot(Box* self, XArgList*, XVariant*) {
    oxBoxRenderTargetSnapshot(self->GetBox());
    return 0;
}

int32_t NewTransition(Box* self, XArgList*, XVariant* out) {
    script_class::PutObject(out, NewBoxTransition(self->GetBox()));
    return 0;
}

// -- event handlers --------------------------------------------------------------------------------

bool AddReaction(oxBox* box, const TWString& event, const TWString& code, oxReactionElement** made) {
    *made = nullptr;
    if (!box || event.IsEmpty() || code.IsEmpty()) return false;
    oxBehaviorElement* handlers = oxBehaviorElement::For(box, true);
    auto* reaction = handlers ? new (std::nothrow) oxReactionElement(oxAtoms::Intern(event.GetString())) : nullptr;
    if (!reaction) return false;
    reaction->SetAction(code.GetString());
    *made = reaction;
    return true;
}

int32_t AddEventHandler(Box* self, XArgList* args, XVariant* out) {
    TWString event = ArgText(args, 0), code = ArgText(args, 1);
    oxReactionElement* reaction = nullptr;
    *out = false;
    if (AddReaction(self->GetBox(), event, code, &reaction))
        *out = oxBehaviorElement::For(self->GetBox(), false)->AddReaction(reaction);
    return 0;
}

int32_t AddKeyEventHandler(Box* self, XArgList* args, XVariant* out) {
    TWString event = ArgText(args, 0), key = ArgText(args, 1), code = ArgText(args, 5);
    bool ctrl = ArgBool(args, 2), alt = ArgBool(args, 3), shift = ArgBool(args, 4);
    oxReactionElement* reaction = nullptr;
    *out = false;
    if (!AddReaction(self->GetBox(), event, code, &reaction)) return 0;
    bool ok = reaction->AddCondition(kAtomKeyCode, KeyCodeOfName(key)) && reaction->AddCondition(kAtomCtrl, ctrl) &&
              reaction->AddCondition(kAtomAlt, alt) && reaction->AddCondition(kAtomShift, shift);
    if (!ok) {
        reaction->Release();
        return 0;
    }
    *out = oxBehaviorElement::For(self->GetBox(), false)->AddReaction(reaction);
    return 0;
}

int32_t AddAttributeEventHandler(Box* self, XArgList* args, XVariant* out) {
    TWString attribute = ArgText(args, 0), code = ArgText(args, 1);
    oxReactionElement* reaction = nullptr;
    *out = false;
    if (attribute.IsEmpty() || !AddReaction(self->GetBox(), TWString(u"attributeSet"), code, &reaction)) return 0;
    if (!reaction->AddCondition(kAtomAttributeName, oxAtoms::Intern(attribute.GetString()))) {
        reaction->Release();
        return 0;
    }
    *out = oxBehaviorElement::For(self->GetBox(), false)->AddReaction(reaction);
    return 0;
}

int32_t RemoveEventHandler(Box* self, XArgList* args, XVariant* out) {
    TWString event = ArgText(args, 0), code = ArgText(args, 1);
    oxBehaviorElement* handlers = oxBehaviorElement::For(self->GetBox(), false);
    *out = false;
    if (!handlers) return 0;
    oxQualifiedName action(code.GetString());
    oxAtom type = oxAtoms::Find(event.GetString());
    if (type) handlers->RemoveReaction(handlers->FindReaction(type, action));
    *out = true;
    return 0;
}

int32_t GetEventHandlerAction(Box* self, XArgList* args, XVariant* out) {
    oxBehaviorElement* handlers = oxBehaviorElement::For(self->GetBox(), false);
    oxAtom type = oxAtoms::Find(ArgText(args, 0).GetString());
    if (handlers && type) PutActionText(out, handlers->FindMatch(type, nullptr));
    return 0;
}

int32_t GetKeyEventActions(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    oxBehaviorElement* handlers = oxBehaviorElement::For(box, false);
    oxAtom type = oxAtoms::Find(ArgText(args, 0).GetString());
    if (!handlers || !type) return 0;
    uint16_t code = KeyCodeOfName(ArgText(args, 1));
    oxKeyEvent event(type, box, nullptr, code, ArgBool(args, 4), ArgBool(args, 2), ArgBool(args, 3), code);
    PutActionText(out, handlers->FindMatch(type, &event));
    return 0;
}

int32_t GetMouseEventActions(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    oxBehaviorElement* handlers = oxBehaviorElement::For(box, false);
    oxAtom type = oxAtoms::Find(ArgText(args, 0).GetString());
    if (!handlers || !type) return 0;
    oxMouseEvent event(type, box, nullptr, ArgInt(args, 1), nullptr, ArgInt(args, 2), oxPoint{}, oxPoint{}, false,
                       false, false);
    PutActionText(out, handlers->FindMatch(type, &event));
    return 0;
}

int32_t DispatchEvent(Box* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held(script_class::ArgObjectOf(args, 0, &wrapper_class::UserEvent));
    auto* event = held ? static_cast<oxEvent*>(static_cast<oxNativeWrapper*>(held.get())->GetNative()) : nullptr;
    oxBox* box = self->GetBox();
    *out = false;
    if (!box || !event) return 0;
    RefPtr<oxBox> hold = RefPtr<oxBox>::ref(box);
    box->HandleEvent(event);
    *out = true;
    return 0;
}

int32_t SendMessage(Box* self, XArgList* args, XVariant* out) {
    TWString message = ArgText(args, 0);
    RefPtr<XObject> params(ArgObject(args, 1));
    oxBox* box = self->GetBox();
    *out = 0;
    if (message.IsEmpty() || !box || !box->GetScene()) return 0;
    oxMessageEvent event(int32_t(oxAtoms::Intern(message.GetString())), box);
    if (params) (void)event.SetParamsObject(params.get());
    RefPtr<oxBox> hold = RefPtr<oxBox>::ref(box);
    if (auto* scene = dynamic_cast<oxScene*>(box->GetScene())) {
        RefPtr<oxScene> keep = RefPtr<oxScene>::ref(scene);
        scene->DispatchEvent(&event);
    } else {
        box->HandleEvent(&event);
    }
    *out = int(event.result);
    return 0;
}

// -- data objects and bindings ---------------------------------------------------------------------

int32_t AddDOMObject(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    RefPtr<XObject> object(ArgObject(args, 1));
    *out = false;
    if (name.IsEmpty() || !object) return 0;
    XVariant value(object.get());
    *out = self->SetPropertyByName(name.GetString(), &value) == 0;
    return 0;
}

int32_t RemoveDOMObject(Box* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    oxBox* box = self->GetBox();
    if (name.IsEmpty() || !box) return 0;
    XVariant old;
    (void)self->GetPropertyByName(name.GetString(), &old);
    *out = self->DeleteMember(name.GetString()) == 0;
    // The object's data source leaves the registry; its bindings let go of it.
    RefPtr<XObject> previous(old.GetKind() == NUBO::XVK_OBJECT ? old.ToXObject() : nullptr);
    auto* scene = dynamic_cast<oxScene*>(box->GetScene());
    if (previous && scene)
        RegisterNamedSource(scene->GetSceneRuntime(), scene, box, name.GetString(), previous.get(), nullptr);
    return 0;
}

// Data bindings: their DataBinding objects come from the wrapper cache of the box's scene.

oxBindingElement* AsBinding(oxDataBinding* binding) {
    return static_cast<oxBindingElement*>(binding);
}

int32_t GetBindingById(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    TWString id = ArgText(args, 0);
    if (!box || id.IsEmpty()) return 0;
    oxDataBinding* binding = box->GetBindingById(oxAtoms::Intern(id.GetString()));
    if (binding) PutObject(out, DataBindingObjectOf(box, AsBinding(binding)));
    return 0;
}

int32_t GetDataBinding(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    TWString name = ArgText(args, 0);
    if (!box) return 0;
    oxDataBinding* binding = box->GetDataBinding(name.GetString(), true);
    if (binding) PutObject(out, DataBindingObjectOf(box, AsBinding(binding)));
    return 0;
}

int32_t HasDataBinding(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    TWString name = ArgText(args, 0);
    *out = box && box->GetDataBinding(name.GetString(), false) != nullptr;
    return 0;
}

int32_t CreateDataBinding(Box* self, XArgList* args, XVariant* out) {
    oxBox* box = self->GetBox();
    TWString name = ArgText(args, 0);
    if (!box || box->GetDataBinding(name.GetString(), false)) return 0;
    oxDataBinding* binding = box->CreateDataBinding(name.GetString());
    if (binding) PutObject(out, DataBindingObjectOf(box, AsBinding(binding)));
    return 0;
}

int32_t ImportScript(Box* self, XArgList* args, XVariant* out) {
    *out = false;
    oxBox* box = self->GetBox();
    auto* gadget = box ? dynamic_cast<oxGadgetElement*>(box->GetGadgetElement()) : nullptr;
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    TWString uri = ArgText(args, 0);
    TWString languageText = ArgText(args, 1);
    oxAtom language = languageText.IsEmpty() ? oxAtom(kAtomJscript) : oxAtoms::Intern(languageText.GetString());
    if (!gadget || !runtime || uri.IsEmpty() || gadget->GetScriptContextName().IsEmpty() ||
        gadget->GetLanguage() == kAtomNativeObject || !oxGadgetInstance::For(box))
        return 0;
    if (!oxUri::HasScheme(uri.GetString())) ResolveUriToPath(uri.GetString(), scene->GetBase().GetString(), uri);
    gadget->AddScriptSource(kAtomScript, language, uri.GetString());
    // Differs: the gadget's scripts run in the shared gadget context, where its named item lives.
    oxScriptContext* raw = nullptr;
    if (runtime->GetScriptContext(language, scene, true, &raw) != 0 || !raw) return 0;
    RefPtr<oxScriptContext> context(raw);
    gadget->LoadScripts(context.get());
    *out = true;
    return 0;
}

int32_t NoSuchMethod(Box*, XArgList*, XVariant*) {
    return 2;
}

// -- properties ------------------------------------------------------------------------------------

template <uint32_t kMask> int32_t GetState(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    *out = (box->GetStateFlags() & kMask) != 0;
    return 0;
}

template <uint32_t kMask> int32_t GetChange(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    *out = (box->GetChangeFlags() & kMask) != 0;
    return 0;
}

template <void (*Apply)(oxBox*, bool)> int32_t SetFlag(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    RefPtr<oxBox> hold = RefPtr<oxBox>::ref(box);
    Apply(box, XVariant(value).ToBool());
    return 0;
}

void ApplyCollapsed(oxBox* b, bool v) {
    b->SetCollapsed(v, true);
}
void ApplyHidden(oxBox* b, bool v) {
    b->SetHidden(v);
}
void ApplyDisabled(oxBox* b, bool v) {
    b->SetDisabled(v, true);
}
void ApplySelected(oxBox* b, bool v) {
    b->SetSelected(v, true);
}
void ApplyBlockUpdate(oxBox* b, bool v) {
    b->SetBlockUpdate(v);
}
void ApplyOrnament(oxBox* b, bool v) {
    b->SetOrnament(v);
}
void ApplyIgnoreEvents(oxBox* b, bool v) {
    b->SetChangeFlag(kChangeIgnoreEvents, v);
}
void ApplyBlockEvents(oxBox* b, bool v) {
    b->SetChangeFlag(kChangeBlockEvents, v);
}
void ApplyLayered(oxBox* b, bool v) {
    b->SetLayered(v);
}
void ApplyFlowed(oxBox* b, bool v) {
    b->SetFlowed(v);
}

int32_t GetSelectedState(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    *out = box && (box->GetStateFlags() & kStateSelected) != 0;
    return 0;
}

template <int kProperty> int32_t GetDeclared(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    oxStyleValue value;
    box->GetStyleValue(kProperty, &value);
    *out = int(value.GetInt());
    return 0;
}

template <void (oxBox::*Set)(int32_t)> int32_t SetDeclared(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    (box->*Set)(XVariant(value).ToInt32());
    return 0;
}

template <int kEntry, bool kY> int32_t GetPacked(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    oxPoint p = box->GetPacked(kEntry);
    *out = int(kY ? p.y : p.x);
    return 0;
}

template <bool kY> int32_t GetIntrinsic(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    oxPoint p = box->GetIntrinsicSize();
    *out = int(kY ? p.y : p.x);
    return 0;
}

template <bool kY> int32_t GetFramePos(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    oxPoint p = box->GetFramePosition();
    *out = int(kY ? p.y : p.x);
    return 0;
}

// In a right-to-left scene x is measured from the frame's right edge.
template <bool kY> int32_t GetScreenPos(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    const bool rtl = box->GetScene() && box->GetScene()->IsRightToLeft();
    oxPoint p = rtl ? GetBoxMirroredScreenPosition(box) : GetBoxScreenPosition(box);
    *out = int(kY ? p.y : p.x);
    return 0;
}

template <bool kY> int32_t GetOverflow(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    const oxPlacementRecord* placement = box->GetPlacement();
    *out = placement ? int(kY ? placement->extraContentHeight : placement->extraContentWidth) : 0;
    return 0;
}

template <bool kY> int32_t GetScrollOffset(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    if (oxLayout* layout = box->GetLayout()) *out = int(kY ? layout->GetScrollY() : layout->GetScrollX());
    return 0;
}

template <bool kY> int32_t SetScrollOffset(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    if (oxBox* bar = kY ? box->FindVScrollBar() : box->FindHScrollBar())
        bar->SetAttribute(kAtomValue, XVariant(value).ToString().GetString(), true, false);
    return 0;
}

int32_t GetId(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    if (box->GetId()) PutName(out, box->GetId());
    return 0;
}

int32_t SetId(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    if (!text.IsEmpty()) box->SetId(oxAtoms::Intern(text.GetString()));
    return 0;
}

int32_t GetBoxType(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    PutName(out, box->GetBoxType());
    return 0;
}

int32_t GetTag(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    PutName(out, box->GetTag());
    return 0;
}

int32_t GetStyleId(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    PutName(out, box->GetStyleId());
    return 0;
}

int32_t SetStyleId(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    if (!text.IsEmpty()) box->SetStyleId(oxAtoms::Intern(text.GetString()), false);
    return 0;
}

int32_t GetSelectableMode(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    const WCHAR* text = box->GetAttribute(kAtomSelectableMode);
    *out = text ? text : u"";
    return 0;
}

int32_t GetCustomAttributes(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    auto* dictionary = new (std::nothrow) NUBO::XDictionary();
    if (!dictionary) return NUBO::XR_OUT_OF_MEMORY;
    dictionary->AddRef();
    if (const oxAttributeMap* map = box->GetAttributes()) {
        for (const auto& node : *map) {
            WCHAR name[kNameUnits] = {};
            if (!oxAtoms::GetName(node.key, name, kNameUnits)) continue;
            XVariant text(node.value.GetString() ? node.value.GetString() : u"");
            (void)dictionary->SetPropertyByName(name, &text);
        }
    }
    PutObject(out, dictionary);
    return 0;
}

int32_t GetStyleProxyProperty(Box* self, XVariant* out) {
    out->SetObject(self->GetStyleProxy());
    return 0;
}

int32_t GetSceneProperty(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    auto* scene = dynamic_cast<oxScene*>(box->GetScene());
    if (!scene || !self->GetCache()) return 0;
    XObject* object = nullptr;
    if (!self->GetCache()->GetSceneObject(scene, &object)) return NUBO::XR_FAIL;
    PutObject(out, object);
    return 0;
}

template <oxBox* (*Pick)(oxBox*)> int32_t GetRelative(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    return PutBox(self, out, Pick(box));
}

oxBox* PickParent(oxBox* b) {
    return b->GetParent();
}
oxBox* PickAnchor(oxBox* b) {
    return b->GetAnchor();
}
oxBox* PickOwner(oxBox* b) {
    return b->GetOwner();
}
oxBox* PickFirst(oxBox* b) {
    return b->GetFirstChild(true);
}
oxBox* PickLast(oxBox* b) {
    return b->GetLastChild(true);
}
oxBox* PickFirstContent(oxBox* b) {
    b->ExpandCollapsedContent();
    return b->GetContentChildAt(0);
}
oxBox* PickLastContent(oxBox* b) {
    return b->GetContentChildAt(b->GetContentChildCount() - 1);
}
oxBox* PickPrevious(oxBox* b) {
    return b->GetParent() ? b->GetParent()->GetChildAt(b->GetIndex() - 1, false) : nullptr;
}
oxBox* PickNext(oxBox* b) {
    return b->GetParent() ? b->GetParent()->GetChildAt(b->GetIndex() + 1, false) : nullptr;
}
oxBox* PickNextBox(oxBox* b) {
    return b->GetNextBox(nullptr, false, true);
}
oxBox* PickPreviousBox(oxBox* b) {
    return b->GetPreviousBox();
}

int32_t SetAnchor(Box* self, const VARIANT& value) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    (void)NUBO::VariantToXObject(&object, &value);
    box->SetAnchor(BoxOfObject(object));
    if (object) object->Release();
    return 0;
}

int32_t GetChildCount(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    *out = box->GetChildCount();
    return 0;
}

int32_t GetContentChildCount(Box* self, XVariant* out) {
    oxBox* box = self->GetBox();
    if (!box) return NUBO::XR_FAIL;
    box->ExpandCollapsedContent();
    *out = box->GetContentChildCount();
    return 0;
}

int32_t GetBindings(Box* self, XVariant* out) {
    out->SetObject(nullptr);
    oxBox* box = self->GetBox();
    if (!box || box->GetDataBindingCount() == 0) return 0;
    NUBO::XArray* array = nullptr;
    if (NUBO::CreateXArray(&array) != 0) return 0;
    for (int i = 0; i < box->GetDataBindingCount(); ++i) {
        RefPtr<XObject> object(DataBindingObjectOf(box, AsBinding(box->GetDataBindingAt(i))));
        if (object) array->AddValue(XVariant(object.get()));
    }
    PutObject(out, array);
    return 0;
}

int32_t GetData(Box* self, XVariant* out) {
    // The repeater registered for the box or the nearest one above it; the row is the box just
    // below the repeater's box.
    oxBox* box = self->GetBox();
    if (!box) return 0;
    oxRowTree* tree = nullptr;
    for (oxBox* b = box; b && !tree; b = b->GetParent()) {
        if (oxRowSource* rows = oxFindRowSource(b)) tree = dynamic_cast<oxRowTree*>(rows);
    }
    oxRepeater* repeater = nullptr;
    int row = -1;
    if (!tree || !tree->FindRepeaterRowOfBox(box, &repeater, &row) || !repeater->GetSource()) return 0;
    XVariant value;
    if (repeater->GetSource()->GetValueAt(row, nullptr, &value) != 0) return 0;
    XObject* data = nullptr;
    if (CreateSelectionData(value, repeater->GetSource()->GetDataObject(), &data) == 0) PutObject(out, data);
    return 0;
}

// -- table -----------------------------------------------------------------------------------------

// kObject: the member answers an object, null when there is none.
constexpr bool kObject = true;
template <int kMin, int32_t (*Body)(Box*, XArgList*, XVariant*), bool Object = false>
constexpr NUBO::XMemberEntry M(const char* name) {
    return NUBO::XMethod(name, script_class::Method<Box, kMin, Body, Object>);
}
template <int32_t (*Get)(Box*, XVariant*), bool Object = false> constexpr NUBO::XMemberEntry P(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<Box, Get, Object>, nullptr);
}
template <int32_t (*Get)(Box*, XVariant*), int32_t (*Set)(Box*, const VARIANT&), bool Object = false>
constexpr NUBO::XMemberEntry PW(const char* name) {
    return NUBO::XProperty(name, script_class::Getter<Box, Get, Object>, script_class::Setter<Box, Set>);
}
template <uint32_t kMask, void (*Apply)(oxBox*, bool)> constexpr NUBO::XMemberEntry StateRW(const char* name) {
    return PW<GetState<kMask>, SetFlag<Apply>>(name);
}
template <uint32_t kMask, void (*Apply)(oxBox*, bool)> constexpr NUBO::XMemberEntry ChangeRW(const char* name) {
    return PW<GetChange<kMask>, SetFlag<Apply>>(name);
}
template <int kProperty, void (oxBox::*Set)(int32_t)> constexpr NUBO::XMemberEntry Declared(const char* name) {
    return PW<GetDeclared<kProperty>, SetDeclared<Set>>(name);
}

const NUBO::XMemberEntry kMembers[] = {
    M<1, Equals>("equals"),
    M<1, Clone, kObject>("clone"),
    M<1, InsertChild<false, false>>("addChild"),
    M<1, InsertChild<true, false>>("addContentChild"),
    M<1, DeleteContentChild>("deleteContentChild"),
    M<0, DeleteContentChildren>("deleteContentChildren"),
    M<2, InsertChild<true, true>>("insertContentChildAt"),
    M<1, RemoveContentChild>("removeContentChild"),
    M<1, GetContentChildAt, kObject>("getContentChildAt"),
    M<2, InsertChild<false, true>>("insertChildAt"),
    M<1, RemoveChild>("removeChild"),
    M<1, DeleteChild>("deleteChild"),
    M<1, GetChildAt, kObject>("getChildAt"),
    M<1, GetChildIndex>("getChildIndex"),
    M<1, GetPartById, kObject>("getPartById"),
    M<1, GetBoxByTag, kObject>("getBoxByTag"),
    M<1, GetAttribute>("getAttribute"),
    M<2, SetAttribute>("setAttribute"),
    M<2, SetProperty>("setProperty"),
    M<1, RemoveAttribute>("removeAttribute"),
    M<1, GetStyle, kObject>("getStyle"),
    M<1, GetStyleString>("getStyleString"),
    M<2, SetStyle>("setStyle"),
    M<1, RemoveStyle>("removeStyle"),
    M<2, SetStyleVal>("setStyleVal"),
    M<0, MoveTo<0x40000000>>("moveToTop"),
    M<0, MoveTo<-0x40000000>>("moveToBottom"),
    M<0, Focus>("focus"),
    M<0, Blur>("blur"),
    M<1, ScrollToBox>("scrollToBox"),
    M<1, ScrollToRow>("scrollToRow"),
    M<1, ScrollBy>("scrollBy"),
    M<0, Nothing>("trashLayout"),
    M<0, Nothing>("trashPaint"),
    M<0, Nothing>("trashStyle"),
    M<1, CreateSnapshot, kObject>("createSnapshot"),
    M<0, NewSnapshot, kObject>("newSnapshot"),
    M<0, TakeSnapshot, kObject>("takeSnapshot"),
    M<1, AttachSnapshot<1>>("attachSourceSnapshot"),
    M<1, AttachSnapshot<0>>("attachTargetSnapshot"),
    M<0, DetachSnapshot<1>>("detachSourceSnapshot"),
    M<0, DetachSnapshot<0>>("detachTargetSnapshot"),
    M<0, RenderTargetSnapshot>("renderTargetSnapshot"),
    M<0, NewTransition, kObject>("newTransition"),
    M<0, NewTransition, kObject>("createTransition"),
    M<2, AddEventHandler>("addEventHandler"),
    M<6, AddKeyEventHandler>("addKeyEventHandler"),
    M<2, AddAttributeEventHandler>("addAttributeEventHandler"),
    M<2, RemoveEventHandler>("removeEventHandler"),
    M<1, GetEventHandlerAction>("getEventHandlerAction"),
    M<5, GetKeyEventActions>("getKeyEventActions"),
    M<3, GetMouseEventActions>("getMouseEventActions"),
    M<2, SendMessage>("sendMessage"),
    M<2, AddDOMObject>("addDOMObject"),
    M<1, RemoveDOMObject>("removeDOMObject"),
    M<1, GetBindingById, kObject>("getBindingById"),
    M<1, GetDataBinding, kObject>("getDataBinding"),
    M<2, CreateDataBinding, kObject>("createDataBinding"),
    M<1, HasDataBinding>("hasDataBinding"),
    M<2, ReturnFalse>("connectObject"),
    M<0, GetSelected>("getSelected"),
    M<2, ReturnFalse>("disconnectObject"),
    M<3, CloneAndInsert>("cloneAndInsert"),
    M<2, ImportScript>("importScript"),
    M<1, DispatchEvent>("dispatchEvent"),
    M<0, ScrollToTop>("scrollToTop"),
    M<0, ScrollToBottom>("scrollToBottom"),
    M<0, NoSuchMethod>("__noSuchMethod__"),

    PW<GetId, SetId>("id"),
    P<GetBoxType>("boxType"),
    P<GetTag>("tag"),
    PW<GetStyleId, SetStyleId>("styleId"),
    P<GetSceneProperty, kObject>("scene"),
    P<GetRelative<PickParent>, kObject>("parent"),
    PW<GetRelative<PickAnchor>, SetAnchor, kObject>("anchor"),
    P<GetRelative<PickOwner>, kObject>("gadgetParent"),
    P<GetRelative<PickFirst>, kObject>("firstChild"),
    P<GetRelative<PickFirstContent>, kObject>("firstContentChild"),
    P<GetRelative<PickLast>, kObject>("lastChild"),
    P<GetRelative<PickPrevious>, kObject>("previousSibling"),
    P<GetRelative<PickNext>, kObject>("nextSibling"),
    P<GetRelative<PickPreviousBox>, kObject>("previousBox"),
    P<GetRelative<PickNextBox>, kObject>("nextBox"),
    P<GetChildCount>("childCount"),
    P<GetContentChildCount>("contentChildCount"),
    StateRW<kStateCollapsed, ApplyCollapsed>("collapsed"),
    StateRW<kStateHidden | kStateHiddenByAncestor, ApplyHidden>("hidden"),
    P<GetState<kStateHovered>>("hovered"),
    P<GetSelectableMode>("selectableMode"),
    P<GetState<kStatePressed>>("pressed"),
    P<GetState<kStateFocused>>("focused"),
    StateRW<kStateDisabled | kStateDisabledByAncestor, ApplyDisabled>("disabled"),
    P<GetOverflow<true>>("overflowHeight"),
    P<GetOverflow<false>>("overflowWidth"),
    P<GetState<kStateEngaged>>("engaged"),
    P<GetState<kStatePopped>>("popped"),
    P<GetState<kStateDragged>>("dragged"),
    P<GetState<kStateDragHovered>>("dragHovered"),
    ChangeRW<kChangeIgnoreEvents, ApplyIgnoreEvents>("ignoreEvents"),
    ChangeRW<kChangeBlockEvents, ApplyBlockEvents>("blockEvents"),
    StateRW<kStateBlockUpdate, ApplyBlockUpdate>("blockUpdate"),
    P<GetPacked<0, false>>("boxX"),
    P<GetPacked<0, true>>("boxY"),
    P<GetPacked<1, true>>("boxHeight"),
    P<GetPacked<1, false>>("boxWidth"),
    P<GetPacked<3, true>>("contentHeight"),
    P<GetPacked<3, false>>("contentWidth"),
    ChangeRW<kChangeLayered, ApplyLayered>("layered"),
    Declared<kStyle_top, &oxBox::SetTop>("top"),
    Declared<kStyle_left, &oxBox::SetLeft>("x"),
    Declared<kStyle_bottom, &oxBox::SetBottom>("bottom"),
    Declared<kStyle_left, &oxBox::SetLeft>("left"),
    Declared<kStyle_top, &oxBox::SetTop>("y"),
    Declared<kStyle_right, &oxBox::SetRight>("right"),
    Declared<kStyle_height, &oxBox::SetHeight>("height"),
    Declared<kStyle_width, &oxBox::SetWidth>("width"),
    ChangeRW<kChangeFlowed, ApplyFlowed>("flowed"),
    Declared<kStyle_minHeight, &oxBox::SetMinHeight>("minHeight"),
    Declared<kStyle_minWidth, &oxBox::SetMinWidth>("minWidth"),
    Declared<kStyle_maxHeight, &oxBox::SetMaxHeight>("maxHeight"),
    Declared<kStyle_maxWidth, &oxBox::SetMaxWidth>("maxWidth"),
    P<GetIntrinsic<true>>("intrinsicHeight"),
    P<GetIntrinsic<false>>("intrinsicWidth"),
    P<GetFramePos<false>>("frameX"),
    P<GetFramePos<true>>("frameY"),
    P<GetScreenPos<false>>("screenX"),
    P<GetScreenPos<true>>("screenY"),
    Declared<kStyle_zIndex, &oxBox::SetZIndex>("zIndex"),
    PW<GetScrollOffset<false>, SetScrollOffset<false>>("scrollOffsetX"),
    PW<GetScrollOffset<true>, SetScrollOffset<true>>("scrollOffsetY"),
    P<GetState<kStateOverflowed>>("overflowed"),
    P<GetState<kStateGrew>>("grew"),
    StateRW<kStateOrnament, ApplyOrnament>("ornament"),
    P<GetCustomAttributes, kObject>("customAttributes"),
    // A box in no data-bound row answers nothing, not a null object.
    P<GetData>("data"),
    P<GetBindings, kObject>("bindings"),
    PW<GetSelectedState, SetFlag<ApplySelected>>("selected"),
    P<GetStyleProxyProperty, kObject>("s"),
    P<GetRelative<PickLastContent>, kObject>("lastContentChild"),
    NUBO::XMemberEnd(),
};

static_assert(sizeof(kMembers) / sizeof(kMembers[0]) == 140, "68 methods, 71 properties and the end");

} // namespace

int32_t PutBox(Box* self, XVariant* out, oxBox* box) {
    out->SetObject(nullptr);
    if (!box || !self->GetCache()) return 0;
    XObject* object = nullptr;
    if (!self->GetCache()->GetBoxObject(box, &object)) return NUBO::XR_FAIL;
    PutObject(out, object);
    return 0;
}

oxBox* ArgBox(XArgList* args, int i, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(script_class::ArgObjectOf(args, i, &wrapper_class::Box));
    return held ? static_cast<Box*>(held.get())->GetBox() : nullptr;
}

namespace wrapper_class {
NUBO::XClassDescriptor Box = {"Box", 140, kMembers, &XObject::Descriptor, 0, {}};
} // namespace wrapper_class

namespace {
HWND SceneWindowOf(oxBox* box) {
    oxSceneFrame* frame = oxSceneFrame::Of(box->GetScene());
    return frame && frame->GetFrame() ? frame->GetFrame()->GetWindow() : nullptr;
}
} // namespace

// Where the box shows on the screen: its top-left pixel, also in a right-to-left window.
oxPoint GetBoxScreenPosition(oxBox* box) {
    const oxPoint p = box->GetFramePosition();
    const oxPoint size = box->GetPacked(1);
    const oxRect r = ClientRectToScreen(SceneWindowOf(box), oxRect{p.x, p.y, size.x, size.y});
    return {r.x, r.y};
}

// The box's frame position counted from the client area's right edge on the screen.
oxPoint GetBoxMirroredScreenPosition(oxBox* box) {
    const oxPoint p = box->GetFramePosition();
    HWND window = SceneWindowOf(box);
    RECT client{0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    const oxRect area = ClientRectToScreen(window, oxRect{0, 0, client.right, client.bottom});
    const int64_t right = int64_t(area.x) + area.width;
    return {int32_t(std::clamp<int64_t>(right - p.x, INT32_MIN, INT32_MAX)), p.y + area.y};
}
