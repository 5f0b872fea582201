// The members of the Shell script class, and the current event and data they read.
#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/core/box.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_input.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/factory.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/transition_classes.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/ui_scale.h"

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

XObject* g_currentEvent = nullptr;

TWString& CurrentData() {
    static TWString data;
    return data;
}

oxScriptObjectCache* CacheOf(Shell* self) {
    return self->GetRuntime() ? self->GetRuntime()->GetScriptObjectCache() : nullptr;
}

// A scene's Scene object into out, or the Shell's failure when there is none.
int32_t PutScene(Shell* self, oxScene* scene, XVariant* out) {
    XObject* object = nullptr;
    oxScriptObjectCache* cache = CacheOf(self);
    if (!scene || !cache || !cache->GetSceneObject(scene, &object)) return self->CannotAct();
    PutObject(out, object);
    return 0;
}

// -- methods ---------------------------------------------------------------------------------------

int32_t AddDOMObject(Shell* self, XArgList* args, XVariant* out) {
    RefPtr<XObject> object(ArgObject(args, 1));
    return self->AddDOMObject(ArgText(args, 0), object.get(), out);
}

int32_t RemoveDOMObject(Shell* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    if (name.IsEmpty()) return self->CannotAct();
    XVariant old;
    (void)self->GetPropertyByName(name.GetString(), &old);
    *out = self->DeleteMember(name.GetString()) == 0;
    NUBO::RefPtr<XObject> previous(old.GetKind() == NUBO::XVK_OBJECT ? old.ToXObject() : nullptr);
    if (previous) RegisterNamedSource(self->GetRuntime(), nullptr, nullptr, name.GetString(), previous.get(), nullptr);
    return 0;
}

// False, with the runtime told why, when a scene may not open the file `uri` names.
bool MayOpen(Shell* self, const TWString& uri) {
    if (uri.IsEmpty() || SceneMayOpen(uri.GetString())) return true;
    if (oxRuntime* runtime = self->GetRuntime()) {
        TWString message;
        message.Format(kFileOutsideResources, uri.GetString());
        runtime->ReportResourceError(message.GetString());
    }
    return false;
}

int32_t OpenScene(Shell* self, XArgList* args, XVariant* out) {
    if (!MayOpen(self, ArgText(args, 0))) {
        if (out) out->SetObject(nullptr);
        return self->CannotAct();
    }
    RefPtr<XObject> parent(ArgObject(args, 1)), params(ArgObject(args, 3)), listener(ArgObject(args, 4));
    return self->OpenScene(ArgText(args, 0), parent.get(), ArgText(args, 2), params.get(), listener.get(),
                           ArgBool(args, 5), out);
}

int32_t OpenSceneAndWait(Shell* self, XArgList* args, XVariant*) {
    TWString url = ArgText(args, 0), name = ArgText(args, 2);
    RefPtr<XObject> parent(ArgObjectOf(args, 1, &Scene::Descriptor)), params(ArgObject(args, 3));
    oxRuntime* runtime = self->GetRuntime();
    if (!runtime || url.IsEmpty() || !MayOpen(self, url)) return self->CannotAct();
    oxScene* opener = parent ? static_cast<Scene*>(parent.get())->GetScene() : nullptr;
    // Returns once the dialog's modal loop ends; the other scenes are disabled meanwhile.
    (void)runtime->OpenDialogScene(url.GetString(), opener, name.IsEmpty() ? nullptr : name.GetString(), params.get(),
                                   nullptr, false);
    return 0;
}

int32_t CloseScene(Shell* self, XArgList* args, XVariant*) {
    RefPtr<XObject> scene(ArgObject(args, 0));
    return self->CloseScene(scene.get());
}

int32_t PutLibrary(Shell* self, oxLibrary* library, XVariant* out) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(self)) cache->GetLibraryObject(library, &object);
    PutObject(out, object);
    return 0;
}

int32_t ImportLibrary(Shell* self, XArgList* args, XVariant* out) {
    TWString uri = ArgText(args, 0);
    oxRuntime* runtime = self->GetRuntime();
    const bool load = runtime && !uri.IsEmpty() && MayOpen(self, uri);
    return PutLibrary(self, load ? runtime->LoadLibrary(uri.GetString()) : nullptr, out);
}

int32_t GetLibrary(Shell* self, XArgList* args, XVariant* out) {
    TWString uri = ArgText(args, 0);
    oxRuntime* runtime = self->GetRuntime();
    return PutLibrary(self, runtime && !uri.IsEmpty() ? runtime->FindLibrary(uri.GetString()) : nullptr, out);
}

int32_t Bitmap(Shell*, XArgList* args, XVariant* out) {
    TWString id = ArgText(args, 0), src = ArgText(args, 1);
    RefPtr<XObject> scene(script_class::ArgObject(args, 2));
    Factory::CreateBitmap(id.GetString(), src.GetString(), scene.get(), out);
    return 0;
}

// The open scene at a position, closing scenes passed over.
oxScene* OpenSceneAt(oxRuntime* runtime, int index) {
    for (oxScene* scene = runtime->GetSceneAt(index); scene; scene = runtime->GetSceneAt(++index)) {
        if (!(scene->GetState() & oxScene::kClosing)) return scene;
    }
    return nullptr;
}

int32_t GetSceneAt(Shell* self, XArgList* args, XVariant* out) {
    int index = ArgInt(args, 0);
    oxRuntime* runtime = self->GetRuntime();
    return PutScene(self, runtime ? OpenSceneAt(runtime, index) : nullptr, out);
}

int32_t GetSceneByName(Shell* self, XArgList* args, XVariant* out) {
    TWString name = ArgText(args, 0);
    oxRuntime* runtime = self->GetRuntime();
    if (!runtime || name.IsEmpty()) return self->CannotAct();
    oxScene* scene = runtime->FindSceneByName(name.GetString());
    if (scene) (void)PutScene(self, scene, out);
    return 0;
}

int32_t Print(Shell* self, XArgList* args, XVariant*) {
    if (oxRuntime* runtime = self->GetRuntime()) runtime->ReportError(1, ArgText(args, 0).GetString());
    return 0;
}

int32_t GetCurrentEvent(Shell*, XArgList*, XVariant* out) {
    out->SetObject(g_currentEvent);
    return 0;
}

int32_t GetCurrentDataMethod(Shell*, XArgList*, XVariant* out) {
    *out = CurrentData();
    return 0;
}

int32_t EnumSystemScenes(Shell*, XArgList*, XVariant* out) {
    out->SetObject(nullptr);
    return 0;
}

// The native box of a Box object; null once the box is gone.
oxBox* BoxOf(XObject* boxObject) {
    return static_cast<oxBox*>(static_cast<oxNativeWrapper*>(boxObject)->GetNative());
}

int32_t Create(Shell*, XArgList* args, XVariant* out) {
    TWString type = ArgText(args, 0);
    RefPtr<XObject> box(ArgObjectOf(args, 1, &wrapper_class::Box));
    if (wcscmp(type.GetString(), u"rect") == 0)
        Factory::CreateRect(0, 0, 0, 0, out);
    else if (wcscmp(type.GetString(), u"point") == 0)
        Factory::CreatePoint(0, 0, out);
    else if (wcscmp(type.GetString(), u"event") == 0)
        Factory::CreateUserEvent(box.get(), out);
    else if (box && wcscmp(type.GetString(), u"snapshot") == 0)
        PutObject(out, NewBoxSnapshot(BoxOf(box.get())));
    else if (box && wcscmp(type.GetString(), u"transition") == 0)
        PutObject(out, NewBoxTransition(BoxOf(box.get())));
    return 0;
}

int32_t GetIconForFile(Shell*, XArgList* args, XVariant* out) {
    TWString path = ArgText(args, 0), size = ArgText(args, 1);
    NUBO::XStream* raw = nullptr;
    if (GetFileIcon(path.GetString(), size.GetString(), &raw) != 0) return NUBO::XR_FAIL;
    if (!raw) return 0;
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    out->Clear();
    return NUBO::XStreamToVariant(out, stream.get()) == 0 ? 0 : NUBO::XR_OUT_OF_MEMORY;
}

int32_t CollectGarbage(Shell* self, XArgList*, XVariant*) {
    if (oxRuntime* runtime = self->GetRuntime()) runtime->CollectGarbage();
    return 0;
}

int32_t CloseAllPopups(Shell* self, XArgList*, XVariant*) {
    oxRuntime* runtime = self->GetRuntime();
    if (oxSceneInput* input = runtime ? runtime->GetFrameInput() : nullptr) input->ClosePopups(false);
    return 0;
}

int32_t ReplaceLibrary(Shell* self, XArgList* args, XVariant*) {
    oxRuntime* runtime = self->GetRuntime();
    if (!runtime) return NUBO::XR_FAIL;
    TWString oldUri = ArgText(args, 0);
    TWString newUri = ArgText(args, 1);
    oxLibrary* old = oldUri.IsEmpty() ? nullptr : runtime->FindLibrary(oldUri.GetString());
    if (old && !newUri.IsEmpty()) runtime->ReplaceLibrary(old, newUri.GetString(), nullptr);
    return 0;
}

int32_t AddListener(Shell* self, XArgList* args, XVariant*) {
    RefPtr<XObject> listener(ArgObject(args, 0));
    return self->AddListener(listener.get());
}

int32_t RemoveListener(Shell* self, XArgList* args, XVariant*) {
    RefPtr<XObject> listener(ArgObject(args, 0));
    return self->RemoveListener(listener.get());
}

int32_t PreTranslateAccelerator(Shell* self, XArgList*, XVariant* out) {
    return self->PreTranslateAccelerator(nullptr, 0, 0, 0, out);
}

// -- properties ------------------------------------------------------------------------------------

int32_t GetSceneCount(Shell* self, XVariant* out) {
    if (self->IsLenient()) *out = 0;
    oxRuntime* runtime = self->GetRuntime();
    if (!runtime) return 0;
    int count = 0;
    for (int i = 0; i < runtime->GetSceneCount(); ++i) {
        if (!(runtime->GetSceneAt(i)->GetState() & oxScene::kClosing)) ++count;
    }
    *out = count;
    return 0;
}

int32_t GetIsPopupOpen(Shell* self, XVariant* out) {
    oxRuntime* runtime = self->GetRuntime();
    oxSceneInput* input = runtime ? runtime->GetFrameInput() : nullptr;
    *out = input && input->IsPopupOpen();
    return 0;
}

int32_t GetCurrentDataProperty(Shell*, XVariant* out) {
    *out = CurrentData();
    return 0;
}

int32_t GetCurrentEventProperty(Shell*, XVariant* out) {
    out->SetObject(g_currentEvent);
    return 0;
}

int32_t GetCurrentEventTargetBox(Shell*, XVariant* out) {
    if (g_currentEvent) (void)g_currentEvent->GetPropertyByName(u"targetBox", out);
    return 0;
}

int32_t GetFactory(Shell*, XVariant* out) {
    auto* factory = new (std::nothrow) Factory();
    if (factory) factory->AddRef();
    PutObject(out, factory);
    return 0;
}

int32_t GetReportScriptErrors(Shell* self, XVariant* out) {
    oxRuntime* runtime = self->GetRuntime();
    if (runtime && runtime->GetScriptContextManager())
        *out = runtime->GetScriptContextManager()->GetReportErrors() != 0;
    return 0;
}

int32_t SetReportScriptErrors(Shell* self, const VARIANT& value) {
    oxRuntime* runtime = self->GetRuntime();
    if (runtime && runtime->GetScriptContextManager())
        runtime->GetScriptContextManager()->SetReportErrors(XVariant(value).ToBool() ? 1 : 0);
    return 0;
}

int32_t GetThemeManager(Shell* self, XVariant* out) {
    oxRuntime* runtime = self->GetRuntime();
    if (!runtime) return NUBO::XR_FAIL;
    XObject* object = nullptr;
    if (runtime->GetThemesElement() && runtime->GetScriptObjectCache())
        runtime->GetScriptObjectCache()->GetThemeManagerObject(&object);
    // The cache makes the object without knowing the runtime: it gets the themes element here.
    if (auto* manager = static_cast<oxNativeWrapper*>(object); manager && !manager->GetNative())
        manager->Attach(runtime->GetThemesElement());
    PutObject(out, object);
    return 0;
}

int32_t GetDefaultToolkit(Shell* self, XVariant* out) {
    if (self->GetRuntime()) *out = self->GetRuntime()->GetBaseUri();
    return 0;
}

int32_t SetDefaultToolkit(Shell* self, const VARIANT& value) {
    TWString uri = XVariant(value).ToString();
    if (self->GetRuntime() && !uri.IsEmpty()) self->GetRuntime()->SetBaseUri(uri.GetString());
    return 0;
}

void PutAtomName(XVariant* out, oxAtom atom) {
    WCHAR name[257] = {};
    if (atom) oxAtoms::GetName(atom, name, 257);
    *out = name;
}

int32_t GetDir(Shell* self, XVariant* out) {
    if (self->GetRuntime()) PutAtomName(out, self->GetRuntime()->GetDirection());
    return 0;
}

int32_t SetDir(Shell* self, const VARIANT& value) {
    TWString dir = XVariant(value).ToString();
    if (self->GetRuntime()) self->GetRuntime()->SetDirection(dir.IsEmpty() ? 0 : oxAtoms::Intern(dir.GetString()));
    return 0;
}

int32_t GetRtlFormatting(Shell* self, XVariant* out) {
    if (self->GetRuntime()) *out = self->GetRuntime()->GetRtlFormatting();
    return 0;
}

int32_t SetRtlFormatting(Shell* self, const VARIANT& value) {
    if (self->GetRuntime()) self->GetRuntime()->SetRtlFormatting(XVariant(value).ToBool());
    return 0;
}

int32_t GetOverrideScriptEngine(Shell* self, XVariant* out) {
    if (self->GetRuntime()) PutAtomName(out, self->GetRuntime()->GetScriptLanguage());
    return 0;
}

int32_t SetOverrideScriptEngine(Shell* self, const VARIANT& value) {
    TWString language = XVariant(value).ToString();
    if (self->GetRuntime() && !language.IsEmpty())
        self->GetRuntime()->SetScriptLanguage(oxAtoms::Intern(language.GetString()));
    return 0;
}

int32_t GetUiScaleProperty(Shell*, XVariant* out) {
    out->SetDouble(double(GetUiScale() * 100.0f));
    return 0;
}

int32_t SetUiScaleProperty(Shell* self, const VARIANT& value) {
    return self->SetUiScale(value);
}

using script_class::MethodRow;
using script_class::ObjectMethodRow;
using script_class::ObjectPropertyRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kMembers[] = {
    MethodRow<2, AddDOMObject>("addDOMObject"),
    MethodRow<1, RemoveDOMObject>("removeDOMObject"),
    ObjectMethodRow<6, OpenScene>("openScene"),
    MethodRow<4, OpenSceneAndWait>("openSceneAndWait"),
    MethodRow<1, CloseScene>("closeScene"),
    ObjectMethodRow<1, ImportLibrary>("importLibrary"),
    ObjectMethodRow<1, GetLibrary>("getLibrary"),
    ObjectMethodRow<2, Bitmap>("bitmap"),
    ObjectMethodRow<1, GetSceneAt>("getSceneAt"),
    ObjectMethodRow<1, GetSceneByName>("getSceneByName"),
    MethodRow<1, Print>("print"),
    ObjectMethodRow<0, GetCurrentEvent>("getCurrentEvent"),
    MethodRow<0, GetCurrentDataMethod>("getCurrentData"),
    ObjectMethodRow<0, EnumSystemScenes>("enumSystemScenes"),
    // An unknown kind, or a snapshot or transition of no box, answers nothing: not even null.
    MethodRow<1, Create>("create"),
    ObjectMethodRow<2, GetIconForFile>("getIconForFile"),
    MethodRow<0, CollectGarbage>("collectGarbage"),
    MethodRow<0, CloseAllPopups>("closeAllPopups"),
    MethodRow<2, ReplaceLibrary>("replaceLibrary"),
    PropertyRow<GetSceneCount>("sceneCount"),
    PropertyRow<GetIsPopupOpen>("isPopupOpen"),
    PropertyRow<GetCurrentDataProperty>("currentData"),
    ObjectPropertyRow<GetCurrentEventProperty>("currentEvent"),
    ObjectPropertyRow<GetCurrentEventTargetBox>("currentEventTargetBox"),
    ObjectPropertyRow<GetFactory>("factory"),
    PropertyRow<GetReportScriptErrors, SetReportScriptErrors>("reportScriptErrors"),
    ObjectPropertyRow<GetThemeManager>("themeManager"),
    PropertyRow<GetDefaultToolkit, SetDefaultToolkit>("defaultToolkit"),
    PropertyRow<GetDir, SetDir>("dir"),
    PropertyRow<GetRtlFormatting, SetRtlFormatting>("rtlFormatting"),
    PropertyRow<GetOverrideScriptEngine, SetOverrideScriptEngine>("overrideScriptEngine"),
    PropertyRow<GetUiScaleProperty, SetUiScaleProperty>("uiScale"),
    MethodRow<1, AddListener>("addListener"),
    MethodRow<1, RemoveListener>("removeListener"),
    MethodRow<4, PreTranslateAccelerator>("preTranslateAccelerator"),
    NUBO::XMemberEnd(),
};

static_assert(sizeof(kMembers) / sizeof(kMembers[0]) == 36, "35 members and the end");

} // namespace

NUBO::XClassDescriptor Shell::Descriptor = {"Shell", 36, kMembers, &XObject::Descriptor, 0, {}};

void SetCurrentEventObject(XObject* event) {
    g_currentEvent = event;
}

XObject* GetCurrentEventObject() {
    return g_currentEvent;
}

void SetCurrentData(const WCHAR* data) {
    CurrentData() = data ? data : u"";
}

const TWString& GetCurrentData() {
    return CurrentData();
}
