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
#include "toolkit/core/atoms.inc"
#undef OX_ATOM
};

// The process-wide atom table. Used only from the message-loop thread.
class oxAtoms {
public:
    static constexpr oxAtom kFirstDynamicAtom = 1665;
    // Names of this many units or more are never found.
    static constexpr size_t kLookupUnits = 256;

    // The atom of `name`, adding the name under a new id when it is unknown; 0 for a null or empty name.
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
};
