// The box's table of data bindings. Few boxes have any, so the table is a side map keyed by the
// box, and a presence bit says whether the box has an entry.
#include <algorithm>
#include <new>
#include <vector>

#include "runtime/hash_map.h"
#include "runtime/wide_string.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/core/box_scene.h"

namespace {

constexpr uint16_t kHasBindings = 0x1000;

using BindingList = std::vector<oxDataBinding*>;

NUBO::oxPtrHashMap<BindingList*>& Bindings() {
    static NUBO::oxPtrHashMap<BindingList*> table;
    return table;
}

BindingList* ListOf(const oxBox* box) {
    if (!box->HasSideTableEntry(kHasBindings)) return nullptr;
    auto* node = Bindings().Find(box);
    return node ? node->value : nullptr;
}

bool SameText(const WCHAR* a, const WCHAR* b) {
    if (!a || !b) return false;
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

} // namespace

void oxBox::AddDataBinding(oxDataBinding* binding) {
    if (!binding) return;
    BindingList* list = ListOf(this);
    if (!list) {
        list = new (std::nothrow) BindingList;
        if (!list) return;
        Bindings().Insert(this, list);
        SetPresence(kHasBindings, true);
    }
    if (std::find(list->begin(), list->end(), binding) != list->end()) return;
    list->push_back(binding);
    binding->AddRef();
}

void oxBox::RemoveDataBinding(oxDataBinding* binding) {
    BindingList* list = ListOf(this);
    if (!list || !binding) return;
    auto it = std::find(list->begin(), list->end(), binding);
    if (it == list->end()) return;
    list->erase(it);
    binding->Release();
}

int oxBox::GetDataBindingCount() const {
    BindingList* list = ListOf(this);
    return list ? int(list->size()) : 0;
}

oxDataBinding* oxBox::GetDataBindingAt(int index) const {
    BindingList* list = ListOf(this);
    return list && index >= 0 && index < int(list->size()) ? (*list)[size_t(index)] : nullptr;
}

oxDataBinding* oxBox::GetDataBinding(const WCHAR* name, bool create) {
    if (BindingList* list = ListOf(this)) {
        for (oxDataBinding* b : *list)
            if (SameText(b->GetBindingName(), name)) return b;
    }
    return create ? CreateDataBinding(name) : nullptr;
}

oxDataBinding* oxBox::GetBindingById(oxAtom id) const {
    if (BindingList* list = ListOf(this)) {
        for (oxDataBinding* b : *list)
            if (b->GetBindingId() == id) return b;
    }
    return nullptr;
}

oxDataBinding* oxBox::CreateDataBinding(const WCHAR* name) {
    if (!name || !scene_) return nullptr;
    oxDataBinding* binding = scene_->CreateDataBinding(this, nullptr);
    if (!binding) return nullptr;
    binding->SetBindingName(name);
    AddDataBinding(binding);
    binding->Release(); // the table's reference keeps it
    return binding;
}

// Every binding lets go of its source and target before the box is gone.
void oxBox::DropDataBindings() {
    if (!HasSideTableEntry(kHasBindings)) return;
    BindingList* list = ListOf(this);
    SetPresence(kHasBindings, false);
    if (!list) return;
    Bindings().Erase(this);
    for (oxDataBinding* b : *list) {
        b->OnBoxDestroyed(this);
        b->Release();
    }
    delete list;
}
