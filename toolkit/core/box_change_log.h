#pragma once
// oxBoxChangeLog: the state bits and attribute texts of a box from before they changed, recorded
// while the box's state bit 28 asks for it, so that replaying the log puts the box back as it was
// (a recycled row box of a repeater is restored this way). One entry per state bit and per
// attribute: the first recorded value, the one from before the first change, wins.
#include <cstdint>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"

class oxBox;

class oxBoxChangeLog {
public:
    enum Kind : uint32_t { kState = 0, kAttribute = 1, kRemoveAttribute = 2 };
    struct Entry {
        Kind kind;
        uint32_t id; // the state bit (kind 0) or the attribute atom
        NUBO::TWString text;
    };

    // Kind 0 records whether the box has the bit ("disabled" counts the ancestor bit too). Kinds 1
    // and 2 record `text`, or with `readCurrent` the box's current text: an entry with text, or one
    // that removes the attribute when there is none.
    void Record(Kind kind, uint32_t id, const oxBox* box, bool readCurrent, const WCHAR* text);
    // Replays every entry in order with recording switched off, then empties the log.
    void Replay(oxBox* box);
    bool Contains(Kind kind, uint32_t id) const;
    const std::vector<Entry>& GetEntries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};
