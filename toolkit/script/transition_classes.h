#pragma once
// The script classes over screen transitions: Snapshot, a picture of a box (or of nothing) with the
// rectangle items that effects move around, and Transition, which plays an effect from one
// snapshot to another. Each holds one counted reference to its native object; every creation
// makes a new script object.
#include "runtime/script_object.h"

class oxBox;
class oxSnapshot;
class oxTransition;

class Snapshot : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Snapshot"

    // Takes a reference to `native` (null allowed); the creator keeps its own.
    explicit Snapshot(oxSnapshot* native);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    oxSnapshot* GetSnapshot() const { return native_; }

protected:
    ~Snapshot() override;

private:
    oxSnapshot* native_;
};

class Transition : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Transition"

    explicit Transition(oxTransition* native);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    oxTransition* GetTransition() const { return native_; }

protected:
    ~Transition() override;

private:
    oxTransition* native_;
};

// New script objects with one reference, or null when memory is short. The script object takes
// its own reference to the native one.
Snapshot* MakeSnapshotObject(oxSnapshot* native);
Transition* MakeTransitionObject(oxTransition* native);

// The native snapshot of a Snapshot object, or null for anything else.
oxSnapshot* SnapshotOf(NUBO::XObject* object);

// What Box.newSnapshot, takeSnapshot and newTransition answer (Shell.create answers the same): a
// new script object with one reference, or null.
Snapshot* NewBoxSnapshot(oxBox* box);
Snapshot* TakeBoxSnapshot(oxBox* box);
Transition* NewBoxTransition(oxBox* box);
