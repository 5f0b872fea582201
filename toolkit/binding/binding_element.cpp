#include "toolkit/binding/binding_element.h"

#include <cstdlib>
#include <new>
#include <string>

#include "platform/crt/wide.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/binding_host.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/element_source.h"
#include "toolkit/binding/row_template.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/binding/xml_source.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

using NUBO::TWString;
using NUBO::XVariant;

namespace {

constexpr const WCHAR* kBindTypeNotSetText = u"Error connecting binding. BindType not set for source \"%s\"";

WCHAR* Dup(const WCHAR* text) {
    return DupWideString(text ? text : u"");
}

bool HasText(const oxQualifiedName& name) {
    return name.GetText() && *name.GetText();
}

void ReportToDebugLog(oxBox* box, const WCHAR* format, const WCHAR* argument) {
    oxBindingScene* scene = box ? dynamic_cast<oxBindingScene*>(box->GetScene()) : nullptr;
    oxBindingRuntime* runtime = scene ? scene->GetBindingRuntime() : nullptr;
    if (!runtime || !runtime->GetDebugOutput()) return;
    TWString text(format);
    TWString arg(argument ? argument : u"");
    // "%s" is the only directive of these texts.
    std::u16string composed(text.GetString());
    size_t at = composed.find(u"%s");
    if (at != std::u16string::npos) composed.replace(at, 2, arg.GetString());
    runtime->ReportError(0, composed.c_str());
}

} // namespace

oxBindingElement::oxBindingElement(oxBox* box, bool fromMarkup)
    : oxElement(kAtomBoxNamespace, kAtomBinding), fromMarkup_(fromMarkup), target_(box), scope_(box), owner_(box) {}

oxBindingElement::oxBindingElement(const oxBindingElement& other, oxBox* target)
    : oxElement(kAtomBoxNamespace, kAtomBinding), bindType_(other.bindType_), bindMethod_(other.bindMethod_),
      updateMethod_(other.updateMethod_), replication_(other.replication_), unbinding_(other.unbinding_),
      targetId_(other.targetId_), isStyle_(other.isStyle_), attribute_(other.attribute_), styleId_(other.styleId_),
      targetTransformer_(other.targetTransformer_), validator_(other.validator_),
      sourceTransformer_(other.sourceTransformer_), sourceId_(other.sourceId_), path_(other.path_),
      source_(other.source_), name_(other.name_) {
    id_ = other.id_;
    if (source_) source_->AddSourceRef();
    target_ = target;
    scope_ = target;
    owner_ = target;
}

oxBindingElement::~oxBindingElement() {
    if (scriptCache_) scriptCache_->ForgetDataBindingObject(this);
    delete rowTree_;
    rowTree_ = nullptr;
    for (oxRowTemplate* t : templates_)
        delete t;
    ReleaseSource();
}

ULONG oxBindingElement::AddRef() {
    return ++refCount_;
}

ULONG oxBindingElement::Release() {
    ULONG n = --refCount_;
    if (n == 0) {
        refCount_ = kDeletingCount;
        delete this;
    }
    return n;
}

void oxBindingElement::ReleaseSource() {
    if (source_) {
        oxBindingSource* s = source_;
        source_ = nullptr;
        s->ReleaseSourceRef();
    }
    if (object_) {
        NUBO::XObject* o = object_;
        object_ = nullptr;
        o->Release();
    }
}

oxBindingScene* oxBindingElement::GetScene() const {
    oxBox* box = target_ ? target_ : scope_;
    return box ? dynamic_cast<oxBindingScene*>(box->GetScene()) : nullptr;
}

oxBox* oxBindingElement::GetGadgetBox() {
    if (!gadgetBox_ && scope_) gadgetBox_ = scope_->GetSpecialPart(kAtom_gadget);
    return gadgetBox_;
}

oxRowTree* oxBindingElement::EnsureRowTree() {
    if (!rowTree_) rowTree_ = new (std::nothrow) oxRowTree(this);
    return rowTree_;
}

int32_t oxBindingElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    const WCHAR* text = value ? value : u"";
    switch (attribute) {
    case kAtomCollectionSource:
        bindType_ = kCollectionSource;
        sourceId_ = text;
        return 0;
    case kAtomElementSource:
        bindType_ = kElementSource;
        sourceId_ = text;
        return 0;
    case kAtomObjectSource:
        bindType_ = kObjectSource;
        sourceId_ = text;
        return 0;
    case kAtomXmlSource:
        bindType_ = kXmlSource;
        sourceId_ = text;
        return 0;
    case kAtomTarget:
        SetTargetId(text);
        return 0;
    case kAtomTargetProperty:
        SetTargetProperty(text);
        return 0;
    case kAtomPath:
        SetPath(text);
        return 0;
    case kAtomMethod:
        bindMethod_ = oxAtoms::Intern(text);
        return 0;
    case kAtomUpdate:
        updateMethod_ = oxAtoms::Intern(text);
        return 0;
    case kAtomReplication:
        replication_ = oxAtoms::Intern(text);
        return 0;
    case kAtomSourceTransformer:
        sourceTransformer_.Parse(text);
        return 0;
    case kAtomTargetTransformer:
        targetTransformer_.Parse(text);
        return 0;
    case kAtomValidator:
        validator_.Parse(text);
        return 0;
    case kAtomKey:
        if (oxRowTree* tree = EnsureRowTree()) tree->SetKey(*text ? oxAtoms::Intern(text) : 0);
        return 0;
    default:
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    }
}

int32_t oxBindingElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    if (tag != kAtomTemplate || !out) return kElementNotHandled;
    auto* t = new (std::nothrow) oxRowTemplate();
    if (!t) return kElementNotHandled;
    if (!EnsureRowTree()) {
        delete t;
        return kElementNotHandled;
    }
    (void)ns;
    templates_.push_back(t);
    *out = t;
    return 0;
}

void oxBindingElement::EndElement() {
    oxElement::EndElement();
    if (scope_ && scope_->GetScene()) Connect(false);
}

oxDataBinding* oxBindingElement::CloneFor(oxBox* target) {
    auto* copy = new (std::nothrow) oxBindingElement(*this, target);
    if (copy) copy->AddRef();
    return copy;
}

void oxBindingElement::SetTargetProperty(const WCHAR* text) {
    if (!text) text = u"";
    if (text[0] == u'$') {
        isStyle_ = true;
        styleId_ = StylePropertyIdFromName(text + 1);
        attribute_ = 0;
    } else {
        isStyle_ = false;
        styleId_ = -1;
        attribute_ = *text ? oxAtoms::Intern(text) : 0;
    }
}

const WCHAR* oxBindingElement::GetTargetProperty() const {
    static WCHAR buffer[256];
    buffer[0] = 0;
    if (isStyle_) {
        const WCHAR* name = styleId_ >= 0 ? StylePropertyNameFromId(styleId_) : nullptr;
        buffer[0] = u'$';
        size_t i = 1;
        for (; name && *name && i < 255; ++name)
            buffer[i++] = *name;
        buffer[i] = 0;
    } else if (attribute_) {
        oxAtoms::GetName(attribute_, buffer, 256);
    }
    return buffer;
}

WCHAR* oxBindingElement::GetTargetValueText() const {
    if (!target_) return nullptr;
    if (isStyle_) return styleId_ >= 0 ? GetBoundStyleText(target_, styleId_) : nullptr;
    const WCHAR* text = attribute_ ? target_->GetAttribute(attribute_) : nullptr;
    return text ? Dup(text) : nullptr;
}

oxBox* oxBindingElement::ResolveId(const WCHAR* text) const {
    if (!text || !*text) return nullptr;
    oxQualifiedName name(text);
    if (name.GetPrefix() == kAtomGadget) {
        oxBox* gadget = gadgetBox_ ? gadgetBox_ : (scope_ ? scope_->GetSpecialPart(kAtom_gadget) : nullptr);
        return gadget ? gadget->GetPartById(name.GetName()) : nullptr;
    }
    oxBox* from = scope_ ? scope_ : target_;
    return from ? from->GetSpecialPart(name.GetName()) : nullptr;
}

bool oxBindingElement::ResolveTarget() {
    if (scope_ && !target_) target_ = ResolveId(targetId_.GetString());
    return target_ != nullptr;
}

bool oxBindingElement::ResolveElementSource() {
    if (bindType_ != kElementSource) return false;
    if (!sourceBox_ && ResolveTarget()) sourceBox_ = ResolveId(sourceId_.GetString());
    return sourceBox_ != nullptr;
}

bool oxBindingElement::ResolveObjectSource() {
    if (bindType_ != kObjectSource && bindType_ != kCollectionSource && bindType_ != kXmlSource) return false;
    if (source_) return true;
    if (!ResolveTarget() || sourceId_.IsEmpty()) return false;
    oxBindingScene* scene = GetScene();
    oxBindingRuntime* runtime = scene ? scene->GetBindingRuntime() : nullptr;
    oxScriptRegistry* registry = runtime ? runtime->GetScriptRegistry() : nullptr;
    oxBindingSource* found = nullptr;
    if (!registry || !registry->FindSource(this, sourceId_.GetString(), &found)) return false;
    if (bindType_ == kXmlSource) {
        // The named document gets a source of the binding's own, which reads it by the path.
        oxXmlSource* xml = oxXmlSource::Create(found->GetDataObject());
        found->ReleaseSourceRef();
        if (!xml) return false;
        found = xml;
    }
    source_ = found;
    object_ = found->GetDataObject();
    if (object_) object_->AddRef();
    return true;
}

void oxBindingElement::HandToScene() {
    oxBindingScene* scene = GetScene();
    if (scene && scene->IsLoading()) scene->AddPendingBinding(this);
}

void oxBindingElement::Connect(bool reconnect) {
    if (unbinding_) return;
    ResolveTarget();
    if (target_ && !connected_ && target_->GetScene()) {
        bool putOff =
            !reconnect && (targetTransformer_.GetPrefix() == kAtomGadget ||
                           sourceTransformer_.GetPrefix() == kAtomGadget || validator_.GetPrefix() == kAtomGadget);
        if (!putOff) {
            oxBox* target = target_;
            const bool replicated = (target->GetStateFlags() & kStateReplicated) != 0;
            oxBindingScene* scene = GetScene();
            switch (bindType_) {
            case kNotSet:
                ReportToDebugLog(target, kBindTypeNotSetText, sourceId_.GetString());
                break;
            case kElementSource:
                if (!(isStyle_ && scene && !scene->IsOpen()) && ResolveElementSource()) {
                    oxElementSource* adapter = oxElementSource::For(sourceBox_, true);
                    if (adapter && adapter != source_) {
                        if (source_) source_->ReleaseSourceRef();
                        source_ = adapter;
                        source_->AddSourceRef();
                    }
                }
                break;
            case kXmlSource:
                if (!rowTree_) {
                    ResolveObjectSource();
                    break;
                }
                [[fallthrough]];
            case kCollectionSource:
                ResolveObjectSource();
                target->SetStateFlag(kStateReplicated, true);
                if (rowTree_ && source_ && source_->IsReady()) {
                    rowTree_->SetReplication(replication_);
                    rowTree_->SetBinding(this);
                    for (oxBox* b = target; b; b = b->GetParent()) {
                        if (auto* list = dynamic_cast<oxSelectionOwner*>(b)) {
                            rowTree_->AttachToList(b, list);
                            break;
                        }
                    }
                }
                break;
            default:
                ResolveObjectSource();
                break;
            }
            if (source_ && source_->IsReady()) {
                connected_ = true;
                source_->Attach(this);
                target->AddChangeListener(this);
                if (target != owner_) target->AddDataBinding(this);
                if (updateMethod_ != kAtomOnDemand) Transfer(target, 0, true);
            }
            if (target_ == target) target->SetStateFlag(kStateReplicated, replicated);
        }
    }
    if (!connected_) HandToScene();
}

void oxBindingElement::Disconnect() {
    if (IsReplicating() && rowTree_) {
        // The rows go with the connection; the target's own markup children stay.
        rowTree_->Detach();
    }
    if (source_) source_->Detach(this);
    connected_ = false;
    ReleaseSource();
}

void oxBindingElement::DetachTarget(bool unlisten) {
    if (!target_) return;
    oxBox* target = target_;
    if (unlisten) {
        target->RemoveChangeListener(this);
        if (target != owner_) target->RemoveDataBinding(this);
    }
    if (IsReplicating()) {
        target->SetStateFlag(kStateReplicated, false);
        oxSetRowSource(target, nullptr);
    }
    target_ = nullptr;
    connected_ = false;
}

void oxBindingElement::Unbind() {
    if (unbinding_) return;
    unbinding_ = true;
    // The teardown may drop the last outside reference.
    AddRef();
    Disconnect();
    DetachTarget(true);
    if (oxBindingScene* scene = GetScene()) scene->RemovePendingBinding(this);
    unbinding_ = false;
    Release();
}

void oxBindingElement::OnBoxDestroyed(oxBox* box) {
    AddRef();
    Unbind();
    ForgetBox(box);
    Release();
}

void oxBindingElement::ForgetBox(oxBox* box) {
    if (!box) return;
    if (target_ == box) DetachTarget(false);
    if (owner_ == box) owner_ = nullptr;
    if (scope_ == box) scope_ = owner_;
    if (sourceBox_ == box) sourceBox_ = nullptr;
    if (gadgetBox_ == box) gadgetBox_ = nullptr;
}

bool oxBindingElement::RunValidator() {
    if (!target_ || !HasText(validator_)) return false;
    WCHAR* text = GetTargetValueText();
    XVariant result;
    oxBindingScriptResult ran = ExecuteBindingScript(text ? text : u"", validator_, this, &result);
    std::free(text);
    bool valid = ran == oxBindingScriptResult::kRan && result.ToBool();
    target_->SetAttribute(kAtomInvalidData, valid ? u"false" : u"true", true, false);
    return valid;
}

void oxBindingElement::SetTargetValue(const WCHAR* text) {
    if (updating_ || !target_) return;
    updating_ = true;
    TWString value(text ? text : u"");
    bool send = true;
    if (HasText(sourceTransformer_)) {
        XVariant result;
        oxBindingScriptResult ran = ExecuteBindingScript(value.GetString(), sourceTransformer_, this, &result);
        if (ran == oxBindingScriptResult::kFailed) {
            send = false; // a transformer that failed has no value to give
        } else if (ran == oxBindingScriptResult::kRan) {
            TWString transformed = result.ToString();
            if (!transformed.IsEmpty()) value = transformed;
        }
    }
    if (send) {
        if (isStyle_) {
            if (styleId_ >= 0) target_->SetStylePropertyText(styleId_, value.GetString(), 0);
        } else if (attribute_) {
            target_->SetAttribute(attribute_, value.GetString(), true, false);
        }
    }
    updating_ = false;
}

void oxBindingElement::SendToSource(oxBox* box, const WCHAR* text, const WCHAR* field, bool isStyle) {
    TWString value(text ? text : u"");
    if (HasText(targetTransformer_)) {
        XVariant result;
        oxBindingScriptResult ran = ExecuteBindingScript(value.GetString(), targetTransformer_, this, &result);
        if (ran == oxBindingScriptResult::kFailed) return;
        if (ran == oxBindingScriptResult::kRan) value = result.ToString();
    }
    source_->SetSourceValue(box, this, value.GetString(), field, isStyle);
}

void oxBindingElement::Transfer(oxBox* box, oxAtom key, bool initial) {
    if (!source_) return;
    if (initial) {
        if (IsReplicating() && rowTree_) {
            rowTree_->SetSource(source_);
            rowTree_->Populate(box, this);
            if (replication_ != kAtomFull && box) {
                box->InvalidateUpToPopup();
                box->RequestLayout();
            }
        } else {
            source_->PushToTarget(this, key);
        }
        return;
    }
    if (!box || updating_) return;
    AddRef(); // the write may end in a script that lets go of the binding
    updating_ = true;
    if (!HasText(validator_) || RunValidator()) {
        if (key) {
            // A row box's attribute (or style property, by name) goes back to its row's field; the
            // source reads the value from the box by the name given.
            WCHAR name[oxAtoms::kLookupUnits] = {};
            oxAtoms::GetName(key, name, oxAtoms::kLookupUnits);
            bool isStyle = false;
            const oxExpressionRecord* record = rowTree_ ? rowTree_->GetKeyRecord(box, key, &isStyle) : nullptr;
            if (!rowTree_ || record)
                source_->SetSourceValue(box, this, name, record ? record->expression.GetString() : nullptr, isStyle);
        } else {
            WCHAR* text = GetTargetValueText();
            SendToSource(box, text, path_.GetString(), isStyle_);
            std::free(text);
        }
    }
    updating_ = false;
    Release();
}

void oxBindingElement::OnAttributeChanged(oxBox* box, oxAtom attribute) {
    if (!box || updating_ || bindMethod_ != kAtomTwoWay || updateMethod_ == kAtomOnDemand) return;
    if (IsReplicating()) {
        if (box != target_) Transfer(box, attribute, false);
        return;
    }
    if (box == target_ && !isStyle_ && attribute == attribute_) Transfer(target_, 0, false);
}

void oxBindingElement::OnStyleChanged(oxBox* box, int propertyId) {
    if (!box || updating_ || bindMethod_ != kAtomTwoWay || updateMethod_ == kAtomOnDemand) return;
    if (IsReplicating()) {
        const WCHAR* name = StylePropertyNameFromId(propertyId);
        if (box != target_ && name) Transfer(box, oxAtoms::Intern(name), false);
        return;
    }
    if (box == target_ && isStyle_ && propertyId == styleId_) Transfer(target_, 0, false);
}

void oxBindingElement::SetTargetId(const WCHAR* text) {
    bool was = connected_;
    if (was) DetachTarget(true);
    targetId_ = text ? text : u"";
    oxBox* scope = scope_;
    target_ = nullptr;
    ResolveTarget();
    if (target_) scope_ = target_;
    (void)scope;
    if (was) Connect(true);
}

void oxBindingElement::SetTarget(oxBox* box) {
    bool was = connected_;
    if (was) DetachTarget(true);
    target_ = box;
    scope_ = box;
    if (was) Connect(true);
}

void oxBindingElement::SetElementSource(oxBox* box) {
    bool was = connected_;
    if (was) Disconnect();
    sourceBox_ = box;
    if (was) Connect(true);
}

void oxBindingElement::SetSourceId(const WCHAR* text, bool resolveNow) {
    bool was = connected_;
    if (was) Disconnect();
    sourceId_ = text ? text : u"";
    sourceBox_ = nullptr;
    if (resolveNow) {
        ReleaseSource();
        ResolveTarget();
        if (bindType_ == kElementSource)
            ResolveElementSource();
        else
            ResolveObjectSource();
    }
    if (was) Connect(true);
}

void oxBindingElement::SetSourceObject(NUBO::XObject* object) {
    bool was = connected_;
    if (was) Disconnect();
    ReleaseSource();
    oxBindingSource* made = nullptr;
    if (bindType_ == kXmlSource) made = oxXmlSource::Create(object);
    if (made || (bindType_ != kXmlSource && object && CreateObjectSourceFor(object, &made))) {
        source_ = made;
        object_ = object;
        object_->AddRef();
    }
    if (was) Connect(true);
}

void oxBindingElement::SetPath(const WCHAR* text) {
    bool was = connected_;
    if (was) Disconnect();
    path_ = text ? text : u"";
    if (was) Connect(true);
}
