// The box's side tables (change listeners, anchors, layer lists), change notification and the
// handling of events delivered to the box. Most boxes have none of these, so they live in global
// maps keyed by the box, and the box's presence word says which maps hold an entry for it.
#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/core/z_order_list.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"

namespace {

// Boxes whose animated fill waits on a timer entry (owned by the timer queue).
std::unordered_map<const oxBox*, oxTimerEntry*>& FillTimers() {
    static std::unordered_map<const oxBox*, oxTimerEntry*> timers;
    return timers;
}

} // namespace

namespace {

using BoxList = std::vector<oxBox*>;

template <class V> NUBO::oxPtrHashMap<V>& Table() {
    static NUBO::oxPtrHashMap<V> table;
    return table;
}

// One map per side table; each value type is distinct.
struct Listeners {
    std::vector<oxChangeListener*> list;
};
struct LayerList {
    oxZOrderList list{nullptr};
};
struct LayerRoots {
    BoxList roots;
};
struct Anchored {
    BoxList boxes;
};
struct Anchor {
    oxBox* box = nullptr;
};

template <class V> V* Lookup(const oxBox* box) {
    auto* node = Table<V*>().Find(box);
    return node ? node->value : nullptr;
}

template <class V> V* GetOrMake(const oxBox* box) {
    if (V* v = Lookup<V>(box)) return v;
    auto* v = new (std::nothrow) V;
    if (v) Table<V*>().Insert(box, v);
    return v;
}

template <class V> void Drop(const oxBox* box) {
    auto& table = Table<V*>();
    if (table.IsEmpty()) return;
    if (auto* node = table.Find(box)) {
        delete node->value;
        table.Erase(box);
    }
}

void RemoveFrom(BoxList& list, const oxBox* box) {
    list.erase(std::remove(list.begin(), list.end(), box), list.end());
}


constexpr uint16_t kHasListenersBit = 0x800;

// Tells each listener of an attribute (propertyId -1) or of a style property.
void TellListeners(oxBox* box, oxAtom attribute, int propertyId) {
    if (!box->TestChangeFlags(kChangeHasListeners) || !box->HasSideTableEntry(kHasListenersBit)) return;
    Listeners* listeners = Lookup<Listeners>(box);
    if (!listeners) return;
    // A listener may remove itself (or others) while it is told; work from a held copy.
    std::vector<oxChangeListener*> list = listeners->list;
    for (oxChangeListener* l : list)
        l->AddRef();
    for (oxChangeListener* l : list) {
        if (propertyId < 0)
            l->OnAttributeChanged(box, attribute);
        else
            l->OnStyleChanged(box, propertyId);
    }
    for (oxChangeListener* l : list)
        l->Release();
}

} // namespace

// Change presence bits of the side tables.
constexpr uint16_t kHasLayerList = 0x100;
constexpr uint16_t kHasListeners = kHasListenersBit;
constexpr uint16_t kHasAnchored = 0x4000;
constexpr uint16_t kHasAnchor = 0x8000;

void oxBox::NotifyAttributeChange(oxAtom attribute, bool changed, bool notify) {
    if (gadget_ && changed) gadget_->OnAttributeChanged(this, attribute, notify);
    oxMutationEvent event(kAtomAttributeSet, this, attribute);
    HandleEvent(&event);
    if (changed) TellListeners(this, attribute, -1);
}

void oxBox::NotifyStyleChange(int propertyId) {
    TellListeners(this, 0, propertyId);
}

void oxBox::AddChangeListener(oxChangeListener* listener) {
    if (!listener) return;
    Listeners* listeners = GetOrMake<Listeners>(this);
    if (!listeners) return;
    presence_ |= kHasListeners;
    if (std::find(listeners->list.begin(), listeners->list.end(), listener) != listeners->list.end()) return;
    listeners->list.push_back(listener);
    listener->AddRef();
    changeFlags_ |= kChangeHasListeners;
}

void oxBox::RemoveChangeListener(oxChangeListener* listener) {
    Listeners* listeners = (presence_ & kHasListeners) ? Lookup<Listeners>(this) : nullptr;
    if (!listeners) return;
    auto it = std::find(listeners->list.begin(), listeners->list.end(), listener);
    if (it == listeners->list.end()) return;
    listeners->list.erase(it);
    listener->Release();
}

int oxBox::GetChangeListenerCount() const {
    Listeners* listeners = (presence_ & kHasListeners) ? Lookup<Listeners>(this) : nullptr;
    return listeners ? int(listeners->list.size()) : 0;
}

int32_t oxBox::HandleEvent(oxEvent* event) {
    if (!event) return 0;
    bool consumed = false;
    if (oxBehaviorElement* behavior = oxBehaviorElement::For(this, false)) consumed = behavior->Dispatch(this, event);
    if (!consumed && gadget_) {
        // The gadget's handlers may release the box.
        AddRef();
        gadget_->HandleEvent(this, event);
        bool gone = refCount_ == 1;
        Release();
        if (gone) return 0;
    }
    if (ParseBool(GetAttributeText(kAtomStopPropagation)))
        event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
    return 0;
}

bool oxBox::HandleAccelerator(const oxKeyEvent* key) {
    if (!key) return false;
    if (key->keyCode == 13 && !key->shift && !key->ctrl && !key->alt) {
        if (const WCHAR* want = GetAttributeText(kAtomWantEnter)) return ParseBool(want);
    }
    // A gadget's key groups stand in the scene's per-box groups, which the scene's key lookup asks.
    oxBehaviorElement* behavior = oxBehaviorElement::For(this, false);
    return behavior && behavior->FindMatch(kAtomKeyPress, key);
}

void oxBox::OnTimer(oxTimerEntry* entry) {
    (void)entry;
    // The one-shot entry that called is dropped by the queue after this call.
    FillTimers().erase(this);
    oxBoxStyle* style = ResolveStyle();
    const int32_t delay = style ? oxGetBoxPaintServices().StepFillAnimation(scene_, style, true) : -1;
    if (delay != -1) StartFillTimer(delay);
    RequestRepaint();
    changeFlags_ |= kChangeSubtreeDirty;
}

bool oxBox::HasFillTimer() const {
    return FillTimers().count(this) != 0;
}

void oxBox::StartFillTimer(int32_t delay) {
    if (oxTimerEntry* entry = oxTimerQueue::StartOneShot(DWORD(delay < 0 ? 0 : delay), this))
        FillTimers()[this] = entry;
}

void oxBox::StopFillTimer() {
    auto& timers = FillTimers();
    if (timers.erase(this) == 0) return;
    if (oxTimerQueue* queue = oxTimerQueue::Instance()) queue->RemoveByTarget(this);
}

oxBox* oxBox::GetAnchor() {
    if (changeFlags_ & kChangeHasAnchor) {
        changeFlags_ &= ~kChangeHasAnchor;
        const WCHAR* id = GetAttributeText(kAtomAnchor);
        oxBox* found = id && scene_ ? scene_->FindBoxById(oxAtoms::Intern(id)) : nullptr;
        if (found) SetAnchor(found);
    }
    Anchor* anchor = (presence_ & kHasAnchor) ? Lookup<Anchor>(this) : nullptr;
    return anchor ? anchor->box : nullptr;
}

void oxBox::SetAnchor(oxBox* box) {
    Anchor* current = (presence_ & kHasAnchor) ? Lookup<Anchor>(this) : nullptr;
    oxBox* old = current ? current->box : nullptr;
    if (old == box || box == this) return;
    changeFlags_ &= ~kChangeHasAnchor;
    oxBox* oldLayerParent = GetLayerRoot();
    if (old) {
        if (Anchored* list = Lookup<Anchored>(old)) RemoveFrom(list->boxes, this);
    }
    if (box) {
        Anchor* anchor = GetOrMake<Anchor>(this);
        if (!anchor) return;
        anchor->box = box;
        presence_ |= kHasAnchor;
        if (Anchored* list = GetOrMake<Anchored>(box)) {
            list->boxes.push_back(this);
            box->presence_ |= kHasAnchored;
        }
    } else {
        Drop<Anchor>(this);
        presence_ &= uint16_t(~kHasAnchor);
    }
    oxBox* newLayerParent = GetLayerRoot();
    if (newLayerParent != oldLayerParent && (changeFlags_ & kChangeLayered)) {
        if (oldLayerParent) RemoveLayer(oldLayerParent, this);
        if (newLayerParent) AddLayer(newLayerParent, this);
    }
}

void oxBox::SetLayered(bool on) {
    if (((changeFlags_ & kChangeLayered) != 0) == on) return;
    SetChangeFlag(kChangeLayered, on);
    if (!on) {
        if (LayerRoots* roots = Lookup<LayerRoots>(this)) {
            BoxList list = roots->roots;
            for (oxBox* root : list)
                RemoveLayer(root, this);
        }
        return;
    }
    if (!(changeFlags_ & kChangeAttached) || !scene_) return;
    if (oxBox* parent = GetLogicalParent()) AddLayer(parent, this);
    if (changeFlags_ & kChangeLayerStack) {
        oxBox* root = FindLayerRoot();
        if (root && root != this) AddLayer(root, this);
    }
}

void oxBox::AddLayer(oxBox* root, oxBox* box) {
    if (!root || !box || box->GetTag() == kAtomScrollbar) return;
    LayerList* layers = GetOrMake<LayerList>(root);
    if (!layers) return;
    root->presence_ |= kHasLayerList;
    // Painting and hit order: by zIndex, equal values in the order they came.
    if (layers->list.IndexOf(box) >= 0 || !layers->list.Insert(box)) return;
    if (LayerRoots* roots = GetOrMake<LayerRoots>(box)) roots->roots.push_back(root);
}

void oxBox::RemoveLayer(oxBox* root, oxBox* box) {
    if (!root || !box) return;
    if (LayerList* layers = (root->presence_ & kHasLayerList) ? Lookup<LayerList>(root) : nullptr) {
        layers->list.Remove(box);
        if (layers->list.GetCount() == 0) {
            Drop<LayerList>(root);
            root->presence_ &= uint16_t(~kHasLayerList);
        }
    }
    if (LayerRoots* roots = Lookup<LayerRoots>(box)) {
        RemoveFrom(roots->roots, root);
        if (roots->roots.empty()) Drop<LayerRoots>(box);
    }
}

int oxBox::GetLayerCount() const {
    LayerList* layers = (presence_ & kHasLayerList) ? Lookup<LayerList>(this) : nullptr;
    return layers ? layers->list.GetCount() : 0;
}

oxBox* oxBox::GetLayerAt(int index) const {
    LayerList* layers = (presence_ & kHasLayerList) ? Lookup<LayerList>(this) : nullptr;
    return layers ? layers->list.At(index) : nullptr;
}

int oxBox::GetLayerBoundary() const {
    LayerList* layers = (presence_ & kHasLayerList) ? Lookup<LayerList>(this) : nullptr;
    if (!layers) return 0;
    // Without a layer at or above zero every layer belongs to the lower part.
    return layers->list.GetBoundary() < 0 ? layers->list.GetCount() : layers->list.GetBoundary();
}

// The destructor's part: nothing in a side table may point at the box once it is gone.
void oxBox::ReleaseLayerList() {
    if (!(presence_ & kHasLayerList)) return;
    if (LayerList* layers = Lookup<LayerList>(this)) {
        BoxList boxes;
        for (int i = 0; i < layers->list.GetCount(); ++i)
            boxes.push_back(layers->list.At(i));
        for (oxBox* b : boxes)
            RemoveLayer(this, b);
    }
}

void oxBox::DropSideTables() {
    oxBehaviorElement::DropFor(this);
    if (presence_ & kHasAnchor) SetAnchor(nullptr);
    if (presence_ & kHasAnchored) {
        if (Anchored* list = Lookup<Anchored>(this)) {
            BoxList boxes = list->boxes;
            for (oxBox* b : boxes)
                b->SetAnchor(nullptr);
        }
        Drop<Anchored>(this);
        presence_ &= uint16_t(~kHasAnchored);
    }
    SetLayered(false);
    ReleaseLayerList();
    if (presence_ & kHasListeners) {
        if (Listeners* listeners = Lookup<Listeners>(this)) {
            std::vector<oxChangeListener*> list;
            list.swap(listeners->list);
            Drop<Listeners>(this);
            for (oxChangeListener* l : list)
                l->Release();
        }
        presence_ &= uint16_t(~kHasListeners);
        changeFlags_ &= ~kChangeHasListeners;
    }
}
