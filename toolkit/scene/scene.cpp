#include "toolkit/scene/scene.h"

#include <new>

#include "platform/crt/wide.h"
#include "runtime/script_object.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene_script_context.h"
#include "toolkit/scene/scene_script_object.h"
#include "toolkit/scene/script_context_manager.h"
#include "toolkit/scene/script_element.h"
#include "toolkit/scene/script_object_cache.h"

using NUBO::TWString;
using NUBO::XObject;

namespace {

inline constexpr const WCHAR* kScriptAlreadyLoadedText = u"Script was already loaded. File: ";

TWString LoadedScriptKey(oxAtom id, oxAtom language, const WCHAR* source) {
    TWString key;
    key.Format(u"%d %d %s", int(id), int(language), source ? source : u"");
    return key;
}

} // namespace

oxScene::oxScene(oxRuntime* runtime, const WCHAR* uri, XObject* params, int32_t embedded, int32_t windowSubFlag)
    : oxLibrary(0, uri, runtime), runtime_(runtime), embedded_(embedded), windowSubFlag_(windowSubFlag) {
    // FIXME: the params object becomes the Scene object's params view with the script API.
    (void)params;
    if (runtime_ && runtime_->GetScriptObjectCache())
        runtime_->GetScriptObjectCache()->GetSceneObject(this, &sceneObject_);
}

oxScene::~oxScene() {
    for (oxScriptElement* open : openScripts_) {
        open->DetachScene();
        delete open;
    }
    openScripts_.Clear();
    if (root_) {
        if (runtime_) runtime_->ForgetSceneContextName(root_);
        oxBox* root = root_;
        root_ = nullptr;
        root->Release();
    }
    // A scene that never opened (its markup failed) was never announced, so it is not announced
    // as closed either.
    if (openState_ != 0) NotifyListeners(u"onSceneClosed");
    if (sceneObject_) {
        sceneObject_->Release();
        sceneObject_ = nullptr;
    }
    if (runtime_ && runtime_->GetScriptObjectCache()) runtime_->GetScriptObjectCache()->ForgetSceneObject(this);
    if (listener_) {
        listener_->Release();
        listener_ = nullptr;
    }
    defaultScript_ = nullptr;
    for (auto it = scripts_.begin(); it != scripts_.end(); it = scripts_.Erase(it))
        delete it->value;
    if (runtime_ && runtime_->GetScriptContextManager() && !contextName_.IsEmpty())
        runtime_->GetScriptContextManager()->RemoveContext(contextName_.GetString());
}

int32_t oxScene::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomState) {
        if (runtime_) runtime_->SetDebugOutput(!(value && _wcsicmp(value, u"off") == 0));
        return 0;
    }
    return oxLibrary::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxScene::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (ns == kAtomBoxNamespace && tag != kAtomInstance) {
        oxBox* box = CreateBox(ns, tag);
        if (!box) return kElementNotHandled;
        if (root_) root_->Release(); // a later box replaces the root
        root_ = box;
        *out = box;
        return 0;
    }
    if (tag == kAtomTrace) {
        *out = this;
        return 0;
    }
    // FIXME: "instance" elements at the top level come with gadget instances.
    if (ns == kAtomBoxNamespace) return kElementNotHandled;
    return oxLibrary::CreateChildElement(ns, tag, out);
}

oxBox* oxScene::CreateBox(oxAtom ns, oxAtom tag) {
    oxBox* box = runtime_ ? runtime_->CreateBox(0, ns, tag) : nullptr;
    if (box) box->SetScene(this);
    return box;
}

oxElement* oxScene::CreateScriptElement(oxBox* owner, oxAtom tag) {
    auto* element = new (std::nothrow) oxScriptElement(tag, this, owner);
    if (element && !openScripts_.PushBack(element)) {
        delete element;
        return nullptr;
    }
    return element;
}

void oxScene::ForgetOpenScript(oxScriptElement* element) {
    openScripts_.Remove(element);
}

void oxScene::Open(oxScene* opener, const WCHAR* name, XObject* listener, bool dialog, bool modal, bool) {
    if ((opener && (opener->state_ & kClosing)) || (state_ & kConstructed)) return;
    opener_ = opener;
    if (dialog || modal) state_ |= kDialog;
    if (modal) state_ |= kModal;
    if (name) name_ = name;
    if (root_) {
        openState_ = 1;
        // FIXME: construction, attachment, restyling, layout and the frame window come here.
        state_ |= kConstructed | kAttached | kOpen;
        if (listener) {
            listener->AddRef();
            if (listener_) listener_->Release();
            listener_ = listener;
        }
        NotifyListeners(u"onSceneOpen");
    }
    openState_ = 2;
    if (state_ & kCloseRequested) Close(false);
}

void oxScene::Close(bool forced) {
    if (state_ & kClosing) return;
    if (!forced) NotifyListeners(u"beforeSceneClose");
    state_ |= kClosing;
    // The frame window's destruction tells the runtime; until frames exist it is told here.
    if (runtime_) runtime_->OnSceneClosed(this);
}

void oxScene::NotifyListeners(const WCHAR* eventName) {
    if (listener_) {
        VARIANT scene;
        VariantInit(&scene);
        scene.vt = VT_DISPATCH;
        scene.pdispVal = sceneObject_;
        XObject::CallMethod1NoResult(listener_, eventName, scene);
    }
    if (!runtime_) return;
    int32_t kind = wcscmp(eventName, u"onSceneOpen") == 0     ? kRuntimeSceneOpened
                   : wcscmp(eventName, u"onSceneClosed") == 0 ? kRuntimeSceneClosed
                                                              : kRuntimeSceneClosing;
    runtime_->Notify(oxRuntimeEvent(kind, nullptr, sceneObject_));
}

int32_t oxScene::AddScript(oxAtom id, oxAtom language, const WCHAR* source, oxBox* element) {
    if (!runtime_) return 0;
    TWString key = LoadedScriptKey(id, language, source);
    if (loadedScripts_.Find(key)) {
        TWString text(kScriptAlreadyLoadedText);
        text += source ? source : u"";
        runtime_->ReportError(1, text.GetString());
        return 0;
    }
    oxSceneScript* script = runtime_->LoadScript(source, language, element, false);
    if (!script) return 0;
    loadedScripts_.Insert(key, 1);
    scripts_.Insert(id, script);
    if (!defaultScript_ && (language != kAtomNativeObject || id == 0)) defaultScript_ = script;
    if (script->succeeded || language == kAtomNativeObject) return 1;

    if (defaultScript_ == script) defaultScript_ = nullptr;
    auto [it, last] = scripts_.EqualRange(id);
    for (; it != last; ++it) {
        if (it->value == script) {
            scripts_.Erase(it);
            break;
        }
    }
    delete script;
    loadedScripts_.Erase(key);
    runtime_->ForgetSceneContextName(element);
    return 0;
}
