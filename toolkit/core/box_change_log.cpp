#include "toolkit/core/box_change_log.h"

#include <utility>

#include "toolkit/core/box.h"
#include "toolkit/style/attribute_value.h"

namespace {

// State bits and attribute atoms are numbers of two different kinds (the bit of "disabled" is
// 1024, and atoms run from 1001 up), so an entry is known by both.
bool SameSubject(oxBoxChangeLog::Kind a, oxBoxChangeLog::Kind b) {
    return (a == oxBoxChangeLog::kState) == (b == oxBoxChangeLog::kState);
}

} // namespace

bool oxBoxChangeLog::Contains(Kind kind, uint32_t id) const {
    for (const Entry& e : entries_)
        if (e.id == id && SameSubject(e.kind, kind)) return true;
    return false;
}

void oxBoxChangeLog::Record(Kind kind, uint32_t id, const oxBox* box, bool readCurrent, const WCHAR* text) {
    if (!box || Contains(kind, id)) return;
    Entry entry{kind, id, {}};
    if (kind == kState) {
        uint32_t mask = id == kStateDisabled ? (kStateDisabled | kStateDisabledByAncestor) : id;
        entry.text = (box->GetStateFlags() & mask) ? u"true" : u"false";
    } else {
        if (readCurrent) text = box->GetAttributeText(oxAtom(id));
        entry.kind = text ? kAttribute : kRemoveAttribute;
        if (text) entry.text = text;
    }
    entries_.push_back(std::move(entry));
}

void oxBoxChangeLog::Replay(oxBox* box) {
    std::vector<Entry> entries;
    entries.swap(entries_);
    if (!box) return;
    for (const Entry& e : entries) {
        box->SetStateFlag(kStateRecordPrior, false);
        switch (e.kind) {
        case kState:
            box->SetStateFlag(e.id, ParseBool(e.text.GetString()));
            break;
        case kAttribute:
            (void)box->SetAttribute(oxAtom(e.id), e.text.GetString(), true, false);
            break;
        case kRemoveAttribute:
            box->RemoveAttribute(oxAtom(e.id));
            break;
        }
        box->SetStateFlag(kStateRecordPrior, true);
    }
}
