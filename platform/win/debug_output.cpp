#include "platform/win/debug_output.h"

#include <cstdio>
#include <string>

#include "platform/crt/wide.h"

void OutputDebugStringW(const WCHAR* text) {
    if (!text || !*text) return;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return;
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), bytes, nullptr, nullptr);
    std::fputs(utf8.c_str(), stderr);
}
