#pragma once
// oxGadgetElement: a `gadget` resource, a reusable box kind. Its id is the tag it defines; every box
// made with that tag gets the gadget's recorded parts as children, its named values as attributes,
// fresh copies of its command and key groups, its behaviour as event handler and, on first use, a
// script instance of its own (oxGadgetInstance). Attributes of the gadget box are forwarded to the
// parts whose `inherits` names them. A gadget may inherit other gadgets: their content when it has
// none, their values, forwarded attributes and handlers after (or before) its own.
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/base/markup_node.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/library/bindable_element.h"

class oxBehaviorResource;
class oxBox;
class oxGadgetElement;
class oxGadgetInstance;
class oxScriptContext;

inline constexpr const WCHAR* kErrorLoadingScript = u"Error loading script.";

// The element that records what the sections `attributes`, `parts`, `commandGroup` and `keyGroup`
// of one gadget hold. One per gadget serves every section.
class oxGadgetSectionRecorder : public oxElement {
public:
    explicit oxGadgetSectionRecorder(oxGadgetElement* gadget) : gadget_(gadget) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

private:
    oxGadgetElement* gadget_;
};

class oxGadgetElement : public oxBindableElement, public oxBoxGadget {
public:
    // Paths deeper than this from the gadget box to a part are not followed.
    static constexpr int kMaxPathDepth = 64;

    explicit oxGadgetElement(oxLibrary* library);
    ~oxGadgetElement() override;

    // `script`/`code`, `language`, `type`, `base`; the rest goes to the bindable base.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // Resolves the script source against the library's base, then registers the gadget.
    void EndElement() override;

    // The box kind of the gadget's boxes: its `base` tag, 0 (a plain box) without one.
    oxAtom GetBaseTag() const { return baseTag_; }
    oxAtom GetLanguage() const { return language_; }
    const NUBO::TWString& GetScriptSource() const { return scriptSource_; }
    const oxQualifiedName& GetType() const { return type_; }
    const NUBO::TWString& GetScriptContextName() const { return contextName_; }
    void SetScriptContextName(const WCHAR* name) { contextName_ = name ? name : u""; }
    bool IsScriptLoaded() const { return scriptLoaded_; }
    void SetScriptLoaded(bool on) { scriptLoaded_ = on; }

    // Builds the content, then (unless attachOnly) writes the named values and makes the groups.
    void InstantiateOnBox(oxBox* box, bool attachOnly);
    void BuildContent(oxBox* box, bool attachOnly);
    // Fresh command (key) groups for the box from the recorded ones, kept by the scene for the box.
    void InstantiateCommandGroups(oxBox* box);
    void InstantiateKeyGroups(oxBox* box);
    const std::vector<int>& GetContentPath() const { return contentPath_; }
    bool HasContent() const { return content_ != nullptr; }
    static bool IsContentPlaceholder(const oxMarkupNode* node);

    // Recording (the section recorder hands over what it reads).
    void RecordNode(oxMarkupNode* node);
    void RecordAttribute(oxAtom attribute, const WCHAR* value);

    // Named values.
    size_t GetNamedValueCount() const { return namedValues_.size(); }
    bool GetNamedValueAt(size_t index, oxAtom* attribute, NUBO::TWString* value) const;
    void ApplyNamedValues(oxBox* box);

    // Forwarded attributes.
    void ParseForwardedAttributes(const WCHAR* text, const std::vector<int>& path);
    void ApplyAllForwardedAttributes(oxBox* box);
    void ApplyForwardedAttribute(oxBox* box, oxAtom source, bool notify);

    // Script sources named by `script`/`code` children, loaded into the gadget's context once each.
    void AddScriptSource(oxAtom kind, oxAtom language, const WCHAR* url);
    void LoadScripts(oxScriptContext* context);
    // "boxCreated" to each part registered while the box's content was built, then released.
    void ReleaseEngagedParts();
    void RegisterEngagedParts(oxBox* gadgetBox, oxBox* box, bool registerIt);
    void OnContentNodeBuilt(const oxMarkupNode* node, oxBox* gadgetBox, oxElement* made, bool registerIt);

    // oxBoxGadget
    oxElement* GetGadgetElement() override { return this; }
    void AttachBox(oxBox* box) override;
    void DetachBox(oxBox* box) override;
    void OnAttributeChanged(oxBox* box, oxAtom attribute, bool notify) override;
    bool HandleEvent(oxBox* box, oxEvent* event) override;
    bool IsPartWithKey(oxBox* box, oxBox* part, oxAtom key) override;
    void EnsureScriptObject(oxBox* box) override;
    oxBox* FindContentPart(oxBox* box) override;
    void AdoptPart(oxBox* box, oxBox* part) override { RegisterEngagedParts(box, part, false); }

    oxBehaviorResource* GetBehavior() const { return behavior_; }

private:
    struct GroupRecord {
        oxMarkupNode* first = nullptr; // owned chain
        oxMarkupNode* last = nullptr;
        std::vector<std::pair<oxAtom, NUBO::TWString>> attributes;
    };
    struct Forward {
        std::vector<int> path;
        oxAtom source = 0;
        oxAtom target = 0; // 0 when the target is a style property
        int propertyId = -1;
    };
    struct ScriptSource {
        oxAtom kind;
        oxAtom language;
        NUBO::TWString url;
        bool loaded = false;
    };

    void ComputeContentPath();
    void WalkNodes(const oxMarkupNode* first, std::vector<int>& path, bool* found);
    void InstantiateGroups(oxBox* box, std::vector<GroupRecord>& records, oxAtom tag);
    const std::vector<oxBindableElement*>& Inherited() { return ResolveInherits(kAtomGadget); }
    oxBox* FollowPath(oxBox* box, const std::vector<int>& path, size_t length) const;
    void ApplyForward(oxBox* box, const Forward& forward, bool notify);
    bool ApplyForwardedWithin(oxBox* box, oxAtom source, bool all, bool notify, int depth);
    bool ApplyNamedValuesWithin(oxBox* box, int depth);
    bool HandleEventWithin(oxBox* box, oxEvent* event, int depth);
    bool IsPartWithKeyWithin(oxBox* box, oxBox* part, oxAtom key, int depth);
    void BuildContentWithin(oxBox* box, bool attachOnly, int depth);
    void ReleaseEngagedPartsWithin(int depth);

    oxGadgetSectionRecorder recorder_{this};
    oxMarkupNode* content_ = nullptr; // owned chain
    oxMarkupNode* contentLast_ = nullptr;
    int contentCount_ = 0;
    std::vector<int> contentPath_;
    bool pathComputed_ = false;
    std::vector<GroupRecord> commandGroups_;
    std::vector<GroupRecord> keyGroups_;
    oxAtom section_ = 0;
    oxQualifiedName type_;
    oxAtom language_ = kAtomJscript;
    oxAtom baseTag_ = 0;
    NUBO::TWString scriptSource_;
    NUBO::TWString contextName_;
    bool scriptLoaded_ = false;
    std::vector<ScriptSource> scriptSources_;
    std::vector<Forward> forwards_;
    std::vector<std::pair<oxAtom, NUBO::TWString>> namedValues_;
    oxBehaviorResource* behavior_ = nullptr; // owned
    bool stopInherited_ = false;
    std::vector<oxBox*> engaged_;      // one reference each
    std::unordered_set<oxBox*> boxes_; // the boxes that carry this gadget
};
