#include "toolkit/core/atoms.h"

#include <memory>

#include "platform/crt/wide.h"
#include "runtime/charset.h"
#include "runtime/hash_map.h"

namespace {

struct PredefinedAtom {
    oxAtom id;
    const WCHAR* name;
};

constexpr PredefinedAtom kPredefined[] = {
#define OX_ATOM(id, ident, text) {id, text},
#include "toolkit/core/atoms.inc"
#undef OX_ATOM
};

struct AtomTable {
    NUBO::oxNameHashMap<oxAtom> byName;               // lower-cased name -> atom
    NUBO::oxIdHashMap<std::unique_ptr<WCHAR[]>> byId; // atom -> name as added
    // Only grows. Once the 16-bit space is used up, new names get no atom rather than one that
    // would wrap around onto a predefined id.
    uint32_t next = oxAtoms::kFirstDynamicAtom;
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

} // namespace

oxAtom oxAtoms::Find(const WCHAR* name) {
    if (!name) return 0;
    WCHAR lower[kLookupUnits];
    size_t n = 0;
    for (; name[n]; ++n) {
        if (n == kLookupUnits - 1) return 0;
        lower[n] = towlower(name[n]);
    }
    lower[n] = 0;
    return Table().byName.Lookup(lower);
}

oxAtom oxAtoms::Intern(const WCHAR* name) {
    if (!name || !name[0]) return 0;
    if (oxAtom atom = Find(name)) return atom;
    AtomTable& table = Table();
    if (table.next > 0xFFFF) return 0;
    auto atom = static_cast<oxAtom>(table.next++);
    Add(name, atom);
    return atom;
}

int oxAtoms::GetName(oxAtom atom, WCHAR* buffer, size_t size) {
    const auto* node = Table().byId.Find(atom);
    if (!node || !buffer || size == 0) return 0;
    const WCHAR* name = node->value.get();
    size_t n = 0;
    for (; n + 1 < size && name[n]; ++n)
        buffer[n] = name[n];
    buffer[n] = 0;
    return 1;
}

void oxAtoms::Add(const WCHAR* name, oxAtom atom) {
    if (!name) return;
    AtomTable& table = Table();
    table.byId.GetOrInsert(atom) = CopyName(name, false);
    table.byName.GetOrInsert(CopyName(name, true).get()) = atom;
}

void oxAtoms::AddNarrow(const char* name, oxAtom atom) {
    if (!name) return;
    NUBO::TWideConvBuffer wide;
    if (wide.Decode(name, -1, u"x-system") <= 0 && name[0]) return; // no memory for the decoded text
    Add(wide.GetString(), atom);
}

void oxAtoms::RegisterPredefined() {
    for (const PredefinedAtom& entry : kPredefined)
        Add(entry.name, entry.id);
}

void oxAtoms::Clear() {
    AtomTable& table = Table();
    table.byName.ClearNodes();
    table.byId.ClearNodes();
}
