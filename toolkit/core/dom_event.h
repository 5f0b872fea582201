#pragma once
// oxDOMEvent and its kinds: the event records that scripts see as event objects. Each kind adds the
// fields of its script class; the kinds raised by input set the bubbling bit.
#include <cstdint>

#include "platform/com/unknown.h"
#include "platform/com/variant.h"
#include "runtime/wide_string.h"
#include "toolkit/base/rect.h"
#include "toolkit/core/event.h"

namespace NUBO {
class XObject;
class XStream;
}
class oxAnimationInstance;

class oxDOMEvent : public oxEvent {
public:
    // Bubbles when the type is "focus" or "blur".
    oxDOMEvent(oxAtom type, oxReferenced* target, oxReferenced* related);
    ~oxDOMEvent() override;

    oxReferenced* GetRelated() const { return related_; }
    oxReferenced* GetSource() const { return source_; }
    void SetSource(oxReferenced* source);
    // The object whose handlers are running; set during dispatch.
    oxReferenced* GetCurrent() const { return current_; }
    void SetCurrent(oxReferenced* current);
    // The parameter dictionary with a reference added, or null when none was set.
    void GetParams(NUBO::XObject** out) const;
    // Sets one parameter, making an empty dictionary on first use: 0, 10 for a null name, 18 when
    // the dictionary cannot be made, else the dictionary's own result code.
    int32_t SetParam(const WCHAR* name, const VARIANT& value);
    // The object's properties, seen as a dictionary, become the parameters in place of the old
    // ones: 0, or 18 (the old parameters stay) when the view cannot be made.
    int32_t SetParamsObject(NUBO::XObject* object);

protected:
    oxReferenced* source_ = nullptr;
    oxReferenced* related_ = nullptr;
    oxReferenced* current_ = nullptr;
    NUBO::XObject* params_ = nullptr;
};

class oxUIEvent : public oxDOMEvent {
public:
    oxUIEvent(oxAtom type, oxReferenced* target, oxReferenced* related, bool shift, bool ctrl, bool alt);

    bool shift;
    bool ctrl;
    bool alt;
};

class oxCommandEvent : public oxUIEvent {
public:
    oxCommandEvent(oxAtom type, oxReferenced* target, oxReferenced* related, void* command, oxAtom message, void* data,
                   bool shift, bool ctrl, bool alt);

    void* command; // the command element, not counted
    oxAtom message;
    void* data;
};

// Type "select".
class oxSelectionEvent : public oxUIEvent {
public:
    oxSelectionEvent(oxAtom type, oxReferenced* target, oxReferenced* related, int32_t index, int32_t oldIndex);

    int32_t index;
    int32_t oldIndex;
};

class oxMouseEvent : public oxUIEvent {
public:
    oxMouseEvent(oxAtom type, oxReferenced* target, oxReferenced* related, int32_t button, void* capture,
                 int32_t detail, const oxPoint& framePoint, const oxPoint& secondPoint, bool shift, bool ctrl,
                 bool alt);
    // A new event of another type that copies the modifiers, button, detail and points of `from`.
    static oxMouseEvent* InitFrom(oxAtom type, oxReferenced* target, oxReferenced* related, void* capture,
                                  const oxMouseEvent& from);

    // The frame point in the target's own coordinates; (0, 0) without a target.
    oxPoint GetBoxPosition() const;

    int32_t button;
    void* capture; // the capturing object, not counted
    int32_t detail;
    oxPoint framePoint;
    oxPoint secondPoint;
};

class oxDragEvent : public oxMouseEvent {
public:
    oxDragEvent(oxAtom type, oxReferenced* target, oxReferenced* related, oxReferenced* sourceBox,
                const oxPoint& framePoint, const oxPoint& secondPoint, bool shift, bool ctrl, bool alt,
                int32_t operation, int32_t location, int32_t canDrop, bool secondFlag);
    ~oxDragEvent() override;

    // Counted; released with the event.
    void SetSourceData(IUnknown* data);
    IUnknown* GetSourceData() const { return sourceData_; }
    // The picture that follows the pointer (a snapshot), or null; counted, released with the event.
    void SetDragImage(oxReferenced* image);
    oxReferenced* GetDragImage() const { return dragImage_; }

    oxReferenced* sourceBox; // not counted
    int32_t operation;
    int32_t location;
    int32_t canDrop;
    bool firstFlag = false;
    bool secondFlag;

private:
    IUnknown* sourceData_ = nullptr;
    oxReferenced* dragImage_ = nullptr;
};

class oxKeyEvent : public oxUIEvent {
public:
    oxKeyEvent(oxAtom type, oxReferenced* target, oxReferenced* related, uint16_t keyCode, bool shift, bool ctrl,
               bool alt, uint16_t virtualKeyCode);

    uint16_t keyCode;
    uint16_t virtualKeyCode;
};

class oxContextMenuEvent : public oxUIEvent {
public:
    oxContextMenuEvent(oxAtom type, oxReferenced* target, bool byKeyboard, bool ctrl, bool alt, bool shift,
                       const oxPoint& framePoint, const oxPoint& boxPoint);

    // The frame point in the target's own coordinates; (0, 0) without a target.
    oxPoint GetBoxPosition() const;

    bool byKeyboard;
    oxPoint framePoint;
    oxPoint boxPoint;
};

class oxMenuEvent : public oxUIEvent {
public:
    oxMenuEvent(oxAtom type, oxReferenced* target, int32_t menuId);

    int32_t menuId;
};

// Type "message"; the dispatch may leave a result for the sender.
class oxMessageEvent : public oxDOMEvent {
public:
    oxMessageEvent(int32_t message, oxReferenced* target);

    int32_t message;
    int32_t result = 0;
};

// Type "attributeSet".
class oxMutationEvent : public oxDOMEvent {
public:
    oxMutationEvent(oxAtom type, oxReferenced* target, oxAtom attribute);

    uint32_t attribute;
};

// Type "system": a change of the system's state, said by its reason.
class oxSystemEvent : public oxDOMEvent {
public:
    oxSystemEvent(oxReferenced* target, int32_t reason);

    int32_t reason;
};

class oxNotificationEvent : public oxDOMEvent {
public:
    oxNotificationEvent(oxAtom type, oxReferenced* target);
};

class oxAnimationEvent : public oxDOMEvent {
public:
    oxAnimationEvent(oxAtom type, oxReferenced* target, oxAnimationInstance* animation);

    oxAnimationInstance* animation; // not counted
};

// Type "urlLoadComplete": the end of an asynchronous load (toolkit/core/uri_load.h).
class oxUrlEvent : public oxEvent {
public:
    oxUrlEvent(oxAtom type, oxReferenced* target, int32_t value, const WCHAR* text, int32_t secondValue);

    int32_t value; // a load's result code
    NUBO::TWString text;
    int32_t secondValue;
    NUBO::XStream* stream = nullptr; // the loaded content, not counted: it lives through the dispatch
};
