#include "toolkit/library/gadget_element.h"

#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/library/behavior_resource.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/library/library.h"
#include "toolkit/library/resource_host.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/style/style_tables.h"

using NUBO::TWString;

namespace {

// The attribute that names the box kind a gadget's boxes are made as.
constexpr const WCHAR* kBaseAttribute = u"base";

// Gadget boxes built inside the parts of gadget boxes deeper than this are left empty.
constexpr int kMaxBuildNesting = 32;
constexpr const WCHAR* kGadgetTooDeepText = u"Gadgets nested deeper than %d: \"%s\"";

// Gadgets that inherit deeper than this are taken as a ring the inherits check missed.
constexpr int kMaxInheritDepth = 32;

oxResourceScene* SceneOf(const oxBox* box) {
    return box ? dynamic_cast<oxResourceScene*>(box->GetScene()) : nullptr;
}

// The `script` or `code` child of a gadget: its source joins the gadget's script sources.
class GadgetScriptElement : public oxElement {
public:
    GadgetScriptElement(oxAtom tag, oxGadgetElement* gadget) : oxElement(kAtomBoxNamespace, tag), gadget_(gadget) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override {
        if (attribute == kAtomSrc || attribute == kAtomHref) {
            if (src_.IsEmpty() || attribute == kAtomSrc) src_ = value ? value : u"";
            return 0;
        }
        if (attribute == kAtomLanguage) {
            language_ = value && *value ? oxAtoms::Intern(value) : oxAtom(kAtomJscript);
            return 0;
        }
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    }
    void EndElement() override {
        oxElement::EndElement();
        if (!src_.IsEmpty()) {
            TWString url = src_;
            oxLibrary* library = gadget_->GetLibrary();
            if (language_ != kAtomNativeObject && !oxUri::HasScheme(url.GetString()) && library) {
                TWString resolved;
                ResolveUriToPath(url.GetString(), library->GetBase().GetString(), resolved);
                url = resolved;
            }
            gadget_->AddScriptSource(tag_, language_, url.GetString());
        }
        delete this;
    }

private:
    oxGadgetElement* gadget_;
    TWString src_;
    oxAtom language_ = kAtomJscript;
};

// Tags of recorded parts that make no box, so they take no child index.
bool MakesNoBox(const oxMarkupNode* node) {
    switch (node->GetTag()) {
    case 0:
    case kAtomReaction:
    case kAtomBinding:
    case kAtomScript:
    case kAtomCode:
    case kAtomCommandGroup:
    case kAtomKeyGroup:
        return true;
    default:
        return false;
    }
}

} // namespace

int32_t oxGadgetSectionRecorder::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    if (!gadget_ || !attribute || !value) return kElementNotHandled;
    gadget_->RecordAttribute(attribute, value);
    return 0;
}

int32_t oxGadgetSectionRecorder::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (!gadget_) return kElementNotHandled;
    auto* node = new (std::nothrow) oxMarkupNode(ns, tag);
    if (!node) return kElementNotHandled;
    gadget_->RecordNode(node);
    *out = node;
    return 0;
}

oxGadgetElement::oxGadgetElement(oxLibrary* library) : oxBindableElement(kAtomGadget, library) {}

oxGadgetElement::~oxGadgetElement() {
    // Boxes that outlive their gadget (a library unloaded under them) go on as plain boxes.
    std::unordered_set<oxBox*> boxes;
    boxes.swap(boxes_);
    for (oxBox* box : boxes) {
        oxGadgetInstance::DestroyFor(box);
        box->SetGadget(nullptr);
    }
    for (oxBox* part : engaged_)
        part->Release();
    engaged_.clear();
    delete content_;
    for (GroupRecord& record : commandGroups_)
        delete record.first;
    for (GroupRecord& record : keyGroups_)
        delete record.first;
    delete behavior_;
}

int32_t oxGadgetElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomCode:
    case kAtomScript:
        scriptSource_ = value ? value : u"";
        return 0;
    case kAtomLanguage: {
        oxAtom language = value && *value ? oxAtoms::Intern(value) : oxAtom(kAtomJscript);
        language_ = language == kAtomNativeObject || language == kAtomJavascript ? language : oxAtom(kAtomJscript);
        return 0;
    }
    case kAtomType:
        type_.Parse(value);
        return 0;
    default:
        if (attribute == oxAtoms::Intern(kBaseAttribute)) {
            baseTag_ = value && *value ? oxAtoms::Intern(value) : 0;
            return 0;
        }
        return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
    }
}

int32_t oxGadgetElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    switch (tag) {
    case kAtomAttributes:
    case kAtomParts:
        section_ = tag;
        *out = &recorder_;
        return 0;
    case kAtomCommandGroup:
    case kAtomKeyGroup:
        section_ = tag;
        (tag == kAtomCommandGroup ? commandGroups_ : keyGroups_).emplace_back();
        *out = &recorder_;
        return 0;
    case kAtomBehavior: {
        auto* behavior = new (std::nothrow) oxBehaviorResource(library_);
        if (!behavior) return kElementNotHandled;
        delete behavior_;
        behavior_ = behavior;
        *out = behavior;
        return 0;
    }
    case kAtomCode:
    case kAtomScript:
        *out = new (std::nothrow) GadgetScriptElement(tag, this);
        return *out ? 0 : kElementNotHandled;
    case kAtomStyleProps:
    case kAtomProperty:
        section_ = 0;
        *out = new (std::nothrow) oxStylePropsElement(this, tag == kAtomProperty ? oxStylePropsElement::kProperty
                                                                                 : oxStylePropsElement::kStyleProps);
        return *out ? 0 : kElementNotHandled;
    default:
        return 0;
    }
}

void oxGadgetElement::EndElement() {
    if (!scriptSource_.IsEmpty() && language_ != kAtomNativeObject && !oxUri::HasScheme(scriptSource_.GetString()) &&
        library_) {
        TWString resolved;
        ResolveUriToPath(scriptSource_.GetString(), library_->GetBase().GetString(), resolved);
        scriptSource_ = resolved;
    }
    oxBindableElement::EndElement();
}

bool oxGadgetElement::IsContentPlaceholder(const oxMarkupNode* node) {
    if (!node) return false;
    if (node->GetTag() == kAtomContent) return true;
    if (node->GetTag() != kAtomPart) return false;
    const WCHAR* gid = node->FindAttribute(kAtomGid);
    return gid && oxAtoms::Intern(gid) == kAtomContent;
}

void oxGadgetElement::RecordNode(oxMarkupNode* node) {
    if (!node) return;
    if (section_ == kAtomAttributes || section_ == kAtomParts) {
        if (contentLast_)
            contentLast_->SetNextSibling(node);
        else
            content_ = node;
        contentLast_ = node;
        ++contentCount_;
        pathComputed_ = false;
        return;
    }
    std::vector<GroupRecord>* records = section_ == kAtomCommandGroup ? &commandGroups_
                                        : section_ == kAtomKeyGroup   ? &keyGroups_
                                                                      : nullptr;
    if (!records || records->empty()) {
        delete node;
        return;
    }
    GroupRecord& record = records->back();
    if (record.last)
        record.last->SetNextSibling(node);
    else
        record.first = node;
    record.last = node;
}

void oxGadgetElement::RecordAttribute(oxAtom attribute, const WCHAR* value) {
    if (section_ == kAtomCommandGroup || section_ == kAtomKeyGroup) {
        std::vector<GroupRecord>& records = section_ == kAtomCommandGroup ? commandGroups_ : keyGroups_;
        if (!records.empty()) records.back().attributes.emplace_back(attribute, TWString(value));
        return;
    }
    namedValues_.emplace_back(attribute, TWString(value));
}

bool oxGadgetElement::GetNamedValueAt(size_t index, oxAtom* attribute, TWString* value) const {
    if (index >= namedValues_.size()) {
        if (attribute) *attribute = 0;
        if (value) value->Empty();
        return false;
    }
    if (attribute) *attribute = namedValues_[index].first;
    if (value) *value = namedValues_[index].second;
    return true;
}

// -- content ---------------------------------------------------------------------------------------

void oxGadgetElement::WalkNodes(const oxMarkupNode* first, std::vector<int>& path, bool* found) {
    if (path.size() >= size_t(kMaxPathDepth)) return;
    int index = 0;
    for (const oxMarkupNode* node = first; node; node = node->GetNextSibling()) {
        if (MakesNoBox(node)) continue;
        path.push_back(index);
        if (IsContentPlaceholder(node)) {
            // Differs: the placeholder makes no box, so it takes no index; the boxes after it keep
            // the indices they have in the built tree.
            if (!*found) {
                contentPath_ = path;
                *found = true;
            }
            path.pop_back();
            continue;
        }
        if (const WCHAR* inherits = node->FindAttribute(kAtomInherits)) ParseForwardedAttributes(inherits, path);
        WalkNodes(node->GetFirstChild(), path, found);
        path.pop_back();
        ++index;
    }
}

void oxGadgetElement::ComputeContentPath() {
    // A gadget without parts keeps the path it copied from the gadgets it inherits.
    if (pathComputed_ || !content_) return;
    pathComputed_ = true;
    contentPath_.clear();
    forwards_.clear();
    std::vector<int> path;
    bool found = false;
    WalkNodes(content_, path, &found);
}

void oxGadgetElement::BuildContent(oxBox* box, bool attachOnly) {
    // A gadget among its own parts, directly or through others, would build without end.
    static int building = 0;
    if (building >= kMaxBuildNesting) {
        oxResourceScene* scene = SceneOf(box);
        if (scene && scene->GetResourceRuntime()) {
            WCHAR name[oxAtoms::kLookupUnits] = {};
            oxAtoms::GetName(box->GetTag(), name, oxAtoms::kLookupUnits);
            TWString message;
            message.Format(kGadgetTooDeepText, kMaxBuildNesting, name);
            scene->GetResourceRuntime()->ReportError(2, message.GetString());
        }
        return;
    }
    ++building;
    BuildContentWithin(box, attachOnly, 0);
    --building;
}

void oxGadgetElement::BuildContentWithin(oxBox* box, bool attachOnly, int depth) {
    if (!box || depth >= kMaxInheritDepth) return;
    if (content_) {
        if (!attachOnly) {
            for (const oxMarkupNode* node = content_; node; node = node->GetNextSibling()) {
                if (IsContentPlaceholder(node)) continue;
                oxElement* made = oxMarkupNode::Instantiate(node, box, true);
                OnContentNodeBuilt(node, box, made, true);
            }
        }
        ComputeContentPath();
        box->SetChangeFlag(kChangeHoldsContent, true);
    } else {
        for (oxBindableElement* base : Inherited()) {
            auto* gadget = dynamic_cast<oxGadgetElement*>(base);
            if (!gadget || gadget == this) continue;
            gadget->BuildContentWithin(box, attachOnly, depth + 1);
            if (!gadget->contentPath_.empty()) contentPath_ = gadget->contentPath_;
        }
    }
    // Content children go in where the placeholder stood.
    if (!contentPath_.empty())
        if (oxBox* part = FollowPath(box, contentPath_, contentPath_.size() - 1))
            part->SetContentInsertIndex(contentPath_.back());
}

oxBox* oxGadgetElement::FollowPath(oxBox* box, const std::vector<int>& path, size_t length) const {
    oxBox* at = box;
    for (size_t i = 0; at && i < length && i < path.size(); ++i) {
        if (path[i] < 0) break;
        int index = path[i];
        // A box whose content waits under its collapsed placeholder holds that placeholder first.
        if (at->GetStateFlags() & kStateContentPending) ++index;
        at = at->GetChildAt(index, false);
    }
    return at;
}

oxBox* oxGadgetElement::FindContentPart(oxBox* box) {
    if (!box || contentPath_.empty()) return nullptr;
    return FollowPath(box, contentPath_, contentPath_.size() - 1);
}

void oxGadgetElement::InstantiateOnBox(oxBox* box, bool attachOnly) {
    BuildContent(box, attachOnly);
    if (attachOnly) return;
    ApplyNamedValues(box);
    InstantiateCommandGroups(box);
    InstantiateKeyGroups(box);
}

void oxGadgetElement::InstantiateGroups(oxBox* box, std::vector<GroupRecord>& records, oxAtom tag) {
    oxResourceScene* scene = SceneOf(box);
    if (!scene) return;
    for (GroupRecord& record : records) {
        oxElement* group = scene->CreateGroupElement(box, tag, true);
        if (!group) continue;
        for (const auto& [atom, text] : record.attributes)
            (void)group->SetMarkupAttribute(0, atom, text.IsEmpty() ? u"" : text.GetString());
        for (const oxMarkupNode* node = record.first; node; node = node->GetNextSibling())
            (void)oxMarkupNode::Instantiate(node, group, false);
        group->EndElement();
    }
}

void oxGadgetElement::InstantiateCommandGroups(oxBox* box) {
    InstantiateGroups(box, commandGroups_, kAtomCommandGroup);
}

void oxGadgetElement::InstantiateKeyGroups(oxBox* box) {
    InstantiateGroups(box, keyGroups_, kAtomKeyGroup);
}

// -- named values and forwarded attributes -----------------------------------------------------------

void oxGadgetElement::ApplyNamedValues(oxBox* box) {
    (void)ApplyNamedValuesWithin(box, 0);
}

bool oxGadgetElement::ApplyNamedValuesWithin(oxBox* box, int depth) {
    if (!box || depth >= kMaxInheritDepth) return false;
    for (oxBindableElement* base : Inherited())
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(base); gadget && gadget != this)
            gadget->ApplyNamedValuesWithin(box, depth + 1);
    for (const auto& [atom, text] : namedValues_)
        (void)box->SetAttribute(atom, text.GetString(), true, false);
    return true;
}

void oxGadgetElement::ParseForwardedAttributes(const WCHAR* text, const std::vector<int>& path) {
    if (!text) return;
    const WCHAR* p = text;
    while (*p) {
        const WCHAR* end = p;
        while (*end && *end != u',')
            ++end;
        // One item: "target=source" or "source".
        TWString target, source;
        const WCHAR* at = p;
        while (at < end && *at == u' ')
            ++at;
        const WCHAR* equals = at;
        while (equals < end && *equals != u'=')
            ++equals;
        auto trimmed = [](const WCHAR* from, const WCHAR* to) {
            while (from < to && *from == u' ')
                ++from;
            while (to > from && to[-1] == u' ')
                --to;
            return TWString(from, int(to - from));
        };
        if (equals < end) {
            target = trimmed(at, equals);
            source = trimmed(equals + 1, end);
        } else {
            source = trimmed(at, end);
            target = source;
        }
        Forward forward;
        forward.path = path;
        forward.source = source.IsEmpty() ? 0 : oxAtoms::Intern(source.GetString());
        if (!target.IsEmpty() && target.GetString()[0] == u'$') {
            forward.propertyId = StylePropertyIdFromName(target.GetString() + 1);
        } else if (!target.IsEmpty()) {
            forward.target = oxAtoms::Intern(target.GetString());
        }
        if (forward.source && (forward.target || forward.propertyId >= 0)) forwards_.push_back(std::move(forward));
        p = *end ? end + 1 : end;
    }
}

// Differs: any box that carries the gadget forwards, constructed or not, so the attributes markup
// sets on a gadget box before the scene opens reach its parts too.
void oxGadgetElement::ApplyForward(oxBox* box, const Forward& forward, bool notify) {
    oxBox* part = FollowPath(box, forward.path, forward.path.size());
    if (!part || part == box) return;
    // States, flags, id and style read as the attributes they are set as; id and style come in a
    // shared buffer, so the text is copied first.
    const WCHAR* read = box->GetAttribute(forward.source);
    const TWString copy(read ? read : u"");
    const WCHAR* text = read ? copy.GetString() : nullptr;
    if (forward.target) {
        (void)part->SetAttribute(forward.target, text, notify, true);
    } else if (text) {
        (void)part->SetStylePropertyText(forward.propertyId, text, 0);
    } else {
        part->RemoveStyleValue(forward.propertyId);
    }
}

bool oxGadgetElement::ApplyForwardedWithin(oxBox* box, oxAtom source, bool all, bool notify, int depth) {
    if (!box || depth >= kMaxInheritDepth) return false;
    ComputeContentPath();
    for (const Forward& forward : forwards_)
        if (all || forward.source == source) ApplyForward(box, forward, notify);
    if (stopInherited_) return true;
    for (oxBindableElement* base : Inherited())
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(base); gadget && gadget != this)
            gadget->ApplyForwardedWithin(box, source, all, notify, depth + 1);
    return true;
}

void oxGadgetElement::ApplyAllForwardedAttributes(oxBox* box) {
    (void)ApplyForwardedWithin(box, 0, true, true, 0);
}

void oxGadgetElement::ApplyForwardedAttribute(oxBox* box, oxAtom source, bool notify) {
    if (source) (void)ApplyForwardedWithin(box, source, false, notify, 0);
}

bool oxGadgetElement::IsPartWithKeyWithin(oxBox* box, oxBox* part, oxAtom key, int depth) {
    if (!box || !part || depth >= kMaxInheritDepth) return false;
    ComputeContentPath();
    for (const Forward& forward : forwards_)
        if (forward.source == key && FollowPath(box, forward.path, forward.path.size()) == part) return true;
    for (oxBindableElement* base : Inherited())
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(base); gadget && gadget != this)
            if (gadget->IsPartWithKeyWithin(box, part, key, depth + 1)) return true;
    return false;
}

bool oxGadgetElement::IsPartWithKey(oxBox* box, oxBox* part, oxAtom key) {
    if (forwards_.empty() && pathComputed_ && Inherited().empty()) return false;
    return IsPartWithKeyWithin(box, part, key, 0);
}

// -- the box's side --------------------------------------------------------------------------------

void oxGadgetElement::AttachBox(oxBox* box) {
    if (box) boxes_.insert(box);
}

void oxGadgetElement::DetachBox(oxBox* box) {
    if (!box || !boxes_.erase(box)) return;
    oxGadgetInstance::DestroyFor(box);
    box->SetChangeFlag(kChangeGadgetInstance, false);
}

void oxGadgetElement::OnAttributeChanged(oxBox* box, oxAtom attribute, bool notify) {
    ApplyForwardedAttribute(box, attribute, notify);
}

bool oxGadgetElement::HandleEvent(oxBox* box, oxEvent* event) {
    return HandleEventWithin(box, event, 0);
}

bool oxGadgetElement::HandleEventWithin(oxBox* box, oxEvent* event, int depth) {
    if (!box || !event || depth >= kMaxInheritDepth) return false;
    if (behavior_ && behavior_->HandleEvent(box, event)) return true;
    if (stopInherited_) return false;
    for (oxBindableElement* base : Inherited())
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(base); gadget && gadget != this)
            if (gadget->HandleEventWithin(box, event, depth + 1)) return true;
    return false;
}

// -- parts built while the scene is open -------------------------------------------------------------

void oxGadgetElement::OnContentNodeBuilt(const oxMarkupNode* node, oxBox* gadgetBox, oxElement* made, bool registerIt) {
    if (!node || !gadgetBox) return;
    if (node->GetTag() == kAtomBinding) {
        if (auto* binding = dynamic_cast<oxDataBinding*>(made)) binding->SetGadgetBox(gadgetBox);
        return;
    }
    if (made && made->IsBox()) RegisterEngagedParts(gadgetBox, static_cast<oxBox*>(made), registerIt);
}

void oxGadgetElement::RegisterEngagedParts(oxBox* gadgetBox, oxBox* box, bool registerIt) {
    if (!box) return;
    bool registered = false;
    if (registerIt) {
        oxResourceScene* scene = SceneOf(box);
        if (scene && scene->IsConstructing() && !box->GetGadgetElement()) {
            engaged_.push_back(box);
            box->AddRef();
            registered = true;
        }
    }
    if (!box->GetOwner()) box->SetOwner(gadgetBox);
    // Styled again with its owner.
    if (box->GetStyleRecord()) {
        box->SetStyleRecord(nullptr);
        box->SetChangeFlag(kChangeStyleDirty, true);
        box->MarkAncestorsDirty();
    }
    for (int i = 0; i < box->GetChildCount(); ++i)
        RegisterEngagedParts(gadgetBox, box->GetChildAt(i, false), registered);
}

void oxGadgetElement::ReleaseEngagedParts() {
    ReleaseEngagedPartsWithin(0);
}

void oxGadgetElement::ReleaseEngagedPartsWithin(int depth) {
    if (depth >= kMaxInheritDepth) return;
    std::vector<oxBox*> parts;
    parts.swap(engaged_);
    for (oxBox* part : parts) {
        oxNotificationEvent created(kAtomBoxCreated, part);
        (void)part->HandleEvent(&created);
        part->Release();
    }
    if (content_) return;
    for (oxBindableElement* base : Inherited())
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(base); gadget && gadget != this)
            gadget->ReleaseEngagedPartsWithin(depth + 1);
}

// -- scripts ---------------------------------------------------------------------------------------

void oxGadgetElement::AddScriptSource(oxAtom kind, oxAtom language, const WCHAR* url) {
    if (!language || !url) return;
    for (const ScriptSource& source : scriptSources_)
        if (source.language == language && source.url.Compare(url) == 0) return;
    scriptSources_.push_back(ScriptSource{kind, language, TWString(url), false});
}

void oxGadgetElement::LoadScripts(oxScriptContext* context) {
    if (!context || contextName_.IsEmpty()) return;
    oxResourceRuntime* runtime = library_ ? dynamic_cast<oxResourceRuntime*>(library_->GetRuntime()) : nullptr;
    for (ScriptSource& source : scriptSources_) {
        if (source.loaded) continue;
        source.loaded = true; // tried once, whatever happens
        NUBO::XStream* raw = nullptr;
        if (!SceneMayOpen(source.url.GetString()) || OpenUriStream(source.url.GetString(), &raw) != 0 || !raw) {
            if (runtime) runtime->ReportFileNotFound(source.url.GetString());
            continue;
        }
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        if (oxScriptContext::LoadScriptText(context, stream.get(), contextName_.GetString(), source.url.GetString(),
                                            nullptr) != 0 &&
            runtime && runtime->GetErrorReporter())
            runtime->GetErrorReporter()->ReportScriptError(kErrorLoadingScript);
    }
}

void oxGadgetElement::EnsureScriptObject(oxBox* box) {
    if (!box || box->TestChangeFlags(kChangeGadgetInstance) || scriptSource_.IsEmpty()) return;
    oxResourceScene* scene = SceneOf(box);
    oxResourceRuntime* runtime = scene ? scene->GetResourceRuntime() : nullptr;
    if (!runtime) return;
    oxGadgetInstance* instance = runtime->CreateGadgetInstance(scriptSource_.GetString(), language_, box);
    if (!instance) return;
    box->SetChangeFlag(kChangeGadgetInstance, true);
    if (!instance->Instantiate()) {
        delete instance;
        box->SetChangeFlag(kChangeGadgetInstance, false);
    }
}
