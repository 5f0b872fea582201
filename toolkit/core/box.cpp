#include "toolkit/core/box.h"

#include "platform/crt/wide.h"
#include "runtime/ptr_vector.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_scene.h"

oxBox::oxBox(oxAtom tag) : oxElement(kAtomBoxNamespace, tag), children_(EmptyChildren()) {
    MarkAncestorsDirty();
    changeFlags_ |= 0x00800216;
    modeFlags_ = kModeFocusIgnore;
    if (tag == kAtomRows) {
        stateFlags_ |= kStateExcluded;
        return;
    }
    if (tag == kAtomColumns) return;
    changeFlags_ |= kChangeLayoutRoot;
}

oxBox::~oxBox() {
    // A box released while still in a tree would leave its parent pointing at freed memory.
    if (parent_) parent_->RemoveChild(this, false);
    if (scene_ && id_) scene_->UnregisterBoxId(this, id_);
    DestroyChildrenNow();
    delete attributes_;
    attributes_ = nullptr;
    if (scene_) scene_->OnBoxDestroyed(this);
    ClearPriorValues();
    // FIXME: the style record, inline style, layout and placement record are released here once
    // the stages that make them exist.
    scene_ = nullptr;
}

ULONG oxBox::AddRef() {
    return refCount_++;
}

ULONG oxBox::Release() {
    uint32_t count = --refCount_;
    if (count == 0) {
        refCount_ = kDeletingCount;
        DeleteBox(this);
    }
    return count;
}

// Deletion runs one box at a time: children that a dying box lets go are queued and deleted after it,
// so a tree of any depth is destroyed without recursion.
void oxBox::DeleteBox(oxBox* box) {
    static NUBO::PtrVector<oxBox*> pending;
    static bool draining = false;
    if (draining) {
        if (pending.PushBack(box)) return;
        delete box; // no memory to queue it: fall back to deleting it in place
        return;
    }
    draining = true;
    delete box;
    while (!pending.empty()) {
        oxBox* next = pending.Back();
        pending.PopBack();
        delete next;
    }
    draining = false;
}

int32_t oxBox::HandleEvent(oxEvent* event) {
    (void)event;
    return 0;
}

int32_t oxBox::SetBoxAttribute(oxAtom attribute, const WCHAR* value) {
    return SetMarkupAttribute(kAtomBoxNamespace, attribute, value);
}

int32_t oxBox::SetStyleProperty(oxAtom property, const WCHAR* value) {
    return SetMarkupAttribute(kAtomStyleNamespace, property, value);
}

void oxBox::SetId(oxAtom id) {
    if (id == 0 || id == id_) return;
    if (id_ && scene_) scene_->UnregisterBoxId(this, id_);
    id_ = id;
}

int32_t oxBox::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    // FIXME: style properties and reactions are taken once style parsing and reactions exist.
    if (ns == kAtomStyleNamespace || ns == kAtomReactionNamespace) return kElementNotSupported;
    return SetAttribute(attribute, value, true, false);
}

int32_t oxBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    (void)forced;
    if (attribute == kAtomId && value && value[0]) {
        SetId(oxAtoms::Intern(value));
        return 0;
    }
    StoreAttribute(attribute, value, notify);
    return 0;
}

bool oxBox::StoreAttribute(oxAtom attribute, const WCHAR* value, bool notify) {
    const oxSharedString* old = nullptr;
    if (attributes_) {
        if (auto* node = attributes_->Find(attribute)) old = &node->value;
    }
    if (old && value && wcscmp(old->GetString(), value) == 0) {
        NotifyAttributeChange(attribute, false, notify);
        return false;
    }
    if (!attributes_) attributes_ = new (std::nothrow) oxAttributeMap;
    if (attributes_) {
        if (stateFlags_ & kStateRecordPrior) {
            oxRecordPriorAttribute(this, attribute, old ? old->GetString() : nullptr);
        }
        if (old) attributes_->Erase(attribute);
        if (value && value[0]) {
            oxSharedString copy(value);
            if (!copy.IsNull()) attributes_->Insert(attribute, std::move(copy));
        }
    }
    if (attribute == kAtomAnchor) changeFlags_ |= kChangeHasAnchor;
    NotifyAttributeChange(attribute, true, notify);
    UpdateStateStyles(attribute);
    return true;
}

const WCHAR* oxBox::GetAttributeText(oxAtom attribute) const {
    if (!attributes_) return nullptr;
    const auto* node = attributes_->Find(attribute);
    return node ? node->value.GetString() : nullptr;
}

void oxBox::RemoveAttribute(oxAtom attribute) {
    if (!attributes_) return;
    if (stateFlags_ & kStateRecordPrior) {
        oxRecordPriorAttribute(this, attribute, nullptr);
    }
    attributes_->Erase(attribute);
    UpdateStateStyles(attribute);
}

int32_t oxBox::CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) {
    if (direct && ns == kAtomBoxNamespace) {
        switch (tag) {
        case kAtomCode:
        case kAtomCommandGroup:
        case kAtomKeyGroup:
        case kAtomReaction:
        case kAtomScript:
        case kAtomStyleProps:
        case kAtomBinding:
        case kAtomProperty:
        case kAtomContent:
            break;
        default:
            return CreateBoxChild(ns, tag, out);
        }
    }
    return CreateChildElement(ns, tag, out);
}

int32_t oxBox::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    if (ns == kAtomResourceNamespace) {
        // Libraries inside boxes belong to the scene; other resource tags make nothing.
        if (tag == kAtomLibrary && scene_ && out) *out = scene_->GetLibraryElement();
        return 0;
    }
    if (ns != kAtomBoxNamespace) return kElementNotHandled;
    switch (tag) {
    case kAtomContent:
        return 0;
    case kAtomCode:
    case kAtomScript:
        if (oxElement* script = scene_ && out ? scene_->CreateScriptElement(this, tag) : nullptr) {
            *out = script;
            return 0;
        }
        return kElementNotHandled;
    case kAtomCommandGroup:
    case kAtomKeyGroup:
    case kAtomReaction:
    case kAtomStyleProps:
    case kAtomProperty:
    case kAtomBinding:
        // FIXME: these elements are made here once commands, reactions and bindings exist.
        return kElementNotHandled;
    default:
        break;
    }
    if (stateFlags_ & kStateContentPending) {
        // FIXME: the markup is recorded into the collapsed placeholder once recorded markup exists.
        return 0;
    }
    // FIXME: a collapsed box defers its markup children into a placeholder once recorded markup
    // exists; until then they are built at once.
    return CreateBoxChild(ns, tag, out);
}

int32_t oxBox::CreateBoxChild(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    // FIXME: "instance" elements are made here once gadget instances exist.
    if (tag == kAtomInstance || ns != kAtomBoxNamespace || !scene_) return kElementNotHandled;
    oxBox* box = scene_->CreateBox(ns, tag);
    if (!box) return kElementNotHandled;
    AddChild(box, nullptr, false);
    if (out) *out = box;
    return 0;
}
