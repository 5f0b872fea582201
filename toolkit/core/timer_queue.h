#pragma once
// The toolkit's one queue of timed work (script timers, animations, delayed box updates), driven
// by a single 10 ms window timer on a hidden window. A due entry calls its target's OnTimer;
// repeating entries restart from that moment, one-shot entries are then deleted by the queue.
// Everything runs on the message-loop thread.
//
// A pass fires the due entries in the order they fell due (entries that fell due together in the
// order they were added), each entry at most once. An entry added by a callback of the pass fires
// in that pass when it is due, unless the callback that added it belongs to an entry that was
// itself added in the pass: such entries wait for the next tick. So a callback that keeps
// starting a new 0 ms entry hands the loop back after every pass instead of holding it forever.
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "platform/win/window.h"
#include "runtime/ptr_vector.h"

class oxReferenced;

inline constexpr const WCHAR* kTimerWindowClass = u"Weftly Timer Window";
inline constexpr const WCHAR* kTimerWindowTitle = u"Weftly:TimerWindow";
inline constexpr const WCHAR* kTimerEventMessage = u"oxTimerEvent";
inline constexpr UINT_PTR kTimerWindowTimerId = 1;
inline constexpr UINT kTimerWindowPeriodMs = 10;

class oxTimerEntry {
public:
    // A new idle entry, or null when memory is short.
    static oxTimerEntry* Create();
    oxTimerEntry(const oxTimerEntry&) = delete;
    oxTimerEntry& operator=(const oxTimerEntry&) = delete;
    virtual ~oxTimerEntry() = default;

    // Milliseconds since the entry was started or last fired, modulo 2^32 like the tick count.
    DWORD Elapsed() const;
    bool IsDue() const { return Elapsed() >= interval_; }
    // Both do nothing without a queue. Starting an entry that is queued already only restarts it.
    void StartOnce(DWORD intervalMs, oxReferenced* target) { Start(intervalMs, target, false); }
    void StartRepeating(DWORD intervalMs, oxReferenced* target) { Start(intervalMs, target, true); }
    // The entry stays queued until it is next due and is then dropped without a call.
    void Cancel();
    void Restart();
    // Calls the target; true when the entry is finished (one-shot or cancelled).
    bool Fire();
    oxReferenced* GetTarget() const { return target_; }
    uint32_t GetSequence() const { return sequence_; }
    DWORD GetInterval() const { return interval_; }
    bool IsRepeating() const { return repeating_; }

private:
    friend class oxTimerQueue;
    oxTimerEntry() = default;
    void Start(DWORD intervalMs, oxReferenced* target, bool repeating);

    uint32_t sequence_ = 0;
    oxReferenced* target_ = nullptr; // not counted: its owner removes its entries before it goes
    DWORD interval_ = 0;
    bool repeating_ = false;
    bool queued_ = false;
    DWORD start_ = 0;
    // Passes are numbered by the queue: the pass that listed the entry (0 outside any), whether a
    // callback of an entry listed in that same pass listed it, and the pass it last fired in.
    uint32_t addedPass_ = 0;
    bool addedByNewEntry_ = false;
    uint32_t firedPass_ = 0;
    size_t index_ = 0; // its place in the queue's list
};

class oxTimerQueue {
public:
    // Counts a user; the first creates the queue. False when it could not be made.
    static bool Acquire();
    // Drops a user; the last destroys the queue with its window, timer and entries. Called from a
    // timer callback, the queue is torn down at once but its memory goes when the pass unwinds.
    static void ReleaseInstance();
    // The queue, or null.
    static oxTimerQueue* Instance();

    oxTimerQueue(const oxTimerQueue&) = delete;
    oxTimerQueue& operator=(const oxTimerQueue&) = delete;
    virtual ~oxTimerQueue();

    // Creates the window and its timer on first use (even for a null entry), then appends the entry.
    // False when the entry could not be queued.
    bool Add(oxTimerEntry* entry);
    // One pass over the due entries. A call made while a pass runs further up the stack only asks
    // that pass for one more round; a round asked for during that round waits for the next tick.
    void Run();
    bool HasEntries() const { return !entries_.empty(); }
    // A new one-shot entry, queued and started for `target`; null without a queue or memory. The
    // queue owns it and drops it once it has fired.
    static oxTimerEntry* StartOneShot(DWORD intervalMs, oxReferenced* target);
    // A queued entry was started again: a running pass that may fire it finds it at its new time.
    void Schedule(oxTimerEntry* entry);
    // Cancels every queued entry aimed at `target`, which is about to go away.
    void RemoveByTarget(oxReferenced* target);
    // Deletes every entry. The entry whose callback is running is only unlisted here and deleted
    // once its callback has returned.
    void Clear();

    HWND GetWindow() const { return window_; }
    bool IsTimerSet() const { return timerSet_; }

private:
    oxTimerQueue();
    bool EnsureWindow();
    // Stops the timer, destroys the window and class, deletes the entries.
    void TearDown();
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // A pass keeps the entries it may fire in a heap ordered by when they fall due, then by their
    // place in the list, so that finding the next one does not walk the whole list. An entry
    // started again meanwhile gets a fresh item; the old one no longer matches and is passed over.
    struct Due {
        int64_t due; // in the pass's own time line
        uint32_t sequence;
        DWORD start, interval;
        oxTimerEntry* entry;
    };
    static bool Later(const Due& a, const Due& b);
    // The entry this pass fires next, or null when none is left.
    oxTimerEntry* NextDue();
    // Fires every entry the current pass may fire.
    void RunPass();

    NUBO::PtrVector<oxTimerEntry*> entries_; // null: fired and deleted in the running pass
    std::vector<Due> heap_;
    DWORD passStart_ = 0;
    uint32_t nextSequence_ = 0;
    uint32_t pass_ = 0;
    bool inPass_ = false;
    HWND window_ = nullptr;
    bool classRegistered_ = false;
    bool timerSet_ = false;
    // The entry whose callback is running: Clear must not delete it under the walk.
    oxTimerEntry* firing_ = nullptr;
    bool firingDropped_ = false;  // Clear unlisted firing_; the walk deletes it and starts over
    bool destroyPending_ = false; // released from a callback; the walk deletes the queue
};
