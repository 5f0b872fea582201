#pragma once
// oxEventListenerMap: event listeners keyed by the event's type atom, many per atom. Nodes lie on
// one list in bucket order (atom & 15), ascending atoms within a bucket, equal atoms in the order
// they were added; sixteen bucket heads and an end entry give each atom's run without a search of
// the whole list. Listeners are counted while stored.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxEvent;

class oxEventListener {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // 0 ends the dispatch: later listeners of the event's type are not called.
    virtual int32_t HandleEvent(oxEvent* event) = 0;

protected:
    ~oxEventListener() = default;
};

class oxEventListenerMap {
public:
    oxEventListenerMap();
    ~oxEventListenerMap();
    oxEventListenerMap(const oxEventListenerMap&) = delete;
    oxEventListenerMap& operator=(const oxEventListenerMap&) = delete;

    // A listener already stored under the atom is not stored again; null is ignored.
    void Add(oxAtom atom, oxEventListener* listener);
    void Remove(oxAtom atom, oxEventListener* listener);
    // Calls the listeners of the event's type in order. They may add and remove entries: no
    // remaining listener is skipped or called twice.
    void Dispatch(oxEvent* event);
    void Clear();
    size_t GetCount() const { return count_; }

private:
    struct Node {
        Node* prev;
        Node* next;
        oxAtom atom;
        oxEventListener* listener;
    };
    // Where a running dispatch stands, kept in step with changes made during its calls.
    struct Walk {
        size_t position;  // index of the node being called
        bool currentGone; // that node was removed
        bool cleared;     // everything was removed
        bool changed;     // entries came or went during the call
    };

    static int BucketOf(oxAtom atom) { return atom & 0xF; }
    Node* Find(oxAtom atom, oxEventListener* listener) const;
    size_t IndexOf(const Node* node) const;
    void Unlink(Node* node);

    Node sentinel_;
    Node* buckets_[17];
    size_t count_ = 0;
    std::vector<Walk*> walks_;
};
