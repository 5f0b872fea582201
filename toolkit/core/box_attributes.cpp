// The box's attributes: markup and script values applied to states, modes, flags, the id and the
// style class, plain attributes stored as text, the texts read back, and child elements of markup.
#include <algorithm>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/collapsed_container_box.h"

#include "toolkit/base/markup_node.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/instance_element.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/layout_factory.h"
#include "toolkit/style/attribute_value.h"

namespace {

// Attributes whose value lives in a change flag.
struct FlagAttribute {
    oxAtom atom;
    uint32_t flag;
};
constexpr FlagAttribute kFlagAttributes[] = {
    {kAtomBlockEvents, kChangeBlockEvents},         {kAtomFixedRowSize, kChangeFixedRowSize},
    {kAtomForceNoLayering, kChangeForceNoLayering}, {kAtomFramed, kChangeFramed},
    {kAtomIgnoreEvents, kChangeIgnoreEvents},       {kAtomTranslucent, kChangeTranslucent},
};

// Computed texts share one buffer, valid until the next computed answer.
WCHAR gAttributeBuffer[256];

} // namespace

int32_t oxBox::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (ns == kAtomStyleNamespace) {
        WCHAR name[oxAtoms::kLookupUnits];
        if (oxAtoms::GetName(attribute, name, oxAtoms::kLookupUnits)) (void)SetStyle(name, value);
        return 0;
    }
    // An attribute in the reaction namespace is a reaction: the attribute names the event, the
    // text the handler.
    if (ns == kAtomReactionNamespace) {
        oxBehaviorElement* behavior = value && *value ? oxBehaviorElement::For(this, true) : nullptr;
        auto* reaction = behavior ? new (std::nothrow) oxReactionElement(attribute) : nullptr;
        if (!reaction) return 0;
        reaction->SetAction(value);
        (void)behavior->AddReaction(reaction);
        return 0;
    }
    return SetAttribute(attribute, value, true, false);
}

int32_t oxBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute == kAtomId && value && value[0]) {
        SetId(oxAtoms::Intern(value));
        return 0;
    }
    bool on = ParseBool(value);
    switch (attribute) {
    case kAtomBlockEvents:
    case kAtomFixedRowSize:
    case kAtomForceNoLayering:
    case kAtomIgnoreEvents:
    case kAtomTranslucent:
        for (const FlagAttribute& f : kFlagAttributes)
            if (f.atom == attribute) SetChangeFlag(f.flag, on);
        return 0;
    case kAtomFramed:
        SetHasFrame(on);
        return 0;
    case kAtomBoxCaptured:
        SetCaptured(on);
        return 0;
    case kAtomCollapsed:
        SetCollapsed(on, forced);
        return 0;
    case kAtomDeflated:
        SetDeflated(on);
        return 0;
    case kAtomDisabled:
        SetDisabled(on, forced);
        return 0;
    case kAtomDragged:
        SetDragged(on, forced);
        return 0;
    case kAtomDragHovered:
        SetDragHovered(on, forced);
        return 0;
    case kAtomEngaged:
        SetEngaged(on, forced);
        return 0;
    case kAtomExpanded:
        SetExpanded(on, forced);
        return 0;
    case kAtomFocused:
        SetFocused(on, false, false);
        return 0;
    case kAtomGrew:
        SetGrew(on);
        return 0;
    case kAtomHidden:
        SetHidden(on);
        return 0;
    case kAtomHovered:
        SetHovered(on, forced);
        return 0;
    case kAtomMaximized:
        SetMaximized(on);
        return 0;
    case kAtomMinimized:
        SetMinimized(on);
        return 0;
    case kAtomOrnament:
        SetOrnament(on);
        return 0;
    case kAtomOverflowed:
        SetOverflowed(on);
        return 0;
    case kAtomPopped:
        SetPopped(on);
        return 0;
    case kAtomPressed:
        SetPressed(on, forced);
        return 0;
    case kAtomSelected:
        SetSelected(on, forced);
        return 0;
    case kAtomToggled:
        SetToggled(on, forced);
        return 0;
    case kAtomCursorMode:
        SetCursorMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomDragMode:
        SetDragMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomFocusMode:
        SetFocusMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomSelectableMode:
        SetSelectableMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomSelectMode:
        SetSelectMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomToggleMode:
        SetToggleMode(ParseBoxModeFlags(value));
        return 0;
    case kAtomStyle:
        SetStyleId(oxAtoms::Intern(value), true);
        return 0;
    case kAtomScrollOffsetX:
    case kAtomScrollOffsetY: {
        oxLayout* layout = GetLayout();
        const int32_t n = value ? _wtoi(value) : 0;
        const bool x = attribute == kAtomScrollOffsetX;
        const bool changed = layout && (x ? layout->GetScrollX() : layout->GetScrollY()) != n;
        if (changed) {
            if (x)
                SetScrollX(n);
            else
                SetScrollY(n);
        }
        NotifyAttributeChange(attribute, changed, notify);
        return 0;
    }
    case kAtomView:
        SetLayoutView(value);
        return 0;
    default:
        break;
    }
    bool stored = StoreAttribute(attribute, value, notify);
    if (stored && attribute == kAtomAffineLayout && (changeFlags_ & kChangeAttached)) {
        InvalidateMeasure();
        Remeasure();
        UpdateFrameBounds(!(changeFlags_ & kChangePainted));
        RequestLayout();
    }
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
        if (stateFlags_ & kStateRecordPrior) oxRecordPriorAttribute(this, attribute, old ? old->GetString() : nullptr);
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

const WCHAR* oxBox::GetAttribute(oxAtom attribute) {
    if ((attribute == kAtomId && id_) || (attribute == kAtomStyle && styleId_)) {
        if (oxAtoms::GetName(attribute == kAtomId ? id_ : styleId_, gAttributeBuffer, 256) > 0) return gAttributeBuffer;
        return nullptr;
    }
    if (const WCHAR* state = oxStateAttributeText(this, attribute)) return state;
    for (const FlagAttribute& f : kFlagAttributes)
        if (f.atom == attribute) return (changeFlags_ & f.flag) ? u"true" : u"false";
    uint32_t mode = 0;
    switch (attribute) {
    case kAtomCursorMode:
        mode = GetCursorMode();
        break;
    case kAtomDragMode:
        mode = GetDragMode();
        break;
    case kAtomFocusMode:
        mode = GetFocusMode();
        break;
    case kAtomSelectableMode:
        mode = GetSelectableMode();
        break;
    case kAtomSelectMode:
        mode = GetSelectMode();
        break;
    case kAtomToggleMode:
        mode = GetToggleMode();
        break;
    case kAtomView:
        if (oxLayout* layout = GetLayout())
            if (oxAtoms::GetName(layout->GetLayoutType(), gAttributeBuffer, 256) > 0) return gAttributeBuffer;
        return nullptr;
    case kAtomScrollOffsetX:
    case kAtomScrollOffsetY: {
        oxLayout* layout = GetLayout();
        const int32_t n = layout ? (attribute == kAtomScrollOffsetX ? layout->GetScrollX() : layout->GetScrollY()) : 0;
        swprintf(gAttributeBuffer, 256, u"%d", n);
        return gAttributeBuffer;
    }
    default:
        return GetAttributeText(attribute);
    }
    FormatBoxModeFlags(mode, gAttributeBuffer, 256);
    return gAttributeBuffer;
}

const WCHAR* oxBox::GetAttributeText(oxAtom attribute) const {
    if (!attributes_) return nullptr;
    const auto* node = attributes_->Find(attribute);
    return node ? node->value.GetString() : nullptr;
}

void oxBox::RemoveAttribute(oxAtom attribute) {
    if (!attributes_) return;
    if (stateFlags_ & kStateRecordPrior) oxRecordPriorAttribute(this, attribute, nullptr);
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
        if (oxElement* group = scene_ && out ? scene_->CreateGroupElement(this, tag) : nullptr) {
            *out = group;
            return 0;
        }
        return kElementNotHandled;
    case kAtomReaction: {
        // The box's handler list holds the reaction from the start; the loader fills it in.
        oxBehaviorElement* behavior = oxBehaviorElement::For(this, true);
        auto* reaction = behavior ? new (std::nothrow) oxReactionElement(0) : nullptr;
        if (!reaction || !behavior->AddReaction(reaction)) return kElementNotHandled;
        if (out) *out = reaction;
        return 0;
    }
    case kAtomStyleProps:
    case kAtomProperty: {
        if (!out) return kElementNotHandled;
        // It sets its attributes on this box and goes at its end tag.
        auto* props = new (std::nothrow) oxStylePropsElement(
            this, tag == kAtomProperty ? oxStylePropsElement::kProperty : oxStylePropsElement::kStyleProps);
        if (!props) return kElementNotHandled;
        *out = props;
        return 0;
    }
    case kAtomBinding: {
        oxElement* element = nullptr;
        oxDataBinding* binding = scene_ && out ? scene_->CreateDataBinding(this, &element) : nullptr;
        if (!binding) return kElementNotHandled;
        AddDataBinding(binding);
        binding->Release(); // the box's table holds it
        *out = element;
        return 0;
    }
    default:
        break;
    }
    if (stateFlags_ & kStateContentPending) {
        // The markup waits in the placeholder; without one it is dropped.
        auto* holder = dynamic_cast<oxCollapsedContainerBox*>(GetChildAt(0, false));
        oxMarkupNode* node = holder ? holder->AddDeferred(ns, tag) : nullptr;
        if (out) *out = node;
        return 0;
    }
    if (!IsCollapsed() || !scene_) return CreateBoxChild(ns, tag, out);
    // A collapsed box keeps its children's markup unbuilt until it is first expanded.
    oxBox* made = scene_->CreateBox(kAtomBoxNamespace, kAtomCollapsedContainer);
    auto* holder = dynamic_cast<oxCollapsedContainerBox*>(made);
    oxMarkupNode* node = holder ? holder->AddDeferred(ns, tag) : nullptr;
    if (!node) {
        if (made) scene_->DestroyBox(made);
        return CreateBoxChild(ns, tag, out);
    }
    InsertChildrenAt(0, &made, 1, nullptr, false);
    if (made->GetParent() != this) {
        scene_->DestroyBox(made); // too deep for the tree
        return CreateBoxChild(ns, tag, out);
    }
    stateFlags_ |= kStateContentPending;
    if (out) *out = node;
    return 0;
}

int32_t oxBox::CreateBoxChild(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    if (ns != kAtomBoxNamespace || !scene_) return kElementNotHandled;
    if (tag == kAtomInstance) {
        if (!out) return kElementNotHandled;
        *out = new (std::nothrow) oxInstanceElement(scene_, this);
        return *out ? 0 : kElementNotHandled;
    }
    oxBox* box = scene_->CreateBox(ns, tag);
    if (!box) return kElementNotHandled;
    if (GetContentPart())
        AddContentChild(box, nullptr, false);
    else
        AddChild(box, nullptr, false);
    if (!box->GetParent()) {
        scene_->DestroyBox(box); // too deep for the tree
        return kElementNotHandled;
    }
    if (out) *out = box;
    return 0;
}

void oxBox::SetLayoutView(const WCHAR* value) {
    if (!value) return;
    // prefix:name; no prefix or "toolkit" names the built-in layouts, no other provider is known.
    const WCHAR* colon = wcschr(value, u':');
    oxLayoutName name;
    if (colon) {
        WCHAR prefix[oxAtoms::kLookupUnits] = {};
        const size_t n = std::min<size_t>(size_t(colon - value), oxAtoms::kLookupUnits - 1);
        for (size_t i = 0; i < n; ++i)
            prefix[i] = value[i];
        name.provider = oxAtoms::Intern(prefix);
        if (name.provider != kAtomToolkit) return;
    }
    name.name = oxAtoms::Intern(colon ? colon + 1 : value);
    oxLayoutFactory factory;
    oxLayout* made = nullptr;
    if (factory.CreateLayout(&name, &made) && made) SetLayout(made);
}
