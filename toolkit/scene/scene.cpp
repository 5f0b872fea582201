#include "toolkit/scene/scene.h"

#include <iterator>
#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/stream.h"
#include "toolkit/base/uri.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/element_source.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/animation_scheduler.h"
#include "toolkit/core/box.h"
#include "toolkit/core/collapsed_container_box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/instance_element.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/gadget_element.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene_input.h"
#include "toolkit/scene/scene_script_context.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/scene/script_element.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_helper.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/attribute_value.h"

using NUBO::TWString;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

inline constexpr const WCHAR* kScriptAlreadyLoadedText = u"Script was already loaded. File: ";
inline constexpr const WCHAR* kUnrecognizedTagText = u"Unrecognized tag: \"";

TWString LoadedScriptKey(oxAtom id, oxAtom language, const WCHAR* source) {
    TWString key;
    key.Format(u"%d %d %s", int(id), int(language), source ? source : u"");
    return key;
}

// Scrolls the box a scroll bar belongs to when the bar's value changes. One per scene, shared by
// its bars, each of which holds a reference; it keeps no pointer to the scene, so bars that outlive
// the scene reach nothing through it.
class ScrollbarListener final : public oxChangeListener {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ != 0) return refs_;
        refs_ = oxBox::kDeletingCount;
        delete this;
        return 0;
    }
    void OnAttributeChanged(oxBox* bar, oxAtom attribute) override {
        // A change of "max" alone scrolls nothing.
        if (!bar || bar->IsEffectivelyHidden() || attribute != kAtomValue) return;
        oxBox* target = bar->GetLogicalParent();
        if (!target) target = bar->GetScrolledBox();
        if (!target) return;
        const WCHAR* value = bar->GetAttributeText(kAtomValue);
        const int32_t n = value ? _wtoi(value) : 0;
        const WCHAR* axis = bar->GetAttributeText(kAtomAxis);
        if (axis && wcscmp(axis, u"y") == 0) {
            target->SetScrollY(n);
            return;
        }
        const WCHAR* dir = target->GetAttribute(kAtomDir);
        const WCHAR* max = bar->GetAttributeText(kAtomMax);
        const bool rtl = dir && oxAtoms::Find(dir) == kAtomRtl;
        target->SetScrollX(rtl ? (max ? _wtoi(max) : 0) - n : n);
    }
    void OnStyleChanged(oxBox*, int) override {}

private:
    ~ScrollbarListener() = default;
    uint32_t refs_ = 0;
};

// Box tags the toolkit makes without a gadget.
bool IsNativeBoxTag(oxAtom tag) {
    return (tag >= kAtomBox && tag <= kAtomWindow) || tag == kAtomCollapsedContainer || tag == kAtomColumn ||
           tag == kAtomDatagrid;
}

// A params property by name, the underscored form first; false when neither is set.
bool ReadParam(XObject* params, const WCHAR* underscored, XVariant* out) {
    if (params->GetPropertyByName(underscored, out) == 0 && out->vt != VT_EMPTY) return true;
    out->Clear();
    return params->GetPropertyByName(underscored + 1, out) == 0 && out->vt != VT_EMPTY;
}

} // namespace

// The `instance` tag at the top of a scene: its box becomes the root.
class oxScene::RootInstance : public oxInstanceElement {
public:
    explicit RootInstance(oxScene* scene) : oxInstanceElement(scene, nullptr), owner_(scene) {}

protected:
    void AdoptAsRoot(oxBox* box) override {
        if (owner_->root_) owner_->root_->Release(); // a later box replaces the root
        owner_->root_ = box;
    }

private:
    oxScene* owner_;
};

oxScene::oxScene(oxRuntime* runtime, const WCHAR* uri, XObject* params, int32_t embedded, int32_t windowSubFlag)
    : oxLibrary(0, uri, runtime), runtime_(runtime), embedded_(embedded), windowSubFlag_(windowSubFlag) {
    // The runtime's setting as the scene opens: a later change is for scenes opened after it.
    rtlFormatting_ = runtime_ && runtime_->GetRtlFormatting();
    // The scene reads its window's params itself; scripts see them through the Scene object's view.
    if (params) {
        params->AddRef();
        params_ = params;
    }
    if (oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr) {
        if (cache->GetSceneObject(this, &sceneObject_)) cache->CreateParamsView(sceneObject_, params);
    }
}

oxResourceRuntime* oxScene::GetResourceRuntime() const {
    return runtime_;
}

oxBindingRuntime* oxScene::GetBindingRuntime() const {
    return runtime_;
}

bool oxScene::IsConstructing() const {
    return (state_ & kOpen) && !(state_ & kDeferConstruction);
}

int oxScene::GetScriptObject(XObject** out) {
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    return cache ? cache->GetSceneObject(this, out) : 0;
}

oxScene::~oxScene() {
    if (oxScriptRegistry* registry = runtime_ ? runtime_->GetScriptRegistry() : nullptr)
        registry->RemoveSceneObjects(this);
    for (oxBindingElement* binding : pendingBindings_)
        binding->Release();
    pendingBindings_.Clear();
    for (auto it = themeAliases_.begin(); it != themeAliases_.end(); it = themeAliases_.Erase(it))
        it->value->Release();
    for (oxScriptElement* open : openScripts_) {
        open->DetachScene();
        delete open;
    }
    openScripts_.Clear();
    if (opener_ && opener_->activeDialog_ == this) opener_->activeDialog_ = nullptr;
    if (root_) SendBoxEvent(root_, kAtomDestroyed);
    layoutQueue_.Clear();
    if (oxSceneInput* input = runtime_ ? runtime_->GetFrameInput() : nullptr) input->ForgetScene(this);
    focused_ = nullptr;
    defaultButton_ = nullptr;
    activeNativeText_ = nullptr;
    // The window goes while the root box it is framing is still alive; the scene no longer names
    // it while it is torn down, so nothing it tells on its way out reaches it.
    if (window_) {
        oxSceneWindow* window = window_;
        window_ = nullptr;
        delete window;
    }
    // Boxes that others still hold (an event's target, a script) outlive the scene: they leave it
    // first, so that they never reach it afterwards.
    if (root_) {
        if (runtime_) runtime_->ForgetSceneContextName(root_);
        oxBox* root = root_;
        root_ = nullptr;
        root->AttachSubtreeToScene(nullptr);
        root->Release();
    }
    for (oxBox* box : createdWhileLoading_) {
        if (box->GetScene() == this) box->AttachSubtreeToScene(nullptr);
        box->Release();
    }
    createdWhileLoading_.Clear();
    for (oxBox* box : deferredBoxes_) {
        if (box->GetScene() == this) box->AttachSubtreeToScene(nullptr);
        box->Release();
    }
    deferredBoxes_.Clear();
    for (oxBox* box : presentQueue_)
        box->Release();
    presentQueue_.Clear();
    styleMaps_.Clear();
    idCache_.ClearNodes();
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
    if (scrollbarListener_) {
        scrollbarListener_->Release();
        scrollbarListener_ = nullptr;
    }
    defaultScript_ = nullptr;
    for (auto it = scripts_.begin(); it != scripts_.end(); it = scripts_.Erase(it))
        delete it->value;
    if (runtime_ && runtime_->GetScriptContextManager() && !contextName_.IsEmpty())
        runtime_->GetScriptContextManager()->RemoveContext(contextName_.GetString());
    for (oxScene* dialog : dialogs_)
        dialog->opener_ = nullptr;
    if (opener_) {
        opener_->RemoveDialog(this, true);
        opener_->RemoveDialog(this, false);
    }
    for (Handler& h : handlers_)
        h.listener->Release();
    handlers_.Clear();
    ClearGroups();
    if (params_) {
        params_->Release();
        params_ = nullptr;
    }
    SetInputState(nullptr);
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
    if (ns == kAtomBoxNamespace && (tag == kAtomCommandGroup || tag == kAtomKeyGroup)) {
        *out = tag == kAtomCommandGroup ? static_cast<oxElement*>(AddCommandGroup(0))
                                        : static_cast<oxElement*>(AddKeyGroup(0));
        return *out ? 0 : kElementNotHandled;
    }
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
    if (ns == kAtomBoxNamespace) {
        // An instance at the top level makes the root box.
        *out = new (std::nothrow) RootInstance(this);
        return *out ? 0 : kElementNotHandled;
    }
    return oxLibrary::CreateChildElement(ns, tag, out);
}

oxBox* oxScene::CreateBox(oxAtom ns, oxAtom tag) {
    if (!runtime_) return nullptr;
    auto* gadget = (tag == kAtomBox || tag == kAtomHbox || tag == kAtomVbox)
                       ? nullptr
                       : dynamic_cast<oxGadgetElement*>(FindGadgetByTag(tag));
    // Differs: a scroll bar or range thumb without a gadget of its tag is a plain box (styled by
    // its tag's rules) rather than none, since the toolkit's gadgets library is never imported; the
    // scroll offsets written to a scroll bar still reach the box it scrolls, and a range places and
    // drags its thumb.
    if (!gadget && !IsNativeBoxTag(tag) && tag != kAtomScrollbar && tag != kAtomThumb) {
        WCHAR name[oxAtoms::kLookupUnits] = {};
        oxAtoms::GetName(tag, name, oxAtoms::kLookupUnits);
        TWString text(kUnrecognizedTagText);
        text += name;
        text += u"\"";
        runtime_->ReportError(2, text.GetString());
        return nullptr;
    }
    oxAtom kind = (tag == kAtomBox || tag == kAtomHbox || tag == kAtomVbox) ? 0 : tag;
    if (gadget)
        kind = gadget->GetBaseTag() == kAtomHbox || gadget->GetBaseTag() == kAtomVbox ? 0 : gadget->GetBaseTag();
    oxBox* box = runtime_->CreateBox(kind, ns, tag);
    if (!box) return nullptr;
    box->SetScene(this);
    if (gadget) {
        box->SetGadget(gadget);
        gadget->InstantiateOnBox(box, false);
    }
    if (state_ & kDeferConstruction) {
        box->AddRef();
        if (!deferredBoxes_.PushBack(box)) box->Release();
    } else if (state_ & kOpen) {
        // The parts hear "boxCreated" before their gadget box.
        if (gadget) gadget->ReleaseEngagedParts();
        SendBoxEvent(box, kAtomBoxCreated);
    } else {
        box->AddRef();
        if (!createdWhileLoading_.PushBack(box)) box->Release();
    }
    if (state_ & kConstructed) box->SetChangeFlag(kChangeConstructed, true);
    return box;
}

oxBox* oxScene::GetTooltipPopup() {
    if (tooltipPopup_ || !root_) return tooltipPopup_;
    oxBox* popup = CreateBoxOfType(kAtomPopup, oxAtoms::Intern(u"tooltipPopup"));
    if (!popup) return nullptr;
    root_->AddChild(popup);
    popup->AttachSubtreeToScene(this); // the root holds it from here
    tooltipPopup_ = popup;
    return popup;
}

bool oxScene::SetDeferConstruction(bool on) {
    bool was = (state_ & kDeferConstruction) != 0;
    if (on) {
        state_ |= kDeferConstruction;
        return was;
    }
    state_ &= ~kDeferConstruction;
    NUBO::PtrVector<oxBox*> boxes;
    for (oxBox* box : deferredBoxes_)
        if (!boxes.PushBack(box)) box->Release();
    deferredBoxes_.Clear();
    // The boxes made meanwhile take their place in the scene together, each with its subtree built.
    for (oxBox* box : boxes) {
        if (box->GetScene() != this) continue;
        if (box->TestChangeFlags(kChangeAttached) || !(state_ & kConstructed)) continue;
        box->SetChangeFlag(kChangeConstructed, true);
        box->OnSceneAttached();
    }
    for (oxBox* box : boxes) {
        if (box->GetScene() != this) {
            box->Release();
        } else if (state_ & kOpen) {
            SendBoxEvent(box, kAtomBoxCreated);
            box->Release();
        } else if (!createdWhileLoading_.PushBack(box)) {
            box->Release();
        }
    }
    return was;
}

void oxScene::OnBoxChangedScene(oxBox* box) {
    auto* old = box ? dynamic_cast<oxGadgetElement*>(box->GetGadgetElement()) : nullptr;
    auto* gadget = box ? dynamic_cast<oxGadgetElement*>(FindGadgetByTag(box->GetTag())) : nullptr;
    if (!gadget) return;
    // The old scene's script instance goes; the next request makes one in this scene.
    oxGadgetInstance::DestroyFor(box);
    box->SetChangeFlag(kChangeGadgetInstance, false);
    box->SetGadget(gadget);
    gadget->InstantiateOnBox(box, true);
    if (old && gadget->GetScriptContextName().IsEmpty())
        gadget->SetScriptContextName(old->GetScriptContextName().GetString());
}

oxBox* oxScene::CreateBoxOfType(oxAtom type, oxAtom tag) {
    oxBox* box = runtime_ ? runtime_->CreateBox(type, kAtomBoxNamespace, tag) : nullptr;
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

oxElement* oxScene::CreateGroupElement(oxBox* owner, oxAtom tag, bool gadget) {
    if (!owner) return nullptr;
    // The document element is the root box, so the groups written directly under it are the
    // scene's own: they answer for every box of the scene.
    if (!gadget && (owner == root_ || !owner->GetParent())) {
        if (tag == kAtomCommandGroup) return AddCommandGroup(0);
        if (tag == kAtomKeyGroup) return AddKeyGroup(0);
        return nullptr;
    }
    auto* node = boxGroups_.Find(owner);
    BoxGroups* groups = node ? node->value : nullptr;
    if (!groups) {
        groups = new (std::nothrow) BoxGroups();
        if (!groups) return nullptr;
        boxGroups_.Insert(owner, groups);
    }
    oxElement* group = nullptr;
    if (tag == kAtomCommandGroup) group = new (std::nothrow) oxCommandGroupElement(this, gadget);
    if (tag == kAtomKeyGroup) group = new (std::nothrow) oxKeyGroupElement(gadget);
    if (group && !groups->groups.PushBack(group)) {
        delete group;
        group = nullptr;
    }
    // A box's keys hand out their script objects through this scene's cache.
    if (group && tag == kAtomKeyGroup) static_cast<oxKeyGroupElement*>(group)->SetScene(this);
    return group;
}

const NUBO::PtrVector<oxElement*>* oxScene::GroupsOf(oxBox* box) const {
    auto* node = const_cast<NUBO::oxPtrHashMap<BoxGroups*>&>(boxGroups_).Find(box);
    return node && node->value ? &node->value->groups : nullptr;
}

void oxScene::ClearGroups() {
    // Script objects of the groups are detached first: a later group at the same address must not
    // find them.
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    for (oxKeyGroupElement* group : keyGroups_) {
        if (cache) cache->ForgetKeyGroupObject(group);
        delete group;
    }
    keyGroups_.Clear();
    for (oxCommandGroupElement* group : commandGroups_) {
        if (cache) cache->ForgetCommandGroupObject(group);
        delete group;
    }
    commandGroups_.Clear();
    for (auto it = boxGroups_.begin(); it != boxGroups_.end(); it = boxGroups_.Erase(it)) {
        for (oxElement* group : it->value->groups) {
            if (cache) cache->ForgetKeyGroupObject(group);
            if (cache) cache->ForgetCommandGroupObject(group);
            delete group;
        }
        delete it->value;
    }
}

oxCommandGroupElement* oxScene::AddCommandGroup(oxAtom id) {
    auto* group = new (std::nothrow) oxCommandGroupElement(this, false);
    if (!group) return nullptr;
    if (!commandGroups_.PushBack(group)) {
        delete group;
        return nullptr;
    }
    if (id) group->SetId(id);
    return group;
}

oxKeyGroupElement* oxScene::AddKeyGroup(oxAtom id) {
    auto* group = new (std::nothrow) oxKeyGroupElement(false);
    if (!group) return nullptr;
    if (!keyGroups_.PushBack(group)) {
        delete group;
        return nullptr;
    }
    group->SetScene(this);
    if (id) group->SetId(id);
    return group;
}

namespace {

template <class Group> Group* FindGroup(const NUBO::PtrVector<Group*>& groups, oxAtom id) {
    for (Group* group : groups)
        if (group->GetId() == id) return group;
    return nullptr;
}

} // namespace

oxCommandGroupElement* oxScene::FindCommandGroup(oxAtom id) const {
    return FindGroup(commandGroups_, id);
}

oxKeyGroupElement* oxScene::FindKeyGroup(oxAtom id) const {
    return FindGroup(keyGroups_, id);
}

bool oxScene::RemoveCommandGroup(oxCommandGroupElement* group) {
    if (!group || !commandGroups_.Remove(group)) return false;
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    if (cache) cache->ForgetCommandGroupObject(group);
    delete group;
    return true;
}

bool oxScene::RemoveKeyGroup(oxKeyGroupElement* group) {
    if (!group || !keyGroups_.Remove(group)) return false;
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    if (cache) cache->ForgetKeyGroupObject(group);
    delete group;
    return true;
}

void oxScene::ForgetOpenScript(oxScriptElement* element) {
    openScripts_.Remove(element);
}

void oxScene::QueuePresented(oxBox* box) {
    if (!box) return;
    box->AddRef();
    if (!presentQueue_.PushBack(box)) box->Release();
}

void oxScene::PresentBoxes() {
    if (presenting_ || presentQueue_.empty()) return;
    if (embedded_ && opener_ && !(opener_->state_ & kOpen)) return;
    NUBO::RefPtr<oxScene> self = NUBO::RefPtr<oxScene>::ref(this); // a handler may close the scene
    presenting_ = true;
    // Taken one at a time from the front: a handler may paint and queue more.
    while (!presentQueue_.empty() && !(state_ & kClosing)) {
        oxBox* box = presentQueue_[0];
        presentQueue_.Erase(0);
        // A box that left the scene meanwhile is no longer presented by it.
        if (box->GetScene() == this) SendBoxEvent(box, kAtomPresented);
        box->Release();
    }
    presenting_ = false;
}

void oxScene::SendBoxEvent(oxBox* box, oxAtom type) {
    oxNotificationEvent event(type, box);
    box->HandleEvent(&event);
}

void oxScene::ReadWindowParams() {
    if (!params_) return;
    struct Flag {
        const WCHAR* name;
        uint8_t bit;
    };
    static constexpr Flag kFlags[] = {
        {u"_noActivate", kNoActivate},
        {u"_isChildWindow", kChildWindow},
        {u"_isMinimized", kMinimized},
        {u"_isMaximized", kMaximized},
    };
    for (const Flag& f : kFlags) {
        XVariant value;
        if (ReadParam(params_, f.name, &value) && value.ToBool()) windowFlags_ |= f.bit;
    }
    XVariant theme;
    if (!ReadParam(params_, u"_useTheme", &theme)) return;
    TWString text = theme.ToString();
    int eq = text.Find(u'=', 0);
    if (eq <= 0 || eq + 1 >= text.GetLength()) return;
    TWString alias(text.GetString(), eq);
    TWString uri(text.GetString() + eq + 1);
    SetThemeForAlias(alias.GetString(), uri.GetString());
}

oxLibrary* oxScene::SetThemeForAlias(const WCHAR* alias, const WCHAR* uri) {
    if (!alias || !uri || !runtime_) return nullptr;
    TWString resolved(uri);
    if (!oxUri::HasScheme(uri)) ResolveUriToPath(uri, GetBase().GetString(), resolved);
    if (!SceneMayOpen(resolved.GetString())) return nullptr;
    oxLibrary* library = themeAliases_.Lookup(alias);
    if (library) {
        if (library->GetUri().Compare(resolved.GetString()) != 0)
            library = runtime_->ReplaceLibrary(library, resolved.GetString(), this);
    } else {
        BeginUpdate();
        library = ImportLibrary(resolved.GetString());
        EndUpdate();
    }
    if (!library) return nullptr;
    library->AddRef();
    oxLibrary*& slot = themeAliases_.GetOrInsert(alias);
    if (slot) slot->Release();
    slot = library;
    return library;
}

void oxScene::ConstructTree() {
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        if (b->TestChangeFlags(kChangeConstructed)) continue;
        b->SetChangeFlag(kChangeConstructed, true);
        if (oxBoxGadget* gadget = b->GetGadget()) gadget->EnsureScriptObject(b);
    }
}

void oxScene::AttachTree() {
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false))
        b->OnSceneAttached();
}

oxSceneWindow* oxScene::EnsureWindow() {
    if (!window_ && root_) window_ = MakeSceneWindow(this);
    return window_;
}

void oxScene::SetOpenerWindowsEnabled(bool on) {
    if (opener_ && opener_->window_) opener_->window_->SetEnabled(on);
}

void oxScene::SetOtherScenesEnabled(bool on) {
    if (!runtime_) return;
    for (int i = 0; i < runtime_->GetSceneCount(); ++i) {
        oxScene* other = runtime_->GetSceneAt(i);
        if (other != this && other->window_) other->window_->SetEnabled(on);
    }
}

void oxScene::Open(oxScene* opener, const WCHAR* name, XObject* listener, bool dialog, bool modal,
                   bool shareLibraries) {
    loading_ = false;
    if ((opener && (opener->state_ & kClosing)) || (state_ & kConstructed)) {
        // A scene that will never open still takes the close its scripts asked for while it loaded.
        if (!(state_ & kConstructed) && (state_ & kCloseRequested)) {
            state_ &= ~kCloseRequested;
            CloseWindow();
        }
        return;
    }
    ReadWindowParams();
    opener_ = opener;
    if (embedded_) windowFlags_ |= kNoActivate;
    if (dialog || modal) state_ |= kDialog;
    if (modal) state_ |= kModal;
    if (opener) {
        (void)opener->dialogs_.PushBack(this);
        if (modal) (void)opener->modalDialogs_.PushBack(this);
        opener->activeDialog_ = this;
    }
    if (name) name_ = name;
    if (shareLibraries && opener) {
        for (int i = 0; i < opener->GetImportCount(); ++i)
            AppendImport(opener->GetImportAt(i));
    }
    ApplyImportedLibrary();
    if (root_) {
        // The modal loop below runs handlers that may close and release the scene.
        NUBO::RefPtr<oxScene> self = NUBO::RefPtr<oxScene>::ref(this);
        root_->SetAttribute(kAtomEmbedded, embedded_ ? u"true" : u"false", true, false);
        openState_ = 1;
        oxNotificationEvent parsed(kAtomParsed, root_);
        DispatchEvent(&parsed);
        ConstructTree();
        state_ |= kConstructed;
        SendBoxEvent(root_, kAtomBoxCreated);
        oxNotificationEvent constructed(kAtomConstructed, root_);
        DispatchEvent(&constructed);
        if ((state_ & kDialog) && !modal) SetOpenerWindowsEnabled(false);
        AttachTree();
        state_ |= kAttached;
        if (!focused_) AdvanceFocus();
        if (root_) root_->RestyleTree();
        state_ |= kOpen;
        for (oxBox* box : createdWhileLoading_) {
            if (box != root_) SendBoxEvent(box, kAtomBoxCreated);
        }
        for (oxBox* box : createdWhileLoading_)
            box->Release();
        createdWhileLoading_.Clear();
        QueueLayout(root_);
        state_ |= kNeedsLayout;
        Layout();
        if (oxSceneWindow* window = EnsureWindow()) window->Show();
        if (root_) SendBoxEvent(root_, kAtomInitialized);
        if (listener) {
            listener->AddRef();
            if (listener_) listener_->Release();
            listener_ = listener;
        }
        NotifyListeners(u"onSceneOpen");
        Paint();
        if ((state_ & kDialog) && runtime_ && runtime_->GetFrameInput()) {
            // What the opener had pressed or hovered gets no release or leave from the dialog.
            runtime_->GetFrameInput()->SetPressedBox(nullptr);
            runtime_->GetFrameInput()->SetHoveredBox(nullptr);
        }
        // A dialog that asked to close while it loaded or opened closes below instead of waiting.
        if (modal && window_ && !(state_ & (kClosing | kCloseRequested))) {
            SetOtherScenesEnabled(false);
            inModalLoop_ = true;
            window_->RunModalLoop();
            inModalLoop_ = false;
            SetOtherScenesEnabled(true);
        }
        windowFlags_ &= uint8_t(~kNoActivate);
        openState_ = 2;
        if ((state_ & kCloseRequested) && !(state_ & kClosing)) {
            state_ &= ~kCloseRequested;
            Close(false);
        }
        return;
    }
    windowFlags_ &= uint8_t(~kNoActivate);
    openState_ = 2;
}

void oxScene::Close(bool forced) {
    if (state_ & kClosing) return;
    if (CloseWaits()) {
        state_ |= kCloseRequested;
        return;
    }
    // The close event may drop the last reference but the runtime's; that one goes with the window,
    // and the scene must be gone (and announced closed) before the runtime tells of the last scene.
    AddRef();
    if (!forced) {
        NotifyListeners(u"beforeSceneClose");
        if (root_) {
            oxKeyEvent event(kAtomClose, root_, nullptr, lastKeyCode_, lastShift_, lastCtrl_, lastAlt_, lastKeyCode_);
            DispatchEvent(&event);
            if (event.GetFlags() & kEventDefaultPrevented) {
                NotifyListeners(u"cancelSceneClose");
                Release();
                return;
            }
        }
    }
    while (!modalDialogs_.empty()) {
        oxScene* dialog = modalDialogs_.Back();
        dialog->Close(false);
        // A dialog that refused to close, or closes later, leaves the list itself; do not wait on it.
        if (!modalDialogs_.empty() && modalDialogs_.Back() == dialog) modalDialogs_.PopBack();
    }
    if ((state_ & kModal) && window_) window_->EndModal();
    if (state_ & kDialog) {
        if (opener_) {
            if (state_ & kModal) opener_->RemoveDialog(this, true);
            SetOpenerWindowsEnabled(true);
        }
    }
    // An active opener hears of it as a change of its "active" state: its state styles and
    // listeners see the window it keeps being active again once the dialog is gone.
    if ((state_ & kDialog) && opener_ && opener_->root_ && (opener_->root_->GetStateFlags() & kStateActive))
        opener_->root_->NotifyAttributeChange(kAtomActive, true, true);
    if (nesting_ > 0) {
        // The window closes when the outermost dispatch returns.
        state_ |= kCloseRequested;
        Release();
        return;
    }
    if (Release() == 0) return;
    CloseWindow();
}

void oxScene::CloseWindow() {
    state_ |= kClosing;
    if (EnsureWindow())
        window_->Destroy();
    else if (runtime_)
        runtime_->OnSceneClosed(this);
}

void oxScene::SetInputState(oxSceneInputState* state) {
    if (state == inputState_) return;
    delete inputState_;
    inputState_ = state;
}

int32_t oxScene::DispatchEvent(oxEvent* event) {
    if (!event) return 1;
    // Handlers may drop every reference but the runtime's while the event travels.
    oxSceneInput* input = runtime_ ? runtime_->GetFrameInput() : nullptr;
    if (!input) return 1;
    if (auto* key = dynamic_cast<oxKeyEvent*>(event);
        key && (key->GetType() == kAtomKeyDown || key->GetType() == kAtomKeyPress)) {
        // A close that follows carries the key that caused it.
        lastKeyCode_ = key->keyCode;
        lastShift_ = key->shift, lastCtrl_ = key->ctrl, lastAlt_ = key->alt;
    }
    AddRef();
    ++nesting_;
    input->DispatchSceneEvent(event, this);
    --nesting_;
    bool closeNow = nesting_ == 0 && (state_ & kCloseRequested) && root_ && !CloseWaits();
    if (closeNow) state_ &= ~kCloseRequested;
    if (Release() == 0) return closeNow ? 0 : 1;
    if (!closeNow) return 1;
    CloseWindow();
    return 0;
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

bool oxScene::ImportCode(oxAtom key, oxAtom language, const WCHAR* source, oxBox* root) {
    if (!runtime_ || !key || !language || language == kAtomNativeObject || !source || !*source || !root) return false;
    oxScriptContextManager* manager = runtime_->GetScriptContextManager();
    WCHAR keyName[oxAtoms::kLookupUnits];
    if (!manager || !oxAtoms::GetName(key, keyName, std::size(keyName)) || !*keyName) return false;
    if (!IsScriptSourceInResources(TWString(source))) {
        TWString text;
        text.Format(kScriptOutsideResources, source);
        runtime_->ReportError(1, text.GetString());
        return false;
    }
    TWString loaded = LoadedScriptKey(key, language, source);
    if (loadedScripts_.Find(loaded)) return false;
    oxScriptContext* raw = nullptr;
    if (manager->GetContext(keyName, &raw) != 0 && manager->CreateContext(language, keyName, &raw) != 0) return false;
    NUBO::RefPtr<oxScriptContext> context(raw);
    NUBO::XStream* rawStream = nullptr;
    if (OpenUriStream(source, &rawStream) != 0) return false;
    NUBO::RefPtr<NUBO::XStream> stream(rawStream);
    loadedScripts_.Insert(loaded, 1);
    // The imported code reaches its scene through __scriptHelper while it runs.
    SetScriptHelperTargets(nullptr, sceneObject_);
    HRESULT hr = oxScriptContext::LoadScriptText(context.get(), stream.get(), u"", source, nullptr);
    SetScriptHelperTargets(nullptr, nullptr);
    if (hr == 0) return true;
    loadedScripts_.Erase(loaded);
    if (oxScriptErrorReporter* reporter = runtime_->GetErrorReporter())
        reporter->ReportScriptError(kErrorLoadingScript);
    return false;
}

oxBox* oxScene::GetBoxById(oxAtom id, bool expand) {
    if (id == 0 || !root_) return nullptr;
    if (auto* node = idCache_.Find(id)) return node->value;
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        if (b->GetId() == id && !b->GetOwner()) {
            idCache_.Insert(id, b);
            return b;
        }
    }
    // Content that waits under a collapsed placeholder is built when it holds the id.
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        if (!(b->GetStateFlags() & kStateContentPending) || b->GetOwner()) continue;
        auto* holder = dynamic_cast<oxCollapsedContainerBox*>(b->GetChildAt(0, false));
        if (!holder || !holder->ExpandIfHoldsId(id)) continue;
        return GetBoxById(id, expand);
    }
    return nullptr;
}

void oxScene::UnregisterBoxId(oxBox* box, oxAtom id) {
    (void)id;
    ForgetBoxId(box);
}

void oxScene::ForgetBoxId(oxBox* box) {
    if (idCache_.IsEmpty()) return;
    if (auto* node = idCache_.Find(box->GetId()); node && node->value == box) {
        idCache_.Erase(box->GetId());
        return;
    }
    for (auto it = idCache_.begin(); it != idCache_.end(); ++it) {
        if (it->value == box) {
            idCache_.Erase(it);
            return;
        }
    }
}

void oxScene::ForgetBox(oxBox* box) {
    if (!box) return;
    // Its script object goes inert too: a box that left the scene may die without telling anyone.
    if (oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr) cache->ForgetBoxObject(box);
    if (oxSceneInput* input = runtime_ ? runtime_->GetFrameInput() : nullptr) input->ForgetBox(box);
    if (box == focused_) focused_ = nullptr;
    if (box == activeNativeText_) activeNativeText_ = nullptr;
    if (box == tooltipPopup_) tooltipPopup_ = nullptr;
    if (box == defaultButton_) defaultButton_ = nullptr;
    DequeueLayout(box);
    frameBoxes_.erase(std::remove(frameBoxes_.begin(), frameBoxes_.end(), box), frameBoxes_.end());
}

void oxScene::AddFrameBox(oxBox* box) {
    if (box && std::find(frameBoxes_.begin(), frameBoxes_.end(), box) == frameBoxes_.end()) frameBoxes_.push_back(box);
}

void oxScene::OnBoxDestroyed(oxBox* box) {
    oxElementSource::ForgetBox(box);
    if (oxScriptRegistry* registry = runtime_ ? runtime_->GetScriptRegistry() : nullptr)
        registry->RemoveBoxObjects(box);
    // No animation may call a dead box; a box with none listed is not animating.
    if (box->GetStateFlags() & kStateAnimating) oxAnimationScheduler::Instance().ForgetTarget(box);
    ForgetBoxId(box);
    ForgetBox(box);
    if (auto* node = boxGroups_.Find(box)) {
        for (oxElement* group : node->value->groups)
            delete group;
        delete node->value;
        boxGroups_.Erase(box);
    }
}

void oxScene::DestroyBox(oxBox* box) {
    if (!box) return;
    SendBoxEvent(box, kAtomBoxDestroyed);
    ForgetBox(box);
    // Frames keep no registry of access keys, so no window has the box's "accessKey" to drop.
    box->Release();
}

oxBox* oxScene::FindBoxByAttribute(oxAtom attribute, const WCHAR* value) {
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        const WCHAR* text = b->GetAttribute(attribute);
        if (text && value && wcscmp(text, value) == 0) return b;
    }
    return nullptr;
}

void oxScene::ApplyImportedLibrary() {
    NUBO::PtrVector<oxLibrary*> visited;
    ApplyStyleElements(&styleMaps_, &visited, 0);
}

oxBoxStyle* oxScene::BuildBoxStyle(oxBox* box) {
    return (state_ & kAttached) ? styleMaps_.BuildBoxStyle(box) : nullptr;
}

oxBoxStyle* oxScene::GetSubStyle(oxBox* box, oxAtom atom) {
    return styleMaps_.GetSubStyle(box, atom);
}

void oxScene::QueueLayout(oxBox* box) {
    if (!box || !box->TestChangeFlags(kChangeConstructed)) return;
    state_ |= kNeedsLayout;
    // A box never laid out gets its first placement from the layout of the nearest ancestor that
    // was: that one is queued. A box outside the tree is laid out by nothing.
    while (box && box != root_ && !box->GetPlacement())
        box = box->GetParent();
    // Change flag 0x2 says the box is queued already, or new and not yet arranged.
    if (!box || box->TestChangeFlags(kChangeLayoutQueued)) return;
    if (layoutQueue_.PushBack(box)) box->SetChangeFlag(kChangeLayoutQueued, true);
}

void oxScene::DequeueLayout(oxBox* box) {
    if (layoutQueue_.Remove(box)) box->SetChangeFlag(kChangeLayoutQueued, false);
}

namespace {

// True when the box is one of the flow of a parent laid out by the flex pass.
bool FlowsInFlex(oxBox* box) {
    oxLayout* layout = box->GetParent() ? box->GetParent()->GetLayoutIfMade() : nullptr;
    return layout && layout->GetLayoutType() == kAtomFlex && box->GetBoxType() != kAtomPopup &&
           box->TestChangeFlags(kChangeFlowed);
}

} // namespace

// True when each box from this one up to the root is laid out by its parent's flex pass: flowed,
// neither collapsed nor excluded (the pass leaves those out) and not blocking updates (such a box
// lays out nothing below it).
bool oxScene::ReachedAlongFlex(oxBox* box) const {
    for (oxBox* b = box; b != root_; b = b->GetParent()) {
        if (!b || !FlowsInFlex(b) || b->IsCollapsed() || (b->GetStateFlags() & (kStateExcluded | kStateBlockUpdate)))
            return false;
    }
    return true;
}

void oxScene::ClearLayoutQueue() {
    for (oxBox* queued : layoutQueue_)
        queued->SetChangeFlag(kChangeLayoutQueued, false);
    layoutQueue_.Clear();
}

bool oxScene::LayOutQueuedBoxes(const oxRect& area) {
    const oxPoint size = root_->GetPacked(1);
    if (root_->TestChangeFlags(kChangeLayoutQueued) || !root_->GetPlacement() || size.x != area.width ||
        size.y != area.height || (root_->GetStateFlags() & kStateBlockUpdate))
        return false;
    // Differs on purpose: a queued box is not laid out alone but by its parent's layout, since what
    // changed may be its own size (a text's value), which only the parent's layout reads. Scroll
    // bars, layers and boxes in other layouts are reached from the root, as ever. The queued box
    // itself may have left the flow (collapsed, say): its parent's pass leaves it out.
    for (oxBox* queued : layoutQueue_)
        if (!FlowsInFlex(queued) || !ReachedAlongFlex(queued->GetParent())) return false;
    NUBO::PtrVector<oxBox*> changed;
    for (oxBox* queued : layoutQueue_) {
        if (!changed.PushBack(queued)) {
            for (oxBox* box : changed)
                box->Release();
            return false;
        }
        queued->AddRef();
    }
    ClearLayoutQueue();
    // Each changed box's parent places it again: by itself, moving the siblings after it, where its
    // layout can; else the parent is laid out again in its last placement. While that changes the
    // parent's size, its own parent takes the new size in, and so on up, to the root at most. The
    // boxes' event handlers may change the tree meanwhile: a box that left it is passed over, and
    // what they changed is queued.
    bool fromRoot = false;
    // A parent that placed changed children by themselves says once that it was laid out, after
    // the walk.
    NUBO::PtrVector<oxBox*> followed;
    auto follows = [&followed](oxBox* parent, oxBox* child) {
        if (child->GetParent() != parent || !parent->FollowChildChange(child)) return false;
        for (oxBox* known : followed)
            if (known == parent) return true;
        if (followed.PushBack(parent)) parent->AddRef();
        return true;
    };
    for (oxBox* box : changed) {
        oxBox* child = box;
        for (oxBox* b = box->GetParent(); b && !fromRoot;) {
            if (b == root_) {
                if (!follows(root_, child)) {
                    ArrangeLayoutRoot(root_, area.width, area.height);
                    fromRoot = true;
                }
                break;
            }
            if (!ReachedAlongFlex(b)) break;
            NUBO::RefPtr<oxBox> hold = NUBO::RefPtr<oxBox>::ref(b);
            if (follows(b, child)) break;
            const oxPoint before = b->GetPacked(1);
            if (ArrangeInLastPlacement(b) && b->GetPacked(1) == before) break;
            b->InvalidateMeasure();
            b->UpdateFrameBounds(false);
            child = b;
            b = b->GetParent();
        }
        box->Release();
    }
    for (oxBox* parent : followed) {
        if (!fromRoot) parent->AnnounceLayout();
        parent->Release();
    }
    return true;
}

// A box that is already queued (change flag 0x2) adds nothing to the queue, but the pass is still
// asked for. Asking the window again costs nothing once its update is on the way.
bool oxScene::NotifySceneOfChange(oxBox* layoutRoot) {
    if (!layoutRoot || !(state_ & kOpen) || (state_ & kClosing)) return false;
    QueueLayout(layoutRoot);
    state_ |= kNeedsLayout;
    if (window_) window_->ScheduleUpdate();
    return true;
}

oxDataBinding* oxScene::CreateDataBinding(oxBox* box, oxElement** element) {
    if (element) *element = nullptr;
    if (!box) return nullptr;
    auto* binding = new (std::nothrow) oxBindingElement(box, element != nullptr);
    if (!binding) return nullptr;
    binding->AddRef();
    if (element) *element = binding;
    return binding;
}

void oxScene::AddPendingBinding(oxBindingElement* binding) {
    if (!binding) return;
    for (oxBindingElement* b : pendingBindings_)
        if (b == binding) return;
    if (!pendingBindings_.PushBack(binding)) return;
    binding->AddRef();
    state_ |= kBindingsPending;
}

void oxScene::RemovePendingBinding(oxBindingElement* binding) {
    for (size_t i = 0; i < pendingBindings_.size(); ++i) {
        if (pendingBindings_[i] != binding) continue;
        pendingBindings_.Erase(i);
        binding->Release();
        return;
    }
}

void oxScene::ConnectPendingBindings() {
    if (!(state_ & kOpen) || connectingBindings_) return;
    connectingBindings_ = true;
    // Connecting runs scripts (transformers) that may add bindings or close the scene.
    NUBO::RefPtr<oxScene> self = NUBO::RefPtr<oxScene>::ref(this);
    NUBO::PtrVector<oxBindingElement*> waiting;
    for (oxBindingElement* b : pendingBindings_)
        if (waiting.PushBack(b)) b->AddRef();
    for (oxBindingElement* b : waiting) {
        bool ready =
            b->ResolveTarget() && (b->GetBindType() == oxBindingElement::kElementSource ? b->ResolveElementSource()
                                                                                        : b->ResolveObjectSource());
        if (ready) {
            RemovePendingBinding(b);
            b->Connect(true);
        }
        b->Release();
    }
    if (pendingBindings_.empty()) state_ &= ~kBindingsPending;
    connectingBindings_ = false;
}

void oxScene::OnBoxRepaintRequested(oxBox* box) {
    (void)box;
    if ((state_ & kOpen) && !(state_ & kClosing) && window_) window_->ScheduleUpdate();
}

void oxScene::RefitWindow() {
    if (!(state_ & kClosing) && window_) window_->Refit();
}

bool oxScene::IsRightToLeft() const {
    const WCHAR* dir = root_ ? root_->GetAttributeText(kAtomDir) : nullptr;
    if (dir) return oxAtoms::Find(dir) == kAtomRtl;
    return runtime_ && runtime_->GetDirection() == kAtomRtl;
}

oxChangeListener* oxScene::GetScrollbarListener() {
    if (!scrollbarListener_) {
        scrollbarListener_ = new (std::nothrow) ScrollbarListener();
        if (scrollbarListener_) scrollbarListener_->AddRef();
    }
    return scrollbarListener_;
}

void oxScene::Layout() {
    if (!(state_ & kOpen) || !root_ || (state_ & kLayoutBlocked) || layingOut_) return;
    layingOut_ = true;
    if (state_ & kBindingsPending) ConnectPendingBindings();
    const bool laidOut = (state_ & kNeedsLayout) != 0;
    if (laidOut) {
        // The root is laid out in the window's client area, and from there the whole tree; other
        // queued boxes are laid out where they stand. The window is made here if the open has not
        // made it yet: its client area is the room.
        state_ &= ~kNeedsLayout;
        oxSceneWindow* window = EnsureWindow();
        const oxRect area = window ? window->GetClientRect() : oxRect().Set(0, 0, 0, 0);
        if (window && area.width > 0 && area.height > 0) {
            if (!LayOutQueuedBoxes(area)) {
                ClearLayoutQueue();
                ArrangeLayoutRoot(root_, area.width, area.height);
            }
            window->Invalidate();
        } else {
            ClearLayoutQueue();
        }
    }
    if ((state_ & kWindowsNotShown) && window_) window_->Show();
    // The hosted windows follow their boxes once those are placed. A box may leave the list from
    // its refresh: walk a copy, held. Only a pass that laid boxes out moves them: a refresh repaints
    // the box, and the update of another window of the scene lays it out again, which would ask for
    // one more update of the scene's window after every update.
    if ((state_ & kWindowsNotShown) || (laidOut && (root_->GetChangeFlags() & kChangeArranged))) {
        std::vector<oxBox*> boxes = frameBoxes_;
        for (oxBox* b : boxes)
            b->AddRef();
        for (oxBox* b : boxes) {
            if (b->GetScene() == this) b->RefreshFrame();
            b->Release();
        }
    }
    state_ &= ~(kBindingsPending | kWindowsNotShown);
    layingOut_ = false;
}

void oxScene::Paint() {
    if (!(state_ & kClosing) && window_) window_->Update();
}

void oxScene::BeginUpdate() {
    if (!(state_ & kAttached)) return;
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false))
        b->SetStyleRecord(nullptr);
    styleMaps_.Clear();
}

void oxScene::EndUpdate() {
    // Only an attached scene dropped its rules in BeginUpdate; one still opening registers them then.
    if (!(state_ & kAttached)) return;
    ApplyImportedLibrary();
    ReattachGadgets();
    if (root_) root_->RestyleTree();
    QueueLayout(root_);
    Layout();
}

void oxScene::ReattachGadgets() {
    // After a library change a box takes the gadget its tag names now; its parts stay as built.
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        const oxAtom tag = b->GetTag();
        if (tag == kAtomBox || tag == kAtomHbox || tag == kAtomVbox) continue;
        auto* gadget = dynamic_cast<oxGadgetElement*>(FindGadgetByTag(tag));
        if (!gadget || b->GetGadgetElement() == gadget) continue;
        oxGadgetInstance::DestroyFor(b);
        b->SetChangeFlag(kChangeGadgetInstance, false);
        b->SetGadget(gadget);
        gadget->InstantiateOnBox(b, true);
    }
}

void oxScene::SetWaiting(bool on) {
    if (on)
        state_ |= kWaiting;
    else
        state_ &= ~kWaiting;
    if (window_) window_->SetWaitCursor(on);
}

void oxScene::RemoveDialog(oxScene* dialog, bool modal) {
    (modal ? modalDialogs_ : dialogs_).Remove(dialog);
}

void oxScene::CloseTrackedPopup() {
    if (oxSceneInput* input = runtime_ ? runtime_->GetFrameInput() : nullptr) input->CloseTrackedPopup();
}
