#pragma once
// Commands and their groups. A `commandGroup` in markup owns the `command` elements under it; a
// command runs its `action` handler when executed and its `update` handler when the scene refreshes
// its commands, and mirrors its `disabled` and `toggled` attributes onto every box attached to it
// (the controls that name it). Groups belong to a scene, or to a box of the scene.
#include <cstdint>

#include "platform/com/variant.h"
#include "runtime/hash_map.h"
#include "runtime/ptr_vector.h"
#include "toolkit/base/element.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/base/shared_string.h"

class oxBox;
class oxEvent;
class oxCommandGroupElement;
class oxScene;

class oxCommandElement : public oxElement {
public:
    explicit oxCommandElement(oxCommandGroupElement* group);
    ~oxCommandElement() override;

    // `disabled` and `toggled` reach the attached boxes; `action` and `update` name handlers.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    // Stores the text (empty or null removes it) and sets it on every attached box; storing the
    // text the command already has does nothing.
    void SetCommandAttribute(oxAtom attribute, const WCHAR* value);
    void SetDisabled(bool on);
    // The stored text, or null.
    const WCHAR* GetCommandAttribute(oxAtom attribute) const;

    void AttachBox(oxBox* box);
    void DetachBox(oxBox* box);
    // Sets every stored attribute on an attached box.
    void ApplyAttributesToBox(oxBox* box);
    size_t GetAttachedCount() const { return boxes_.size(); }

    // Runs the action: a gadget's method for a gadget group's "gadget:" action, a built-in box
    // action for a "toolkit:" one (on the target of `event`, the event that triggered the command,
    // else on `box`), else the scene's handler with `data` as the argument.
    void Execute(const VARIANT* data, oxBox* box, oxEvent* event = nullptr);
    // Runs the update handler with a command event.
    void Update();

    oxCommandGroupElement* GetGroup() const { return group_; }
    void DetachGroup() { group_ = nullptr; }
    const oxQualifiedName& GetAction() const { return action_; }
    const oxQualifiedName& GetUpdateHandler() const { return update_; }

private:
    oxCommandGroupElement* group_;
    NUBO::PtrVector<oxBox*> boxes_; // not counted
    oxQualifiedName action_;
    oxQualifiedName update_;
    NUBO::oxIdHashMap<oxSharedString>* attributes_ = nullptr;
};

class oxCommandGroupElement : public oxElement {
public:
    oxCommandGroupElement(oxScene* scene, bool gadget);
    // Destroys the commands.
    ~oxCommandGroupElement() override;

    // `command` in any namespace makes a command owned by the group.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    // The last command of the id; null for id 0.
    oxCommandElement* FindCommand(oxAtom id) const;
    // The group takes ownership.
    void AddCommand(oxCommandElement* command);
    // Destroys the command.
    void RemoveCommand(oxCommandElement* command);
    void UpdateCommands();

    oxScene* GetScene() const { return scene_; }
    bool IsGadgetGroup() const { return gadget_; }
    size_t GetCommandCount() const { return commands_.size(); }
    oxCommandElement* GetCommandAt(size_t i) const { return commands_[i]; }

private:
    bool gadget_;
    oxScene* scene_;
    NUBO::PtrVector<oxCommandElement*> commands_; // owned
};
