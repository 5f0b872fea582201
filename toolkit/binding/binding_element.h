#pragma once
// oxBindingElement: a `binding` element. It ties a property of a target box (an attribute, or a
// style property written "$name") to a source: another box's property (element source), a named
// script object (object source), a collection replicated into child boxes (collection source, with
// a row tree), or XML. Values travel from source to target when the source changes and, for
// two-way bindings, back when the target changes; on the way they may pass through script
// transformers and a validator. The element is counted (starting at 0); the box it was made on
// keeps it in its binding table.
#include <cstdint>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/element.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_binding.h"

class oxBindingSource;
class oxRowTemplate;
class oxRowTree;
class oxBindingScene;
class oxScriptObjectCache;
namespace NUBO {
class XObject;
class XVariant;
} // namespace NUBO

class oxBindingElement final : public oxElement, public oxChangeListener, public oxDataBinding {
public:
    enum BindType : int32_t {
        kNotSet = 0,
        kElementSource = 1,
        kObjectSource = 2,
        kCollectionSource = 3,
        kXmlSource = 4
    };
    static constexpr uint32_t kDeletingCount = 0xC0000001u;

    // `box` is the target and the scope; `fromMarkup` marks an element read from markup.
    oxBindingElement(oxBox* box, bool fromMarkup);
    ~oxBindingElement() override;

    ULONG AddRef() override;
    ULONG Release() override;
    uint32_t GetRefCount() const { return refCount_; }

    // Markup.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    int32_t CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) override {
        (void)direct;
        return CreateChildElement(ns, tag, out);
    }
    // Read whole: connects when the scope belongs to a scene.
    void EndElement() override;

    // oxDataBinding.
    const WCHAR* GetBindingName() const override { return name_.GetString(); }
    void SetBindingName(const WCHAR* name) override { name_ = name ? name : u""; }
    oxAtom GetBindingId() const override { return id_; }
    oxBox* GetTargetBox() const override { return target_; }
    oxDataBinding* CloneFor(oxBox* target) override;
    oxBox* GetElementSourceBox() const override { return sourceBox_; }
    void SetElementSourceBox(oxBox* box) override { SetElementSource(box); }
    void Start() override { Connect(false); }
    void Unbind() override;
    void OnBoxDestroyed(oxBox* box) override;
    // Forgets every link to a box that is going (target, scope, element source, gadget).
    void ForgetBox(oxBox* box);

    // oxChangeListener: the target changed.
    void OnAttributeChanged(oxBox* box, oxAtom attribute) override;
    void OnStyleChanged(oxBox* box, int propertyId) override;

    // Target property: "$name" for a style property, else an attribute name.
    void SetTargetProperty(const WCHAR* text);
    const WCHAR* GetTargetProperty() const;
    // The target's value of the bound property, as new text (free with free()); null when none.
    WCHAR* GetTargetValueText() const;
    oxBox* ResolveId(const WCHAR* text) const;
    bool ResolveTarget();
    bool ResolveElementSource();
    bool ResolveObjectSource();

    void Connect(bool reconnect);
    void Disconnect();
    void DetachTarget(bool unlisten);
    // Runs the validator over the target's value; sets the target's "invalidData".
    bool RunValidator();
    // Source to target.
    void SetTargetValue(const WCHAR* text);
    // initial: the source's value goes to the target (a collection is replicated); otherwise the
    // target's value (or the row box's attribute `key`) goes back to the source.
    void Transfer(oxBox* box, oxAtom key, bool initial);

    // Setters; a connected binding is taken apart and connected again.
    void SetTargetId(const WCHAR* text);
    void SetTarget(oxBox* box);
    void SetElementSource(oxBox* box);
    void SetSourceId(const WCHAR* text, bool resolveNow);
    void SetSourceObject(NUBO::XObject* object);
    void SetPath(const WCHAR* text);

    // Fields scripts and the repeaters read.
    int32_t GetBindType() const { return bindType_; }
    void SetBindType(int32_t type) { bindType_ = type; }
    oxAtom GetBindMethod() const { return bindMethod_; }
    void SetBindMethod(oxAtom atom) { bindMethod_ = atom; }
    oxAtom GetUpdateMethod() const { return updateMethod_; }
    // Rows replicated from the source: a collection source, or an XML source with templates.
    bool IsReplicating() const { return bindType_ == kCollectionSource || (bindType_ == kXmlSource && rowTree_); }
    void SetUpdateMethod(oxAtom atom) { updateMethod_ = atom; }
    oxAtom GetReplication() const { return replication_; }
    void SetReplication(oxAtom atom) { replication_ = atom; }
    bool IsUpdating() const { return updating_; }
    void SetUpdating(bool on) { updating_ = on; }
    bool IsConnected() const { return connected_; }
    bool IsTwoWay() const { return bindMethod_ == kAtomTwoWay; }
    const NUBO::TWString& GetTargetId() const { return targetId_; }
    const NUBO::TWString& GetSourceId() const { return sourceId_; }
    const NUBO::TWString& GetPath() const { return path_; }
    bool IsStyleTarget() const { return isStyle_; }
    oxAtom GetTargetAttribute() const { return attribute_; }
    int GetTargetStyleId() const { return styleId_; }
    void SetSourceTransformer(const WCHAR* text) { sourceTransformer_.Parse(text); }
    void SetTargetTransformer(const WCHAR* text) { targetTransformer_.Parse(text); }
    void SetValidator(const WCHAR* text) { validator_.Parse(text); }
    oxBox* GetScopeBox() const { return scope_; }
    NUBO::XObject* GetSourceObject() const { return object_; }
    oxBindingSource* GetSource() const { return source_; }
    oxRowTree* GetRowTree() const { return rowTree_; }
    // The row tree, made when missing (by the first template or the `key` attribute).
    oxRowTree* EnsureRowTree();
    const std::vector<oxRowTemplate*>& GetTemplates() const { return templates_; }
    oxBindingScene* GetScene() const;
    // The wrapper cache that made the binding's DataBinding object, told when the binding goes.
    void SetScriptCache(oxScriptObjectCache* cache) { scriptCache_ = cache; }
    // The enclosing gadget box of the scope, cached.
    oxBox* GetGadgetBox();
    // A binding among a gadget's parts is told its gadget box when the part is built.
    void SetGadgetBox(oxBox* box) override { gadgetBox_ = box; }

private:
    oxBindingElement(const oxBindingElement& other, oxBox* target);
    void ReleaseSource();
    // Hands the binding to its loading scene, to be connected once loading is done.
    void HandToScene();
    // Writes `text` into the source, through the validator and the target transformer.
    void SendToSource(oxBox* box, const WCHAR* text, const WCHAR* field, bool isStyle);

    uint32_t refCount_ = 0;
    int32_t bindType_ = kNotSet;
    oxAtom bindMethod_ = kAtomTwoWay;
    oxAtom updateMethod_ = kAtomOnDataChanged;
    oxAtom replication_ = kAtomFull;
    bool updating_ = false;
    bool connected_ = false;
    bool unbinding_ = false;
    bool fromMarkup_ = false;
    NUBO::TWString targetId_;
    oxBox* target_ = nullptr;
    bool isStyle_ = false;
    oxAtom attribute_ = 0;
    int styleId_ = -1;
    oxQualifiedName targetTransformer_;
    oxQualifiedName validator_;
    oxQualifiedName sourceTransformer_;
    NUBO::TWString sourceId_;
    oxBox* sourceBox_ = nullptr;
    oxBox* scope_ = nullptr;
    oxBox* owner_ = nullptr;          // the box whose binding table holds the element
    NUBO::XObject* object_ = nullptr; // one reference
    NUBO::TWString path_;
    oxBindingSource* source_ = nullptr;     // one reference
    std::vector<oxRowTemplate*> templates_; // owned
    oxBox* gadgetBox_ = nullptr;
    oxRowTree* rowTree_ = nullptr; // owned
    NUBO::TWString name_;
    oxScriptObjectCache* scriptCache_ = nullptr;
};

// Runs a transformer or validator named by a qualified name over a value text: the value becomes
// the Shell's current data and the name's text is evaluated in the script the prefix names ("toolkit",
// "gadget", a scene script's id, or none for the scene's default script).
enum class oxBindingScriptResult { kNoScript, kRan, kFailed };
oxBindingScriptResult ExecuteBindingScript(const WCHAR* value, const oxQualifiedName& name, oxBindingElement* binding,
                                           NUBO::XVariant* result);

// A style property's value as text with its unit ("55px"), new (free with free()).
WCHAR* GetBoundStyleText(oxBox* box, int propertyId);
// A row box's value named `name`: the style property of that name (with its unit) or the attribute
// ("" when unset); new (free with free()), null for an unknown style property.
WCHAR* GetBoundValueText(oxBox* box, const WCHAR* name, bool isStyle);
