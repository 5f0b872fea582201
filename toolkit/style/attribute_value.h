#pragma once
// Parsers and formatters of plain attribute values of boxes and markup elements: booleans,
// integers, colours, edges, mode words, integer rectangles. Independent of the style tables.
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

struct oxRect;

// True exactly for "1" and for "true" in any letter case.
bool ParseBool(const WCHAR* text);
// The integer at the start of the text after white space; 0 for null or text without digits.
int32_t ParseInt(const WCHAR* text);
// The ARGB of colour text, or -1 when it does not parse.
int32_t ParseColorString(const WCHAR* text);
// 1 top, 2 right, 3 bottom, 4 left (matched as atoms, so without case); 0 otherwise.
int SideFromAtom(const WCHAR* text);
// The flag of one mode word of cursorMode, dragMode, focusMode or selectableMode, matched with case;
// 0 for anything else.
uint32_t ParseBoxModeFlags(const WCHAR* text);
// Up to four blank-separated integers, top-first as margins are written, into a record read as
// {left, top, right, bottom}: one sets all four, two are (vertical, horizontal), four are top, right,
// bottom, left. Three leave it all zero.
oxRect ParseIntRect(const WCHAR* text);

// Each writes at most size - 1 units and terminates; nothing when size is 0.
void FormatBool(bool flag, WCHAR* buffer, size_t size);
void FormatInt(int32_t value, WCHAR* buffer, size_t size);
void FormatColor(uint32_t argb, WCHAR* buffer, size_t size);
// "top", "right", "bottom", "left", or "none".
void SideToString(int edge, WCHAR* buffer, size_t size);
// The mode word of one flag, or "none".
void FormatBoxModeFlags(uint32_t mode, WCHAR* buffer, size_t size);
