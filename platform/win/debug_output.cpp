#include "platform/win/debug_output.h"

#include <cstdio>
#include <string>

#include "platform/shell/path_map.h"

void OutputDebugStringW(LPCWSTR text) {
    if (!text || !*text) return;
    size_t length = 0;
    while (text[length])
        ++length;
    std::string line = platform::Utf8FromWide(text, length);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fputs(line.c_str(), stderr);
}
