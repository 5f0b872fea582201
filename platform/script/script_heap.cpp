#include "platform/script/script_heap.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace script {
namespace {

// Duktape calls this only for errors outside every protected call, which the engine never makes.
void Fatal(void*, const char* message) {
    std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "");
    std::abort();
}

} // namespace

ScriptHeap* ScriptHeap::Create() {
    auto* heap = new (std::nothrow) ScriptHeap();
    if (!heap) return nullptr;
    heap->ctx = duk_create_heap(nullptr, nullptr, nullptr, heap, Fatal);
    if (!heap->ctx) {
        delete heap;
        return nullptr;
    }
    heap->current = heap->ctx;
    duk_push_heap_stash(heap->ctx);
    duk_push_array(heap->ctx);
    heap->pins = duk_get_heapptr(heap->ctx, -1);
    duk_put_prop_string(heap->ctx, -2, "pins");
    duk_pop(heap->ctx);
    return heap;
}

ScriptHeap* ScriptHeap::From(duk_context* ctx) {
    duk_memory_functions functions;
    duk_get_memory_functions(ctx, &functions);
    return static_cast<ScriptHeap*>(functions.udata);
}

ULONG ScriptHeap::Release() {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
}

ScriptHeap::~ScriptHeap() {
    Close();
    FreeSpareHosts();
}

void ScriptHeap::FreeSpareHosts() {
    while (HostRecord* record = spareRecords) {
        spareRecords = reinterpret_cast<HostRecord*>(record->identity);
        std::free(record);
    }
    spareCount = 0;
}

bool HostTable::Insert(const void* key, HostRecord* record) {
    if ((count + 1) * 2 > (slots ? mask + 1 : 0) && !Grow()) return false; // short runs: at most half full
    size_t i = SlotOf(key);
    for (; slots[i].key; i = (i + 1) & mask)
        if (slots[i].key == key) return false; // one record per key
    slots[i] = {key, record};
    count++;
    return true;
}

void HostTable::Erase(const void* key, const HostRecord* record) {
    if (!slots) return;
    size_t i = SlotOf(key);
    while (slots[i].key != key) {
        if (!slots[i].key) return;
        i = (i + 1) & mask;
    }
    if (slots[i].record != record) return;
    // Backward shift: later entries of the run move up, so no look-up stops early at a hole.
    for (size_t hole = i, j = (i + 1) & mask;; j = (j + 1) & mask) {
        if (!slots[j].key) {
            slots[hole] = Slot{};
            break;
        }
        size_t home = SlotOf(slots[j].key);
        if (((j - home) & mask) >= ((j - hole) & mask)) {
            slots[hole] = slots[j];
            hole = j;
        }
    }
    count--;
}

bool HostTable::Grow() {
    size_t size = slots ? (mask + 1) * 2 : 64;
    auto* grown = static_cast<Slot*>(std::calloc(size, sizeof(Slot)));
    if (!grown) return false;
    Slot* old = slots;
    size_t oldSize = old ? mask + 1 : 0;
    slots = grown;
    mask = size - 1;
    for (size_t i = 0; i < oldSize; i++) {
        if (!old[i].key) continue;
        size_t j = SlotOf(old[i].key);
        while (slots[j].key)
            j = (j + 1) & mask;
        slots[j] = old[i];
    }
    std::free(old);
    return true;
}

void ScriptHeap::FreeHost(HostRecord* record) {
    hosts.Erase(record->identity, record);
    if (record->proxy) hostsByObject.Erase(record->proxy, record);
    if (record->dispatchEx) record->dispatchEx->Release();
    record->dispatch->Release();
    record->identity->Release();
    // Kept for the next object: a walk makes and drops one per node it passes.
    if (spareCount < kMaxSpareRecords) {
        record->identity = reinterpret_cast<IUnknown*>(spareRecords);
        spareRecords = record;
        spareCount++;
    } else {
        std::free(record);
    }
}

HostRecord* ScriptHeap::NewHost() {
    if (!spareRecords) return static_cast<HostRecord*>(std::malloc(sizeof(HostRecord)));
    HostRecord* record = spareRecords;
    spareRecords = reinterpret_cast<HostRecord*>(record->identity);
    spareCount--;
    return record;
}

void ScriptHeap::CollectHostsWhenGrown() {
    if (hosts.Size() < collectHostsAt || !IsOpen()) return;
    duk_gc(ctx, 0);
    collectHostsAt = hosts.Size() * 2 > kFirstHostCollection ? hosts.Size() * 2 : kFirstHostCollection;
}

void ScriptHeap::Close() {
    if (!ctx || closing) return;
    if (depth > 0) {
        closeAsked = true;
        return;
    }
    closing = true;
    ForgetStubsOf(nullptr);
    fixedClasses.clear();
    lastFixedClass = nullptr;
    // Releasing may run native destructors that let go of script objects; they see a closed heap.
    hostsByObject.Drain([](HostRecord*) {});
    hosts.Drain([](HostRecord* record) {
        if (record->dispatchEx) record->dispatchEx->Release();
        record->dispatch->Release();
        record->identity->Release();
        std::free(record);
    });
    FreeSpareHosts();
    duk_destroy_heap(ctx);
    ctx = nullptr;
    current = nullptr;
}

void ScriptHeap::ForgetStubsOf(void* target) {
    for (StubEntry& entry : stubCache)
        if (!target || entry.target == target) entry = StubEntry{};
}

int ScriptHeap::TakePinSlot() {
    if (!freeSlots.empty()) {
        int slot = freeSlots.back();
        freeSlots.pop_back();
        return slot;
    }
    return nextSlot++;
}

} // namespace script
