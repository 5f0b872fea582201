#include "toolkit/scene/key_names.h"

#include "platform/crt/wide.h"

namespace {

struct KeyName {
    const WCHAR* name;
    uint16_t code;
};

// Searched in order; several names share a code (the soft keys arrive as F1 and F2).
constexpr KeyName kKeyNames[] = {
    {u"F1", 112},       {u"F2", 113},      {u"F3", 114},         {u"F4", 115},       {u"F5", 116},
    {u"F6", 117},       {u"F7", 118},      {u"F8", 119},         {u"F9", 120},       {u"F10", 121},
    {u"F11", 122},      {u"F12", 123},     {u"CONTROL", 17},     {u"ALT", 18},       {u"COMMAND", 17},
    {u"ESCAPE", 27},    {u"SHIFT", 16},    {u"LCONTROL", 162},   {u"RCONTROL", 163}, {u"LSHIFT", 160},
    {u"RSHIFT", 161},   {u"LALT", 164},    {u"RALT", 165},       {u"TAB", 9},        {u"ENTER", 13},
    {u"RETURN", 13},    {u"BACK", 8},      {u"INSERT", 45},      {u"DELETE", 46},    {u"UP", 38},
    {u"DOWN", 40},      {u"LEFT", 37},     {u"RIGHT", 39},       {u"SPACE", 32},     {u"HOME", 36},
    {u"END", 35},       {u"PAGEUP", 33},   {u"PAGEDOWN", 34},    {u"CLEAR", 12},     {u"PRINTSCREEN", 44},
    {u"PAUSE", 19},     {u"CANCEL", 3},    {u"SCROLLLOCK", 145}, {u"CAPSLOCK", 20},  {u"NUMLOCK", 144},
    {u"NUMPAD0", 96},   {u"NUMPAD1", 97},  {u"NUMPAD2", 98},     {u"NUMPAD3", 99},   {u"NUMPAD4", 100},
    {u"NUMPAD5", 101},  {u"NUMPAD6", 102}, {u"NUMPAD7", 103},    {u"NUMPAD8", 104},  {u"NUMPAD9", 105},
    {u"MULTIPLY", 106}, {u"ADD", 107},     {u"SUBTRACT", 109},   {u"DECIMAL", 110},  {u"DIVIDE", 111},
    {u"0", 48},         {u"1", 49},        {u"2", 50},           {u"3", 51},         {u"4", 52},
    {u"5", 53},         {u"6", 54},        {u"7", 55},           {u"8", 56},         {u"9", 57},
    {u"A", 65},         {u"B", 66},        {u"C", 67},           {u"D", 68},         {u"E", 69},
    {u"F", 70},         {u"G", 71},        {u"H", 72},           {u"I", 73},         {u"J", 74},
    {u"K", 75},         {u"L", 76},        {u"M", 77},           {u"N", 78},         {u"O", 79},
    {u"P", 80},         {u"Q", 81},        {u"R", 82},           {u"S", 83},         {u"T", 84},
    {u"U", 85},         {u"V", 86},        {u"W", 87},           {u"X", 88},         {u"Y", 89},
    {u"Z", 90},         {u"APPS", 93},     {u"MENU", 136},       {u"SOFTKEY1", 112}, {u"SOFTKEY2", 113},
    {u"DPAD", 132},     {u"ROCKER", 131},  {u"DONE", 117},       {u"KEYLOCK", 133},  {u"ACTION", 13},
};
static_assert(sizeof(kKeyNames) / sizeof(kKeyNames[0]) == 105);

} // namespace

uint16_t VirtualKeyFromName(const WCHAR* name) {
    if (!name) return 0;
    for (const KeyName& row : kKeyNames)
        if (_wcsicmp(row.name, name) == 0) return row.code;
    return 0;
}
