#include "toolkit/core/timer_queue.h"

#include <algorithm>
#include <new>

#include "platform/win/clock.h"
#include "platform/win/messages.h"
#include "platform/win/registered_message.h"
#include "platform/win/timer.h"
#include "toolkit/base/referenced.h"

namespace {

enum RunState { kIdle = 0, kRunning = 1, kRerunRequested = 2 };

oxTimerQueue* instance = nullptr;
int users = 0;
int runState = kIdle; // shared by all runs, so that a nested run only asks for another pass

} // namespace

oxTimerEntry* oxTimerEntry::Create() {
    return new (std::nothrow) oxTimerEntry;
}

DWORD oxTimerEntry::Elapsed() const {
    return GetTickCount() - start_;
}

void oxTimerEntry::Start(DWORD intervalMs, oxReferenced* target, bool repeating) {
    oxTimerQueue* queue = oxTimerQueue::Instance();
    if (!queue) return;
    repeating_ = repeating;
    target_ = target;
    interval_ = intervalMs;
    start_ = GetTickCount();
    // A second copy in the list would be deleted twice once it fires.
    if (!queued_) {
        queue->Add(this);
    } else {
        queue->Schedule(this);
    }
}

void oxTimerEntry::Cancel() {
    target_ = nullptr;
    repeating_ = false;
}

void oxTimerEntry::Restart() {
    start_ = GetTickCount();
    if (oxTimerQueue* queue = oxTimerQueue::Instance(); queue && queued_) queue->Schedule(this);
}

bool oxTimerEntry::Fire() {
    if (target_) target_->OnTimer(this);
    if (repeating_) Restart();
    return !repeating_;
}

bool oxTimerQueue::Acquire() {
    if (!instance) {
        instance = new (std::nothrow) oxTimerQueue;
        if (!instance) return false;
    }
    ++users;
    return true;
}

void oxTimerQueue::ReleaseInstance() {
    if (users == 0) return;
    if (--users == 0) {
        oxTimerQueue* queue = instance;
        instance = nullptr;
        if (queue->firing_) {
            // A callback of this queue's own pass is on the stack: it still uses the queue and
            // its entry. Tear down now, so a queue acquired anew gets its own window class.
            queue->TearDown();
            queue->destroyPending_ = true;
            return;
        }
        delete queue;
    }
}

oxTimerEntry* oxTimerQueue::StartOneShot(DWORD intervalMs, oxReferenced* target) {
    oxTimerQueue* queue = Instance();
    oxTimerEntry* entry = queue ? oxTimerEntry::Create() : nullptr;
    if (!entry) return nullptr;
    if (!queue->Add(entry)) {
        delete entry;
        return nullptr;
    }
    entry->StartOnce(intervalMs, target);
    return entry;
}

oxTimerQueue* oxTimerQueue::Instance() {
    return instance;
}

oxTimerQueue::oxTimerQueue() {
    RegisterWindowMessageW(kTimerEventMessage);
}

oxTimerQueue::~oxTimerQueue() {
    TearDown();
}

void oxTimerQueue::TearDown() {
    if (window_) {
        if (timerSet_) KillTimer(window_, kTimerWindowTimerId);
        timerSet_ = false;
        DestroyWindow(window_);
        window_ = nullptr;
    }
    if (classRegistered_) UnregisterClassW(kTimerWindowClass, GetModuleHandleW(nullptr));
    classRegistered_ = false;
    Clear();
}

bool oxTimerQueue::EnsureWindow() {
    if (!window_) {
        HINSTANCE module = GetModuleHandleW(nullptr);
        if (!classRegistered_) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = WindowProc;
            wc.hInstance = module;
            wc.lpszClassName = kTimerWindowClass;
            classRegistered_ = RegisterClassW(&wc) != 0;
        }
        window_ = CreateWindowExW(0, kTimerWindowClass, kTimerWindowTitle, 0, 0, 0, 10, 10, nullptr, nullptr, module,
                                  nullptr);
    }
    if (window_ && !timerSet_) timerSet_ = SetTimer(window_, kTimerWindowTimerId, kTimerWindowPeriodMs, nullptr) != 0;
    return window_ != nullptr;
}

LRESULT oxTimerQueue::WindowProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam != 0) {
        if (oxTimerQueue* queue = Instance(); queue && queue->HasEntries()) queue->Run();
    }
    return 1;
}

bool oxTimerQueue::Add(oxTimerEntry* entry) {
    if (!window_) EnsureWindow();
    if (!entry) return false;
    if (!entries_.PushBack(entry)) return false;
    entry->index_ = entries_.size() - 1;
    entry->sequence_ = nextSequence_++;
    entry->queued_ = true;
    entry->addedPass_ = inPass_ ? pass_ : 0;
    entry->addedByNewEntry_ = inPass_ && firing_ && firing_->addedPass_ == pass_;
    Schedule(entry);
    return true;
}

// The heap's order: the top is the entry that fell (or falls) due first, of equals the one listed first.
bool oxTimerQueue::Later(const Due& a, const Due& b) {
    return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
}

void oxTimerQueue::Schedule(oxTimerEntry* entry) {
    if (!inPass_ || entry->firedPass_ == pass_) return;
    if (entry->addedPass_ == pass_ && entry->addedByNewEntry_) return;
    // Ticks wrap: both distances are taken from now, which is at or after the pass's start and
    // the entry's.
    const DWORD now = GetTickCount();
    const int64_t due = int64_t(now - passStart_) - int64_t(now - entry->start_) + int64_t(entry->interval_);
    try {
        heap_.push_back(Due{due, entry->sequence_, entry->start_, entry->interval_, entry});
        std::push_heap(heap_.begin(), heap_.end(), Later);
    } catch (const std::bad_alloc&) {
        // Not fired in this pass; the next pass lists it again.
    }
}

oxTimerEntry* oxTimerQueue::NextDue() {
    while (!heap_.empty()) {
        const Due& top = heap_.front();
        oxTimerEntry* entry = top.entry;
        const bool current =
            top.start == entry->start_ && top.interval == entry->interval_ && entry->firedPass_ != pass_;
        if (current && !entry->IsDue()) return nullptr; // the earliest is not due: none is
        std::pop_heap(heap_.begin(), heap_.end(), Later);
        heap_.pop_back();
        if (current) return entry;
    }
    return nullptr;
}

void oxTimerQueue::RunPass() {
    if (++pass_ == 0) pass_ = 1; // 0 marks entries listed outside any pass
    inPass_ = true;
    passStart_ = GetTickCount();
    heap_.clear();
    for (oxTimerEntry* entry : entries_)
        if (entry) Schedule(entry);
    while (oxTimerEntry* entry = NextDue()) {
        entry->firedPass_ = pass_;
        firing_ = entry;
        firingDropped_ = false;
        bool finished = entry->Fire();
        firing_ = nullptr;
        if (firingDropped_) {
            // The callback cleared the list: whatever is listed now was added after that.
            delete entry;
            if (destroyPending_) break;
            continue;
        }
        if (finished) {
            // Callbacks only append, so the entry is still in its place; the list closes up after the pass.
            entries_[entry->index_] = nullptr;
            delete entry;
        }
    }
    heap_.clear();
    inPass_ = false;
    if (destroyPending_) return;
    size_t kept = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (oxTimerEntry* entry = entries_[i]) {
            entry->index_ = kept;
            entries_[kept++] = entry;
        }
    }
    entries_.Erase(kept, entries_.size());
}

void oxTimerQueue::Run() {
    // A run further up the stack (asked for a rerun already or not) does the walking.
    if (runState != kIdle) {
        runState = kRerunRequested;
        return;
    }
    // A nested run gets one more pass; what a nested run of that pass asks waits for the next tick,
    // so callbacks that pump messages cannot keep the queue walking forever.
    int rounds = 0;
    do {
        runState = kRunning;
        if (entries_.empty()) break;
        RunPass();
    } while (runState == kRerunRequested && !destroyPending_ && ++rounds < 2);
    runState = kIdle;
    // The last user went away during a callback; nothing of this queue is used past here.
    if (destroyPending_) delete this;
}

void oxTimerQueue::RemoveByTarget(oxReferenced* target) {
    for (oxTimerEntry* entry : entries_) {
        if (entry && entry->target_ == target) entry->Cancel();
    }
}

void oxTimerQueue::Clear() {
    for (oxTimerEntry* entry : entries_) {
        if (entry == firing_) {
            // Its callback is still running and Fire reads it afterwards. It stays marked as
            // queued, so a restart from that callback cannot list it again.
            entry->Cancel();
            firingDropped_ = true;
            continue;
        }
        delete entry;
    }
    entries_.Clear();
    heap_.clear();
}
