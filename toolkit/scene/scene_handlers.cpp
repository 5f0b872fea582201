// Key matching, commands, qualified handlers, scene messages and the built-in dialogs of a scene.
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/input.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"
#include "runtime/script_object.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/builtin_commands.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_script_context.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XObject;
using NUBO::XVariant;

oxKeyElement* oxScene::MatchInGroups(const NUBO::PtrVector<oxElement*>* groups, const oxKeyEvent* event) {
    if (!groups) return nullptr;
    for (oxElement* element : *groups) {
        if (element->GetTag() != kAtomKeyGroup) continue;
        if (oxKeyElement* key = static_cast<oxKeyGroupElement*>(element)->FindKeyForEvent(event)) return key;
    }
    return nullptr;
}

oxKeyElement* oxScene::MatchKeyCode(const oxKeyEvent* event, oxBox* box, oxBox** where) {
    if (where) *where = nullptr;
    if (!event) return nullptr;
    for (oxBox* b = box; b; b = b->GetOwner()) {
        if (oxKeyElement* key = MatchInGroups(GroupsOf(b), event)) {
            if (where) *where = b;
            return key;
        }
    }
    for (oxKeyGroupElement* group : keyGroups_)
        if (oxKeyElement* key = group->FindKeyForEvent(event)) return key;
    return nullptr;
}

oxCommandElement* oxScene::FindCommand(oxAtom id, oxBox* box) {
    if (id == 0) return nullptr;
    for (oxBox* b = box; b; b = b->GetParent()) {
        const NUBO::PtrVector<oxElement*>* groups = GroupsOf(b);
        if (!groups) continue;
        for (oxElement* element : *groups) {
            if (element->GetTag() != kAtomCommandGroup) continue;
            if (oxCommandElement* c = static_cast<oxCommandGroupElement*>(element)->FindCommand(id)) return c;
        }
    }
    for (oxCommandGroupElement* group : commandGroups_)
        if (oxCommandElement* c = group->FindCommand(id)) return c;
    return nullptr;
}

bool oxScene::DoCommand(oxAtom id) {
    for (oxCommandGroupElement* group : commandGroups_) {
        if (oxCommandElement* command = group->FindCommand(id)) {
            command->Execute(nullptr, nullptr);
            return true;
        }
    }
    return false;
}

oxSceneScript* oxScene::GetScriptById(oxAtom id) {
    // "toolkit" is no script of the scene: its handlers go to the built-in command handler
    // (RunBuiltinCommand).
    if (id == kAtomToolkit) return nullptr;
    if (id == 0) return defaultScript_;
    auto* node = scripts_.Find(id);
    return node ? node->value : nullptr;
}

void oxScene::RunHandler(const oxQualifiedName& name, const VARIANT* args, int count) {
    const WCHAR* function = name.GetText();
    if (!function || !*function || !runtime_) return;
    RefPtr<oxScene> self = RefPtr<oxScene>::ref(this); // the handler may close the scene
    if (GetScriptById(name.GetPrefix())) {
        oxScriptContext* raw = nullptr;
        oxScriptContextManager* manager = runtime_->GetScriptContextManager();
        if (!manager || contextName_.IsEmpty() || manager->GetContext(contextName_.GetString(), &raw) != 0) return;
        RefPtr<oxScriptContext> context(raw);
        XVariant global;
        if (FAILED(context->GetScriptObject(u"", &global))) return;
        XObject* object = global.ToXObject();
        if (!object) return;
        if (count > 0 && args)
            XObject::CallMethod1NoResult(object, function, args[0]);
        else
            XObject::CallMethod0NoResult(object, function);
        object->Release();
        return;
    }
    if (name.GetPrefix() == 0) return;
    WCHAR prefix[oxAtoms::kLookupUnits] = {};
    if (!oxAtoms::GetName(name.GetPrefix(), prefix, oxAtoms::kLookupUnits)) return;
    XObject* rawShell = nullptr;
    if (!runtime_->GetScriptObjectCache() || !runtime_->GetScriptObjectCache()->GetShellObject(runtime_, &rawShell))
        return;
    RefPtr<XObject> shell(rawShell);
    XVariant value;
    if (shell->GetPropertyByName(prefix, &value) != 0 || value.vt != VT_DISPATCH) return;
    if (XObject* object = value.ToXObject()) {
        XObject::CallMethod0NoResult(object, function);
        object->Release();
    }
}

bool oxScene::RunBuiltinCommand(const oxQualifiedName& name, oxEvent* event) {
    oxBuiltinCommands* handler = oxGetBuiltinCommands();
    return handler && name.GetText() && handler->ExecuteCommand(name.GetText(), event) != 0;
}

void oxScene::RunEventHandler(const oxQualifiedName& name, oxEvent* event) {
    if (name.GetPrefix() == kAtomToolkit) {
        if (event) RunBuiltinCommand(name, event);
        return;
    }
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    XObject* previous = nullptr;
    XObject* object = cache && event ? cache->EnterEventHandler(event, &previous) : nullptr;
    if (!object) {
        RunHandler(name, nullptr, 0);
        return;
    }
    XVariant argument(object);
    RunHandler(name, &argument, 1);
    argument.Clear();
    cache->LeaveEventHandler(object, previous);
}

int32_t oxScene::SendMessage(const WCHAR* message, XObject* params) {
    if (!message || !root_) return 0;
    oxMessageEvent event(oxAtoms::Intern(message), root_);
    // The scene's own handlers answer messages too, not only the root box's: the message event is
    // sent as a bubbling one, which from the root reaches nothing further up.
    event.AddFlags(kEventBubbles);
    if (params) (void)event.SetParamsObject(params);
    DispatchEvent(&event);
    return event.result;
}

void oxScene::GetModifierKeyStates(bool* shift, bool* ctrl, bool* alt) const {
    auto down = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
    if (shift) *shift = down(VK_SHIFT);
    if (ctrl) *ctrl = down(VK_CONTROL);
    if (alt) *alt = down(VK_MENU);
}

int32_t oxScene::ShowBuiltInDialog(const WCHAR* type, const WCHAR* body, const WCHAR* title, const WCHAR* input,
                                   int32_t size, XObject** results) {
    if (results) *results = nullptr;
    if (!runtime_) return 0;
    auto* rawParams = new (std::nothrow) NUBO::XDictionary();
    if (!rawParams) return 0;
    rawParams->AddRef();
    RefPtr<NUBO::XDictionary> params(rawParams);
    auto set = [&](const WCHAR* key, const XVariant& value) { (void)params->SetPropertyByName(key, &value); };
    set(u"dialogType", XVariant(type ? type : u"alert"));
    if (type && wcscmp(type, u"confirm") == 0) {
        // The toolkit's string source holds no texts, so the buttons read "Yes" and "No".
        set(u"confirmButton", XVariant(kDialogYesText));
        set(u"cancelButton", XVariant(kDialogNoText));
    }
    if (body) set(u"bodyText", XVariant(body));
    if (title) set(u"titleText", XVariant(title));
    if (input) set(u"inputText", XVariant(input));
    static constexpr const WCHAR* kSizes[] = {u"small", u"medium", u"large"};
    if (size >= 1 && size <= 3) set(u"size", XVariant(kSizes[size - 1]));
    auto* rawResults = new (std::nothrow) XObject();
    if (!rawResults) return 0;
    rawResults->AddRef();
    RefPtr<XObject> out(rawResults);
    set(u"results", XVariant(out.get()));
    RefPtr<oxScene> self = RefPtr<oxScene>::ref(this);
    runtime_->OpenDialogScene(kBuiltInDialogScene, this, kBuiltInDialogName, params.get(), nullptr, true);
    XVariant typed;
    if (out->GetPropertyByName(u"inputText", &typed) == 0 && typed.vt != VT_EMPTY)
        (void)out->SetPropertyByName(u"promptValue", &typed);
    if (results) *results = out.detach();
    return 1;
}

int32_t oxScene::Alert(const WCHAR* body, const WCHAR* title, int32_t size, XObject** results) {
    return ShowBuiltInDialog(u"alert", body, title, nullptr, size, results);
}

int32_t oxScene::Prompt(const WCHAR* body, const WCHAR* title, const WCHAR* input, int32_t size, XObject** results) {
    return ShowBuiltInDialog(u"prompt", body, title, input, size, results);
}

int32_t oxScene::Confirm(const WCHAR* body, const WCHAR* title, int32_t size, XObject** results) {
    return ShowBuiltInDialog(u"confirm", body, title, nullptr, size, results);
}
