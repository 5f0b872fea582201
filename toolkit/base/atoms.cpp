#include "toolkit/base/atoms.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/crt/wide.h"
#include "runtime/charset.h"

namespace {

struct PredefinedAtom {
    oxAtom id;
    const WCHAR* name;
};

constexpr PredefinedAtom kPredefined[] = {
#define OX_ATOM(id, ident, text) {id, text},
#include "toolkit/base/atoms.inc"
#undef OX_ATOM
};

// Lower-cased names to atoms, open addressing with linear probing. Names are never removed one by
// one, so a probe runs until it meets the name or an empty slot. The table doubles before it is half
// full, which keeps a lookup constant however many names a scene brings.
class NameIndex {
public:
    oxAtom Find(const WCHAR* lower, size_t length) const {
        const Slot* slot = Lookup(lower, HashOf(lower, length));
        return slot ? slot->atom : 0;
    }

    // Gives a known name `atom`; false when the name is unknown.
    bool Replace(const WCHAR* lower, oxAtom atom) {
        auto* slot = const_cast<Slot*>(Lookup(lower, HashOf(lower, wcslen(lower))));
        if (slot) slot->atom = atom;
        return slot != nullptr;
    }

    // Stores `lower` (a heap copy of a lower-cased name) under `atom`; a known name has its atom replaced.
    void Set(std::unique_ptr<WCHAR[]> lower, oxAtom atom) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        uint32_t hash = HashOf(lower.get(), wcslen(lower.get()));
        size_t i = hash & Mask();
        for (; slots_[i].name; i = (i + 1) & Mask()) {
            if (slots_[i].hash == hash && wcscmp(slots_[i].name.get(), lower.get()) == 0) {
                slots_[i].atom = atom;
                return;
            }
        }
        slots_[i] = Slot{std::move(lower), hash, atom};
        ++count_;
    }

    void Clear() {
        slots_.clear();
        slots_.shrink_to_fit();
        count_ = 0;
    }

    // Forgets the names whose atoms lie in [first, end). Rare (a failed document), so the index is
    // simply built again.
    void RemoveRange(uint32_t first, uint32_t end) {
        std::vector<Slot> old;
        old.swap(slots_);
        count_ = 0;
        for (Slot& slot : old) {
            if (slot.name && (slot.atom < first || slot.atom >= end)) Set(std::move(slot.name), slot.atom);
        }
    }

private:
    struct Slot {
        std::unique_ptr<WCHAR[]> name;
        uint32_t hash = 0;
        oxAtom atom = 0;
    };

    // FNV-1a over the units, not 16 sorted buckets of an 8-bit h * 33 + unit: lookups stay constant.
    static uint32_t HashOf(const WCHAR* text, size_t length) {
        uint32_t h = 2166136261u;
        for (size_t i = 0; i < length; ++i)
            h = (h ^ text[i]) * 16777619u;
        return h;
    }
    size_t Mask() const { return slots_.size() - 1; }

    const Slot* Lookup(const WCHAR* lower, uint32_t hash) const {
        if (slots_.empty()) return nullptr;
        for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
            const Slot& slot = slots_[i];
            if (!slot.name) return nullptr;
            if (slot.hash == hash && wcscmp(slot.name.get(), lower) == 0) return &slot;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots_.empty() ? 64 : 2 * slots_.size());
        old.swap(slots_);
        for (Slot& slot : old) {
            if (!slot.name) continue;
            size_t i = slot.hash & Mask();
            while (slots_[i].name)
                i = (i + 1) & Mask();
            slots_[i] = std::move(slot);
        }
    }

    std::vector<Slot> slots_; // a power of two in size, or empty
    size_t count_ = 0;
};

// Both directions are private to this file: only Find and GetName read them, and nothing walks them,
// so they are kept in structures whose cost does not grow with the number of names. The fixed
// vocabulary has an index of its own: markup looks up its tags and attribute names all the time, and
// in a small index they stay in the cache however many ids a scene adds to the other one.
struct AtomTable {
    NameIndex fixedNames; // lower-cased name -> atom, for names added by RegisterPredefined
    NameIndex names;      // lower-cased name -> atom, for the rest
    bool registering = false;
    std::vector<std::unique_ptr<WCHAR[]>> byId; // atom -> name as added; empty where none
    // Only grows, but for names a failed document gives back. Once the 16-bit space is used up, new
    // names get no atom rather than one that would wrap around onto a predefined id.
    uint32_t next = oxAtoms::kFirstDynamicAtom;
    // Documents being read (they nest), the first id no failed document may give back, the units
    // of the dynamic names, and why a document's last name was refused.
    int documents = 0;
    uint32_t committed = oxAtoms::kFirstDynamicAtom;
    size_t dynamicUnits = 0;
    oxAtoms::Refusal refusal = oxAtoms::Refusal::kNone;
};

AtomTable& Table() {
    static AtomTable table;
    return table;
}

std::unique_ptr<WCHAR[]> CopyName(const WCHAR* name, bool lower) {
    size_t n = wcslen(name);
    std::unique_ptr<WCHAR[]> copy(new WCHAR[n + 1]);
    for (size_t i = 0; i < n; ++i)
        copy[i] = lower ? towlower(name[i]) : name[i];
    copy[n] = 0;
    return copy;
}

// The length of `name`, or kMaxNameUnits + 1 for anything longer.
size_t BoundedLength(const WCHAR* name) {
    size_t n = 0;
    while (n <= oxAtoms::kMaxNameUnits && name[n])
        ++n;
    return n;
}

} // namespace

// Names of 256 units and more are found like shorter ones (a name that could never be found again
// would take a new id at each use); only names over kMaxNameUnits are refused.
oxAtom oxAtoms::Find(const WCHAR* name) {
    if (!name) return 0;
    size_t n = BoundedLength(name);
    if (n > kMaxNameUnits) return 0;
    WCHAR small[kLookupUnits];
    std::unique_ptr<WCHAR[]> large;
    WCHAR* lower = small;
    if (n >= kLookupUnits) {
        large.reset(new WCHAR[n + 1]);
        lower = large.get();
    }
    for (size_t i = 0; i < n; ++i)
        lower[i] = towlower(name[i]);
    lower[n] = 0;
    AtomTable& table = Table();
    if (oxAtom atom = table.fixedNames.Find(lower, n)) return atom;
    return table.names.Find(lower, n);
}

oxAtom oxAtoms::Intern(const WCHAR* name) {
    if (!name || !name[0]) return 0;
    if (oxAtom atom = Find(name)) return atom;
    AtomTable& table = Table();
    size_t n = BoundedLength(name);
    if (n > kMaxNameUnits) {
        if (table.documents) table.refusal = Refusal::kTooLong;
        return 0;
    }
    // A document stops short of the reserve, so one scene cannot leave the process without ids.
    uint32_t end = table.documents ? 0x10000 - kReservedAtoms : 0x10000;
    if (table.next >= end || (table.documents && table.dynamicUnits + n > kDocumentNameUnits)) {
        if (table.documents) table.refusal = Refusal::kExhausted;
        return 0;
    }
    auto atom = static_cast<oxAtom>(table.next++);
    Add(name, atom);
    table.dynamicUnits += n;
    return atom;
}

int oxAtoms::GetName(oxAtom atom, WCHAR* buffer, size_t size) {
    const auto& byId = Table().byId;
    if (atom >= byId.size() || !byId[atom] || !buffer || size == 0) return 0;
    const WCHAR* name = byId[atom].get();
    size_t n = 0;
    for (; n + 1 < size && name[n]; ++n)
        buffer[n] = name[n];
    buffer[n] = 0;
    return 1;
}

void oxAtoms::Add(const WCHAR* name, oxAtom atom) {
    if (!name) return;
    AtomTable& table = Table();
    if (atom >= table.byId.size()) table.byId.resize(size_t(atom) + 1);
    table.byId[atom] = CopyName(name, false);
    std::unique_ptr<WCHAR[]> lower = CopyName(name, true);
    if (table.registering)
        table.fixedNames.Set(std::move(lower), atom);
    else if (!table.fixedNames.Replace(lower.get(), atom))
        table.names.Set(std::move(lower), atom);
}

void oxAtoms::AddNarrow(const char* name, oxAtom atom) {
    if (!name) return;
    NUBO::TWideConvBuffer wide;
    if (wide.Decode(name, -1, u"x-system") <= 0 && name[0]) return; // no memory for the decoded text
    Add(wide.GetString(), atom);
}

void oxAtoms::RegisterPredefined() {
    AtomTable& table = Table();
    table.registering = true;
    for (const PredefinedAtom& entry : kPredefined)
        Add(entry.name, entry.id);
    table.registering = false;
}

void oxAtoms::Clear() {
    AtomTable& table = Table();
    table.fixedNames.Clear();
    table.names.Clear();
    table.byId.clear();
    table.byId.shrink_to_fit();
    table.dynamicUnits = 0;
}

void oxAtoms::Reset() {
    Clear();
    AtomTable& table = Table();
    table.next = table.committed = kFirstDynamicAtom;
    table.documents = 0;
    table.refusal = Refusal::kNone;
}

uint32_t oxAtoms::BeginDocument() {
    AtomTable& table = Table();
    if (table.documents++ == 0) table.refusal = Refusal::kNone;
    return table.next;
}

void oxAtoms::EndDocument(uint32_t mark, bool failed) {
    AtomTable& table = Table();
    if (table.documents > 0) --table.documents;
    if (!failed) {
        table.committed = table.next;
    } else {
        // Nothing outside the failed document holds these ids: its tree goes with it.
        uint32_t first = mark > table.committed ? mark : table.committed;
        if (first < table.next) {
            for (uint32_t id = first; id < table.next && id < table.byId.size(); ++id) {
                if (table.byId[id]) table.dynamicUnits -= std::min(table.dynamicUnits, wcslen(table.byId[id].get()));
                table.byId[id].reset();
            }
            table.names.RemoveRange(first, table.next);
            table.next = first;
        }
    }
    if (table.documents == 0) table.refusal = Refusal::kNone;
}

oxAtoms::Refusal oxAtoms::TakeRefusal() {
    AtomTable& table = Table();
    Refusal refusal = table.refusal;
    table.refusal = Refusal::kNone;
    return refusal;
}
