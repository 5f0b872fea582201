#pragma once
// oxScene: one open markup document with a window. The scene is the container the document's root
// tag is parsed under, owns the root box and the boxes made while it loads, runs its scripts in its
// script context, keeps the style rules of its libraries, and is the point through which every
// event of its boxes is dispatched. It is also a library, so it holds resources and imports like
// one. Focus, tab order, the default button, key matching, handlers and messages live in
// scene_focus.cpp and scene_handlers.cpp; event routing in scene_events.cpp.
#include <cstdint>
#include <vector>

#include "platform/com/variant.h"
#include "runtime/hash_map.h"
#include "runtime/ptr_vector.h"
#include "runtime/string_map.h"
#include "runtime/wide_string.h"
#include "toolkit/binding/binding_host.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/library/library.h"

class oxBindingElement;
class oxBox;
struct oxRect;
class oxCommandElement;
class oxCommandGroupElement;
class oxEvent;
class oxKeyElement;
class oxKeyEvent;
class oxKeyGroupElement;
class oxQualifiedName;
class oxRuntime;
class oxSceneInputState;
class oxSceneWindow;
class oxScriptElement;
struct oxSceneScript;
namespace NUBO {
class XObject;
}

// Receives the events handed to a scene's own handlers. Counted while registered; answering 0 ends
// the dispatch of that event to the scene's later handlers.
class oxSceneEventListener {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual int32_t HandleEvent(oxEvent* event) = 0;

protected:
    ~oxSceneEventListener() = default;
};

// Texts of the built-in dialog.
inline constexpr const WCHAR* kBuiltInDialogName = u"_builtInDialog";
inline constexpr const WCHAR* kDialogYesText = u"Yes";
inline constexpr const WCHAR* kDialogNoText = u"No";

class oxScene : public oxLibrary, public oxBoxScene, public oxBindingScene {
public:
    // What resources and data binding ask of their scene.
    ULONG AddRef() override { return oxLibrary::AddRef(); }
    ULONG Release() override { return oxLibrary::Release(); }
    oxResourceRuntime* GetResourceRuntime() const override;
    oxBindingRuntime* GetBindingRuntime() const override;
    bool IsConstructing() const override;
    bool IsOpen() const override { return (state_ & kOpen) != 0; }
    oxElement* FindGadgetByTag(oxAtom tag) override { return oxLibrary::FindGadgetByTag(tag); }
    int GetScriptObject(NUBO::XObject** out) override;

    // State flags.
    static constexpr uint32_t kCloseRequested = 0x1;
    static constexpr uint32_t kFocusChanging = 0x2;
    static constexpr uint32_t kWaiting = 0x8;
    static constexpr uint32_t kNeedsLayout = 0x20;
    static constexpr uint32_t kBindingsPending = 0x40;
    static constexpr uint32_t kWindowsNotShown = 0x80;
    static constexpr uint32_t kDialog = 0x100;
    static constexpr uint32_t kModal = 0x200;
    static constexpr uint32_t kAttached = 0x400;
    static constexpr uint32_t kClosing = 0x800;
    static constexpr uint32_t kConstructed = 0x1000;
    static constexpr uint32_t kOpen = 0x2000;
    static constexpr uint32_t kLayoutBlocked = 0x4000;
    static constexpr uint32_t kDeferConstruction = 0x8000;
    static constexpr uint32_t kInitialState = 0xE0; // needs layout, bindings pending, windows not shown

    // Window flags.
    static constexpr uint8_t kMaximized = 0x1;
    static constexpr uint8_t kMinimized = 0x2;
    static constexpr uint8_t kNoActivate = 0x4;
    static constexpr uint8_t kChildWindow = 0x8;

    // The count starts at 0, as for every library.
    oxScene(oxRuntime* runtime, const WCHAR* uri, NUBO::XObject* params, int32_t embedded, int32_t windowSubFlag);
    ~oxScene() override;

    // "state" "off" switches the runtime's debug output off, any other value on.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // A box-namespace tag becomes the root box; "trace" is the scene itself; command and key groups
    // belong to the scene; the rest as a library.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    // Constructs, attaches, styles and lays out the tree, shows the window and tells the listeners.
    // A modal dialog returns only when it has closed.
    void Open(oxScene* opener, const WCHAR* name, NUBO::XObject* listener, bool dialog, bool modal,
              bool shareLibraries);
    // Unless forced the listeners hear "beforeSceneClose" and a "close" event may cancel. The window
    // closes at once, or when the outermost dispatch returns; the scene may be gone afterwards.
    void Close(bool forced);
    // Hands the event to the runtime's frame input, which routes it; without one nothing happens.
    // 0 when a close waiting for the dispatch was carried out, else 1.
    int32_t DispatchEvent(oxEvent* event);
    // 1 when the script was loaded into the scene's context and ran.
    int32_t AddScript(oxAtom id, oxAtom language, const WCHAR* source, oxBox* element);
    // Runs the script file `source` (a resolved path) in the script context named by `key`, made
    // when needed, so that every scene importing under one key shares its engine. A key, language
    // and file run once in the scene; true when the file ran now. False without a key or root, for
    // "nativeObject", a file outside the resources folder, or one that does not open or parse.
    bool ImportCode(oxAtom key, oxAtom language, const WCHAR* source, oxBox* root);
    // Calls the method of that name on the listener object, then tells the runtime.
    void NotifyListeners(const WCHAR* eventName);

    // Boxes.
    oxBox* CreateBox(oxAtom ns, oxAtom tag) override;
    // Copies of boxes are made like markup's boxes, by type and tag.
    oxBox* CreateBoxOfType(oxAtom type, oxAtom tag) override;
    oxBox* GetRootBox() override { return root_; }
    oxElement* GetLibraryElement() override { return this; }
    bool IsRunning() const override { return (state_ & kOpen) != 0; }
    oxElement* CreateScriptElement(oxBox* owner, oxAtom tag) override;
    void OnBoxChangedScene(oxBox* box) override;
    bool SetDeferConstruction(bool on) override;
    // The command and key groups a box holds (its markup's and its gadget's), or null.
    const NUBO::PtrVector<oxElement*>* GroupsOf(oxBox* box) const;
    oxElement* CreateGroupElement(oxBox* owner, oxAtom tag) override { return CreateGroupElement(owner, tag, false); }
    // `gadget`: a group made for the box by its gadget, never one of the scene's own.
    oxElement* CreateGroupElement(oxBox* owner, oxAtom tag, bool gadget) override;
    oxBox* FindBoxById(oxAtom id) override { return GetBoxById(id, false); }
    void UnregisterBoxId(oxBox* box, oxAtom id) override;
    void OnBoxLeftScene(oxBox* box) override { ForgetBox(box); }
    void AddFrameBox(oxBox* box) override;
    // The boxes that host native windows, in the order they joined.
    const std::vector<oxBox*>& GetFrameBoxes() const { return frameBoxes_; }
    void OnBoxDestroyed(oxBox* box) override;
    void DestroyBox(oxBox* box) override;
    oxDataBinding* CreateDataBinding(oxBox* box, oxElement** element) override;

    // Data bindings that could not connect while the scene loaded wait here (one reference each)
    // and connect at the first layout once their source and target can be found.
    bool IsLoading() const override { return loading_; }
    void AddPendingBinding(oxBindingElement* binding) override;
    void RemovePendingBinding(oxBindingElement* binding) override;
    void ConnectPendingBindings();
    size_t GetPendingBindingCount() const { return pendingBindings_.size(); }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override;
    bool NotifySceneOfChange(oxBox* layoutRoot) override;
    void OnBoxRepaintRequested(oxBox* box) override;
    void RefitWindow() override;
    void QueuePresented(oxBox* box) override;
    // Sends each box waiting for "presented" its event, in the order they were painted; an embedded
    // scene waits until its opener is open.
    void PresentBoxes();
    // Made on first use; scroll bars hold it as their change listener and scroll their boxes by it.
    oxChangeListener* GetScrollbarListener() override;
    void CloseTrackedPopup() override;
    oxStyleLibrary* GetStyleLibrary() override { return this; }
    // The root box's `dir` when it has one, else the runtime's default direction.
    bool IsRightToLeft() const override;
    bool GetRtlFormatting() const override { return rtlFormatting_; }
    // A script element reached its end tag.
    void ForgetOpenScript(oxScriptElement* element);

    // The first box of the id below the root (parts of gadgets are not found), remembered.
    oxBox* GetBoxById(oxAtom id, bool expand);
    void ForgetBoxId(oxBox* box);
    // Drops every reference the scene keeps to the box (focus, default button, layout queue).
    void ForgetBox(oxBox* box);
    oxBox* FindBoxByAttribute(oxAtom attribute, const WCHAR* value);

    // Styles.
    void AddStyleRule(oxStyleElement* rule) { styleMaps_.AddStyleRule(rule); }
    void ClearStyleRuleMaps() { styleMaps_.Clear(); }
    // Registers the style rules of the library chain (imports first, each library once).
    void ApplyImportedLibrary();
    oxBoxStyle* GetSubStyle(oxBox* box, oxAtom atom) override;
    // Imports the library of `uri` under `alias`, or puts it in the place of the alias's library;
    // the library, or null when none results.
    oxLibrary* SetThemeForAlias(const WCHAR* alias, const WCHAR* uri);

    // Layout and painting.
    void QueueLayout(oxBox* box);
    void DequeueLayout(oxBox* box);
    void Layout();
    void Paint();
    void BeginUpdate();
    void EndUpdate();
    void SetWaiting(bool on);

    // Dialogs.
    // Opens the toolkit's dialog scene modally with the texts as params; the results object (one
    // reference, filled by the dialog's scripts) goes to `results`. 0 without a runtime.
    int32_t ShowBuiltInDialog(const WCHAR* type, const WCHAR* body, const WCHAR* title, const WCHAR* input,
                              int32_t size, NUBO::XObject** results);
    int32_t Alert(const WCHAR* body, const WCHAR* title, int32_t size, NUBO::XObject** results);
    int32_t Prompt(const WCHAR* body, const WCHAR* title, const WCHAR* input, int32_t size, NUBO::XObject** results);
    int32_t Confirm(const WCHAR* body, const WCHAR* title, int32_t size, NUBO::XObject** results);
    void RemoveDialog(oxScene* dialog, bool modal);
    size_t GetDialogCount() const { return dialogs_.size(); }
    size_t GetModalDialogCount() const { return modalDialogs_.size(); }

    // Focus, tab order and the default button (scene_focus.cpp).
    void SetFocusedBox(oxBox* box);
    oxBox* GetFocusedBox() const { return focused_; }
    int32_t GetTabIndex() const { return tabIndex_; }
    bool FocusByTabIndex(oxBox* from, oxBox* stop, bool forward);
    int32_t AdvanceFocus();
    int32_t RewindFocus();
    void SeekFocus(bool last);
    oxBox* GetDefaultButton();
    void SetDefaultButton(oxBox* box);
    void UpdateDefaultStyle();
    void SetActiveNativeText(oxBox* box);
    oxBox* GetActiveNativeText() const { return activeNativeText_; }
    // The popup that shows the scene's tooltips (kind popup, tag "tooltipPopup"), made on first use
    // under the root box; null without a root.
    oxBox* GetTooltipPopup();

    // Keys, commands, handlers and messages (scene_handlers.cpp).
    oxKeyElement* MatchKeyCode(const oxKeyEvent* event, oxBox* box, oxBox** where);
    // The command of the id: the groups of `box` and its ancestors first, then the scene's.
    oxCommandElement* FindCommand(oxAtom id, oxBox* box);
    // Finds the command in the scene's groups and runs it; false when there is none.
    bool DoCommand(oxAtom id);
    oxSceneScript* GetScriptById(oxAtom id) override;
    // Calls the handler's function with the arguments (last first, as script calls hold them).
    void RunHandler(const oxQualifiedName& name, const VARIANT* args, int count);
    // Hands a handler of the script "toolkit" to the built-in command handler; false when none is
    // installed or the action did not apply.
    bool RunBuiltinCommand(const oxQualifiedName& name, oxEvent* event);
    // Runs a handler with an event record as its argument.
    void RunEventHandler(const oxQualifiedName& name, oxEvent* event);
    // Sends a "message" event with the params to the root box; the result a handler left, else 0.
    int32_t SendMessage(const WCHAR* message, NUBO::XObject* params);
    void AddEventListener(oxAtom type, oxSceneEventListener* listener);
    // Hands the event to the scene's own handlers of its type (scene_events.cpp).
    void DispatchToHandlers(oxEvent* event);
    // The enabled command a "keyPress" runs and the box it runs for: the key binding found from the
    // focused box (else `target`) up, else on Enter the default button's command; null when none.
    oxCommandElement* FindKeyCommand(const oxKeyEvent* key, oxBox* target, oxBox** where);
    void RemoveEventListener(oxAtom type, oxSceneEventListener* listener);
    // Whether the shift, control and alt keys are down, as of the message being handled.
    void GetModifierKeyStates(bool* shift, bool* ctrl, bool* alt) const;
    oxCommandGroupElement* AddCommandGroup(oxAtom id);
    oxKeyGroupElement* AddKeyGroup(oxAtom id);
    size_t GetCommandGroupCount() const { return commandGroups_.size(); }
    size_t GetKeyGroupCount() const { return keyGroups_.size(); }
    oxCommandGroupElement* GetCommandGroupAt(size_t i) const { return commandGroups_[i]; }
    oxKeyGroupElement* GetKeyGroupAt(size_t i) const { return keyGroups_[i]; }
    // The first of the scene's own groups with the id, or null.
    oxCommandGroupElement* FindCommandGroup(oxAtom id) const;
    oxKeyGroupElement* FindKeyGroup(oxAtom id) const;
    // Takes one of the scene's own groups out and destroys it; false when it is not one of them.
    bool RemoveCommandGroup(oxCommandGroupElement* group);
    bool RemoveKeyGroup(oxKeyGroupElement* group);

    const NUBO::TWString& GetName() const { return name_; }
    const NUBO::TWString& GetContextName() const override { return contextName_; }
    void SetContextName(const WCHAR* name) { contextName_ = name; }
    oxRuntime* GetSceneRuntime() const { return runtime_; }
    // The scene's Scene script object, or null without a wrapper cache.
    NUBO::XObject* GetSceneObject() const override { return sceneObject_; }
    NUBO::XObject* GetParams() const { return params_; }
    oxScene* GetOpener() const { return opener_; }
    uint32_t GetState() const { return state_; }
    // Scripts set the layout-blocked flag; nothing else follows from the change.
    void SetStateFlag(uint32_t flag, bool on) { state_ = on ? state_ | flag : state_ & ~flag; }
    uint8_t GetWindowFlags() const { return windowFlags_; }
    int GetOpenState() const { return openState_; }
    bool IsEmbedded() const { return embedded_ != 0; }
    oxSceneScript* GetDefaultScript() const { return defaultScript_; }
    oxSceneWindow* GetWindow() const { return window_; }
    // The frame input's record of the scene; the scene takes it over (and deletes a previous one).
    oxSceneInputState* GetInputState() const { return inputState_; }
    void SetInputState(oxSceneInputState* state);

private:
    class RootInstance;
    struct Handler {
        oxAtom type;
        oxSceneEventListener* listener; // one reference
    };
    struct BoxGroups {
        NUBO::PtrVector<oxElement*> groups; // owned: command and key groups of one box
    };

    void ReadWindowParams();
    void ReattachGadgets();
    void ConstructTree();
    void AttachTree();
    void SendBoxEvent(oxBox* box, oxAtom type);
    // The window of a scene that has one, made on first use.
    oxSceneWindow* EnsureWindow();
    // Lays out what the queued boxes' changes reach; false when only a layout from the root will do.
    bool LayOutQueuedBoxes(const oxRect& area);
    bool ReachedAlongFlex(oxBox* box) const;
    void ClearLayoutQueue();
    void SetOpenerWindowsEnabled(bool on);
    void SetOtherScenesEnabled(bool on);
    void CloseWindow();
    // While the scene loads or opens (outside its modal loop) a close waits for the opening to end:
    // closed then, the runtime would go on to add and open a scene whose window is gone.
    bool CloseWaits() const { return !inModalLoop_ && (loading_ || openState_ == 1); }
    oxKeyElement* MatchInGroups(const NUBO::PtrVector<oxElement*>* groups, const oxKeyEvent* event);
    void ClearGroups();

    oxRuntime* runtime_;
    NUBO::XObject* params_ = nullptr; // one reference
    uint8_t windowFlags_ = 0;
    NUBO::TWString name_;
    oxScene* opener_ = nullptr;
    NUBO::PtrVector<oxScene*> dialogs_;
    NUBO::PtrVector<oxScene*> modalDialogs_;
    oxBox* root_ = nullptr; // one reference
    oxBox* focused_ = nullptr;
    // Not counted: a box leaves the list when it leaves the scene or dies (ForgetBox).
    std::vector<oxBox*> frameBoxes_;
    int32_t tabIndex_ = 0;
    oxBox* activeNativeText_ = nullptr;
    oxBox* tooltipPopup_ = nullptr; // a child of the root box
    oxBox* defaultButton_ = nullptr;
    NUBO::PtrVector<oxBox*> layoutQueue_;
    bool layingOut_ = false;
    NUBO::PtrVector<oxBox*> createdWhileLoading_; // one reference each
    NUBO::PtrVector<oxBox*> deferredBoxes_;       // one reference each
    NUBO::PtrVector<oxBox*> presentQueue_;        // one reference each
    bool presenting_ = false;
    NUBO::PtrVector<Handler> handlers_;
    oxStyleRuleMaps styleMaps_;
    NUBO::oxIdHashMap<oxBox*> idCache_;
    NUBO::PtrVector<oxKeyGroupElement*> keyGroups_;         // owned
    NUBO::PtrVector<oxCommandGroupElement*> commandGroups_; // owned
    NUBO::oxPtrHashMap<BoxGroups*> boxGroups_;              // owned
    int32_t embedded_;
    bool rtlFormatting_ = false;
    int32_t windowSubFlag_;
    oxScene* activeDialog_ = nullptr;
    NUBO::XObject* listener_ = nullptr;    // one reference
    NUBO::XObject* sceneObject_ = nullptr; // one reference
    int openState_ = 0;                    // 0 new, 1 opening, 2 open
    bool loading_ = true;                  // until Open: the markup is read under the scene
    bool inModalLoop_ = false;
    NUBO::TWString contextName_;
    NUBO::oxIdHashMap<oxSceneScript*> scripts_; // owned
    oxSceneScript* defaultScript_ = nullptr;
    NUBO::oxStringMap<int> loadedScripts_; // "id language source" of every script loaded
    int32_t nesting_ = 0;
    uint32_t state_ = kInitialState;
    uint16_t lastKeyCode_ = 0;
    bool lastShift_ = false, lastCtrl_ = false, lastAlt_ = false;
    oxSceneWindow* window_ = nullptr;               // owned
    oxSceneInputState* inputState_ = nullptr;       // owned
    oxChangeListener* scrollbarListener_ = nullptr; // one reference
    NUBO::oxStringMap<oxLibrary*> themeAliases_;    // alias -> library, one reference each
    NUBO::PtrVector<oxScriptElement*> openScripts_; // freed with the scene when a document breaks off
    NUBO::PtrVector<oxBindingElement*> pendingBindings_;
    bool connectingBindings_ = false;
};
