#pragma once
// Turns style text into oxStyleValues. Which value kinds a property accepts is a mask of the flags
// below, chosen per property id in the property table.
#include <cstdint>

#include "platform/types.h"

class oxStyleDeclaration;
class oxStyleLibrary;
class oxStyleValue;

enum : unsigned {
    kStyleMaskColor = 0x02, // "syscolor..." names, "#" forms, colour names
    kStyleMaskKeyword = 0x04,
    kStyleMaskNumber = 0x08,    // with or without unit
    kStyleMaskKeyword2 = 0x10,  // as 0x04
    kStyleMaskNumber2 = 0x20,   // as 0x08
    kStyleMaskReference = 0x40, // "url(...)" and "OSTheme(...)"
    kStyleMaskText = 0x80,      // any text; exactly 0x80 takes every input as text
    kStyleMaskPair = 0x100,     // 2 or 4 blank-separated parts (stroke)
    kStyleMaskSides = 0x200,    // the four-side shorthand form
};

// Parses one value under `mask`. False on failure, when `out` may hold a partial result.
bool ParseStyleValue(const WCHAR* text, unsigned mask, oxStyleValue* out);
// Parses a value of property `id` (-1 for an unknown property) with the property's mask. False for
// null text or an id outside -1..127.
bool ParseStylePropertyValue(int id, const WCHAR* text, oxStyleValue* out);

// Parses the text of the style property `name` and, when it parses and a declaration is given,
// stores the value there (an unknown name parses but stores nothing). References "url(#id)" are
// looked up in `library` while the text is parsed and, when found, stored qualified by the URI of
// the library that defines them. False for null text or text that does not parse.
bool ParseStyleAttribute(const WCHAR* name, const WCHAR* text, oxStyleValue* out, oxStyleDeclaration* declaration,
                         oxStyleLibrary* library);

// Told about style text that could not be used while a markup loader applies attributes.
class oxStyleErrorSink {
public:
    // `knownProperty` false: no property has that name; true: the value does not parse.
    virtual void OnStyleError(const WCHAR* name, const WCHAR* text, bool knownProperty) = 0;

protected:
    ~oxStyleErrorSink() = default;
};
// Sets the sink that ParseStyleAttribute reports to (null: nobody listens); answers the previous one.
oxStyleErrorSink* SetStyleErrorSink(oxStyleErrorSink* sink);
