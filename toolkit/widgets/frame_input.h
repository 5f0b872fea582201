#pragma once
// oxFrameInput: the toolkit's input state and event router, one per toolkit runtime and shared by
// every frame and scene. Frames build mouse, key and menu events from window messages and send
// them through their scene, which hands each to DispatchEvent: the event reaches its target box,
// bubbles, and then the default input rules run: press and hover, moving boxes, drag and drop,
// focus and Tab, key bindings. Boxes are not counted here: whoever removes a box or a scene tells
// the input state first (ForgetBox, ForgetScene).
#include <cstdint>

#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"
#include "toolkit/base/referenced.h"
#include "toolkit/scene/scene_input.h"

class oxBox;
class oxBoxScene;
class oxCommandEvent;
class oxEvent;
class oxFrameInput;
class oxKeyEvent;
class oxMouseEvent;
class oxPopupBox;
class oxTimerEntry;

// A command that a key binding names.
class oxKeyCommand {
public:
    // The command's "disabled" attribute is true.
    virtual bool IsDisabled() = 0;
    // Runs the command with the event; it may stop the event's propagation or prevent its default.
    virtual void Execute(oxCommandEvent* event) = 0;
    // What the "command" event carries as its command: the markup command element, if any.
    virtual void* GetCommandElement() { return nullptr; }

protected:
    ~oxKeyCommand() = default;
};

// Where a box stands as its "top", "left", "right" and "bottom" style values.
struct oxBoxEdges {
    int32_t top = 0, left = 0, right = 0, bottom = 0;
};

// What the input rules ask of a scene. A scene implements it beside oxBoxScene, or its window does
// for it (oxSceneFrame); the input state finds it from a box's scene.
class oxInputScene {
public:
    virtual oxFrameInput* GetFrameInput() = 0;
    // Sends an event through the scene, which hands it to the frame input.
    virtual void DispatchEvent(oxEvent* event) = 0;
    virtual oxBox* GetFocusedBox() = 0;
    // Moves the focus (null blurs it).
    virtual void SetFocusedBox(oxBox* box) = 0;
    virtual void AdvanceFocus() = 0;
    virtual void RewindFocus() = 0;
    virtual oxBox* GetWindowBox() = 0;
    virtual oxBox* FindBoxById(oxAtom id) = 0;
    virtual bool IsWindowDisabled() { return false; }
    // The box that had the focus before a popup or the menu bar took it, to have it back after.
    virtual oxBox* GetSavedFocus() { return nullptr; }
    // The scene's shared tooltip popup, made on first use; null when it has none.
    virtual oxBox* GetTooltipPopup() { return nullptr; }
    virtual void SetSavedFocus(oxBox* box) { (void)box; }
    virtual bool IsRightToLeft() { return false; }
    // The scene's own listener, which bubbling events reach before their target.
    virtual void HandleSceneEvent(oxEvent* event) { (void)event; }
    // The scene this one is shown inside, or null.
    virtual oxInputScene* GetEnclosingScene() { return nullptr; }
    // The command bound to the key of a "keyPress", or null.
    virtual oxKeyCommand* FindKeyBinding(oxKeyEvent* event) {
        (void)event;
        return nullptr;
    }
    // Whether the box covers a point of the screen (the cursor, for hover paths).
    virtual bool ContainsScreenPoint(oxBox* box, const oxPoint& point) = 0;
    virtual oxBoxEdges GetBoxEdges(oxBox* box) = 0;
    // Writes the edges whose flag bit is set (1 top, 2 left, 4 right, 8 bottom).
    virtual void SetBoxEdges(oxBox* box, const oxBoxEdges& edges, uint32_t which) = 0;
    // The vertical (1 top, 3 bottom, 5 both) and horizontal (4 left, 2 right, 5 both) move modes.
    virtual void GetMoveModes(oxBox* box, int32_t* vertical, int32_t* horizontal) {
        (void)box;
        *vertical = 1;
        *horizontal = 4;
    }
    // The drag service: whether a drag of the "dragStart" event's data begins, and its end.
    virtual bool BeginDrag(oxEvent* dragStart) {
        (void)dragStart;
        return false;
    }
    virtual void EndDrag() {}

protected:
    ~oxInputScene() = default;
};

// The box that had the focus before a popup or the menu bar took it gets it back, and the record
// is cleared.
void GiveBackSavedFocus(oxInputScene* scene);
// The scene's window box is active (its window has the activation).
bool IsSceneRootActive(oxInputScene* scene);

// The input scene of the box's scene, or null.
oxInputScene* GetInputScene(const oxBox* box);
oxInputScene* GetInputScene(oxBoxScene* scene);

class oxFrameInput : public oxSceneInput {
public:
    oxFrameInput();
    ~oxFrameInput() override;
    oxFrameInput(const oxFrameInput&) = delete;
    oxFrameInput& operator=(const oxFrameInput&) = delete;

    void DispatchEvent(oxEvent* event, oxInputScene* scene);
    void DispatchSceneEvent(oxEvent* event, oxScene* scene) override;
    void SetHoveredBox(oxBox* box) override;
    void SetPressedBox(oxBox* box) override;
    // Clears every slot and timer that holds the box.
    void ForgetBox(oxBox* box) override;
    // Clears every slot and timer whose box belongs to the scene.
    void ForgetScene(oxBoxScene* scene) override;
    // The frames' process-wide boxes (capture, last left press, key-down owner).
    static void ForgetFrameGlobals(oxBox* box);
    // The tooltip text that "autoTooltip" gives a box: the value of the text box it names (the box
    // itself when no box has that id) when that text is cut off; null for "none" or a text that fits.
    static const WCHAR* CutOffText(oxBox* box);
    // The box that key events go to: the scene's focused box, else its window box.
    oxBox* GetKeyTarget(oxInputScene* scene);
    // The open popup that takes the keyboard: the tracked popup, else the chain, unless it is
    // shown without taking input.
    oxBox* GetKeyPopup(oxInputScene* scene);
    int32_t BeginDragSource(int32_t dropEffect, oxBox* box);

    oxBox* GetHoveredBox() const { return hovered_; }
    oxBox* GetPressedBox() const { return pressed_; }
    oxBox* GetRightPressedBox() const { return rightPressed_; }
    // Where the last press went down, on the screen.
    const oxPoint& GetPressScreenPoint() const { return pressScreen_; }
    oxBox* GetMovedBox() const { return moved_; }
    oxBox* GetDragSource() const { return dragSource_; }
    bool IsMenuBarEngaged() const { return menuBarEngaged_; }
    // A drag-and-drop is over a box or carries data.
    bool IsDragActive() const { return dragOver_ || dragPayload_; }
    void SetKeepMenu(bool on) { keepMenu_ = on; }
    bool IsAltUsed() const { return altUsed_; }
    void SetAltUsed(bool on) { altUsed_ = on; }
    // The focus moved: the menu mark follows the new box, and a menu bar that the focus left has
    // no current item any more.
    void OnFocusMoved(oxBox* old, bool newInMenuBar) override;
    bool IsDragging() const { return dragging_; }
    int32_t GetPointerKind() const { return pointerKind_; }
    // The pointer for the hovered box, a style keyword number: from the box up, the first that its
    // `cursor` style (anything but a keyword or a number counts as -1) or its default cursor gives;
    // 0 without a hovered box.
    int32_t GetCursor() const;
    // Shows the platform pointer for GetCursor; the pointer-height cache keys on its kind.
    void ShowCursor();

    // The innermost popup of the open popup chain, and the open independent popup (the tooltip).
    oxPopupBox* GetPopupChain() const { return popupChain_; }
    void SetPopupChain(oxPopupBox* popup) { popupChain_ = popup; }
    oxPopupBox* GetTrackedPopup() const { return trackedPopup_; }
    void SetTrackedPopup(oxPopupBox* popup) { trackedPopup_ = popup; }
    bool IsKeepMenu() const { return keepMenu_; }
    bool IsPopupOpen() const override { return popupChain_ || trackedPopup_; }
    void CloseTrackedPopup() override;
    // Closes the tracked popup (unless kept) and the popup chain from its outermost popup.
    void ClosePopups(bool keepTracked) override;
    // Closes the first context menu hanging below the chain, from the outermost popup down.
    void CloseNestedPopup();

    // One timed event ("hoverHold", "pressHold", the "mousePress" repeat): armed with a copy of the
    // event that starts it, fired once (or repeated) through the target's scene.
    class TimerRecord : public oxReferenced {
    public:
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        void OnTimer(oxTimerEntry* entry) override;
        void Arm(oxFrameInput* owner, oxAtom type, oxBox* box, const oxMouseEvent* from, uint32_t delayMs,
                 uint32_t repeatMs);
        void Cancel();
        oxBox* box = nullptr;

    private:
        oxFrameInput* owner_ = nullptr;
        oxAtom type_ = 0;
        int32_t button_ = 0, detail_ = 0;
        oxPoint client_, screen_;
        bool shift_ = false, ctrl_ = false, alt_ = false;
        bool first_ = true;
        uint32_t repeatMs_ = 0;
        oxTimerEntry* entry_ = nullptr;
    };

private:
    void Deliver(oxEvent* event, oxInputScene* scene, oxBox* target);
    void PressAndHover(oxEvent* event, oxInputScene* scene, oxBox* target);
    void MoveBoxes(oxEvent* event, oxInputScene* scene);
    void DragAndDrop(oxEvent* event, oxInputScene* scene);
    void Popups(oxEvent* event, oxInputScene* scene, oxBox* target);
    // How a popup is shown: by a left click, or as a context menu by the pointer or the keyboard.
    enum ShowKind { kShowByClick = 0, kShowByPointer = 1, kShowByKeyboard = 2 };
    void ShowPopup(oxPopupBox* popup, oxBox* anchor, oxBox* target, ShowKind kind);
    void FocusAndTab(oxEvent* event, oxInputScene* scene, oxBox* target);
    // Shows the box's tooltip after the pointer rested on it, and closes it when the pointer leaves.
    void Tooltips(oxEvent* event, oxInputScene* scene, oxBox* target);
    void ShowTooltip(oxInputScene* scene, oxBox* box);
    void KeyBindings(oxEvent* event, oxInputScene* scene);
    // Builds an event of another type from a mouse event and sends it through the box's scene.
    void Raise(oxAtom type, oxBox* target, oxBox* related, int32_t detail, const oxMouseEvent& from);
    void SetHoverPath(oxBox* box, bool on, oxBox* stopAt);
    bool EnsureTimerQueue();

    oxBox* hovered_ = nullptr;
    oxBox* previousHovered_ = nullptr;
    oxBox* pressed_ = nullptr;
    oxBox* rightPressed_ = nullptr;
    oxBox* dragSource_ = nullptr;
    oxBox* dragOver_ = nullptr;
    oxBox* moved_ = nullptr;
    oxPopupBox* popupChain_ = nullptr;
    oxPopupBox* trackedPopup_ = nullptr;
    oxRect tooltipAnchor_;
    int32_t dragPayload_ = 0;
    int32_t dropEffect_ = 0;
    oxPoint pressScreen_, pressClient_;
    oxBoxEdges movedStart_;
    bool movePending_ = false;
    int32_t verticalMode_ = 1, horizontalMode_ = 4;
    uint32_t pressTime_ = 0, clickTime_ = 0;
    bool menuBarEngaged_ = false;
    bool altUsed_ = false;
    bool keepMenu_ = false;
    int32_t pointerKind_ = 28;
    bool dragging_ = false;
    bool queueAcquired_ = false;
    TimerRecord hoverHold_, pressHold_, mousePress_;
};
