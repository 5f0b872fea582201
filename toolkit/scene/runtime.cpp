// The runtime's life, markup loading, libraries and the open scenes. Events and the script side
// are in runtime_events.cpp and runtime_scripts.cpp.
#include "toolkit/scene/runtime.h"

#include <new>
#include <vector>

#include "platform/crt/wide.h"
#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/stream.h"
#include "toolkit/base/error_report.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/library/theme_element.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/key_names.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_input.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XObject;

namespace {

// A URI names its scheme when a ':' is followed by '/' or '\' within its first 10 units.
bool HasSchemePrefix(const WCHAR* uri) {
    for (int i = 0; i < 10 && uri[i]; ++i) {
        if (uri[i] == u':' && (uri[i + 1] == u'/' || uri[i + 1] == u'\\')) return true;
    }
    return false;
}

struct StateAttribute {
    oxAtom atom;
    uint32_t bit;
};

constexpr StateAttribute kStateAttributes[] = {
    {kAtomHidden, 0x1},     {kAtomCollapsed, 0x2},   {kAtomDeflated, 0x4},    {kAtomOverflowed, 0x8},
    {kAtomHovered, 0x20},   {kAtomPressed, 0x40},    {kAtomDragged, 0x80},    {kAtomDragHovered, 0x100},
    {kAtomFocused, 0x200},  {kAtomDisabled, 0x400},  {kAtomEngaged, 0x800},   {kAtomPopped, 0x1000},
    {kAtomToggled, 0x2000}, {kAtomSelected, 0x4000}, {kAtomExpanded, 0x8000},
};

oxSceneInputMaker g_sceneInputMaker = nullptr;

} // namespace

oxSceneInputMaker SetSceneInputMaker(oxSceneInputMaker maker) {
    oxSceneInputMaker previous = g_sceneInputMaker;
    g_sceneInputMaker = maker;
    return previous;
}

oxRuntime::~oxRuntime() {
    Shutdown();
}

bool oxRuntime::Init() {
    baseUri_ = kRuntimeBaseUri;
    defaultDirection_ = kAtomNone;
    scriptLanguage_ = kAtomNone;
    rtlFormatting_ = false;
    debugOutput_ = true;
    cache_ = MakeScriptObjectCache();
    ownLoader_ = new (std::nothrow) oxMarkupLoader();
    errorReporter_ = new (std::nothrow) oxScriptErrorReporter(this);
    contextManager_ = new (std::nothrow) oxScriptContextManager(this);
    if (!registry_) registry_ = new (std::nothrow) oxScriptRegistry(this);
    if (!themes_) themes_ = new (std::nothrow) oxThemesElement(this);
    oxSetKeyNameReader(VirtualKeyFromName);
    if (!frameInput_ && g_sceneInputMaker) frameInput_ = g_sceneInputMaker();
    return cache_ && ownLoader_ && errorReporter_ && contextManager_ && themes_ && registry_;
}

int32_t oxRuntime::InitStateAttributes() {
    for (const StateAttribute& state : kStateAttributes)
        stateAttributes_.GetOrInsert(state.atom) = state.bit;
    return 0;
}

void oxRuntime::Shutdown() {
    if (cache_) cache_->ForgetThemeManagerObject();
    delete themes_;
    themes_ = nullptr;
    CloseAllScenes();
    delete registry_; // its sources let go of their objects while the engines still run
    registry_ = nullptr;
    delete frameInput_;
    frameInput_ = nullptr;
    for (auto it = libraries_.begin(); it != libraries_.end(); it = libraries_.Erase(it))
        it->value->Release();
    contextNames_.ClearNodes();
    for (XObject* listener : loadingListeners_)
        listener->Release();
    loadingListeners_.Clear();
    for (XObject* listener : listeners_)
        listener->Release();
    listeners_.Clear();
    delete ownLoader_;
    ownLoader_ = nullptr;
    delete contextManager_; // its engines may still call the reporter while they close
    contextManager_ = nullptr;
    delete cache_;
    cache_ = nullptr;
    delete errorReporter_;
    errorReporter_ = nullptr;
    stateAttributes_.ClearNodes();
}

// Every registered data source lets go of its object once no scene is left, then the listeners
// hear that the last scene closed.
void oxRuntime::LastSceneClosed() {
    if (registry_) registry_->Clear();
    Notify(oxRuntimeEvent(kRuntimeLastSceneClosed, nullptr, nullptr));
    StopSound(); // nothing is left to hear a sound out
}

oxMarkupLoader* oxRuntime::PushLoader() {
    oxMarkupLoader* loader = loaders_.empty() ? ownLoader_ : new (std::nothrow) oxMarkupLoader();
    if (!loader) return nullptr;
    if (!loaders_.PushBack(loader)) {
        if (loader != ownLoader_) delete loader;
        return nullptr;
    }
    return loader;
}

void oxRuntime::PopLoader() {
    oxMarkupLoader* loader = loaders_.Back();
    loaders_.PopBack();
    if (loader != ownLoader_) delete loader;
}

bool oxRuntime::Load(const WCHAR* uri, oxLibrary* container, oxElement** root) {
    if (root) *root = nullptr;
    if (!uri || !container) return false;
    oxMarkupLoader* loader = PushLoader();
    if (!loader) return false;
    loader->Reset();
    NUBO::XStream* rawStream = nullptr;
    lastLoadUnopened_ = false;
    if (OpenUriStream(uri, &rawStream) != 0) {
        PopLoader();
        lastLoadUnopened_ = true;
        return false;
    }
    RefPtr<NUBO::XStream> stream(rawStream);
    oxElement* made = container->LoadMarkup(*loader, uri, stream.get());
    if (root) *root = made;
    // The loader is popped and the stream released on every road, failures included, so that a
    // failed nested load leaves the stack as it found it.
    if (loader->IsFailed()) {
        oxSourceErrorReport report(loader->GetErrorCode(), loader->GetErrorText().GetString(), uri,
                                   loader->GetErrorLine(), loader->GetErrorColumn());
        PopLoader();
        Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
        return false;
    }
    // Style text the document could not use does not stop it; each piece is reported once.
    std::vector<oxSourceErrorReport> styleReports = loader->GetStyleReports();
    PopLoader();
    for (const oxSourceErrorReport& report : styleReports)
        Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
    if (!made) {
        oxSourceErrorReport report(kErrorFileNotFound, kNoRootBoxText, uri, 0, 0);
        Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
        return false;
    }
    return true;
}

oxLibrary* oxRuntime::LoadLibrary(const WCHAR* uri) {
    if (!uri) return nullptr;
    if (oxLibrary* known = libraries_.Lookup(uri)) return known;
    auto* library = new (std::nothrow) oxLibrary(kAtomLibrary, uri, this);
    if (!library) return nullptr;
    library->AddRef();
    EnsureGadgets(library);
    if (!Load(uri, library, nullptr)) {
        library->Release();
        // Unlike a scene, whose opener hears that it did not open, a missing import would go
        // unnoticed: it is reported as a file not found.
        if (lastLoadUnopened_) ReportFileNotFound(uri);
        return nullptr;
    }
    libraries_.Insert(uri, library); // the reference just added
    return library;
}

void oxRuntime::ForgetLibraryObject(oxLibrary* library) {
    if (cache_) cache_->ForgetLibraryObject(library);
}

oxLibrary* oxRuntime::FindLibrary(const WCHAR* uri) {
    return uri ? libraries_.Lookup(uri) : nullptr;
}

bool oxRuntime::UnloadLibrary(const WCHAR* uri) {
    auto* node = uri ? libraries_.Find(uri) : nullptr;
    if (!node) return false;
    oxLibrary* library = node->value;
    if (library->Release() != 0) {
        library->AddRef();
        return false;
    }
    libraries_.Erase(uri);
    return true;
}

void oxRuntime::LoadInto(const WCHAR* uri, oxLibrary* library) {
    (void)Load(uri, library, nullptr);
}

oxScene* oxRuntime::OpenScene(const WCHAR* uri, int32_t embedded, int32_t windowSubFlag, oxScene* opener,
                              const WCHAR* name, XObject* params, XObject* listener, bool dialog) {
    return OpenSceneAs(uri, embedded, windowSubFlag, opener, name, params, listener, dialog, false, false);
}

oxScene* oxRuntime::OpenDialogScene(const WCHAR* uri, oxScene* opener, const WCHAR* name, XObject* params,
                                    XObject* listener, bool shareLibraries) {
    oxScene* scene = OpenSceneAs(uri, 0, 0, opener, name, params, listener, true, true, shareLibraries);
    if (NoSceneLeft()) LastSceneClosed();
    return scene;
}

oxScene* oxRuntime::OpenSceneAs(const WCHAR* uri, int32_t embedded, int32_t windowSubFlag, oxScene* opener,
                                const WCHAR* name, XObject* params, XObject* listener, bool dialog, bool modal,
                                bool shareLibraries) {
    if (!uri) return nullptr;
    TWString resolved(uri);
    if (opener && !HasSchemePrefix(uri)) resolved = NUBO::CombinePath(opener->GetBase().GetString(), uri);
    auto* scene = new (std::nothrow) oxScene(this, resolved.GetString(), params, embedded, windowSubFlag);
    if (!scene) return nullptr;
    scene->AddRef();
    EnsureGadgets(scene);
    ++scenesLoading_;
    const bool loaded = Load(resolved.GetString(), scene, nullptr);
    --scenesLoading_;
    if (!loaded || !scenes_.PushBack(scene)) {
        scene->Release();
        // A scene still loading counts as open here: its nested open that failed must not end the program.
        if (NoSceneLeft() && embedded == 0 && !modal) LastSceneClosed();
        return nullptr;
    }
    // A scene may close itself while it opens (its close waits for the opening to end): then it is
    // gone, and the caller gets no scene.
    RefPtr<oxScene> held = RefPtr<oxScene>::ref(scene);
    scene->Open(opener, name, listener, dialog, modal, shareLibraries);
    ++scenesOpened_;
    bool stillOpen = false;
    for (oxScene* open : scenes_)
        stillOpen = stillOpen || open == scene;
    return stillOpen ? scene : nullptr;
}

oxScene* oxRuntime::OpenSceneSimple(const WCHAR* uri, oxScene* opener, const WCHAR* name, XObject* params,
                                    XObject* listener, bool dialog) {
    return OpenScene(uri, 0, 0, opener, name, params, listener, dialog);
}

void oxRuntime::OnSceneClosed(oxScene* scene) {
    XObject* rawShell = nullptr;
    if (cache_) cache_->GetShellObject(this, &rawShell);
    RefPtr<XObject> shell(rawShell); // kept for the duration: a listener may drop the last other one
    if (scenes_.Remove(scene)) {
        if (!scenes_.empty()) CollectGarbage();
        scene->Release();
    }
    if (NoSceneLeft()) LastSceneClosed();
}

void oxRuntime::CloseAllScenes() {
    while (!scenes_.empty()) {
        oxScene* scene = scenes_.Back();
        scenes_.PopBack();
        scene->Release();
    }
}

oxScene* oxRuntime::GetSceneAt(int index) const {
    return index >= 0 && index < GetSceneCount() ? scenes_[size_t(index)] : nullptr;
}

oxScene* oxRuntime::FindSceneByName(const WCHAR* name) const {
    if (!name) return nullptr;
    for (oxScene* scene : scenes_) {
        if (wcscmp(scene->GetName().GetString(), name) == 0) return scene;
    }
    return nullptr;
}

void oxRuntime::SetScriptLanguage(oxAtom language) {
    if (!scenes_.empty()) return;
    if (language == kAtomNone || language == kAtomJavascript || language == kAtomJscript) scriptLanguage_ = language;
}

oxBox* oxRuntime::CreateBox(oxAtom kind, oxAtom, oxAtom tag) {
    static oxBoxFactory factory; // holds no state of its own: the kinds' makers are registered globally
    return factory.CreateBox(kind, 0, tag);
}

namespace {

// The toolkit's settings source. This system keeps no toolkit settings: every read finds none, so
// every setting stays off (and the built-in dialog keeps its own button texts).
bool ReadToolkitSetting(const WCHAR* name) {
    (void)name;
    return false;
}

} // namespace

void oxRuntime::EnsureGadgets(oxLibrary* library) {
    if (!gadgetSettingsRead_) {
        gadgetSettingsRead_ = true;
        gadgetSettings_.scriptTimes = ReadToolkitSetting(u"weftlyScriptTimes");
        gadgetSettings_.debugView = ReadToolkitSetting(u"weftlyDebugView");
        gadgetSettings_.importGadgets = ReadToolkitSetting(u"weftlyImportGadgets");
        gadgetSettings_.anonContentOff = ReadToolkitSetting(u"weftlyAnonContentOff");
    }
    if (!gadgetSettings_.importGadgets || !library) return;
    if (wcsstr(library->GetUri().GetString(), u"box://weftlyToolkit/content/")) return;
    if (oxLibrary* gadgets = LoadLibrary(kGadgetsLibraryUri)) library->AppendImport(gadgets);
}

oxElement* oxRuntime::GetThemesElement() {
    return themes_;
}

oxElement* oxRuntime::FindThemeResource(const WCHAR* fragment) {
    return themes_ ? themes_->FindResource(fragment, 0) : nullptr;
}

void oxRuntime::BeginUpdateAll() {
    for (oxScene* scene : scenes_)
        scene->BeginUpdate();
}

void oxRuntime::EndUpdateAll() {
    // A scene's relayout may run handlers that close scenes: walk a held copy.
    std::vector<RefPtr<oxScene>> held;
    for (oxScene* scene : scenes_)
        held.push_back(RefPtr<oxScene>::ref(scene));
    for (auto& scene : held)
        scene->EndUpdate();
}

oxLibrary* oxRuntime::ReplaceLibrary(oxLibrary* old, const WCHAR* uri, oxScene* scene) {
    oxLibrary* library = LoadLibrary(uri);
    if (!library || !old || library == old) return library;
    // The old library may go with its last import: keep its URI.
    NUBO::TWString oldUri = old->GetUri();
    if (scene) {
        scene->BeginUpdate();
        scene->ReplaceImport(oldUri.GetString(), library);
        scene->EndUpdate();
        return library;
    }
    BeginUpdateAll();
    for (oxScene* open : scenes_)
        open->ReplaceImport(oldUri.GetString(), library);
    EndUpdateAll();
    return library;
}

void oxRuntime::ReportResourceError(const WCHAR* text) {
    oxErrorReport report(int32_t(0x80000001u), text); // the code of a refused element
    Notify(oxRuntimeEvent(kRuntimeLoadingError, &report, nullptr));
}

void oxRuntime::ForgetResourceObject(oxElement* element) {
    if (cache_) cache_->ForgetResourceObject(element);
}
