#include "toolkit/script/script_wrapper_cache.h"

#include <new>

#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/selection_model.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/event.h"
#include "toolkit/library/library.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/box.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/event_classes.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/resource_classes.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/theme_classes.h"

using NUBO::XClassDescriptor;
using NUBO::XObject;

namespace {

oxScriptObjectCache* MakeCache() {
    return new (std::nothrow) oxScriptWrapperCache();
}

struct KindClass {
    oxAtom type;
    XClassDescriptor* descriptor;
};

// Box kinds with a class of their own; every other kind is a plain Box.
const KindClass kBoxClasses[] = {
    {kAtomText, &wrapper_class::TextBox},       {kAtomInput, &wrapper_class::TextBox},
    {kAtomNativeText, &wrapper_class::TextBox}, {kAtomSimpleText, &wrapper_class::TextBox},
    {kAtomVectorText, &wrapper_class::TextBox}, {kAtomControl, &wrapper_class::ControlBox},
    {kAtomDhtml, &wrapper_class::DHTMLBox},     {kAtomHandle, &wrapper_class::HandleBox},
    {kAtomImage, &wrapper_class::ImageBox},     {kAtomPopup, &wrapper_class::PopupBox},
    {kAtomRange, &wrapper_class::RangeBox},     {kAtomSelect, &wrapper_class::SelectBox},
    {kAtomWindow, &wrapper_class::WindowBox},
};

XClassDescriptor* BoxClassOf(oxAtom type) {
    for (const KindClass& kind : kBoxClasses) {
        if (kind.type == type) return kind.descriptor;
    }
    return &wrapper_class::Box;
}

XClassDescriptor* ResourceClassOf(oxAtom tag) {
    if (tag == kAtomBitmap) return &wrapper_class::Bitmap;
    if (tag == kAtomImageElement) return &wrapper_class::ImageElement;
    if (tag == kAtomGadget) return &wrapper_class::Gadget;
    return &wrapper_class::Resource;
}

struct EventClass {
    const WCHAR* type;
    XClassDescriptor* descriptor;
};

// Event types with a class of their own; every other type is a plain Event.
const EventClass kEventClasses[] = {
    {u"constructed", &wrapper_class::DOMEvent},
    {u"initialized", &wrapper_class::DOMEvent},
    {u"presented", &wrapper_class::DOMEvent},
    {u"destroyed", &wrapper_class::DOMEvent},
    {u"activated", &wrapper_class::DOMEvent},
    {u"deactivated", &wrapper_class::DOMEvent},
    {u"parsed", &wrapper_class::DOMEvent},
    {u"boxCreated", &wrapper_class::DOMEvent},
    {u"boxDestroyed", &wrapper_class::DOMEvent},
    {u"focus", &wrapper_class::DOMEvent},
    {u"blur", &wrapper_class::DOMEvent},
    {u"invalidInput", &wrapper_class::DOMEvent},
    {u"toggle", &wrapper_class::DOMEvent},
    {u"layout", &wrapper_class::DOMEvent},
    {u"displayChanged", &wrapper_class::DOMEvent},
    {u"resized", &wrapper_class::DOMEvent},
    {u"moved", &wrapper_class::DOMEvent},
    {u"animationExit", &wrapper_class::DOMEvent},
    {u"sceneChanged", &wrapper_class::DOMEvent},
    {u"frame", &wrapper_class::DOMEvent},
    {u"firstFrame", &wrapper_class::DOMEvent},
    {u"lastFrame", &wrapper_class::DOMEvent},
    {u"play", &wrapper_class::DOMEvent},
    {u"pause", &wrapper_class::DOMEvent},
    {u"cancel", &wrapper_class::DOMEvent},
    {u"stop", &wrapper_class::DOMEvent},
    {u"backward", &wrapper_class::DOMEvent},
    {u"forward", &wrapper_class::DOMEvent},
    {u"attributeSet", &wrapper_class::MutationEvent},
    {u"mouseDown", &wrapper_class::MouseEvent},
    {u"mouseUp", &wrapper_class::MouseEvent},
    {u"mouseMove", &wrapper_class::MouseEvent},
    {u"mouseOver", &wrapper_class::MouseEvent},
    {u"mouseDrag", &wrapper_class::MouseEvent},
    {u"mouseReleased", &wrapper_class::MouseEvent},
    {u"mouseWheel", &wrapper_class::MouseEvent},
    {u"captureReleased", &wrapper_class::MouseEvent},
    {u"mouseOut", &wrapper_class::MouseEvent},
    {u"doubleClick", &wrapper_class::MouseEvent},
    {u"click", &wrapper_class::MouseEvent},
    {u"hoverHold", &wrapper_class::MouseEvent},
    {u"mouseActivate", &wrapper_class::MouseEvent},
    {u"keyPress", &wrapper_class::KeyEvent},
    {u"keyDown", &wrapper_class::KeyEvent},
    {u"close", &wrapper_class::KeyEvent},
    {u"keyUp", &wrapper_class::KeyEvent},
    {u"command", &wrapper_class::CommandEvent},
    {u"message", &wrapper_class::MessageEvent},
    {u"dragStart", &wrapper_class::DragEvent},
    {u"dragStop", &wrapper_class::DragEvent},
    {u"dragOver", &wrapper_class::DragEvent},
    {u"dragMove", &wrapper_class::DragEvent},
    {u"dragOut", &wrapper_class::DragEvent},
    {u"dragDrop", &wrapper_class::DragEvent},
    {u"navigate", &wrapper_class::DHTMLEvent},
    {u"readyStateChanged", &wrapper_class::DHTMLEvent},
    {u"popping", &wrapper_class::UIEvent},
    {u"shutting", &wrapper_class::UIEvent},
    {u"popped", &wrapper_class::UIEvent},
    {u"select", &wrapper_class::SelectionEvent},
    {u"system", &wrapper_class::SystemEvent},
    {u"contextMenu", &wrapper_class::ContextMenuEvent},
    {u"menuCommand", &wrapper_class::MenuEvent},
};

} // namespace

void oxScriptWrapperCache::Install() {
    SetScriptObjectCacheMaker(MakeCache);
    oxSetReactionRunner(RunScriptReaction);
    SetObjectSourceMaker(MakeObjectSourceFor);
}

oxScriptWrapperCache::oxScriptWrapperCache() {
    // The runtime makes its cache after the atom table started, so the types intern here once.
    for (const EventClass& entry : kEventClasses)
        eventClasses_.GetOrInsert(oxAtoms::Intern(entry.type)) = entry.descriptor;
}

oxScriptWrapperCache::~oxScriptWrapperCache() {
    Clear();
}

int oxScriptWrapperCache::SetShellObject(XObject* shell) {
    if (!shell) return 1;
    if (ownShell_ && shell_) shell_->Release();
    ownShell_ = false;
    shell_ = shell;
    return 1;
}

int oxScriptWrapperCache::GetShellObject(oxScriptHost* runtime, XObject** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!shell_) {
        // The cache keeps a reference to a Shell it made: nobody else would.
        auto* shell = new (std::nothrow) Shell(static_cast<oxRuntime*>(runtime)); // the only host is the runtime
        if (!shell) return 0;
        shell->AddRef();
        shell_ = shell;
        ownShell_ = true;
    }
    shell_->AddRef();
    *out = shell_;
    return 1;
}

int oxScriptWrapperCache::GetKept(Map map, const void* native, XClassDescriptor* descriptor, XObject** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!native) return 0;
    oxNativeWrapper* object = maps_[map].Lookup(native);
    if (!object) {
        void* held = const_cast<void*>(native);
        if (map == kScenes)
            object = new (std::nothrow) Scene(static_cast<oxScene*>(held));
        else if (map == kThemes)
            object = new (std::nothrow) oxThemeObject(held); // it keeps a walk over the libraries
        else if (map == kLibraries)
            object = new (std::nothrow) LibraryObject(held); // it keeps a walk over the resources
        else
            object = new (std::nothrow) oxNativeWrapper(descriptor, held);
        if (!object) return 0;
        object->AddRef(); // the map's
        maps_[map].Insert(native, object);
    }
    object->AddRef();
    *out = object;
    return 1;
}

void oxScriptWrapperCache::ForgetKept(Map map, const void* native) {
    auto* node = native ? maps_[map].Find(native) : nullptr;
    if (!node) return;
    oxNativeWrapper* object = node->value;
    maps_[map].Erase(native);
    object->Detach();
    object->Release();
}

int oxScriptWrapperCache::GetSceneObject(oxScene* scene, XObject** out) {
    return GetKept(kScenes, scene, &Scene::Descriptor, out);
}

void oxScriptWrapperCache::ForgetSceneObject(oxScene* scene) {
    ForgetKept(kScenes, scene);
}

void oxScriptWrapperCache::CreateParamsView(XObject* sceneObject, XObject* params) {
    if (NUBO::XObject::IsKindOf(sceneObject, &Scene::Descriptor))
        static_cast<Scene*>(sceneObject)->CreateParamsView(params);
}

void oxScriptWrapperCache::SetSceneContextName(XObject* sceneObject, const WCHAR* name) {
    if (NUBO::XObject::IsKindOf(sceneObject, &Scene::Descriptor))
        static_cast<Scene*>(sceneObject)->SetContextName(name);
}

int oxScriptWrapperCache::GetBoxObject(oxBox* box, XObject** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!box) return 0;
    // A gadget box's script instance is made the first time a script reaches the box.
    if (oxBoxGadget* gadget = box->GetGadget()) gadget->EnsureScriptObject(box);
    auto found = boxes_.find(box);
    oxNativeWrapper* object = found == boxes_.end() ? nullptr : found->second;
    if (!object) {
        object = new (std::nothrow) Box(BoxClassOf(box->GetBoxType()), box, this);
        if (!object) return 0;
        boxes_[box] = object; // no reference: the object erases its entry as it goes
        object->SetOwningCache(this);
    }
    object->AddRef();
    *out = object;
    return 1;
}

void oxScriptWrapperCache::ForgetBoxObject(oxBox* box) {
    auto found = boxes_.find(box);
    if (found == boxes_.end()) return;
    oxNativeWrapper* object = found->second;
    boxes_.erase(found);
    object->ForgetOwningCache();
    object->Detach(); // a pinned Box lets go of itself: it may be gone now
}

bool oxScriptWrapperCache::HasBoxObject(oxBox* box) {
    return box && boxes_.count(box) != 0;
}

int oxScriptWrapperCache::GetLibraryObject(oxLibrary* library, XObject** out) {
    return GetKept(kLibraries, library, &wrapper_class::Library, out);
}
void oxScriptWrapperCache::ForgetLibraryObject(oxLibrary* library) {
    ForgetKept(kLibraries, library);
}
int oxScriptWrapperCache::GetResourceObject(oxElement* resource, XObject** out) {
    return GetKept(kResources, resource, resource ? ResourceClassOf(resource->GetTag()) : nullptr, out);
}
void oxScriptWrapperCache::ForgetResourceObject(oxElement* resource) {
    ForgetKept(kResources, resource);
}
int oxScriptWrapperCache::GetCommandObject(oxElement* command, XObject** out) {
    return GetKept(kCommands, command, &wrapper_class::Command, out);
}
void oxScriptWrapperCache::ForgetCommandObject(oxElement* command) {
    ForgetKept(kCommands, command);
}
int oxScriptWrapperCache::GetCommandGroupObject(oxElement* group, XObject** out) {
    return GetKept(kCommandGroups, group, &wrapper_class::CommandGroup, out);
}
void oxScriptWrapperCache::ForgetCommandGroupObject(oxElement* group) {
    ForgetKept(kCommandGroups, group);
}
int oxScriptWrapperCache::GetKeyObject(oxElement* key, XObject** out) {
    return GetKept(kKeys, key, &wrapper_class::Key, out);
}
void oxScriptWrapperCache::ForgetKeyObject(oxElement* key) {
    ForgetKept(kKeys, key);
}
int oxScriptWrapperCache::GetKeyGroupObject(oxElement* group, XObject** out) {
    return GetKept(kKeyGroups, group, &wrapper_class::KeyGroup, out);
}
void oxScriptWrapperCache::ForgetKeyGroupObject(oxElement* group) {
    ForgetKept(kKeyGroups, group);
}
int oxScriptWrapperCache::GetThemeObject(oxElement* theme, XObject** out) {
    return GetKept(kThemes, theme, &wrapper_class::Theme, out);
}
void oxScriptWrapperCache::ForgetThemeObject(oxElement* theme) {
    ForgetKept(kThemes, theme);
}
int oxScriptWrapperCache::GetDataBindingObject(oxElement* binding, XObject** out) {
    int made = GetKept(kDataBindings, binding, &wrapper_class::DataBinding, out);
    if (auto* element = made ? dynamic_cast<oxBindingElement*>(binding) : nullptr) element->SetScriptCache(this);
    return made;
}
void oxScriptWrapperCache::ForgetDataBindingObject(oxElement* binding) {
    ForgetKept(kDataBindings, binding);
}
int oxScriptWrapperCache::GetSelectionObject(oxSelectionModel* selection, XObject** out) {
    int made = GetKept(kSelections, selection, &wrapper_class::Selection, out);
    if (made) selection->SetScriptCache(this);
    return made;
}
void oxScriptWrapperCache::ForgetSelectionObject(oxSelectionModel* selection) {
    ForgetKept(kSelections, selection);
}

int oxScriptWrapperCache::GetEventObject(oxEvent* event, XObject** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!event) return 0;
    if (event->GetFlags() & kEventUser) {
        oxNativeWrapper* object = maps_[kEvents].Lookup(event);
        if (object) {
            object->AddRef();
        } else {
            object = new (std::nothrow) UserEventObject(event);
            if (!object) return 0;
            maps_[kEvents].Insert(event, object);
            object->SetOwningCache(this);
            // The map holds none: the caller's reference is the object's only one.
            object->AddRef();
        }
        *out = object;
        return 1;
    }
    XClassDescriptor* descriptor = eventClasses_.Lookup(event->GetType());
    auto* object = new (std::nothrow) oxNativeWrapper(descriptor ? descriptor : &wrapper_class::Event, event);
    if (!object) return 0;
    object->AddRef();
    *out = object;
    return 1;
}

void oxScriptWrapperCache::ForgetEventObject(oxEvent* event) {
    if (event) maps_[kEvents].Erase(event);
}

XObject* oxScriptWrapperCache::EnterEventHandler(oxEvent* event, XObject** previous) {
    *previous = GetCurrentEventObject();
    XObject* object = nullptr;
    if (!GetEventObject(event, &object)) return nullptr;
    SetCurrentEventObject(object);
    return object;
}

void oxScriptWrapperCache::LeaveEventHandler(XObject* object, XObject* previous) {
    if (object) {
        static_cast<oxNativeWrapper*>(object)->Detach();
        object->Release();
    }
    SetCurrentEventObject(previous);
}

void oxScriptWrapperCache::ForgetThemeManagerObject() {
    if (themeManager_) themeManager_->Detach();
}

int oxScriptWrapperCache::GetThemeManagerObject(XObject** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!themeManager_) {
        themeManager_ = new (std::nothrow) oxNativeWrapper(&wrapper_class::ThemeManager, nullptr);
        if (!themeManager_) return 0;
        themeManager_->AddRef();
    }
    themeManager_->AddRef();
    *out = themeManager_;
    return 1;
}

void oxScriptWrapperCache::OnWrapperDestroyed(oxNativeWrapper* wrapper) {
    void* native = wrapper->GetNative();
    if (!native) return;
    if (wrapper->GetClassDescriptor() == &wrapper_class::UserEvent) {
        if (maps_[kEvents].Lookup(native) == wrapper) maps_[kEvents].Erase(native);
    } else if (auto found = boxes_.find(native); found != boxes_.end() && found->second == wrapper) {
        boxes_.erase(found);
    }
}

void oxScriptWrapperCache::Clear() {
    std::unordered_map<const void*, oxNativeWrapper*> boxes;
    boxes.swap(boxes_);
    for (auto& entry : boxes) {
        entry.second->ForgetOwningCache();
        entry.second->Detach();
    }
    for (auto it = maps_[kEvents].begin(); it != maps_[kEvents].end(); it = maps_[kEvents].Erase(it))
        it->value->ForgetOwningCache(); // the objects keep their records
    for (int map = 0; map < kMapCount; ++map) {
        NUBO::oxPtrHashMap<oxNativeWrapper*>& held = maps_[map];
        for (auto it = held.begin(); it != held.end(); it = held.Erase(it)) {
            oxNativeWrapper* object = it->value;
            // Bindings and selection models outliving the cache must not tell it of their end.
            if (auto* binding = map == kDataBindings
                                    ? dynamic_cast<oxBindingElement*>(static_cast<oxElement*>(object->GetNative()))
                                    : nullptr)
                binding->SetScriptCache(nullptr);
            if (map == kSelections && object->GetNative())
                static_cast<oxSelectionModel*>(object->GetNative())->SetScriptCache(nullptr);
            object->Detach();
            object->Release();
        }
    }
    if (themeManager_) {
        themeManager_->Release();
        themeManager_ = nullptr;
    }
    if (ownShell_ && shell_) shell_->Release();
    shell_ = nullptr;
    ownShell_ = false;
}

void oxScriptWrapperCache::SetCurrentData(const WCHAR* data) {
    ::SetCurrentData(data);
}
