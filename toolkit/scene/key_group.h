#pragma once
// Keys and their groups: a `keyGroup` in markup owns `key` elements, each binding a key stroke
// (virtual-key code and the shift, ctrl and alt states) to the id of a command. The scene asks its
// boxes' groups and then its own for the key that matches a key event.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "toolkit/base/element.h"

class oxKeyEvent;
class oxKeyGroupElement;
class oxScene;

// What a key's `key` text names: the code of a known key name, else the upper case of its first
// character; 0 for empty text.
uint16_t KeyCodeFromText(const WCHAR* text);

class oxKeyElement : public oxElement {
public:
    explicit oxKeyElement(oxKeyGroupElement* group);
    // Its script object goes inert.
    ~oxKeyElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;

    bool Matches(const oxKeyEvent& event) const;
    uint16_t GetKeyCode() const { return keyCode_; }
    oxAtom GetCommand() const { return command_; }
    bool GetShift() const { return shift_; }
    bool GetCtrl() const { return ctrl_; }
    bool GetAlt() const { return alt_; }
    oxKeyGroupElement* GetGroup() const { return group_; }
    void SetKeyCode(uint16_t code) { keyCode_ = code; }
    void SetCommand(oxAtom command) { command_ = command; }
    void SetShift(bool on) { shift_ = on; }
    void SetCtrl(bool on) { ctrl_ = on; }
    void SetAlt(bool on) { alt_ = on; }

private:
    bool shift_ = false;
    bool ctrl_ = false;
    bool alt_ = false;
    uint16_t keyCode_ = 0;
    oxAtom command_ = 0;
    oxKeyGroupElement* group_;
};

class oxKeyGroupElement : public oxElement {
public:
    explicit oxKeyGroupElement(bool gadget);
    // Destroys the keys.
    ~oxKeyGroupElement() override;

    // `key` in any namespace makes a key owned by the group.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    // The first key of the id, or null.
    oxKeyElement* FindKey(oxAtom id) const;
    // The first key whose code and modifier states equal the event's, or null.
    oxKeyElement* FindKeyForEvent(const oxKeyEvent* event) const;
    // The group takes ownership.
    void AddKey(oxKeyElement* key);
    // Destroys the key.
    void RemoveKey(oxKeyElement* key);
    size_t GetKeyCount() const { return keys_.size(); }
    oxKeyElement* GetKeyAt(size_t i) const { return keys_[i]; }
    bool IsGadgetGroup() const { return gadget_; }
    // The scene whose script objects the keys have; a group without one hands out none.
    void SetScene(oxScene* scene) { scene_ = scene; }
    oxScene* GetScene() const { return scene_; }

private:
    bool gadget_;
    oxScene* scene_ = nullptr;
    NUBO::PtrVector<oxKeyElement*> keys_; // owned
};
