#pragma once
// oxSceneInputAdapter: how the frame input asks a markup scene its questions (focus, window box,
// key bindings, where its boxes are). The scene library sits below the frames and cannot answer
// oxInputScene itself, so the frame input makes one of these for each scene on its first event and
// the scene keeps it until it goes. It answers the scene's controls too (oxControlSite).
#include "toolkit/scene/scene_input.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/frame_input.h"

class oxCommandElement;
class oxScene;

class oxSceneInputAdapter final : public oxSceneInputState, public oxInputScene {
public:
    oxSceneInputAdapter(oxScene* scene, oxFrameInput* input) : scene_(scene), input_(input) {}

    // The scene's adapter, made and handed to the scene when it has none; null when memory ran out.
    static oxSceneInputAdapter* For(oxScene* scene, oxFrameInput* input);
    // The same with the frame input of the scene's runtime; null without one.
    static oxSceneInputAdapter* For(oxScene* scene);

    oxFrameInput* GetFrameInput() override { return input_; }
    void DispatchEvent(oxEvent* event) override;
    oxBox* GetFocusedBox() override;
    void SetFocusedBox(oxBox* box) override;
    void AdvanceFocus() override;
    void RewindFocus() override;
    oxBox* GetWindowBox() override;
    oxBox* FindBoxById(oxAtom id) override;
    bool IsWindowDisabled() override;
    bool IsRightToLeft() override;
    void HandleSceneEvent(oxEvent* event) override;
    oxBox* GetSavedFocus() override;
    oxBox* GetTooltipPopup() override;
    void SetSavedFocus(oxBox* box) override;
    // Events sent across scenes go on to the scene's opener.
    oxInputScene* GetEnclosingScene() override;
    oxKeyCommand* FindKeyBinding(oxKeyEvent* event) override;
    bool ContainsScreenPoint(oxBox* box, const oxPoint& point) override;
    oxBoxEdges GetBoxEdges(oxBox* box) override;
    void SetBoxEdges(oxBox* box, const oxBoxEdges& edges, uint32_t which) override;
    void GetMoveModes(oxBox* box, int32_t* vertical, int32_t* horizontal) override;

    // What the scene's controls ask of it.
    class ControlSite final : public oxControlSite {
    public:
        explicit ControlSite(oxScene* scene) : scene_(scene) {}
        oxElement* FindCommandInGroups(oxBox* box, oxAtom id) override;
        void AddCommandControl(oxElement* command, oxBox* control) override;
        void RemoveCommandControl(oxElement* command, oxBox* control) override;
        void AdoptCommand(oxElement* command, oxBox* control) override;
        void ApplyCommandAttributes(oxElement* command, oxBox* control) override;
        void ExecuteCommand(oxElement* command, oxEvent* event, oxBox* owner) override;
        bool DispatchEvent(oxEvent* event) override;
        void GetModifierKeyStates(bool* shift, bool* control, bool* alt) override;

    private:
        oxScene* scene_;
    };
    oxControlSite* GetControlSite() { return &controlSite_; }

private:
    // The command the last key binding found, run for the box it was found for.
    class KeyCommand : public oxKeyCommand {
    public:
        bool IsDisabled() override;
        void Execute(oxCommandEvent* event) override;
        void* GetCommandElement() override { return command; }
        oxCommandElement* command = nullptr;
        oxBox* box = nullptr;
    };

    oxScene* scene_;
    oxFrameInput* input_;
    KeyCommand keyCommand_;
    ControlSite controlSite_{scene_};
};
