#pragma once
// Colour text and colour values: the "#" forms, the 16 colour names and the device's "syscolor..."
// names. Colours are ARGB words: alpha in bits 24-31, then red, green, blue.
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

class oxStyleLibrary;
class oxStyleValue;

// `out` starts as opaque black; true when the text is a colour. False for null or empty text.
bool ParseColor(const WCHAR* text, uint32_t* out);
// The same for `length` units that need not be terminated.
bool ParseColor(const WCHAR* text, size_t length, uint32_t* out);

// The device colour of system colour number 1..26 as opaque ARGB, read afresh at every call. False
// (and opaque black) for other numbers.
bool SysColorToColor(int number, uint32_t* out);

// A resource that paints with one colour value: solid brushes and pens.
class oxColorResource {
public:
    virtual const oxStyleValue* GetColorValue() const = 0;

protected:
    ~oxColorResource() = default;
};

// The ARGB of a colour-valued style value: colours, system colours, and references to solid brushes
// and pens resolved in the library; 0 for values that are no colour.
uint32_t ResolveColorValue(const oxStyleValue& value, oxStyleLibrary* library);
// Parses colour or reference text and resolves it; 0 for null text or text that does not parse.
uint32_t ParseColorValueText(const WCHAR* text, oxStyleLibrary* library);

// The colour at `t` between `from` (t <= 0) and `to` (t >= 1), channel by channel.
uint32_t LerpColor(uint32_t from, uint32_t to, float t);
