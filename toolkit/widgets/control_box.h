#pragma once
// oxControlBox: the box of the `control` tag and the base of every interactive control. To a plain
// box it adds a bound command (found by id in the command groups of the box, its ancestors and the
// scene), the message atom its command events carry, `label` and `value`, a three-state toggle,
// simulated clicks, and its reaction to children's commands and to the Space key.
#include <cstdint>

#include "toolkit/core/box.h"

class oxEvent;

// What a control asks of its scene: command groups, command execution, event dispatch and the
// modifier keys. The scene implements it beside oxBoxScene; a control whose scene gives none
// finds no command and dispatches nothing.
class oxControlSite {
public:
    // The first command with `id` in the command groups of `box` (null: the scene's own groups),
    // or null when the box has no groups or none holds the id.
    virtual oxElement* FindCommandInGroups(oxBox* box, oxAtom id) = 0;
    // Keeps the command's list of controls in step with the controls' bindings.
    virtual void AddCommandControl(oxElement* command, oxBox* control) = 0;
    virtual void RemoveCommandControl(oxElement* command, oxBox* control) = 0;
    // The command's element belongs to another scene than the control: it moves to the control's.
    virtual void AdoptCommand(oxElement* command, oxBox* control) = 0;
    // The command pushes its stored attributes to the control through its SetAttribute.
    virtual void ApplyCommandAttributes(oxElement* command, oxBox* control) = 0;
    virtual void ExecuteCommand(oxElement* command, oxEvent* event, oxBox* owner) = 0;
    // True when the dispatch went through.
    virtual bool DispatchEvent(oxEvent* event) = 0;
    virtual void GetModifierKeyStates(bool* shift, bool* control, bool* alt) = 0;

protected:
    ~oxControlSite() = default;
};

// The control site of the box's scene, or null.
oxControlSite* GetControlSite(const oxBox* box);

class oxControlBox : public oxBox {
public:
    explicit oxControlBox(oxAtom tag);
    ~oxControlBox() override;

    oxAtom GetBoxType() const override { return kAtomControl; }
    void CloneInto(oxBox* target, bool keepBindingsIdle) override;
    void OnSceneAttached() override;
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    int32_t HandleEvent(oxEvent* event) override;

    // The select box this control belongs to: its `control` part when that is a select box, else
    // the nearest select box above it.
    virtual oxBox* FindSelectBox();
    // The bound command, or null; `owner` receives the box whose command groups held it.
    virtual oxElement* FindCommand(oxBox** owner);
    // Rebinds the control to the command of `id`; answers the new command.
    virtual oxElement* SetCommand(oxAtom id);
    virtual oxAtom GetMessage() const { return messageId_; }
    virtual void SetMessage(oxAtom message);
    virtual const WCHAR* GetLabel();
    virtual void SetLabel(const WCHAR* text);
    virtual const WCHAR* GetValue();
    virtual void SetValue(const WCHAR* text);
    virtual uint8_t GetTristate() const { return tristateState_; }
    virtual void SetTristate(int n);
    // Raises the control's command: the command runs, then the event goes through the scene and,
    // unless a handler prevented it, the toggle advances.
    virtual void Command();
    virtual void Toggle();
    // Simulated clicks: mouseDown, (doubleClick,) mouseUp, each only while the previous went through.
    virtual void Click();
    virtual void DoubleClick();

    oxAtom GetCommandId() const { return commandId_; }

private:
    // Text stored as it is; null removes the attribute and announces the change.
    void SetPlainText(oxAtom attribute, const WCHAR* text);
    void SetValueFromNumber(int32_t n);
    bool IsAttached() const { return TestChangeFlags(kChangeAttached); }

    oxAtom commandId_ = 0;
    oxAtom messageId_ = 0;
    uint8_t tristateState_ = 0;
};

// Makes the box factory build control boxes for the `control` kind. The box tree cannot reach this
// module, so the application calls it once before it loads markup.
void oxRegisterControlBoxKind();
