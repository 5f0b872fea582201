#include "toolkit/style/style_tables.h"

using NUBO::oxStringKey;
using NUBO::oxStringMap;

#define OX_WIDE_TEXT_(text) u##text
#define OX_WIDE_TEXT(name) OX_WIDE_TEXT_(#name)
const oxStylePropertyInfo kStyleProperties[kStylePropertyCount] = {
#define OX_STYLE_PROPERTY(id, name, group, mask) {OX_WIDE_TEXT(name), group, mask},
#include "toolkit/style/style_properties.inc"
#undef OX_STYLE_PROPERTY
};
#undef OX_WIDE_TEXT
#undef OX_WIDE_TEXT_

const WCHAR* const kStyleKeywords[kStyleKeywordCount] = {
#define OX_STYLE_KEYWORD(id, ident, text) text,
#include "toolkit/style/style_keywords.inc"
#undef OX_STYLE_KEYWORD
};

namespace {

struct NameTables {
    oxStringMap<int> properties;
    oxStringMap<int> keywords;
    bool built = false;
};

// Made on first use, so no start-up order matters.
NameTables& Tables() {
    static NameTables tables;
    return tables;
}

void Fill(oxStringMap<int>& map, int count, const WCHAR* (*name)(int)) {
    for (int id = 0; id < count; ++id) {
        map.Erase(name(id));
        map.Insert(name(id), id);
    }
}

int Lookup(const oxStringMap<int>& map, oxStringKey key) {
    const auto* node = map.Find(key);
    return node ? node->value : -1;
}

} // namespace

void BuildStyleNameTables() {
    NameTables& t = Tables();
    t.built = true;
    Fill(t.properties, kStylePropertyCount, [](int id) { return kStyleProperties[id].name; });
    Fill(t.keywords, kStyleKeywordCount, [](int id) { return kStyleKeywords[id]; });
}

void EnsureStyleNameTables() {
    if (!Tables().built) BuildStyleNameTables();
}

int StylePropertyIdFromName(const WCHAR* name) {
    if (!name) return -1;
    EnsureStyleNameTables();
    return Lookup(Tables().properties, name);
}

int StyleKeywordIdFromName(const WCHAR* name) {
    if (!name) return -1;
    EnsureStyleNameTables();
    return Lookup(Tables().keywords, name);
}

int StyleKeywordIdFromName(const WCHAR* name, int length) {
    if (!name || length < 0) return -1;
    EnsureStyleNameTables();
    oxStringKey key(u"");
    key.text = name;
    key.length = length;
    return Lookup(Tables().keywords, key);
}

// Names are unique and never empty, so the tables answer what a walk of the maps would.
const WCHAR* StylePropertyNameFromId(int id) {
    return id >= 0 && id < kStylePropertyCount ? kStyleProperties[id].name : nullptr;
}

const WCHAR* StyleKeywordNameFromId(int id) {
    return id >= 0 && id < kStyleKeywordCount ? kStyleKeywords[id] : nullptr;
}

const oxStringMap<int>& StylePropertyNameMap() {
    EnsureStyleNameTables();
    return Tables().properties;
}

const oxStringMap<int>& StyleKeywordNameMap() {
    EnsureStyleNameTables();
    return Tables().keywords;
}
