#pragma once
// The frame input as the scenes reach it. There is one per toolkit runtime, shared by every scene;
// it lives with the frames, above the scene library, so the frames install its maker and the
// runtime makes it when it starts and deletes it when it shuts down.
class oxBox;
class oxBoxScene;
class oxEvent;
class oxScene;

// What the frame input keeps for one scene (how it asks the scene its questions). The scene owns
// it from the first event on.
class oxSceneInputState {
public:
    virtual ~oxSceneInputState() = default;
};

class oxSceneInput {
public:
    virtual ~oxSceneInput() = default;

    // Delivers an event of the scene to its target, bubbles it and runs the default input rules.
    virtual void DispatchSceneEvent(oxEvent* event, oxScene* scene) = 0;
    virtual void SetPressedBox(oxBox* box) = 0;
    virtual void SetHoveredBox(oxBox* box) = 0;
    // Drops every reference kept to the box, or to the boxes of the scene.
    virtual void ForgetBox(oxBox* box) = 0;
    virtual void ForgetScene(oxBoxScene* scene) = 0;
    // The open popups: the tracked one (the tooltip) and the chain.
    virtual bool IsPopupOpen() const { return false; }
    virtual void CloseTrackedPopup() {}
    virtual void ClosePopups(bool keepTracked) { (void)keepTracked; }
    // The scene's focus moved from `old` to a box that is (or is not) a menu of a menu bar.
    virtual void OnFocusMoved(oxBox* old, bool newInMenuBar) { (void)old, (void)newInMenuBar; }
};

// The maker the runtime calls when it starts; answers the previous one. Null makes none.
using oxSceneInputMaker = oxSceneInput* (*)();
oxSceneInputMaker SetSceneInputMaker(oxSceneInputMaker maker);
