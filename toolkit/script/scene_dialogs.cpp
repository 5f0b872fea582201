#include "toolkit/script/scene_dialogs.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/box.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/window_box.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// The Scene object of a newly opened scene, with a reference; null when it did not open. The call
// does not wait for the scene.
Scene* OpenOver(oxScene* opener, const WCHAR* uri, const WCHAR* name, XObject* params, XObject* listener, bool dialog) {
    oxRuntime* runtime = opener ? opener->GetSceneRuntime() : nullptr;
    if (!runtime) return nullptr;
    oxScene* scene = runtime->OpenSceneSimple(uri, opener, name, params, listener, dialog);
    XObject* object = nullptr;
    if (!scene || !runtime->GetScriptObjectCache() || !runtime->GetScriptObjectCache()->GetSceneObject(scene, &object))
        return nullptr;
    return static_cast<Scene*>(object);
}

int32_t OnSceneClosed(XObject* object, int, XArgList*, XVariant*) {
    auto* self = static_cast<sheetDialogSceneListener*>(object);
    if (!self) return NUBO::XR_INVALID;
    if (oxScene* background = self->GetBackground()->GetScene()) background->Close(false);
    return 0;
}

const NUBO::XMemberEntry kListenerMembers[] = {
    NUBO::XMethod("onSceneClosed", OnSceneClosed),
    NUBO::XMemberEnd(),
};

void SetText(XObject* dictionary, const WCHAR* key, const TWString& text) {
    XVariant value(text);
    static_cast<NUBO::XDictionary*>(dictionary)->SetValueForKey(&value, key);
}

void SetNumber(XObject* dictionary, const WCHAR* key, int n) {
    TWString text;
    text.Format(u"%d", n);
    SetText(dictionary, key, text);
}

bool FileExists(const WCHAR* uri) {
    NUBO::XStream* stream = nullptr;
    if (OpenUriStream(uri, &stream) != 0) return false;
    stream->Release();
    return true;
}

} // namespace

NUBO::XClassDescriptor sheetDialogSceneListener::Descriptor = {"sheetDialogSceneListener", 2, kListenerMembers,
                                                               &XObject::Descriptor,       0, {}};

sheetDialogSceneListener::sheetDialogSceneListener(Scene* background) : background_(background) {
    background_->AddRef();
}

sheetDialogSceneListener::~sheetDialogSceneListener() {
    background_->Release();
}

void OpenBuiltInDialog(Scene* scene, XObject* params) {
    oxScene* opener = scene->GetScene();
    oxRuntime* runtime = opener ? opener->GetSceneRuntime() : nullptr;
    // Returns only when the dialog has closed, so the opener reads the answer in its results right
    // after the call; the dialog may be gone by then, so it is not touched.
    if (runtime) (void)runtime->OpenDialogScene(kBuiltInDialogScene, opener, kBuiltInDialogName, params, nullptr, true);
}

bool OpenBuiltInSheetDialog(Scene* scene, XObject* params) {
    RefPtr<Scene> background(
        OpenOver(scene->GetScene(), kBuiltInSheetTintedScene, kSheetBackgroundName, params, nullptr, true));
    if (!background || !background->GetScene()) return false;
    auto* made = new (std::nothrow) sheetDialogSceneListener(background.get());
    if (!made) return true;
    RefPtr<XObject> listener = RefPtr<XObject>::ref(made);
    // The sheet's modal loop runs inside this call; closing the sheet closes the background.
    (void)background->GetScene()->GetSceneRuntime()->OpenDialogScene(kBuiltInSheetDialogScene, background->GetScene(),
                                                                     kBuiltInDialogName, params, listener.get(), false);
    return true;
}

void CloseHelpBoxScene(Scene* scene) {
    RefPtr<Scene> helpBox = RefPtr<Scene>::ref(scene->GetHelpBox());
    scene->SetHelpBox(nullptr);
    if (helpBox && helpBox->GetScene()) helpBox->GetScene()->Close(false);
}

void ShowHelpBoxScene(Scene* scene, const TWString& text, oxBox* anchor, int timeout) {
    CloseHelpBoxScene(scene);
    oxScene* native = scene->GetScene();
    constexpr uint32_t kUnshown = kStateHidden | kStateCollapsed | kStateHiddenByAncestor;
    if (!anchor || !native || !native->GetRootBox() || (anchor->GetStateFlags() & kUnshown)) return;
    XObject* rawParams = nullptr;
    if (NUBO::CreateXDictionary(&rawParams) != 0) return;
    RefPtr<XObject> params(rawParams);
    const SIZE work = GetWorkAreaSize();
    SetNumber(params.get(), u"workAreaWidth", work.cx);
    SetNumber(params.get(), u"workAreaHeight", work.cy);
    oxPoint size = anchor->GetPacked(1);
    SetNumber(params.get(), u"anchorWidth", size.x);
    SetNumber(params.get(), u"anchorHeight", size.y);
    oxPoint at = GetBoxScreenPosition(anchor);
    SetNumber(params.get(), u"anchorX", at.x);
    SetNumber(params.get(), u"anchorY", at.y);
    SetText(params.get(), u"value", text);
    if (timeout > 0) SetNumber(params.get(), u"timeout", timeout);

    TWString uri(kDefaultHelpBoxUri);
    const TWString& base = native->GetSceneRuntime()->GetBaseUri();
    if (IsBoxUri(base.GetString())) {
        TWString own = base;
        own += kHelpBoxPath;
        if (FileExists(own.GetString())) uri = own;
    }
    RefPtr<Scene> helpBox(OpenOver(native, uri.GetString(), kHelpBoxName, params.get(), nullptr, false));
    scene->SetHelpBox(helpBox.get());
    oxScene* shown = helpBox ? helpBox->GetScene() : nullptr;
    if (auto* window = shown ? dynamic_cast<oxWindowBox*>(shown->GetRootBox()) : nullptr) window->BringToFront();
}
