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
}

void ScriptHeap::FreeHost(HostRecord* record) {
    auto found = hosts.find(record->identity);
    if (found != hosts.end() && found->second == record) hosts.erase(found);
    if (record->dispatchEx) record->dispatchEx->Release();
    record->dispatch->Release();
    record->identity->Release();
    std::free(record);
}

void ScriptHeap::CollectHostsWhenGrown() {
    if (hosts.size() < collectHostsAt || !IsOpen()) return;
    duk_gc(ctx, 0);
    collectHostsAt = hosts.size() * 2 > kFirstHostCollection ? hosts.size() * 2 : kFirstHostCollection;
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
    // Releasing may run native destructors that let go of script objects; they see a closed heap.
    auto records = std::move(hosts);
    hosts.clear();
    for (auto& entry : records) {
        HostRecord* record = entry.second;
        if (record->dispatchEx) record->dispatchEx->Release();
        record->dispatch->Release();
        record->identity->Release();
        std::free(record);
    }
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
