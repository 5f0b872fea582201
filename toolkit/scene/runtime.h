#pragma once
// oxRuntime: the toolkit's scene manager, one per process, made and owned by the Shell. It opens
// scenes and libraries from URIs through the markup loaders, keeps the loaded libraries and the
// open scenes, owns the per-process services (script object cache, script context manager, error
// reporter), loads script files into scenes' script contexts, and tells its listeners what loaded,
// what failed and how scenes live and close. Listeners are script objects called by method name.
#include <cstdint>

#include "platform/types.h"
#include "runtime/hash_map.h"
#include "runtime/ptr_vector.h"
#include "runtime/string_map.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"
#include "toolkit/binding/binding_host.h"
#include "toolkit/library/library.h"

class oxBox;
class oxErrorReport;
class oxMarkupLoader;
class oxRuntime;
class oxGadgetInstance;
class oxScene;
class oxScriptContext;
class oxScriptContextManager;
class oxScriptRegistry;
class oxScriptObjectCache;
class oxSceneInput;
class oxThemesElement;
struct oxSceneScript;
namespace NUBO {
class XObject;
class XStream;
} // namespace NUBO

inline constexpr const WCHAR* kRuntimeBaseUri = u"box://weftlyToolkit";
inline constexpr const WCHAR* kSceneContextNameFormat = u"_SceneContext_%d";

// Kinds of runtime events.
enum oxRuntimeEventKind : int32_t {
    kRuntimeLoadingError = 0,
    kRuntimeLoadingStarted = 1,
    kRuntimeSceneOpened = 2, // also: loading complete
    kRuntimeSceneClosing = 3,
    kRuntimeSceneClosed = 4,
    kRuntimeLastSceneClosed = 5,
};

// What the runtime hands its listeners. Holds a reference to the scene object for its life.
class oxRuntimeEvent {
public:
    oxRuntimeEvent(int32_t kind, const oxErrorReport* report, NUBO::XObject* sceneObject);
    ~oxRuntimeEvent();
    oxRuntimeEvent(const oxRuntimeEvent&) = delete;
    oxRuntimeEvent& operator=(const oxRuntimeEvent&) = delete;

    int32_t kind;
    const oxErrorReport* report; // loading errors only; not owned
    NUBO::XObject* sceneObject;
};

// Turns script errors into loading-error events: where the error happened is set first, then
// ReportScriptError sends the text.
class oxScriptErrorReporter final : public oxScriptErrorSink {
public:
    explicit oxScriptErrorReporter(oxRuntime* runtime) : runtime_(runtime) {}

    void SetLocation(const WCHAR* source, int32_t line, int32_t column) override;
    void SetDetails(const WCHAR* detail, const WCHAR* secondDetail) override;
    void ReportScriptError(const WCHAR* text) override;

private:
    oxRuntime* runtime_;
    int32_t line_ = 0;
    int32_t column_ = 0;
    NUBO::TWString source_;
    NUBO::TWString detail_;
    NUBO::TWString secondDetail_;
};

// The toolkit settings, read once on the first EnsureGadgets; all off until then.
struct oxGadgetSettings {
    bool scriptTimes = false;
    bool debugView = false;
    bool importGadgets = false;
    bool anonContentOff = false;
};

inline constexpr const WCHAR* kGadgetsLibraryUri = u"box://weftlyToolkit/content/gadgets.box";

class oxRuntime final : public oxLibraryRuntime, public oxBindingRuntime {
public:
    oxRuntime() = default;
    oxRuntime(const oxRuntime&) = delete;
    oxRuntime& operator=(const oxRuntime&) = delete;
    ~oxRuntime();

    // False when a service could not be made; the runtime then works without it.
    bool Init();
    // Closes every scene, drops the libraries and listeners and deletes the services.
    void Shutdown();
    int32_t InitStateAttributes();
    // The state bit of a state attribute ("hidden", "focused", ...), 0 for any other.
    uint32_t GetStateBit(oxAtom attribute) const { return stateAttributes_.Lookup(attribute); }

    // Loads the markup of a URI under `container`. A URI that cannot be opened answers false with
    // no event; a malformed document or one without a root element is reported to the listeners.
    bool Load(const WCHAR* uri, oxLibrary* container, oxElement** root);

    oxLibrary* LoadLibrary(const WCHAR* uri) override;
    oxLibrary* FindLibrary(const WCHAR* uri) override;
    // True when the library was dropped; false while others still hold it.
    bool UnloadLibrary(const WCHAR* uri) override;
    oxElement* GetThemesElement() override;
    oxThemesElement* GetThemes() const { return themes_; }
    oxElement* FindThemeResource(const WCHAR* fragment) override;
    // Puts the library of `uri` in the place of `old` in `scene`, or in every open scene when null;
    // the new library, or null when it cannot be loaded.
    oxLibrary* ReplaceLibrary(oxLibrary* old, const WCHAR* uri, oxScene* scene);
    // Blocks, and then restyles and relays, every open scene around a change of libraries.
    void BeginUpdateAll() override;
    void EndUpdateAll() override;
    void ReportResourceError(const WCHAR* text) override;
    void ForgetResourceObject(oxElement* element) override;
    void LoadInto(const WCHAR* uri, oxLibrary* library) override;
    void ForgetLibraryObject(oxLibrary* library) override;

    // The open scene, or null when its markup could not be loaded (the listeners heard why) or it
    // closed itself while it opened.
    oxScene* OpenScene(const WCHAR* uri, int32_t embedded, int32_t windowSubFlag, oxScene* opener, const WCHAR* name,
                       NUBO::XObject* params, NUBO::XObject* listener, bool dialog);
    oxScene* OpenSceneSimple(const WCHAR* uri, oxScene* opener, const WCHAR* name, NUBO::XObject* params,
                             NUBO::XObject* listener, bool dialog);
    // Opens a modal dialog of `opener`; returns when the dialog has closed, with the scene when it is
    // still there, else null.
    oxScene* OpenDialogScene(const WCHAR* uri, oxScene* opener, const WCHAR* name, NUBO::XObject* params,
                             NUBO::XObject* listener, bool shareLibraries);
    // A scene's window has closed: the runtime lets the scene go.
    void OnSceneClosed(oxScene* scene);
    // Releases every open scene, last opened first.
    void CloseAllScenes();
    int GetSceneCount() const { return int(scenes_.size()); }
    // Scenes whose opening ran to its end, whether or not they closed since.
    int GetOpenedSceneCount() const { return scenesOpened_; }
    oxScene* GetSceneAt(int index) const;
    oxScene* FindSceneByName(const WCHAR* name) const;

    // Scene listeners get "onSceneLoadingError", "onSceneOpen", "beforeSceneClose",
    // "onSceneClosed" and "onFinalSceneClose". AddListener ignores null and repeats; answers 1.
    int AddListener(NUBO::XObject* listener);
    void RemoveListener(NUBO::XObject* listener);
    // While any is registered, events go to the loading listeners instead: "loadingError",
    // "loadingStart" and "loadingComplete".
    void AddLoadingListener(NUBO::XObject* listener);
    void Notify(const oxRuntimeEvent& event);
    void LastSceneClosed();
    void FireSceneEvent(const oxRuntimeEvent& event);
    void FireLoadingEvent(const oxRuntimeEvent& event);

    // Loads a script file (text 0) or text (text 1) for a box's scene into the scene's context, or
    // the shared gadget context for text; the script's record (the caller owns it), or null.
    oxSceneScript* LoadScript(const WCHAR* source, oxAtom language, oxBox* box, bool text);
    // A gadget script instance for the box, made by the shared context of the language (the caller
    // owns it); null for "nativeObject" or without a context.
    oxGadgetInstance* CreateGadgetInstance(const WCHAR* source, oxAtom language, oxBox* box) override;
    // 0 and a context with one reference; 1 when none was given.
    int32_t GetScriptContext(oxAtom language, oxScene* scene, bool shared, oxScriptContext** out);
    // A scene's root box leaves: its context name is forgotten with it.
    void ForgetSceneContextName(oxBox* root);
    void CollectGarbage();
    // Drops the shared gadget context.
    void ReleaseDefaultEngines();
    void SetScriptLanguage(oxAtom language);
    oxAtom GetScriptLanguage() const { return scriptLanguage_; }

    // A new box of the kind's class through the box factory (count 1).
    oxBox* CreateBox(oxAtom kind, oxAtom ns, oxAtom tag);
    // Imports the toolkit's gadgets library into the library when the settings ask for it.
    void EnsureGadgets(oxLibrary* library);
    const oxGadgetSettings& GetGadgetSettings() const { return gadgetSettings_; }

    void ReportError(int level, const WCHAR* text) override;
    void ReportFileNotFound(const WCHAR* uri) override;
    oxScriptErrorReporter* GetErrorReporter() const override { return errorReporter_; }

    oxScriptObjectCache* GetScriptObjectCache() const override { return cache_; }
    int32_t RunToolkitBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) override;
    // The input state shared by every scene, or null when no frames were installed.
    oxSceneInput* GetFrameInput() const { return frameInput_; }
    oxScriptContextManager* GetScriptContextManager() const override { return contextManager_; }
    // The data sources scripts registered by name.
    oxScriptRegistry* GetScriptRegistry() const override { return registry_; }
    bool GetDebugOutput() const override { return debugOutput_; }
    void SetDebugOutput(bool on) { debugOutput_ = on; }
    const NUBO::TWString& GetBaseUri() const { return baseUri_; }
    void SetBaseUri(const WCHAR* uri) { baseUri_ = uri; }
    oxAtom GetDirection() const { return defaultDirection_; }
    void SetDirection(oxAtom direction) { defaultDirection_ = direction; }
    bool GetRtlFormatting() const { return rtlFormatting_; }
    void SetRtlFormatting(bool on) { rtlFormatting_ = on; }

private:
    oxScene* OpenSceneAs(const WCHAR* uri, int32_t embedded, int32_t windowSubFlag, oxScene* opener, const WCHAR* name,
                         NUBO::XObject* params, NUBO::XObject* listener, bool dialog, bool modal, bool shareLibraries);
    // The loader for the next nested load, pushed; null when none could be had.
    oxMarkupLoader* PushLoader();
    void PopLoader();
    // No scene is open and none is loading: a scene whose markup is still being read is about to
    // run, so a second scene that fails or closes meanwhile is not the last one.
    bool NoSceneLeft() const { return scenes_.empty() && scenesLoading_ == 0; }
    // Writes a loading error as the debug output shows it, when that is on.
    void WriteReport(const oxErrorReport* report);

    NUBO::oxStringMap<oxLibrary*> libraries_;         // one reference each
    NUBO::oxPtrHashMap<NUBO::TWString> contextNames_; // scene root box -> its "_SceneContext_%d" name
    int32_t contextCounter_ = 0;
    NUBO::PtrVector<oxScene*> scenes_; // one reference each, in order of opening
    NUBO::PtrVector<oxMarkupLoader*> loaders_;
    NUBO::PtrVector<NUBO::XObject*> loadingListeners_;
    NUBO::PtrVector<NUBO::XObject*> listeners_;
    oxMarkupLoader* ownLoader_ = nullptr;
    oxScriptObjectCache* cache_ = nullptr;
    oxSceneInput* frameInput_ = nullptr; // owned
    oxScriptContextManager* contextManager_ = nullptr;
    oxScriptRegistry* registry_ = nullptr; // owned
    bool debugOutput_ = true;
    oxScriptErrorReporter* errorReporter_ = nullptr;
    oxThemesElement* themes_ = nullptr; // owned
    NUBO::oxIdHashMap<uint32_t> stateAttributes_;
    NUBO::TWString baseUri_;
    oxAtom defaultDirection_ = kAtomNone;
    bool rtlFormatting_ = false;
    oxAtom scriptLanguage_ = kAtomNone;
    bool lastLoadUnopened_ = false; // the last Load could not open its file
    int scenesLoading_ = 0;         // scenes whose markup is being read, nested opens included
    int scenesOpened_ = 0;
    oxGadgetSettings gadgetSettings_;
    bool gadgetSettingsRead_ = false;
};
