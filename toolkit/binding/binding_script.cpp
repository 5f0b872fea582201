// What bindings share: running their transformers and validators in a script, the text of a
// style property as markup writes it, and the maker of object sources that the script classes
// install.
#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/binding_host.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

oxObjectSourceMaker gMaker = nullptr;

// Evaluates the name in the script instance of the binding's gadget box, the value being the
// current data as for scene scripts.
oxBindingScriptResult RunInGadget(const WCHAR* value, const WCHAR* text, oxBindingElement* binding,
                                  oxScriptObjectCache* cache, NUBO::XVariant* result) {
    oxBox* box = binding->GetGadgetBox();
    if (!box) return oxBindingScriptResult::kNoScript;
    NUBO::RefPtr<oxBox> hold = NUBO::RefPtr<oxBox>::ref(box);
    if (oxBoxGadget* gadget = box->GetGadget()) gadget->EnsureScriptObject(box);
    oxGadgetInstance* instance = oxGadgetInstance::For(box);
    if (!instance) return oxBindingScriptResult::kNoScript;
    if (cache) cache->SetCurrentData(value);
    const int ran = instance->Evaluate(text, result);
    if (cache) cache->SetCurrentData(nullptr);
    return ran == 1 ? oxBindingScriptResult::kRan : oxBindingScriptResult::kFailed;
}

} // namespace

void SetObjectSourceMaker(oxObjectSourceMaker maker) {
    gMaker = maker;
}

bool CreateObjectSourceFor(NUBO::XObject* object, oxBindingSource** out) {
    if (!out) return false;
    if (*out) {
        (*out)->ReleaseSourceRef();
        *out = nullptr;
    }
    return object && gMaker && gMaker(object, out);
}

// The text of a style value as markup writes it: numbers keep their unit ("55px"), which the
// value's own text form leaves out, so the way back would lose the unit.
WCHAR* GetBoundStyleText(oxBox* box, int propertyId) {
    oxStyleValue v;
    box->GetStyleValue(propertyId, &v);
    int keyword = -1;
    switch (v.GetType()) {
    case kStylePercent:
        keyword = kKeywordPercent;
        break;
    case kStylePx:
        keyword = kKeywordPx;
        break;
    case kStylePt:
        keyword = kKeywordPt;
        break;
    case kStyleEm:
        keyword = kKeywordEm;
        break;
    case kStyleSeconds:
        keyword = kKeywordS;
        break;
    case kStyleMs:
        keyword = kKeywordMs;
        break;
    case kStyleScaled:
        keyword = kKeywordScaled;
        break;
    default:
        return v.ToString();
    }
    std::u16string text;
    for (char c : std::to_string(int32_t(v.GetValue())))
        text += char16_t(c);
    const WCHAR* unit = StyleKeywordNameFromId(keyword);
    if (unit) text += unit;
    return DupWideString(text.c_str());
}

WCHAR* GetBoundValueText(oxBox* box, const WCHAR* name, bool isStyle) {
    if (!box || !name) return nullptr;
    if (isStyle) {
        int id = StylePropertyIdFromName(name);
        return id >= 0 ? GetBoundStyleText(box, id) : nullptr;
    }
    const WCHAR* text = box->GetAttribute(oxAtoms::Intern(name));
    return DupWideString(text ? text : u"");
}

oxBindingScriptResult ExecuteBindingScript(const WCHAR* value, const oxQualifiedName& name, oxBindingElement* binding,
                                           NUBO::XVariant* result) {
    const WCHAR* text = name.GetText();
    if (!value || !binding || !text || !*text) return oxBindingScriptResult::kNoScript;
    oxBindingScene* scene = binding->GetScene();
    oxBindingRuntime* runtime = scene ? scene->GetBindingRuntime() : nullptr;
    if (!runtime) return oxBindingScriptResult::kNoScript;
    // The toolkit's own script is the built-in command handler: its names are validation words.
    if (name.GetPrefix() == kAtomToolkit)
        return runtime->RunToolkitBindingScript(text, value, result) ? oxBindingScriptResult::kRan
                                                                     : oxBindingScriptResult::kNoScript;
    oxScriptObjectCache* cache = runtime->GetScriptObjectCache();
    if (name.GetPrefix() == kAtomGadget) return RunInGadget(value, text, binding, cache, result);
    if (!scene->GetScriptById(name.GetPrefix())) return oxBindingScriptResult::kNoScript;
    oxScriptContextManager* manager = runtime->GetScriptContextManager();
    oxScriptContext* raw = nullptr;
    if (!manager || scene->GetContextName().IsEmpty() ||
        manager->GetContext(scene->GetContextName().GetString(), &raw) != 0)
        return oxBindingScriptResult::kNoScript;
    NUBO::RefPtr<oxScriptContext> context(raw);
    NUBO::RefPtr<oxBindingScene> hold = NUBO::RefPtr<oxBindingScene>::ref(scene);
    if (cache) cache->SetCurrentData(value);
    HRESULT hr = context->Evaluate(NUBO::TWString(text), u"", result);
    if (cache) cache->SetCurrentData(nullptr);
    return FAILED(hr) ? oxBindingScriptResult::kFailed : oxBindingScriptResult::kRan;
}
