#pragma once
// State that the engine shares with the objects it hands out: the Duktape heap, the host objects
// it has wrapped (one proxy per COM identity) and the pinned script objects seen from native code.
// Counted, so that a script object still held by native code after Close finds a closed heap
// instead of a dangling one.
#include <duktape.h>

#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "platform/com/dispatch.h"

struct IActiveScriptSite;

namespace script {

// A COM object wrapped for script: one per identity, owned by the heap's table; the proxy's target
// finalizer or Close frees it. An object of a class with fixed members is no proxy but a plain
// object (target and proxy alike) whose class prototype holds the members.
struct HostRecord {
    IUnknown* identity;
    IDispatch* dispatch;
    IDispatchEx* dispatchEx; // null when the object has only IDispatch
    void* target;            // the proxy target's heap pointer (not a reference)
    void* proxy;             // the proxy's heap pointer, kept alive by its target
    bool cached;             // whether the stub cache ever held a member of it
};

// Hidden property names (never visible to scripts, never passed to proxy traps).
#define SCRIPT_HIDDEN(name) DUK_HIDDEN_SYMBOL(name)
inline constexpr const char kHostKey[] = SCRIPT_HIDDEN("host");
inline constexpr const char kProxyKey[] = SCRIPT_HIDDEN("proxy");
inline constexpr const char kStubsKey[] = SCRIPT_HIDDEN("stubs");
inline constexpr const char kDispatchKey[] = SCRIPT_HIDDEN("disp");
inline constexpr const char kOpaqueKey[] = SCRIPT_HIDDEN("opaque");

// Host records by a pointer (an identity, an object's heap pointer): open addressing with linear
// probing, so an entry costs no allocation of its own. Never raises; Insert answers false when
// the key is there already or memory runs out.
class HostTable {
public:
    HostTable() = default;
    HostTable(const HostTable&) = delete;
    HostTable& operator=(const HostTable&) = delete;
    ~HostTable() { std::free(slots); }

    HostRecord* Find(const void* key) const {
        if (!slots) return nullptr;
        for (size_t i = SlotOf(key);; i = (i + 1) & mask) {
            if (slots[i].key == key) return slots[i].record;
            if (!slots[i].key) return nullptr;
        }
    }
    bool Insert(const void* key, HostRecord* record);
    // Removes the entry of key when it holds record.
    void Erase(const void* key, const HostRecord* record);
    size_t Size() const { return count; }
    // Hands every record to `visit` and empties the table.
    template <class Visit> void Drain(Visit visit) {
        Slot* old = slots;
        size_t n = old ? mask + 1 : 0;
        slots = nullptr;
        mask = 0;
        count = 0;
        for (size_t i = 0; i < n; i++)
            if (old[i].key) visit(old[i].record);
        std::free(old);
    }

private:
    struct Slot {
        const void* key;
        HostRecord* record;
    };
    size_t SlotOf(const void* key) const {
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) >> 3) * 0x9E3779B97F4A7C15ull >> 20) & mask;
    }
    bool Grow();

    Slot* slots = nullptr;
    size_t mask = 0; // slot count - 1, a power of two
    size_t count = 0;
};

class ScriptHeap {
public:
    // Null when memory ran out.
    static ScriptHeap* Create();

    ULONG AddRef() { return ++refs; }
    ULONG Release();

    // Destroys the Duktape heap: every host object is released, every pinned script object is
    // dropped. Asked while a script runs, it happens when the outermost call returns. The object
    // stays until its last reference goes.
    void Close();
    bool IsOpen() const { return ctx != nullptr && !closing; }
    // Around every call into the heap.
    void Enter() { depth++; }
    void Leave() {
        if (--depth == 0 && closeAsked) Close();
    }

    static ScriptHeap* From(duk_context* ctx);

    duk_context* ctx = nullptr;     // the main thread: everything runs on it
    duk_context* current = nullptr; // the thread in use (a namespace's while its text compiles)
    void* handler = nullptr;        // the host proxies' trap object, kept in the stash
    void* finalizer = nullptr;      // the host targets' finalizer, one for all, kept in the stash
    void* pins = nullptr;           // the stash array of pinned script objects

    // Method stubs handed out lately, by target and interned name, so that a repeated `o.m()`
    // costs no property look-up, and the ids of declared properties read lately (stub null), so
    // that a repeated `o.p` costs one call. An entry stands for a stub or id held in its target's
    // table: it goes when it leaves the table, when the target is finalized, and on Close.
    struct StubEntry {
        void* target;
        void* key;
        void* stub;
        HostRecord* host;
        DISPID id;
    };
    static constexpr int kStubCacheSize = 64;
    StubEntry stubCache[kStubCacheSize] = {};
    int lastStub = 0; // the entry last handed out, which the call that follows usually runs
    static int StubSlot(void* target, void* key) {
        auto mix = reinterpret_cast<uintptr_t>(target) ^ (reinterpret_cast<uintptr_t>(key) >> 3);
        return static_cast<int>((mix ^ (mix >> 7)) % kStubCacheSize);
    }
    void ForgetStubsOf(void* target);

    // The prototypes of classes with fixed members, by their member table; pinned in the stash.
    std::unordered_map<const void*, void*> fixedClasses;
    const void* lastFixedClass = nullptr; // the class of the last object made, and its prototype
    void* lastFixedPrototype = nullptr;
    IActiveScriptSite* site = nullptr; // the engine's, borrowed; null once it let go

    // Host records by identity, and by the heap pointer of the object scripts hold (the proxy, or
    // the plain object of a class with fixed members).
    HostTable hosts;
    HostTable hostsByObject;
    // A record to fill, null when memory ran out; FreeHost releases its object and takes it back.
    HostRecord* NewHost();
    void FreeHost(HostRecord* record);
    // A host object and its proxy hold each other, so only a collection frees them, and Duktape's
    // own collections put off the finalizers that let go of the native objects: a script that
    // makes host objects in a loop (a timer that starts the next one) would keep every one of
    // them. Before a new host object is made, a collection runs whenever the table has doubled
    // since the last one, which keeps the cost per object constant.
    void CollectHostsWhenGrown();

    // Slots of the stash array that pins script objects while native code holds them.
    int TakePinSlot();
    void FreePinSlot(int slot) { freeSlots.push_back(slot); }

private:
    ScriptHeap() = default;
    ~ScriptHeap();

    ULONG refs = 1;
    int depth = 0;
    bool closeAsked = false;
    bool closing = false;
    int nextSlot = 0;
    std::vector<int> freeSlots;
    void FreeSpareHosts();
    HostRecord* spareRecords = nullptr; // freed records, chained through their identity field
    int spareCount = 0;
    static constexpr int kMaxSpareRecords = 1024;
    static constexpr size_t kFirstHostCollection = 1024;
    size_t collectHostsAt = kFirstHostCollection;
};

} // namespace script
