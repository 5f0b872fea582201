#include "toolkit/core/dom_event.h"

#include <new>

#include "runtime/object_dictionary_view.h"
#include "runtime/result_codes.h"
#include "runtime/script_dictionary.h"
#include "runtime/script_object.h"
#include "toolkit/base/referenced.h"

namespace {

oxPoint InTargetCoordinates(const oxReferenced* target, const oxPoint& framePoint) {
    if (!target) return {};
    oxPoint origin = target->GetPositionInFrame();
    oxPoint p = framePoint;
    return p.Offset(-origin.x, -origin.y);
}

} // namespace

oxDOMEvent::oxDOMEvent(oxAtom type, oxReferenced* target, oxReferenced* related) : oxEvent(type, target) {
    oxHoldReference(related_, related);
    if (type == kAtomFocus || type == kAtomBlur) AddFlags(kEventBubbles);
}

oxDOMEvent::~oxDOMEvent() {
    if (params_) {
        NUBO::XObject* params = params_;
        params_ = nullptr;
        params->Release();
    }
    oxHoldReference(current_, nullptr);
    oxHoldReference(related_, nullptr);
    oxHoldReference(source_, nullptr);
}

void oxDOMEvent::SetSource(oxReferenced* source) {
    oxHoldReference(source_, source);
}

void oxDOMEvent::SetCurrent(oxReferenced* current) {
    oxHoldReference(current_, current);
}

void oxDOMEvent::GetParams(NUBO::XObject** out) const {
    if (!out) return;
    if (params_) params_->AddRef();
    *out = params_;
}

int32_t oxDOMEvent::SetParam(const WCHAR* name, const VARIANT& value) {
    if (!name) return NUBO::XR_INVALID;
    if (!params_) {
        int32_t rc = NUBO::CreateXDictionary(&params_);
        if (rc != NUBO::XR_SUCCESS) return rc;
    }
    // Parameters given as an object are written through to that object.
    if (auto* view = dynamic_cast<XObjectDictionaryView*>(params_)) return view->SetValueForKey(value, name);
    return params_->SetPropertyByName(name, &value);
}

int32_t oxDOMEvent::SetParamsObject(NUBO::XObject* object) {
    auto* view = new (std::nothrow) XObjectDictionaryView(object);
    if (!view) return NUBO::XR_OUT_OF_MEMORY;
    view->AddRef();
    view->Initialize();
    NUBO::XObject* old = params_;
    params_ = view;
    if (old) old->Release();
    return NUBO::XR_SUCCESS;
}

oxUIEvent::oxUIEvent(oxAtom type, oxReferenced* target, oxReferenced* related, bool shiftDown, bool ctrlDown,
                     bool altDown)
    : oxDOMEvent(type, target, related), shift(shiftDown), ctrl(ctrlDown), alt(altDown) {
    SetSource(target);
}

oxCommandEvent::oxCommandEvent(oxAtom type, oxReferenced* target, oxReferenced* related, void* commandObject,
                               oxAtom messageAtom, void* commandData, bool shiftDown, bool ctrlDown, bool altDown)
    : oxUIEvent(type, target, related, shiftDown, ctrlDown, altDown), command(commandObject), message(messageAtom),
      data(commandData) {
    AddFlags(kEventBubbles);
}

oxSelectionEvent::oxSelectionEvent(oxAtom type, oxReferenced* target, oxReferenced* related, int32_t newIndex,
                                   int32_t previousIndex)
    : oxUIEvent(type, target, related, false, false, false), index(newIndex), oldIndex(previousIndex) {}

oxMouseEvent::oxMouseEvent(oxAtom type, oxReferenced* target, oxReferenced* related, int32_t mouseButton,
                           void* capturing, int32_t clickDetail, const oxPoint& atFrame, const oxPoint& second,
                           bool shiftDown, bool ctrlDown, bool altDown)
    : oxUIEvent(type, target, related, shiftDown, ctrlDown, altDown), button(mouseButton), capture(capturing),
      detail(clickDetail), framePoint(atFrame), secondPoint(second) {
    AddFlags(kEventBubbles);
}

oxMouseEvent* oxMouseEvent::InitFrom(oxAtom type, oxReferenced* target, oxReferenced* related, void* capturing,
                                     const oxMouseEvent& from) {
    return new (std::nothrow) oxMouseEvent(type, target, related, from.button, capturing, from.detail, from.framePoint,
                                           from.secondPoint, from.shift, from.ctrl, from.alt);
}

oxPoint oxMouseEvent::GetBoxPosition() const {
    return InTargetCoordinates(target_, framePoint);
}

oxDragEvent::oxDragEvent(oxAtom type, oxReferenced* target, oxReferenced* related, oxReferenced* source,
                         const oxPoint& atFrame, const oxPoint& second, bool shiftDown, bool ctrlDown, bool altDown,
                         int32_t dragOperation, int32_t dragLocation, int32_t dropAllowed, bool flag)
    : oxMouseEvent(type, target, related, 0, nullptr, 0, atFrame, second, shiftDown, ctrlDown, altDown),
      sourceBox(source), operation(dragOperation), location(dragLocation), canDrop(dropAllowed), secondFlag(flag) {}

oxDragEvent::~oxDragEvent() {
    SetSourceData(nullptr);
    SetDragImage(nullptr);
}

void oxDragEvent::SetDragImage(oxReferenced* image) {
    if (image == dragImage_) return;
    if (image) image->AddRef();
    oxReferenced* old = dragImage_;
    dragImage_ = image;
    if (old) old->Release();
}

void oxDragEvent::SetSourceData(IUnknown* data) {
    if (data == sourceData_) return;
    if (data) data->AddRef();
    IUnknown* old = sourceData_;
    sourceData_ = data;
    if (old) old->Release();
}

oxKeyEvent::oxKeyEvent(oxAtom type, oxReferenced* target, oxReferenced* related, uint16_t key, bool shiftDown,
                       bool ctrlDown, bool altDown, uint16_t virtualKey)
    : oxUIEvent(type, target, related, shiftDown, ctrlDown, altDown), keyCode(key), virtualKeyCode(virtualKey) {
    AddFlags(kEventBubbles);
}

oxContextMenuEvent::oxContextMenuEvent(oxAtom type, oxReferenced* target, bool keyboard, bool ctrlDown, bool altDown,
                                       bool shiftDown, const oxPoint& atFrame, const oxPoint& atBox)
    : oxUIEvent(type, target, nullptr, shiftDown, ctrlDown, altDown), byKeyboard(keyboard), framePoint(atFrame),
      boxPoint(atBox) {
    AddFlags(kEventBubbles);
}

oxPoint oxContextMenuEvent::GetBoxPosition() const {
    return InTargetCoordinates(target_, framePoint);
}

oxMenuEvent::oxMenuEvent(oxAtom type, oxReferenced* target, int32_t id)
    : oxUIEvent(type, target, nullptr, false, false, false), menuId(id) {}

oxMessageEvent::oxMessageEvent(int32_t value, oxReferenced* target)
    : oxDOMEvent(kAtomMessage, target, nullptr), message(value) {}

oxMutationEvent::oxMutationEvent(oxAtom type, oxReferenced* target, oxAtom attributeAtom)
    : oxDOMEvent(type, target, nullptr), attribute(attributeAtom) {}

oxSystemEvent::oxSystemEvent(oxReferenced* target, int32_t reasonCode)
    : oxDOMEvent(kAtomSystem, target, nullptr), reason(reasonCode) {}

oxNotificationEvent::oxNotificationEvent(oxAtom type, oxReferenced* target) : oxDOMEvent(type, target, nullptr) {
    AddFlags(kEventBubbles);
}

oxAnimationEvent::oxAnimationEvent(oxAtom type, oxReferenced* target, oxAnimationInstance* instance)
    : oxDOMEvent(type, target, nullptr), animation(instance) {}

oxUrlEvent::oxUrlEvent(oxAtom type, oxReferenced* target, int32_t first, const WCHAR* message, int32_t second)
    : oxEvent(type, target), value(first), text(message), secondValue(second) {}
