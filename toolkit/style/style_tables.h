#pragma once
// The fixed style vocabulary: 128 properties and 73 keywords, each known by a small id that indexes
// the rest of the style system. Names are compared case-sensitively, unlike atoms.
#include <cstdint>

#include "platform/types.h"
#include "runtime/string_map.h"

enum oxStylePropertyId : int {
#define OX_STYLE_PROPERTY(id, name, group, mask) kStyle_##name = id,
#include "toolkit/style/style_properties.inc"
#undef OX_STYLE_PROPERTY
};

enum oxStyleKeywordId : int {
#define OX_STYLE_KEYWORD(id, ident, text) kKeyword##ident = id,
#include "toolkit/style/style_keywords.inc"
#undef OX_STYLE_KEYWORD
};

constexpr int kStylePropertyCount = 128;
constexpr int kStyleKeywordCount = 73;

struct oxStylePropertyInfo {
    const WCHAR* name;
    uint8_t group; // the property group kind that holds it, 1..15
    uint16_t mask; // the value kinds the parser accepts for it
};

// Indexed by property id.
extern const oxStylePropertyInfo kStyleProperties[kStylePropertyCount];
// Indexed by keyword id.
extern const WCHAR* const kStyleKeywords[kStyleKeywordCount];

// Builds the two name maps once; the lookups below call it themselves.
void EnsureStyleNameTables();
// (Re)builds both maps: each name's entries are replaced by one entry.
void BuildStyleNameTables();

// The id of a name, or -1 for an unknown or null name.
int StylePropertyIdFromName(const WCHAR* name);
int StyleKeywordIdFromName(const WCHAR* name);
// The same for `length` units of text that need not be terminated.
int StyleKeywordIdFromName(const WCHAR* name, int length);
// The name of an id, or null for an id outside the table.
const WCHAR* StylePropertyNameFromId(int id);
const WCHAR* StyleKeywordNameFromId(int id);

// The maps themselves, for callers that walk them.
const NUBO::oxStringMap<int>& StylePropertyNameMap();
const NUBO::oxStringMap<int>& StyleKeywordNameMap();
