#include "toolkit/library/gadget_instance.h"

#include <cstdio>
#include <unordered_map>

#include "runtime/ref_ptr.h"
#include "runtime/script_variant.h"
#include "runtime/stream.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/resource_host.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_helper.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// Appended to the gadget's script: makes one component for the gadget box being instantiated.
constexpr const WCHAR* kCreateGadgetText =
    u"var __newInstance;\nfunction createGadget() \n{\n\t __newInstance = new "
    u"component(__scriptHelper.getGadgetBox());\n\t return __newInstance;\n}\n\n";
constexpr const WCHAR* kNameInstanceText =
    u"__newInstance.scene = __scriptHelper.getSceneProxy();\n__newInstance._gadget "
    u"= __scriptHelper.getGadgetBox();\nvar %s = __newInstance;\n__newInstance=null;\n";
constexpr const WCHAR* kCleanUpText = u"try { %s.scene = null;delete %s;\n%s = null;\n } catch(err) { }";
constexpr const WCHAR* kContextNameFormat = u"_GadgetContext_%s";
constexpr size_t kMaxTagNameUnits = 256;

std::unordered_map<const oxBox*, oxGadgetInstance*>& Instances() {
    static std::unordered_map<const oxBox*, oxGadgetInstance*> instances;
    return instances;
}

oxResourceScene* SceneOf(const oxBox* box) {
    return box ? dynamic_cast<oxResourceScene*>(box->GetScene()) : nullptr;
}

oxResourceRuntime* RuntimeOf(const oxBox* box) {
    oxResourceScene* scene = SceneOf(box);
    return scene ? scene->GetResourceRuntime() : nullptr;
}

void ReportScriptError(const oxBox* box, const WCHAR* text) {
    oxResourceRuntime* runtime = RuntimeOf(box);
    if (runtime && runtime->GetErrorReporter()) runtime->GetErrorReporter()->ReportScriptError(text);
}

// The box's Box object, with a reference, or null.
XObject* BoxObject(oxBox* box) {
    oxResourceRuntime* runtime = RuntimeOf(box);
    XObject* object = nullptr;
    if (!runtime || !runtime->GetScriptObjectCache() || !runtime->GetScriptObjectCache()->GetBoxObject(box, &object))
        return nullptr;
    return object;
}

} // namespace

oxGadgetInstance::oxGadgetInstance(const WCHAR* src, oxBox* box, bool language, oxScriptContext* context)
    : src_(src ? src : u""), box_(box), language_(language), context_(context) {
    if (context_) context_->AddRef();
}

oxGadgetInstance::~oxGadgetInstance() {
    auto it = Instances().find(box_);
    if (it != Instances().end() && it->second == this) Instances().erase(it);
    oxGadgetElement* gadget = box_ && language_ ? FindGadget() : nullptr;
    if (gadget && context_ && !name_.IsEmpty() && !gadget->GetScriptContextName().IsEmpty()) {
        TWString text;
        text.Format(kCleanUpText, name_.GetString(), name_.GetString(), name_.GetString());
        (void)context_->RunScript(text, gadget->GetScriptContextName().GetString(), src_.GetString());
    }
    if (context_) context_->Release();
    if (component_) component_->Release();
}

oxGadgetInstance* oxGadgetInstance::For(const oxBox* box) {
    auto it = Instances().find(box);
    return it == Instances().end() ? nullptr : it->second;
}

void oxGadgetInstance::DestroyFor(const oxBox* box) {
    delete For(box);
}

oxGadgetElement* oxGadgetInstance::FindGadget() const {
    if (!box_) return nullptr;
    oxResourceScene* scene = SceneOf(box_);
    if (scene)
        if (auto* gadget = dynamic_cast<oxGadgetElement*>(scene->FindGadgetByTag(box_->GetTag()))) return gadget;
    return dynamic_cast<oxGadgetElement*>(box_->GetGadgetElement());
}

const WCHAR* oxGadgetInstance::ItemName() const {
    oxGadgetElement* gadget = FindGadget();
    return gadget ? gadget->GetScriptContextName().GetString() : u"";
}

void oxGadgetInstance::LoadScript(oxBox* box, bool language) {
    (void)language;
    oxResourceScene* scene = SceneOf(box);
    auto* gadget = scene ? dynamic_cast<oxGadgetElement*>(scene->FindGadgetByTag(box->GetTag())) : nullptr;
    if (!context_ || !gadget) return;
    const TWString& known = gadget->GetScriptContextName();
    if (!known.IsEmpty() && context_->HasScriptItem(known.GetString()) == 0) return;
    oxResourceRuntime* runtime = scene->GetResourceRuntime();
    NUBO::XStream* rawStream = nullptr;
    if (OpenUriStream(src_.GetString(), &rawStream) != 0 || !rawStream) {
        if (runtime) runtime->ReportFileNotFound(src_.GetString());
        return;
    }
    RefPtr<NUBO::XStream> stream(rawStream);
    WCHAR tagName[kMaxTagNameUnits] = {};
    oxAtoms::GetName(box->GetTag(), tagName, kMaxTagNameUnits);
    TWString name;
    name.Format(kContextNameFormat, tagName);
    (void)context_->AddNamedItem(name.GetString(), nullptr);
    HRESULT hr =
        oxScriptContext::LoadScriptText(context_, stream.get(), name.GetString(), src_.GetString(), kCreateGadgetText);
    if (hr == 0) {
        gadget->SetScriptContextName(name.GetString());
        gadget->SetScriptLoaded(true);
        gadget->LoadScripts(context_);
    } else {
        ReportScriptError(box, kErrorLoadingScript);
    }
}

bool oxGadgetInstance::Instantiate() {
    if (!context_) return false;
    if (language_ && box_) {
        LoadScript(box_, language_);
        Instances()[box_] = this;
    }
    oxGadgetElement* gadget = FindGadget();
    bool done = false;
    if (gadget && !gadget->GetScriptContextName().IsEmpty()) {
        RefPtr<XObject> boxObject(BoxObject(box_));
        XObject* sceneObject = nullptr;
        if (oxResourceScene* scene = SceneOf(box_)) (void)scene->GetScriptObject(&sceneObject);
        RefPtr<XObject> heldScene(sceneObject);
        SetScriptHelperTargets(boxObject.get(), heldScene.get());
        TWString name;
        name.Format(u"_GadgetInstance_%p", static_cast<void*>(box_));
        const WCHAR* item = gadget->GetScriptContextName().GetString();
        XVariant result;
        if (context_->Evaluate(TWString(u"createGadget();\n"), item, &result) == 0) {
            if (XObject* component = result.ToXObject()) {
                if (component_) component_->Release();
                component_ = component;
            }
        }
        if (component_) {
            TWString text;
            text.Format(kNameInstanceText, name.GetString());
            // Differs: run in the gadget's item, where __newInstance lives, with the src naming the text.
            if (context_->RunScript(text, item, src_.GetString()) == 0) {
                name_ = name;
                done = true;
            }
        }
        SetScriptHelperTargets(nullptr, nullptr);
    }
    if (done) return true;
    Instances().erase(box_);
    ReportScriptError(box_, kErrorInstantiatingGadget);
    return false;
}

int oxGadgetInstance::Evaluate(const WCHAR* expression, XVariant* out) {
    if (!context_ || !expression) return 0;
    XVariant ignored;
    XVariant* result = out ? out : &ignored;
    if (language_) {
        TWString text(name_);
        text += u".";
        text += expression;
        return context_->Evaluate(text, ItemName(), result) == 0 ? 1 : 0;
    }
    return context_->Evaluate(TWString(expression), name_.GetString(), result) == 0 ? 1 : 0;
}

bool oxGadgetInstance::RunScript(const WCHAR* text) {
    if (!context_ || !text) return false;
    if (language_) {
        TWString full(name_);
        full += u".";
        full += text;
        return context_->RunScript(full, ItemName(), src_.GetString()) == 0;
    }
    return context_->RunScript(TWString(text), name_.GetString(), src_.GetString()) == 0;
}

bool oxGadgetInstance::RunScriptForBox(const WCHAR* text, oxBox* box) {
    RefPtr<XObject> boxObject(box ? BoxObject(box) : nullptr);
    SetScriptHelperTargets(boxObject.get(), nullptr);
    bool ran = RunScript(text);
    SetScriptHelperTargets(nullptr, nullptr);
    return ran;
}

int oxGadgetInstance::EvaluateWithObject(const WCHAR* expression, XObject* object, XVariant* out) {
    if (!expression || !object) return 0;
    SetScriptHelperTargets(object, nullptr);
    int done = Evaluate(expression, out);
    SetScriptHelperTargets(nullptr, nullptr);
    return done;
}

bool oxGadgetInstance::CallMethod(const WCHAR* name, const VARIANT* argument) {
    if (!name || !*name || !component_) return false;
    // The component may drop its last reference to the instance's box while it runs.
    NUBO::RefPtr<XObject> held = NUBO::RefPtr<XObject>::ref(component_);
    int32_t result = argument ? XObject::CallMethod1NoResult(held.get(), name, *argument)
                              : XObject::CallMethod0NoResult(held.get(), name);
    return result == 0;
}
