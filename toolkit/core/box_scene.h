#pragma once
// What a box asks of the scene it belongs to. The scene lives above the box tree, so the tree reaches
// it only through this interface; the scene implements it. The defaults answer as a scene that
// makes and knows nothing, which is what a box outside any scene sees.
#include <cstdint>

#include "toolkit/base/atoms.h"

class oxBox;
class oxBoxStyle;
class oxChangeListener;
class oxDataBinding;
class oxElement;
class oxStyleLibrary;

class oxBoxScene {
public:
    // A new box (count 1, taken over by the caller) for a markup tag, or null.
    virtual oxBox* CreateBox(oxAtom ns, oxAtom tag);
    // A new box of a box type with a tag, as copying needs; null when it cannot be made.
    virtual oxBox* CreateBoxOfType(oxAtom type, oxAtom tag);
    // Destroys a box that was already unlinked from its parent. The default releases it.
    virtual void DestroyBox(oxBox* box);
    // The box of an id in this scene, or null.
    virtual oxBox* FindBoxById(oxAtom id);
    virtual void UnregisterBoxId(oxBox* box, oxAtom id);
    virtual oxBox* GetRootBox();
    // The library element that markup inside boxes adds resources to (the scene itself), or null.
    virtual oxElement* GetLibraryElement();
    // True once the scene runs: boxes attached from then on are announced at once.
    virtual bool IsRunning() const;
    // The element for a `script` or `code` tag inside `owner`, or null when the scene loads no
    // scripts. The element loads its script at its end tag and then destroys itself.
    virtual oxElement* CreateScriptElement(oxBox* owner, oxAtom tag);
    // The `commandGroup` or `keyGroup` element of `owner`, kept by the scene for the box; null when
    // the scene keeps none.
    virtual oxElement* CreateGroupElement(oxBox* owner, oxAtom tag);
    // A new data binding element made on `box` (one reference for the caller, not yet added to the
    // box); `element` receives it as a markup element. Null when the scene makes no bindings.
    virtual oxDataBinding* CreateDataBinding(oxBox* box, oxElement** element) {
        (void)box;
        if (element) *element = nullptr;
        return nullptr;
    }
    // A box of this scene was moved into another scene.
    virtual void OnBoxLeftScene(oxBox* box);
    // A box of this scene is being destroyed.
    virtual void OnBoxDestroyed(oxBox* box);
    // While on, boxes made wait and hear of the scene together when it is turned off again.
    // Answers whether it was on already.
    virtual bool SetDeferConstruction(bool on) {
        (void)on;
        return false;
    }
    // A box that hosts a native window joins the scene's window boxes, which the scene shows and
    // refreshes (oxBox::RefreshFrame) after each layout; it leaves them when it leaves the scene.
    virtual void AddFrameBox(oxBox* box) { (void)box; }
    // A box moved in from another scene: it takes this scene's gadget for its tag.
    virtual void OnBoxChangedScene(oxBox* box) { (void)box; }
    // Something in the tree changed that needs the scene's next update pass.
    virtual void SetUpdateFlag(uint32_t flag);
    // A layout root of the scene needs a layout pass: the scene queues it and asks its window for one
    // update, however often it is asked before the update runs. False when the scene takes no
    // changes (not open, or closing).
    virtual bool NotifySceneOfChange(oxBox* layoutRoot);
    // A box of the scene marked itself for repaint: the scene asks its window for one update.
    virtual void OnBoxRepaintRequested(oxBox* box);
    // A box of the scene was painted for the first time: it waits, with a reference, for its
    // "presented" event, which the scene sends once the paint pass is over.
    virtual void QueuePresented(oxBox* box) { (void)box; }
    // The listener that scroll bar boxes of the scene report their value changes to, or null.
    virtual oxChangeListener* GetScrollbarListener();
    // The style record for a box from the scene's rules (a new reference; the box's own record again
    // when re-matching changed nothing), or null.
    virtual oxBoxStyle* BuildBoxStyle(oxBox* box);
    // The record of a named part of a box (its rules' `part` rules of that name), a new reference, or
    // null when there are none.
    virtual oxBoxStyle* GetSubStyle(oxBox* box, oxAtom part) {
        (void)box, (void)part;
        return nullptr;
    }
    // The library that style text of the scene's boxes resolves references in, or null.
    virtual oxStyleLibrary* GetStyleLibrary();
    // True when the scene's text runs right to left by default (boxes without `dir` follow it).
    virtual bool IsRightToLeft() const { return false; }
    // True when rich text of the scene's text boxes orders right-to-left runs for display.
    virtual bool GetRtlFormatting() const { return false; }
    // Closes the open popup that the input state tracks (a scroll moves what it belongs to).
    virtual void CloseTrackedPopup() {}
    // The root box's geometry changed, or it was deactivated: the scene's window fits itself to the
    // root box again at its next update.
    virtual void RefitWindow() {}

protected:
    ~oxBoxScene() = default;
};
