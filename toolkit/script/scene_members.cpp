// The members of the Scene script class. Every body first looks for its native scene: a Scene
// object whose scene is gone answers as its row says (methods 0 with no result, getters 1).
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/gdi.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/collapsed_container_box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/script_element.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/factory.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/scene_dialogs.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/window_box.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;
using script_class::ArgInt;
using script_class::ArgObject;
using script_class::ArgObjectOf;
using script_class::ArgText;
using script_class::PutObject;

namespace {

inline constexpr const WCHAR* kScriptAlreadyLoaded = u"Script was already loaded. File: ";
inline constexpr const WCHAR* kErrorLoadingScript = u"Error loading script.";

oxRuntime* RuntimeOf(oxScene* scene) {
    return scene ? scene->GetSceneRuntime() : nullptr;
}

oxScriptObjectCache* CacheOf(oxScene* scene) {
    oxRuntime* runtime = RuntimeOf(scene);
    return runtime ? runtime->GetScriptObjectCache() : nullptr;
}

// The box's wrapper into out, or null.
void PutBox(XVariant* out, oxScene* scene, oxBox* box) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetBoxObject(box, &object);
    PutObject(out, object);
}

void PutScene(XVariant* out, oxScene* scene) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetSceneObject(scene, &object);
    PutObject(out, object);
}

// The native box of a Box argument, or null; the wrapper is held by `held`.
oxBox* ArgBox(XArgList* args, int i, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(ArgObjectOf(args, i, &wrapper_class::Box));
    return held ? static_cast<oxBox*>(static_cast<oxNativeWrapper*>(held.get())->GetNative()) : nullptr;
}

// -- methods ---------------------------------------------------------------------------------------

int32_t Close(Scene* self, XArgList*, XVariant*) {
    if (oxScene* scene = self->GetScene()) scene->Close(false);
    return 0;
}

int32_t Layout(Scene* self, XArgList*, XVariant*) {
    if (oxScene* scene = self->GetScene()) scene->Layout();
    return 0;
}

int32_t Paint(Scene* self, XArgList*, XVariant*) {
    if (oxScene* scene = self->GetScene()) scene->Paint();
    return 0;
}

int32_t CreateBox(Scene* self, XArgList* args, XVariant* out) {
    args->SetDefaultString(u"");
    TWString first = ArgText(args, 0), second = ArgText(args, 1);
    const TWString& tag = second.IsEmpty() ? first : second;
    oxScene* scene = self->GetScene();
    if (!scene || tag.IsEmpty()) return 0;
    oxBox* box = scene->CreateBox(kAtomBoxNamespace, oxAtoms::Intern(tag.GetString()));
    if (!box) return 0;
    self->KeepMadeBox(box); // the box has no parent yet: the scene's object keeps it alive
    box->Release();
    PutBox(out, scene, box);
    return 0;
}

int32_t GetBoxById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return 0;
    oxAtom id = oxAtoms::Find(ArgText(args, 0).GetString());
    PutBox(out, scene, id ? scene->GetBoxById(id, false) : nullptr);
    return 0;
}

int32_t GetBoxesByTag(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return 0;
    XObject* rawArray = nullptr;
    if (NUBO::CreateXArray(&rawArray) != 0) return 0;
    RefPtr<XObject> array(rawArray);
    oxAtom tag = oxAtoms::Find(ArgText(args, 0).GetString());
    oxBox* root = scene->GetRootBox();
    oxScriptObjectCache* cache = CacheOf(scene);
    for (oxBox* box = root; tag && box;) {
        if (box->GetTag() == tag && cache) {
            XObject* object = nullptr;
            if (cache->GetBoxObject(box, &object)) {
                XVariant value(object);
                static_cast<NUBO::XArray*>(array.get())->AddValue(value);
                object->Release();
            }
        }
        bool skip = false;
        if (box->GetStateFlags() & kStateContentPending) {
            // Content holding the tag is built now and searched; other pending content is not.
            auto* holder = dynamic_cast<oxCollapsedContainerBox*>(box->GetChildAt(0, false));
            skip = holder && !holder->ExpandIfHoldsTag(tag);
        }
        box = box->GetNextBox(root, skip, false);
    }
    PutObject(out, array.detach());
    return 0;
}

int32_t ImportLibrary(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString uri = ArgText(args, 0);
    if (!scene || uri.IsEmpty()) return 0;
    if (!oxUri::HasScheme(uri.GetString())) ResolveUriToPath(uri.GetString(), scene->GetBase().GetString(), uri);
    scene->BeginUpdate();
    oxLibrary* library = scene->ImportLibrary(uri.GetString());
    scene->EndUpdate();
    if (!library) return 0;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetLibraryObject(library, &object);
    PutObject(out, object);
    return 0;
}

int32_t GetResourceById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return 0;
    oxAtom id = oxAtoms::Find(ArgText(args, 0).GetString());
    oxElement* resource = id ? scene->FindResourceById(id, 0) : nullptr;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetResourceObject(resource, &object);
    PutObject(out, object);
    return 0;
}

// The scene's own groups in list order; within a group the last command of the id.
int32_t GetCommandById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString id = ArgText(args, 0);
    oxCommandElement* command =
        scene && !id.IsEmpty() ? scene->FindCommand(oxAtoms::Intern(id.GetString()), nullptr) : nullptr;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = command ? CacheOf(scene) : nullptr) cache->GetCommandObject(command, &object);
    PutObject(out, object);
    return 0;
}

int32_t DoCommand(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    oxAtom id = oxAtoms::Find(ArgText(args, 0).GetString());
    *out = scene && id && scene->DoCommand(id);
    return 0;
}

int32_t AdvanceFocus(Scene* self, XArgList*, XVariant*) {
    if (oxScene* scene = self->GetScene()) (void)scene->AdvanceFocus();
    return 0;
}

int32_t RewindFocus(Scene* self, XArgList*, XVariant*) {
    if (oxScene* scene = self->GetScene()) (void)scene->RewindFocus();
    return 0;
}

int32_t SeekFocus(Scene* self, XArgList* args, XVariant*) {
    if (oxScene* scene = self->GetScene()) scene->SeekFocus(ArgBool(args, 0));
    return 0;
}

// The built-in dialogs return once they close, with the results object their buttons filled.
int32_t Alert(Scene* self, XArgList* args, XVariant* out) {
    TWString body = ArgText(args, 0), title = ArgText(args, 1);
    XObject* results = nullptr;
    if (oxScene* scene = self->GetScene())
        (void)scene->Alert(body.GetString(), title.GetString(), ArgInt(args, 2), &results);
    PutObject(out, results);
    return 0;
}

int32_t Prompt(Scene* self, XArgList* args, XVariant* out) {
    TWString body = ArgText(args, 0), title = ArgText(args, 1), input = ArgText(args, 2);
    XObject* results = nullptr;
    if (oxScene* scene = self->GetScene())
        (void)scene->Prompt(body.GetString(), title.GetString(), input.GetString(), ArgInt(args, 3), &results);
    PutObject(out, results);
    return 0;
}

int32_t Confirm(Scene* self, XArgList* args, XVariant* out) {
    TWString body = ArgText(args, 0), title = ArgText(args, 1);
    XObject* results = nullptr;
    if (oxScene* scene = self->GetScene())
        (void)scene->Confirm(body.GetString(), title.GetString(), ArgInt(args, 2), &results);
    PutObject(out, results);
    return 0;
}

int32_t AddDOMObject(Scene* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    RefPtr<XObject> object(ArgObject(args, 1));
    bool stored = false;
    if (object && !name.IsEmpty()) {
        XVariant value(object.get());
        stored = self->SetPropertyByName(name.GetString(), &value) == 0;
    }
    *out = stored;
    return 0;
}

int32_t RemoveDOMObject(Scene* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    if (name.IsEmpty()) return 0;
    XVariant old;
    (void)self->GetPropertyByName(name.GetString(), &old);
    *out = self->DeleteMember(name.GetString()) == 0;
    RefPtr<XObject> previous(old.GetKind() == NUBO::XVK_OBJECT ? old.ToXObject() : nullptr);
    if (previous && self->GetScene())
        RegisterNamedSource(self->GetScene()->GetSceneRuntime(), self->GetScene(), nullptr, name.GetString(),
                            previous.get(), nullptr);
    return 0;
}

int32_t SendMessage(Scene* self, XArgList* args, XVariant* out) {
    TWString message = ArgText(args, 0);
    RefPtr<XObject> value(ArgObject(args, 1));
    oxScene* scene = self->GetScene();
    *out = scene ? scene->SendMessage(message.GetString(), value.get()) : 0;
    return 0;
}

int32_t Nothing(Scene*, XArgList*, XVariant*) {
    return 0;
}

int32_t ShowHelpBox(Scene* self, XArgList* args, XVariant*) {
    args->SetDefaultInt32(0);
    TWString text = ArgText(args, 0);
    RefPtr<XObject> held;
    oxBox* anchor = ArgBox(args, 1, held);
    int timeout = ArgInt(args, 2);
    ShowHelpBoxScene(self, text, anchor, timeout);
    return 0;
}

int32_t CloseHelpBox(Scene* self, XArgList*, XVariant*) {
    CloseHelpBoxScene(self);
    return 0;
}

// The body of Scene.importScript, also the road of Scene.importCode without a key.
bool ImportScriptFile(Scene* self, const TWString& url, const TWString& languageName) {
    oxScene* scene = self->GetScene();
    oxRuntime* runtime = RuntimeOf(scene);
    if (!runtime || url.IsEmpty() || languageName.IsEmpty() || self->GetContextName().IsEmpty()) return false;
    oxAtom language = oxAtoms::Intern(languageName.GetString());
    if (!language || language == kAtomNativeObject) return false;
    TWString path = oxUri::JoinPath(scene->GetBase().GetString(), url.GetString());
    if (!IsScriptSourceInResources(path)) {
        TWString text;
        text.Format(kScriptOutsideResources, url.GetString());
        runtime->ReportError(1, text.GetString());
        return false;
    }
    if (self->IsScriptLoaded(0, language, path.GetString())) {
        TWString text(kScriptAlreadyLoaded);
        text += path;
        runtime->ReportError(1, text.GetString());
        return false;
    }
    oxScriptContext* rawContext = nullptr;
    if (runtime->GetScriptContext(language, scene, false, &rawContext) != 0) return false;
    RefPtr<oxScriptContext> context(rawContext);
    NUBO::XStream* rawStream = nullptr;
    if (OpenUriStream(path.GetString(), &rawStream) != 0) return false;
    RefPtr<NUBO::XStream> stream(rawStream);
    self->AddLoadedScript(0, language, path.GetString());
    HRESULT hr = oxScriptContext::LoadScriptText(context.get(), stream.get(), self->GetContextName().GetString(),
                                                 path.GetString(), nullptr);
    if (hr != 0) {
        self->RemoveLoadedScript(0, language, path.GetString());
        if (oxScriptErrorReporter* reporter = runtime->GetErrorReporter())
            reporter->ReportScriptError(kErrorLoadingScript);
        return false;
    }
    return true;
}

int32_t ImportScript(Scene* self, XArgList* args, XVariant* out) {
    *out = ImportScriptFile(self, ArgText(args, 0), ArgText(args, 1));
    return 0;
}

int32_t ImportCode(Scene* self, XArgList* args, XVariant* out) {
    TWString key = ArgText(args, 0), language = ArgText(args, 1), source = ArgText(args, 2);
    *out = false;
    if (source.IsEmpty()) return 0;
    oxAtom keyAtom = key.IsEmpty() ? 0 : oxAtoms::Intern(key.GetString());
    oxAtom languageAtom = language.IsEmpty() ? 0 : oxAtoms::Intern(language.GetString());
    if (keyAtom == 0 && languageAtom != kAtomNativeObject) {
        *out = ImportScriptFile(self, source, language);
        return 0;
    }
    oxScene* scene = self->GetScene();
    if (!scene) return 0;
    TWString path = source;
    if (languageAtom != kAtomNativeObject && !oxUri::HasScheme(path.GetString()))
        ResolveUriToPath(source.GetString(), scene->GetBase().GetString(), path);
    *out = scene->ImportCode(keyAtom, languageAtom, path.GetString(), scene->GetRootBox());
    return 0;
}

// Also the body of disconnectObject, as for boxes: nothing to connect, false.
int32_t ConnectObject(Scene*, XArgList*, XVariant* out) {
    *out = false;
    return 0;
}

// The frame of the scene's window box, once its window exists.
oxWindowFrame* RootWindowFrame(Scene* self) {
    oxScene* scene = self->GetScene();
    auto* window = scene ? dynamic_cast<oxWindowBox*>(scene->GetRootBox()) : nullptr;
    return window ? window->GetWindowFrame() : nullptr;
}

int32_t SetPosition(Scene* self, XArgList*, XVariant* out) {
    if (oxWindowFrame* frame = RootWindowFrame(self)) frame->SetPlacement();
    *out = false; // placements have no effect on this device
    return 0;
}

int32_t GetPosition(Scene* self, XArgList*, XVariant* out) {
    if (oxWindowFrame* frame = RootWindowFrame(self)) frame->GetPlacement();
    if (self->GetScene()) *out = u"";
    return 0;
}

int32_t FlashWindow(Scene* self, XArgList* args, XVariant*) {
    const bool on = ArgBool(args, 0); // the second argument is read by no one
    if (oxWindowFrame* frame = RootWindowFrame(self)) frame->SetFlashing(on);
    return 0;
}

int32_t MonitorRectFromPoint(Scene*, XArgList* args, XVariant* out) {
    Factory::CreateMonitorRectFromPoint(ArgInt(args, 0), ArgInt(args, 1), out);
    return 0;
}

int32_t DoesKeyCodeMatch(Scene* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    bool ctrl = ArgBool(args, 1), alt = ArgBool(args, 2), shift = ArgBool(args, 3);
    *out = false;
    oxScene* scene = self->GetScene();
    if (!scene || name.IsEmpty()) return 0;
    uint16_t code = KeyCodeFromText(name.GetString());
    oxKeyEvent event(kAtomKeyPress, nullptr, nullptr, code, shift, ctrl, alt, code);
    *out = scene->MatchKeyCode(&event, nullptr, nullptr) != nullptr;
    return 0;
}

int32_t DestroyBox(Scene* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxBox* box = ArgBox(args, 0, held);
    oxScene* scene = self->GetScene();
    *out = false;
    if (!box || !scene) return 0;
    // Only a box that a parent or this Scene object holds can go: the root and boxes nobody here
    // holds are refused, since destroying them would free what others still point at.
    if (oxBox* parent = box->GetParent()) {
        box = parent->RemoveChild(box, false);
        if (!box) return 0;
        self->DropMadeBox(box);
    } else if (!self->TakeMadeBox(box)) {
        return 0;
    }
    scene->DestroyBox(box);
    *out = true;
    return 0;
}

int32_t OpenDialog(Scene* self, XArgList* args, XVariant*) {
    RefPtr<XObject> params(ArgObject(args, 0));
    if (!params || !self->GetScene()) return NUBO::XR_FAIL;
    OpenBuiltInDialog(self, params.get());
    return 0;
}

int32_t OpenSheetDialog(Scene* self, XArgList* args, XVariant*) {
    RefPtr<XObject> params(ArgObject(args, 0));
    if (!params || !self->GetScene()) return NUBO::XR_FAIL;
    return OpenBuiltInSheetDialog(self, params.get()) ? 0 : NUBO::XR_FAIL;
}

TWString ResolvedAgainstScene(oxScene* scene, TWString uri) {
    if (!uri.IsEmpty() && !oxUri::HasScheme(uri.GetString()))
        ResolveUriToPath(uri.GetString(), scene->GetBase().GetString(), uri);
    return uri;
}

int32_t ReplaceLibrary(Scene* self, XArgList* args, XVariant*) {
    oxScene* scene = self->GetScene();
    oxRuntime* runtime = RuntimeOf(scene);
    if (!runtime) return NUBO::XR_FAIL;
    TWString oldUri = ResolvedAgainstScene(scene, ArgText(args, 0));
    TWString newUri = ResolvedAgainstScene(scene, ArgText(args, 1));
    oxLibrary* old = oldUri.IsEmpty() ? nullptr : scene->FindLibrary(oldUri.GetString(), false);
    if (old && !newUri.IsEmpty()) runtime->ReplaceLibrary(old, newUri.GetString(), scene);
    return 0;
}

int32_t SetThemeForAlias(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString alias = ArgText(args, 0);
    TWString uri = ArgText(args, 1);
    oxLibrary* library = scene ? scene->SetThemeForAlias(alias.GetString(), uri.GetString()) : nullptr;
    if (!library) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetLibraryObject(library, &object);
    PutObject(out, object);
    return 0;
}

int32_t RemoveLibrary(Scene* self, XArgList* args, XVariant*) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    TWString uri = ArgText(args, 0);
    oxRuntime* runtime = RuntimeOf(scene);
    if (oxLibrary* library = runtime ? runtime->FindLibrary(uri.GetString()) : nullptr) {
        scene->BeginUpdate();
        scene->RemoveImport(library, true);
        scene->EndUpdate();
    }
    return 0;
}

int32_t AddCommandGroup(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString id = ArgText(args, 0);
    XObject* object = nullptr;
    oxScriptObjectCache* cache = CacheOf(scene);
    if (cache && !id.IsEmpty())
        cache->GetCommandGroupObject(scene->AddCommandGroup(oxAtoms::Intern(id.GetString())), &object);
    PutObject(out, object);
    return 0;
}

int32_t AddKeyGroup(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString id = ArgText(args, 0);
    XObject* object = nullptr;
    oxScriptObjectCache* cache = CacheOf(scene);
    if (cache && !id.IsEmpty()) cache->GetKeyGroupObject(scene->AddKeyGroup(oxAtoms::Intern(id.GetString())), &object);
    PutObject(out, object);
    return 0;
}

// The group of a CommandGroup (or KeyGroup) object that still has it, else null.
template <class Group> Group* GroupArg(XArgList* args, NUBO::XClassDescriptor* descriptor) {
    XObject* object = ArgObjectOf(args, 0, descriptor);
    Group* group = object ? static_cast<Group*>(static_cast<oxNativeWrapper*>(object)->GetNative()) : nullptr;
    if (object) object->Release();
    return group;
}

int32_t RemoveCommandGroup(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    auto* group = GroupArg<oxCommandGroupElement>(args, &wrapper_class::CommandGroup);
    *out = scene && group && scene->RemoveCommandGroup(group);
    return 0;
}

int32_t RemoveKeyGroup(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    auto* group = GroupArg<oxKeyGroupElement>(args, &wrapper_class::KeyGroup);
    *out = scene && group && scene->RemoveKeyGroup(group);
    return 0;
}

// The wrapper of one of the scene's groups into `out`.
void PutGroup(oxScene* scene, oxElement* group, XVariant* out) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = group ? CacheOf(scene) : nullptr) {
        if (group->GetTag() == kAtomCommandGroup)
            cache->GetCommandGroupObject(group, &object);
        else
            cache->GetKeyGroupObject(group, &object);
    }
    PutObject(out, object);
}

int32_t GetCommandGroupById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString id = ArgText(args, 0);
    if (scene && !id.IsEmpty()) PutGroup(scene, scene->FindCommandGroup(oxAtoms::Intern(id.GetString())), out);
    return 0;
}

int32_t GetKeyGroupById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    TWString id = ArgText(args, 0);
    if (scene && !id.IsEmpty()) PutGroup(scene, scene->FindKeyGroup(oxAtoms::Intern(id.GetString())), out);
    return 0;
}

int32_t GetBoxAtPoint(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    oxBox* root = scene ? scene->GetRootBox() : nullptr;
    if (!root) return NUBO::XR_FAIL;
    oxBox* box = root->HitTest(oxPoint{ArgInt(args, 0), ArgInt(args, 1)});
    if (!box) return NUBO::XR_FAIL;
    PutBox(out, scene, box);
    return 0;
}

// The scene's scripts run in its engine context's global object, which is what a script's id names.
int32_t GetScriptById(Scene* self, XArgList* args, XVariant* out) {
    oxScene* scene = self->GetScene();
    oxRuntime* runtime = RuntimeOf(scene);
    oxAtom id = oxAtoms::Find(ArgText(args, 0).GetString());
    oxSceneScript* script = scene && id ? scene->GetScriptById(id) : nullptr;
    oxScriptContextManager* manager = runtime ? runtime->GetScriptContextManager() : nullptr;
    oxScriptContext* raw = nullptr;
    if (!script || scene->GetContextName().IsEmpty() || !manager ||
        manager->GetContext(scene->GetContextName().GetString(), &raw) != 0)
        return NUBO::XR_FAIL;
    RefPtr<oxScriptContext> context(raw);
    XVariant global;
    if (FAILED(context->GetScriptObject(u"", &global))) return NUBO::XR_FAIL;
    RefPtr<XObject> object(global.ToXObject());
    if (!object) return NUBO::XR_FAIL;
    out->SetObject(object.get());
    return 0;
}

// -- properties ------------------------------------------------------------------------------------

int32_t GetParamsDictionary(Scene* self, XVariant* out) {
    if (!self->GetScene()) return NUBO::XR_FAIL;
    out->SetObject(self->GetParamsDictionary());
    return 0;
}

int32_t GetRootBox(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    if (scene->GetRootBox()) PutBox(out, scene, scene->GetRootBox());
    return 0;
}

int32_t GetParentScene(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    if (scene->GetOpener()) PutScene(out, scene->GetOpener());
    return 0;
}

int32_t GetUrl(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    *out = scene->GetUri();
    return 0;
}

int32_t GetName(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    if (!scene->GetName().IsEmpty()) *out = scene->GetName();
    return 0;
}

int32_t GetFocusedBox(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    if (scene->GetFocusedBox()) PutBox(out, scene, scene->GetFocusedBox());
    return 0;
}

// The box of a Box object value, or none for any other value.
oxBox* BoxOfValue(const VARIANT& value, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(XVariant(value).ToXObject());
    if (!XObject::IsKindOf(held.get(), &wrapper_class::Box)) return nullptr;
    return static_cast<oxBox*>(static_cast<oxNativeWrapper*>(held.get())->GetNative());
}

int32_t SetFocusedBox(Scene* self, const VARIANT& value) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    RefPtr<XObject> held;
    scene->SetFocusedBox(BoxOfValue(value, held));
    return 0;
}

int32_t GetDefaultButton(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    if (oxBox* box = scene->GetDefaultButton()) PutBox(out, scene, box);
    return 0;
}

int32_t SetDefaultButton(Scene* self, const VARIANT& value) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    RefPtr<XObject> held;
    scene->SetDefaultButton(BoxOfValue(value, held));
    return 0;
}

// The box the focus goes back to when the user leaves a menu bar: the active native text record.
int32_t GetSavedFocusedBox(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    PutBox(out, scene, scene->GetActiveNativeText());
    return 0;
}

int32_t GetMonitorRect(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    oxBox* root = scene ? scene->GetRootBox() : nullptr;
    if (!root) return NUBO::XR_FAIL;
    oxStyleValue left, top;
    root->GetStyleValue(kStyle_left, &left);
    root->GetStyleValue(kStyle_top, &top);
    Factory::CreateMonitorRectFromPoint(left.GetInt(), top.GetInt(), out);
    return 0;
}

int32_t GetLibrary(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene)) cache->GetLibraryObject(scene, &object);
    PutObject(out, object);
    return 0;
}

template <uint32_t kFlag> int32_t GetFlag(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    *out = (scene->GetState() & kFlag) != 0;
    return 0;
}

int32_t SetWaiting(Scene* self, const VARIANT& value) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    scene->SetWaiting(XVariant(value).ToBool());
    return 0;
}

int32_t SetBlockLayout(Scene* self, const VARIANT& value) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    scene->SetStateFlag(oxScene::kLayoutBlocked, XVariant(value).ToBool());
    return 0;
}

int32_t GetCommandGroupCount(Scene* self, XVariant* out) {
    *out = self->GetScene() ? int(self->GetScene()->GetCommandGroupCount()) : -1;
    return 0;
}

int32_t GetKeyGroupCount(Scene* self, XVariant* out) {
    *out = self->GetScene() ? int(self->GetScene()->GetKeyGroupCount()) : -1;
    return 0;
}

// An array of the wrappers of the scene's command (or key) groups in list order.
template <bool Commands> int32_t GetGroups(Scene* self, XVariant* out) {
    oxScene* scene = self->GetScene();
    if (!scene) return NUBO::XR_FAIL;
    NUBO::XArray* array = nullptr;
    if (NUBO::CreateXArray(&array) != 0) return 0;
    const size_t count = Commands ? scene->GetCommandGroupCount() : scene->GetKeyGroupCount();
    for (size_t i = 0; i < count; ++i) {
        XVariant item;
        PutGroup(scene, Commands ? static_cast<oxElement*>(scene->GetCommandGroupAt(i)) : scene->GetKeyGroupAt(i),
                 &item);
        if (array->AddValue(item) != 0) break;
    }
    PutObject(out, array);
    return 0;
}

using script_class::MethodRow;
using script_class::ObjectMethodRow;
using script_class::ObjectPropertyRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kMembers[] = {
    MethodRow<0, Close>("close"),
    MethodRow<0, Layout>("layout"),
    MethodRow<0, Paint>("paint"),
    ObjectMethodRow<1, CreateBox>("createBox"),
    ObjectMethodRow<1, GetBoxById>("getBoxById"),
    ObjectMethodRow<1, GetBoxesByTag>("getBoxesByTag"),
    ObjectMethodRow<1, ImportLibrary>("importLibrary"),
    ObjectMethodRow<1, GetResourceById>("getResourceById"),
    ObjectMethodRow<1, GetCommandById>("getCommandById"),
    MethodRow<1, DoCommand>("doCommand"),
    MethodRow<0, AdvanceFocus>("advanceFocus"),
    MethodRow<0, RewindFocus>("rewindFocus"),
    MethodRow<1, SeekFocus>("seekFocus"),
    ObjectMethodRow<2, Alert>("alert"),
    ObjectMethodRow<3, Prompt>("prompt"),
    ObjectMethodRow<2, Confirm>("confirm"),
    MethodRow<2, AddDOMObject>("addDOMObject"),
    MethodRow<1, RemoveDOMObject>("removeDOMObject"),
    MethodRow<2, SendMessage>("sendMessage"),
    MethodRow<2, FlashWindow>("flashWindow"),
    MethodRow<3, Nothing>("displaySystemMenu"),
    MethodRow<2, ShowHelpBox>("showHelpBox"),
    MethodRow<0, CloseHelpBox>("closeHelpBox"),
    MethodRow<2, ImportScript>("importScript"),
    MethodRow<3, ImportCode>("importCode"),
    MethodRow<2, ConnectObject>("connectObject"),
    MethodRow<0, ConnectObject>("disconnectObject"),
    MethodRow<1, SetPosition>("setPosition"),
    MethodRow<0, GetPosition>("getPosition"),
    ObjectMethodRow<2, MonitorRectFromPoint>("monitorRectFromPoint"),
    MethodRow<4, DoesKeyCodeMatch>("doesKeyCodeMatch"),
    MethodRow<1, DestroyBox>("destroyBox"),
    MethodRow<1, OpenDialog>("openDialog"),
    MethodRow<1, OpenSheetDialog>("openSheetDialog"),
    MethodRow<2, ReplaceLibrary>("replaceLibrary"),
    ObjectMethodRow<2, SetThemeForAlias>("setThemeForAlias"),
    MethodRow<1, RemoveLibrary>("removeLibrary"),
    ObjectMethodRow<1, AddCommandGroup>("addCommandGroup"),
    MethodRow<1, RemoveCommandGroup>("removeCommandGroup"),
    ObjectMethodRow<1, GetCommandGroupById>("getCommandGroupById"),
    ObjectMethodRow<1, AddKeyGroup>("addKeyGroup"),
    MethodRow<1, RemoveKeyGroup>("removeKeyGroup"),
    ObjectMethodRow<1, GetKeyGroupById>("getKeyGroupById"),
    ObjectMethodRow<2, GetBoxAtPoint>("getBoxAtPoint"),
    ObjectMethodRow<1, GetScriptById>("getScriptById"),
    ObjectPropertyRow<GetParamsDictionary>("paramsDictionary"),
    ObjectPropertyRow<GetRootBox>("rootBox"),
    ObjectPropertyRow<GetParentScene>("parentScene"),
    PropertyRow<GetUrl>("url"),
    PropertyRow<GetName>("name"),
    ObjectPropertyRow<GetFocusedBox, SetFocusedBox>("focusedBox"),
    ObjectPropertyRow<GetMonitorRect>("monitorRect"),
    ObjectPropertyRow<GetLibrary>("library"),
    ObjectPropertyRow<GetDefaultButton, SetDefaultButton>("defaultButton"),
    ObjectPropertyRow<GetSavedFocusedBox>("savedFocusedBox"),
    PropertyRow<GetFlag<oxScene::kWaiting>, SetWaiting>("waiting"),
    PropertyRow<GetFlag<oxScene::kLayoutBlocked>, SetBlockLayout>("blockLayout"),
    PropertyRow<GetCommandGroupCount>("commandGroupCount"),
    ObjectPropertyRow<GetGroups<true>>("commandGroups"),
    PropertyRow<GetKeyGroupCount>("keyGroupCount"),
    ObjectPropertyRow<GetGroups<false>>("keyGroups"),
    NUBO::XMemberEnd(),
};

static_assert(sizeof(kMembers) / sizeof(kMembers[0]) == 62, "61 members and the end");

} // namespace

NUBO::XClassDescriptor Scene::Descriptor = {"Scene", 62, kMembers, &XObject::Descriptor, 0, {}};
