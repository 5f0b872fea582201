#pragma once
// Reading the text boxes' style members: unset and null members read as absent.
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_value.h"

inline const oxStyleValue* Member(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    return v && !v->IsNull() ? v : nullptr;
}

inline int Keyword(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = Member(group, id);
    return v && v->GetType() == kStyleKeyword ? v->GetValue() : -1;
}

// Style booleans are "1" or "true" as text, or a number.
inline bool StyleBool(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = Member(group, id);
    if (!v) return false;
    if (v->GetType() == kStyleText) return ParseBool(v->GetText());
    if (v->GetType() == kStyleKeyword) return false;
    return v->GetInt() != 0;
}
