#pragma once
// The style rules a scene applies, kept in three maps from an atom to the rules registered under it
// in order of registration: by style name, by tag and by target id. From them a box's rule chain is
// built (tag rules, then the rules of its `style` name, then those of its id or part name, then its
// inline declaration) and a style record made, or shared with a box whose chain is equal. The
// scene owns one; the rules belong to their libraries.
#include <vector>

#include "runtime/hash_map.h"
#include "toolkit/base/atoms.h"

class oxBox;
class oxBoxStyle;
class oxStyleElement;

class oxStyleRuleMaps {
public:
    oxStyleRuleMaps() = default;
    oxStyleRuleMaps(const oxStyleRuleMaps&) = delete;
    oxStyleRuleMaps& operator=(const oxStyleRuleMaps&) = delete;

    // Registers a rule under each of its non-zero keys.
    void AddStyleRule(oxStyleElement* rule);
    void Clear();
    bool IsEmpty() const { return byName_.IsEmpty() && byTag_.IsEmpty() && byTarget_.IsEmpty(); }

    // The record for `box` (a new reference): a box that has a record gets a copy of its chain matched
    // again and keeps its record when nothing changed; otherwise the chain is built from the maps.
    oxBoxStyle* BuildBoxStyle(oxBox* box);
    // The record of a named sub-part of a box that has a record: the part rules of that name under
    // its chain; null when there are none.
    oxBoxStyle* GetSubStyle(oxBox* box, oxAtom atom);

private:
    using RuleList = std::vector<oxStyleElement*>;
    NUBO::oxIdHashMap<RuleList> byName_;
    NUBO::oxIdHashMap<RuleList> byTag_;
    NUBO::oxIdHashMap<RuleList> byTarget_;
};
