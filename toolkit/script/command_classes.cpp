// The CommandGroup, KeyGroup, Command and Key script classes: scripts list, find, add and remove the
// commands and keys of a scene's groups, run a command and change its attributes (which reach every
// box bound to it), and rebind a key. Each wraps its native element through the scene's wrapper
// cache and goes inert when the element is destroyed.
#include <new>

#include "runtime/script_array.h"
#include "toolkit/base/atoms.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/attribute_value.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;
using script_class::ArgObjectOf;
using script_class::ArgText;
using script_class::PutObject;

namespace {

template <class T> T* NativeOf(oxNativeWrapper* self) {
    return static_cast<T*>(self->GetNative());
}

oxScriptObjectCache* CacheOf(oxScene* scene) {
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    return runtime ? runtime->GetScriptObjectCache() : nullptr;
}

oxAtom AtomOf(const TWString& text) {
    return text.IsEmpty() ? 0 : oxAtoms::Intern(text.GetString());
}

// The wrapper of a command or key of a scene's group into `out`; null without the scene's cache.
void PutCommand(oxScene* scene, oxCommandElement* command, XVariant* out) {
    XObject* object = nullptr;
    if (oxScriptObjectCache* cache = CacheOf(scene); cache && command) cache->GetCommandObject(command, &object);
    PutObject(out, object);
}

void PutKey(oxKeyElement* key, XVariant* out) {
    XObject* object = nullptr;
    oxScriptObjectCache* cache = key && key->GetGroup() ? CacheOf(key->GetGroup()->GetScene()) : nullptr;
    if (cache) cache->GetKeyObject(key, &object);
    PutObject(out, object);
}

// A new array of the wrappers `put` makes for items 0..count-1; filling stops at the first that
// cannot be added; null when the array cannot be made.
template <class Put> void PutArray(size_t count, Put put, XVariant* out) {
    NUBO::XArray* array = nullptr;
    if (NUBO::CreateXArray(&array) != 0) return;
    for (size_t i = 0; i < count; ++i) {
        XVariant item;
        put(i, &item);
        if (array->AddValue(item) != 0) break;
    }
    PutObject(out, array);
}

// -- the id every class shares ---------------------------------------------------------------------

int32_t GetId(oxNativeWrapper* self, XVariant* out) {
    oxElement* element = NativeOf<oxElement>(self);
    if (!element) return NUBO::XR_FAIL;
    WCHAR name[256] = {};
    if (element->GetId()) oxAtoms::GetName(element->GetId(), name, 256);
    *out = TWString(name);
    return 0;
}

int32_t SetGroupId(oxNativeWrapper* self, const VARIANT& value) {
    oxElement* element = NativeOf<oxElement>(self);
    if (!element) return NUBO::XR_FAIL;
    element->SetId(AtomOf(XVariant(value).ToString()));
    return 0;
}

// Commands and keys keep their id when given an empty one.
int32_t SetItemId(oxNativeWrapper* self, const VARIANT& value) {
    oxElement* element = NativeOf<oxElement>(self);
    TWString id = XVariant(value).ToString();
    if (!element || id.IsEmpty()) return NUBO::XR_FAIL;
    element->SetId(oxAtoms::Intern(id.GetString()));
    return 0;
}

int32_t SetReadOnly(oxNativeWrapper*, const VARIANT&) {
    return 0;
}

// -- CommandGroup ----------------------------------------------------------------------------------

int32_t AddCommand(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxCommandGroupElement>(self);
    TWString id = ArgText(args, 0), script = ArgText(args, 1);
    if (!group || id.IsEmpty()) return 0;
    auto* command = new (std::nothrow) oxCommandElement(group);
    if (!command) return 0;
    command->SetId(oxAtoms::Intern(id.GetString()));
    command->SetMarkupAttribute(0, kAtomAction, script.GetString());
    const size_t before = group->GetCommandCount();
    group->AddCommand(command);
    if (group->GetCommandCount() == before) return 0; // the group could not take it and destroyed it
    PutCommand(group->GetScene(), command, out);
    return 0;
}

int32_t GetCommandById(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxCommandGroupElement>(self);
    TWString id = ArgText(args, 0);
    if (group && !id.IsEmpty()) PutCommand(group->GetScene(), group->FindCommand(oxAtoms::Intern(id.GetString())), out);
    return 0;
}

int32_t RemoveCommand(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxCommandGroupElement>(self);
    *out = false;
    XObject* object = ArgObjectOf(args, 0, &wrapper_class::Command);
    auto* command = object ? NativeOf<oxCommandElement>(static_cast<oxNativeWrapper*>(object)) : nullptr;
    if (object) object->Release();
    if (!command) return 0;
    // A command of another group stays where it is, and the answer is still true.
    if (group) group->RemoveCommand(command);
    *out = true;
    return 0;
}

int32_t GetCommands(oxNativeWrapper* self, XVariant* out) {
    auto* group = NativeOf<oxCommandGroupElement>(self);
    if (!group) return 0;
    PutArray(
        group->GetCommandCount(), [group](size_t i, XVariant* item) { PutCommand(group->GetScene(), group->GetCommandAt(i), item); },
        out);
    return 0;
}

int32_t GetCommandCount(oxNativeWrapper* self, XVariant* out) {
    auto* group = NativeOf<oxCommandGroupElement>(self);
    *out = group ? int32_t(group->GetCommandCount()) : -1;
    return 0;
}

// -- KeyGroup --------------------------------------------------------------------------------------

int32_t AddKey(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxKeyGroupElement>(self);
    TWString id = ArgText(args, 0);
    if (!group || id.IsEmpty()) return 0;
    auto* key = new (std::nothrow) oxKeyElement(group);
    if (!key) return 0;
    key->SetId(oxAtoms::Intern(id.GetString()));
    key->SetCommand(AtomOf(ArgText(args, 2)));
    key->SetShift(ArgBool(args, 3));
    key->SetAlt(ArgBool(args, 4));
    key->SetCtrl(ArgBool(args, 5));
    key->SetKeyCode(KeyCodeFromText(ArgText(args, 1).GetString()));
    const size_t before = group->GetKeyCount();
    group->AddKey(key);
    if (group->GetKeyCount() == before) return 0;
    PutKey(key, out);
    return 0;
}

int32_t GetKeyById(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxKeyGroupElement>(self);
    // An empty id finds the first key without one.
    if (group) PutKey(group->FindKey(AtomOf(ArgText(args, 0))), out);
    return 0;
}

int32_t RemoveKey(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* group = NativeOf<oxKeyGroupElement>(self);
    *out = false;
    XObject* object = ArgObjectOf(args, 0, &wrapper_class::Key);
    auto* key = object ? NativeOf<oxKeyElement>(static_cast<oxNativeWrapper*>(object)) : nullptr;
    if (object) object->Release();
    if (!key) return 0;
    if (group) group->RemoveKey(key);
    *out = true;
    return 0;
}

int32_t GetKeys(oxNativeWrapper* self, XVariant* out) {
    auto* group = NativeOf<oxKeyGroupElement>(self);
    if (!group) return 0;
    PutArray(group->GetKeyCount(), [group](size_t i, XVariant* item) { PutKey(group->GetKeyAt(i), item); }, out);
    return 0;
}

int32_t GetKeyCount(oxNativeWrapper* self, XVariant* out) {
    auto* group = NativeOf<oxKeyGroupElement>(self);
    *out = group ? int32_t(group->GetKeyCount()) : -1;
    return 0;
}

// -- Command ---------------------------------------------------------------------------------------

int32_t Execute(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    *out = false;
    XObject* event = ArgObjectOf(args, 0, &wrapper_class::Event);
    const bool live = event && static_cast<oxNativeWrapper*>(event)->GetNative();
    if (command && live) {
        // The action's handler gets the event object as its argument.
        XVariant data;
        data.SetObject(event);
        command->Execute(&data, nullptr);
        *out = true;
    }
    if (event) event->Release();
    return 0;
}

int32_t GetCommandAttribute(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    TWString name = ArgText(args, 0);
    const WCHAR* text = command && !name.IsEmpty() ? command->GetCommandAttribute(oxAtoms::Intern(name.GetString())) : nullptr;
    if (text) *out = TWString(text);
    return 0;
}

int32_t SetCommandAttribute(oxNativeWrapper* self, XArgList* args, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    TWString name = ArgText(args, 0);
    *out = false;
    if (!command || name.IsEmpty()) return 0;
    command->SetCommandAttribute(oxAtoms::Intern(name.GetString()), ArgText(args, 1).GetString());
    *out = true;
    return 0;
}

int32_t GetAction(oxNativeWrapper* self, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    TWString text;
    command->GetAction().ToString(text);
    *out = text;
    return 0;
}

int32_t SetAction(oxNativeWrapper* self, const VARIANT& value) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    command->SetMarkupAttribute(0, kAtomAction, XVariant(value).ToString().GetString());
    return 0;
}

int32_t GetUpdate(oxNativeWrapper* self, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    TWString text;
    command->GetUpdateHandler().ToString(text);
    *out = text;
    return 0;
}

int32_t SetUpdate(oxNativeWrapper* self, const VARIANT& value) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    command->SetMarkupAttribute(0, kAtomUpdate, XVariant(value).ToString().GetString());
    return 0;
}

int32_t GetDisabled(oxNativeWrapper* self, XVariant* out) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    *out = ParseBool(command->GetCommandAttribute(kAtomDisabled));
    return 0;
}

int32_t SetDisabled(oxNativeWrapper* self, const VARIANT& value) {
    auto* command = NativeOf<oxCommandElement>(self);
    if (!command) return NUBO::XR_FAIL;
    command->SetDisabled(XVariant(value).ToBool());
    return 0;
}

// -- Key -------------------------------------------------------------------------------------------

int32_t GetKeyCommand(oxNativeWrapper* self, XVariant* out) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    WCHAR name[oxAtoms::kLookupUnits] = {};
    if (key->GetCommand()) oxAtoms::GetName(key->GetCommand(), name, oxAtoms::kLookupUnits);
    *out = TWString(name);
    return 0;
}

// An empty text leaves the old command.
int32_t SetKeyCommand(oxNativeWrapper* self, const VARIANT& value) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    if (oxAtom command = AtomOf(XVariant(value).ToString())) key->SetCommand(command);
    return 0;
}

template <bool (oxKeyElement::*Get)() const> int32_t GetKeyFlag(oxNativeWrapper* self, XVariant* out) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    *out = (key->*Get)();
    return 0;
}

template <void (oxKeyElement::*Set)(bool)> int32_t SetKeyFlag(oxNativeWrapper* self, const VARIANT& value) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    (key->*Set)(XVariant(value).ToBool());
    return 0;
}

int32_t GetKeyText(oxNativeWrapper* self, XVariant* out) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    const WCHAR text[2] = {WCHAR(key->GetKeyCode()), 0};
    *out = TWString(text);
    return 0;
}

int32_t SetKeyText(oxNativeWrapper* self, const VARIANT& value) {
    auto* key = NativeOf<oxKeyElement>(self);
    if (!key) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    if (!text.IsEmpty()) key->SetKeyCode(KeyCodeFromText(text.GetString()));
    return 0;
}

using script_class::MethodRow;
using script_class::ObjectMethodRow;
using script_class::ObjectPropertyRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kCommandGroupMembers[] = {
    ObjectMethodRow<2, AddCommand>("addCommand"),
    ObjectMethodRow<1, GetCommandById>("getCommandById"),
    MethodRow<1, RemoveCommand>("removeCommand"),
    ObjectPropertyRow<GetCommands, SetReadOnly>("commands"),
    PropertyRow<GetCommandCount, SetReadOnly>("commandCount"),
    PropertyRow<GetId, SetGroupId>("id"),
    NUBO::XMemberEnd(),
};

const NUBO::XMemberEntry kKeyGroupMembers[] = {
    ObjectMethodRow<6, AddKey>("addKey"),
    ObjectMethodRow<1, GetKeyById>("getKeyById"),
    MethodRow<1, RemoveKey>("removeKey"),
    ObjectPropertyRow<GetKeys, SetReadOnly>("keys"),
    PropertyRow<GetKeyCount, SetReadOnly>("keyCount"),
    PropertyRow<GetId, SetGroupId>("id"),
    NUBO::XMemberEnd(),
};

const NUBO::XMemberEntry kCommandMembers[] = {
    MethodRow<1, Execute>("execute"),
    MethodRow<1, GetCommandAttribute>("getAttribute"),
    MethodRow<2, SetCommandAttribute>("setAttribute"),
    PropertyRow<GetId, SetItemId>("id"),
    PropertyRow<GetAction, SetAction>("action"),
    PropertyRow<GetUpdate, SetUpdate>("update"),
    PropertyRow<GetDisabled, SetDisabled>("disabled"),
    NUBO::XMemberEnd(),
};

const NUBO::XMemberEntry kKeyMembers[] = {
    PropertyRow<GetId, SetItemId>("id"),
    PropertyRow<GetKeyCommand, SetKeyCommand>("command"),
    PropertyRow<GetKeyFlag<&oxKeyElement::GetShift>, SetKeyFlag<&oxKeyElement::SetShift>>("shift"),
    PropertyRow<GetKeyFlag<&oxKeyElement::GetCtrl>, SetKeyFlag<&oxKeyElement::SetCtrl>>("ctrl"),
    PropertyRow<GetKeyFlag<&oxKeyElement::GetAlt>, SetKeyFlag<&oxKeyElement::SetAlt>>("alt"),
    PropertyRow<GetKeyText, SetKeyText>("key"),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {
NUBO::XClassDescriptor CommandGroup = {"CommandGroup", 7, kCommandGroupMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor KeyGroup = {"KeyGroup", 7, kKeyGroupMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor Command = {"Command", 8, kCommandMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor Key = {"Key", 7, kKeyMembers, &XObject::Descriptor, 0, {}};
} // namespace wrapper_class
