#pragma once
// The toolkit's vocabulary. Every tag, attribute, event, keyword and scheme name is interned once as
// a 16-bit atom and from then on compared and switched on as that number. Names match without case;
// the table keeps each name as it was first added, for turning atoms back into text. Predefined names
// have fixed ids; other names get the next free id the first time they are interned.
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

using oxAtom = uint16_t; // 0 means no atom

enum oxAtomId : oxAtom {
#define OX_ATOM(id, ident, text) kAtom##ident = id,
#include "toolkit/base/atoms.inc"
#undef OX_ATOM
};

// The process-wide atom table. Used only from the message-loop thread.
class oxAtoms {
public:
    static constexpr oxAtom kFirstDynamicAtom = 1665;
    // The size of the name buffers callers pass to GetName.
    static constexpr size_t kLookupUnits = 256;
    // Longer names are refused: no atom, and nothing kept.
    static constexpr size_t kMaxNameUnits = 4096;
    // Ids that documents cannot take, so the process can still intern once a document used up its share.
    static constexpr uint32_t kReservedAtoms = 4096;
    // The units of all dynamic names together that documents may fill.
    static constexpr size_t kDocumentNameUnits = size_t(1) << 22;

    // Why a name was refused while a document was read.
    enum class Refusal { kNone, kTooLong, kExhausted };

    // The atom of `name`, adding the name under a new id when it is unknown; 0 for a null or empty
    // name, one longer than kMaxNameUnits, or when no id is left.
    static oxAtom Intern(const WCHAR* name);
    // The atom of `name`, or 0 when unknown, null or too long.
    static oxAtom Find(const WCHAR* name);
    // Copies at most size - 1 units of the atom's name and terminates the buffer. 1, or 0 when the
    // atom is unknown (or there is no room for the terminator).
    static int GetName(oxAtom atom, WCHAR* buffer, size_t size);
    // Stores `name` under `atom`; an existing name has its atom replaced.
    static void Add(const WCHAR* name, oxAtom atom);
    // Add for 8-bit text in the system code page.
    static void AddNarrow(const char* name, oxAtom atom);
    // Adds the predefined names with their fixed ids.
    static void RegisterPredefined();
    // Forgets every name. Dynamic ids keep counting from where they were.
    static void Clear();
    // Clear, and dynamic ids count from kFirstDynamicAtom again (for test and fuzz harnesses).
    static void Reset();

    // A document starts: until the matching EndDocument, new names stop short of the reserve and of
    // kDocumentNameUnits. Answers the mark that EndDocument takes.
    static uint32_t BeginDocument();
    // A failed document gives back the names it added, except those of documents it loaded that
    // succeeded. Documents nest.
    static void EndDocument(uint32_t mark, bool failed);
    // Why the last name was refused inside a document (kNone when none was), and forgets it.
    static Refusal TakeRefusal();
};
