#include "toolkit/script/transition_classes.h"

#include <new>

#include "graphics/paint/canvas.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "toolkit/animation/box_snapshots.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/script_rect.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/script_class.h"
#include "toolkit/style/attribute_value.h"

using NUBO::RefPtr;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgObject;
using script_class::ArgObjectOf;
using script_class::ArgText;

namespace {

// The script object over a native object the caller made with one reference, which it gives up.
template <class Object, class Native> Object* Wrapped(Native* native, Object* (*make)(Native*)) {
    if (!native) return nullptr;
    Object* object = make(native);
    native->Release();
    return object;
}

template <class Native> Native* Counted(Native* native) {
    if (native) native->AddRef();
    return native;
}

// The box of a Box argument, with the wrapper's reference held by `hold`.
oxBox* BoxArg(XArgList* args, int i, RefPtr<XObject>* hold) {
    *hold = RefPtr<XObject>(ArgObjectOf(args, i, &wrapper_class::Box));
    auto* wrapper = dynamic_cast<oxNativeWrapper*>(hold->get());
    return wrapper ? static_cast<oxBox*>(wrapper->GetNative()) : nullptr;
}

oxSnapshot* SnapshotArg(XArgList* args, int i, RefPtr<XObject>* hold) {
    *hold = RefPtr<XObject>(ArgObjectOf(args, i, &Snapshot::Descriptor));
    return SnapshotOf(hold->get());
}

uint32_t ColorOf(const NUBO::TWString& text) {
    return uint32_t(ParseColorString(text.GetString()));
}

// -- Snapshot --------------------------------------------------------------------------------------

int32_t AddBoxRectItem(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> a, b;
    oxBox* first = BoxArg(args, 0, &a);
    oxBox* second = BoxArg(args, 1, &b);
    const bool asked = self->GetSnapshot() && a && b;
    if (asked) self->GetSnapshot()->AddBoxRectItem(first, second);
    *out = asked;
    return 0;
}

int32_t AddBoxRectItemsFromView(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxBox* box = BoxArg(args, 0, &hold);
    const bool asked = self->GetSnapshot() && hold;
    if (asked) self->GetSnapshot()->AddBoxRectItemsFromView(box);
    *out = asked;
    return 0;
}

int32_t AddBoxRectItemsByTag(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxBox* box = BoxArg(args, 0, &hold);
    const NUBO::TWString tag = ArgText(args, 1);
    const bool asked = self->GetSnapshot() && hold;
    if (asked) self->GetSnapshot()->AddBoxRectItemsByTag(box, box, oxAtoms::Intern(tag.GetString()));
    *out = asked;
    return 0;
}

int32_t ScatterBoxRectItems(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxBox* box = BoxArg(args, 0, &hold);
    const bool asked = self->GetSnapshot() && hold;
    if (asked) self->GetSnapshot()->ScatterRectItems(box);
    *out = asked;
    return 0;
}

// A member without arguments: true when there was a snapshot to ask.
template <void (oxSnapshot::*Operation)()> int32_t Ask(Snapshot* self, XArgList*, XVariant* out) {
    if (self->GetSnapshot()) (self->GetSnapshot()->*Operation)();
    *out = self->GetSnapshot() != nullptr;
    return 0;
}

int32_t Fill(Snapshot* self, XArgList* args, XVariant*) {
    const NUBO::TWString colour = ArgText(args, 0);
    if (colour.IsEmpty() || !self->GetSnapshot()) return NUBO::XR_TOO_FEW_ARGS;
    auto arg = [&](int i) { return i < args->GetCount() ? ArgInt(args, i) : -1; };
    const int32_t height = arg(4);
    const oxRect r{arg(1), arg(2), arg(3), height};
    self->GetSnapshot()->Fill(ColorOf(colour), height != -1 ? &r : nullptr, 0);
    return 0;
}

// The line members convert their arguments and draw nothing.
int32_t LineMoveTo(Snapshot*, XArgList* args, XVariant*) {
    (void)ArgInt(args, 0), (void)ArgInt(args, 1);
    return 0;
}

int32_t LineDrawTo(Snapshot*, XArgList* args, XVariant*) {
    (void)ArgInt(args, 0), (void)ArgInt(args, 1), (void)ArgText(args, 2);
    return 0;
}

int32_t CopyRectItems(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxSnapshot* other = SnapshotArg(args, 0, &hold);
    const bool asked = self->GetSnapshot() && hold;
    if (asked) self->GetSnapshot()->CopyRectItems(other);
    *out = asked;
    return 0;
}

int32_t Blit(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxSnapshot* target = SnapshotArg(args, 0, &hold);
    RefPtr<XObject> rectHold(ArgObjectOf(args, 1, &XRect::Descriptor));
    oxSnapshot* source = self->GetSnapshot();
    if (target && source && source->GetPicture() && target->GetCanvas()) {
        auto* rect = static_cast<XRect*>(rectHold.get());
        const oxCanvasRect from = rect ? oxCanvasRect{rect->x, rect->y, rect->width, rect->height}
                                       : oxCanvasRect{0, 0, source->GetPicture()->width, source->GetPicture()->height};
        target->GetCanvas()->DrawCanvas(source->GetCanvas(), nullptr, &from);
    }
    *out = hold != nullptr;
    return 0;
}

int32_t Thumbnail(Snapshot* self, XArgList* args, XVariant* out) {
    oxSnapshot* thumb =
        self->GetSnapshot() ? self->GetSnapshot()->Thumbnail({ArgInt(args, 0), ArgInt(args, 1)}) : nullptr;
    if (thumb) script_class::PutObject(out, Wrapped(thumb, MakeSnapshotObject));
    return 0;
}

int32_t CopyFromBitmap(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold(ArgObjectOf(args, 0, &wrapper_class::Bitmap));
    auto* wrapper = dynamic_cast<oxNativeWrapper*>(hold.get());
    if (!wrapper) return NUBO::XR_FAIL;
    auto* bitmap = dynamic_cast<oxBitmapElement*>(static_cast<oxElement*>(wrapper->GetNative()));
    if (self->GetSnapshot()) self->GetSnapshot()->CopyFromBitmap(bitmap);
    *out = self->GetSnapshot() != nullptr;
    return 0;
}

int32_t AddImageMorphItem(Snapshot* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxSnapshot* source = SnapshotArg(args, 0, &hold);
    const oxPixelBuffer* picture = source ? source->GetPicture() : nullptr;
    int32_t w = ArgInt(args, 3), h = args->GetCount() > 4 ? ArgInt(args, 4) : -1;
    if (w < 0) w = picture ? picture->width : 0;
    if (h < 0) h = picture ? picture->height : 0;
    const bool asked = self->GetSnapshot() && source;
    if (asked) self->GetSnapshot()->AddImageMorphItem(source, ArgInt(args, 1), ArgInt(args, 2), w, h);
    *out = asked;
    return 0;
}

int32_t GetTransparent(Snapshot* self, XVariant* out) {
    if (!self->GetSnapshot()) return NUBO::XR_FAIL;
    *out = self->GetSnapshot()->transparent;
    return 0;
}

int32_t SetTransparent(Snapshot* self, const VARIANT& value) {
    if (!self->GetSnapshot()) return NUBO::XR_FAIL;
    self->GetSnapshot()->transparent = XVariant(value).ToBool();
    return 0;
}

using script_class::MethodRow;
using script_class::ObjectMethodRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kSnapshotMembers[] = {
    MethodRow<2, AddBoxRectItem>("addBoxRectItem"),
    MethodRow<1, AddBoxRectItemsFromView>("addBoxRectItemsFromView"),
    MethodRow<2, AddBoxRectItemsByTag>("addBoxRectItemsByTag"),
    MethodRow<1, ScatterBoxRectItems>("scatterBoxRectItems"),
    MethodRow<0, Ask<&oxSnapshot::ClearRectItems>>("clearRectItems"),
    MethodRow<1, Fill>("fill"),
    MethodRow<0, Ask<&oxSnapshot::Clear>>("clear"),
    MethodRow<0, Ask<&oxSnapshot::Destroy>>("destroy"),
    MethodRow<2, LineMoveTo>("lineMoveTo"),
    MethodRow<3, LineDrawTo>("lineDrawTo"),
    MethodRow<1, CopyRectItems>("copyRectItems"),
    MethodRow<2, Blit>("blit"),
    ObjectMethodRow<2, Thumbnail>("thumbnail"),
    MethodRow<1, CopyFromBitmap>("copyFromBitmap"),
    MethodRow<4, AddImageMorphItem>("addImageMorphItem"),
    PropertyRow<GetTransparent, SetTransparent>("transparent"),
    NUBO::XMemberEnd(),
};

// -- Transition ------------------------------------------------------------------------------------

int32_t Perform(Transition* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> a, b;
    oxSnapshot* from = SnapshotArg(args, 0, &a);
    oxSnapshot* to = SnapshotArg(args, 1, &b);
    const bool asked = self->GetTransition() && from && to;
    // The run paints straight into the window and blocks until it ends; the script object lives on.
    RefPtr<XObject> keep = RefPtr<XObject>::ref(self);
    if (asked) self->GetTransition()->Perform(from, to);
    *out = asked;
    return 0;
}

bool DoSetDuration(Transition* self, int32_t ms) {
    if (!self->GetTransition() || ms < 0) return false;
    self->GetTransition()->duration = ms;
    return true;
}

bool DoSetType(Transition* self, const NUBO::TWString& name) {
    if (!self->GetTransition() || name.IsEmpty()) return false;
    // An unknown name leaves the transition without an effect: that is a failure, not a success.
    self->GetTransition()->SetType(name.GetString());
    return self->GetTransition()->GetEffect() != nullptr;
}

bool DoSetDynamics(Transition* self, const NUBO::TWString& name) {
    if (!self->GetTransition() || name.IsEmpty()) return false;
    self->GetTransition()->SetDynamicsType(name.GetString());
    return true;
}

bool DoSetFillColor(Transition* self, const NUBO::TWString& text) {
    if (!self->GetTransition() || text.IsEmpty()) return false;
    self->GetTransition()->fillColor = ColorOf(text);
    return true;
}

template <bool (*Do)(Transition*, int32_t)> int32_t IntMethod(Transition* self, XArgList* args, XVariant* out) {
    *out = Do(self, ArgInt(args, 0));
    return 0;
}
template <bool (*Do)(Transition*, const NUBO::TWString&)>
int32_t TextMethod(Transition* self, XArgList* args, XVariant* out) {
    *out = Do(self, ArgText(args, 0));
    return 0;
}
template <bool (*Do)(Transition*, int32_t)> int32_t IntSetter(Transition* self, const VARIANT& value) {
    Do(self, XVariant(value).ToInt32());
    return 0;
}
template <bool (*Do)(Transition*, const NUBO::TWString&)> int32_t TextSetter(Transition* self, const VARIANT& value) {
    Do(self, XVariant(value).ToString());
    return 0;
}

int32_t SetBackground(Transition* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> hold;
    oxSnapshot* snapshot = SnapshotArg(args, 0, &hold);
    const bool asked = self->GetTransition() && snapshot;
    if (asked) self->GetTransition()->SetBackground(snapshot);
    *out = asked;
    return 0;
}

template <int32_t (*Set)(Transition*, const VARIANT&)> constexpr NUBO::XMemberEntry WriteOnly(const char* name) {
    return NUBO::XProperty(name, nullptr, script_class::Setter<Transition, Set>);
}

const NUBO::XMemberEntry kTransitionMembers[] = {
    MethodRow<2, Perform>("perform"),
    MethodRow<1, IntMethod<DoSetDuration>>("setDuration"),
    MethodRow<1, TextMethod<DoSetType>>("setType"),
    MethodRow<1, TextMethod<DoSetDynamics>>("setDynamicsType"),
    MethodRow<1, TextMethod<DoSetFillColor>>("setFillColor"),
    MethodRow<1, SetBackground>("setBackground"),
    WriteOnly<IntSetter<DoSetDuration>>("duration"),
    WriteOnly<TextSetter<DoSetType>>("type"),
    WriteOnly<TextSetter<DoSetDynamics>>("dynamicsType"),
    WriteOnly<TextSetter<DoSetFillColor>>("fillColor"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Snapshot::Descriptor = {"Snapshot", 17, kSnapshotMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor Transition::Descriptor = {"Transition", 11, kTransitionMembers, &XObject::Descriptor, 0, {}};

Snapshot::Snapshot(oxSnapshot* native) : native_(native) {
    if (native_) native_->AddRef();
}

Snapshot::~Snapshot() {
    if (native_) native_->Release();
}

Transition::Transition(oxTransition* native) : native_(native) {
    if (native_) native_->AddRef();
}

Transition::~Transition() {
    if (native_) native_->Release();
}

Snapshot* MakeSnapshotObject(oxSnapshot* native) {
    auto* object = new (std::nothrow) Snapshot(native);
    if (object) object->AddRef();
    return object;
}

Transition* MakeTransitionObject(oxTransition* native) {
    auto* object = new (std::nothrow) Transition(native);
    if (object) object->AddRef();
    return object;
}

oxSnapshot* SnapshotOf(XObject* object) {
    return object && XObject::IsKindOf(object, &Snapshot::Descriptor) ? static_cast<Snapshot*>(object)->GetSnapshot()
                                                                      : nullptr;
}

Snapshot* NewBoxSnapshot(oxBox* box) {
    return Wrapped(Counted(new (std::nothrow) oxSnapshot(box)), MakeSnapshotObject);
}

Snapshot* TakeBoxSnapshot(oxBox* box) {
    return Wrapped(oxBoxTakeSnapshot(box), MakeSnapshotObject);
}

Transition* NewBoxTransition(oxBox* box) {
    if (!box || box->IsCollapsed() || box->IsEffectivelyHidden() || (box->GetStateFlags() & kStateExcluded))
        return nullptr;
    return Wrapped(Counted(new (std::nothrow) oxTransition(box)), MakeTransitionObject);
}
