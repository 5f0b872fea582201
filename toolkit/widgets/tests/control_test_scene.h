#pragma once
// A scene for control tests: command groups per box, a log of dispatched events and of executed
// commands, and settable modifier keys.
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/core/box_scene.h"
#include "toolkit/core/event.h"
#include "toolkit/widgets/control_box.h"

class ControlScene : public oxBoxScene, public oxControlSite {
public:
    bool IsRunning() const override { return true; }

    oxElement* FindCommandInGroups(oxBox* box, oxAtom id) override {
        auto it = groups.find({box, id});
        return it == groups.end() ? nullptr : it->second;
    }
    void AddCommandControl(oxElement* command, oxBox* control) override { bound[command].push_back(control); }
    void RemoveCommandControl(oxElement* command, oxBox* control) override {
        auto& list = bound[command];
        std::erase(list, control);
    }
    void AdoptCommand(oxElement* command, oxBox* control) override { (void)command, (void)control; }
    void ApplyCommandAttributes(oxElement* command, oxBox* control) override {
        for (auto& [atom, text] : commandAttributes[command])
            control->SetAttribute(atom, text.c_str(), true, false);
    }
    void ExecuteCommand(oxElement* command, oxEvent* event, oxBox* owner) override {
        executed.emplace_back(command, owner);
        if (onExecute) onExecute(event);
    }
    bool DispatchEvent(oxEvent* event) override {
        dispatched.push_back(event->GetType());
        if (onDispatch) onDispatch(event);
        return dispatchResult;
    }
    void GetModifierKeyStates(bool* shift, bool* control, bool* alt) override {
        *shift = shiftDown, *control = false, *alt = false;
    }

    std::map<std::pair<oxBox*, oxAtom>, oxElement*> groups;
    std::map<oxElement*, std::vector<oxBox*>> bound;
    std::map<oxElement*, std::vector<std::pair<oxAtom, std::u16string>>> commandAttributes;
    std::vector<std::pair<oxElement*, oxBox*>> executed;
    std::vector<oxAtom> dispatched;
    std::function<void(oxEvent*)> onExecute, onDispatch;
    bool dispatchResult = true;
    bool shiftDown = false;
};

