#include "platform/win/clipboard.h"

#include <map>

#include "platform/crt/wide.h"
#include "platform/win/local_memory.h"

namespace {

bool open = false;
std::map<UINT, HLOCAL> formats;
const platform::clipboard::TextHooks* textHooks = nullptr;

void Drop(UINT format) {
    auto it = formats.find(format);
    if (it == formats.end()) return;
    LocalFree(it->second);
    formats.erase(it);
}

// The text of a block, up to its first NUL or its end.
std::u16string TextOf(HLOCAL block) {
    const auto* text = static_cast<const WCHAR*>(block);
    const size_t units = LocalSize(block) / sizeof(WCHAR);
    size_t n = 0;
    while (n < units && text[n])
        ++n;
    return std::u16string(text, n);
}

std::string ToUtf8(const std::u16string& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

HLOCAL BlockFromUtf8(const std::string& utf8) {
    const int n = utf8.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (size_t(n > 0 ? n : 0) + 1) * sizeof(WCHAR)));
    if (!block) return nullptr;
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), block, n);
    block[n > 0 ? n : 0] = 0;
    return block;
}

} // namespace

BOOL OpenClipboard(HWND) {
    if (open) return FALSE;
    open = true;
    return TRUE;
}

BOOL CloseClipboard() {
    if (!open) return FALSE;
    open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    if (!open) return FALSE;
    for (auto& [format, block] : formats)
        LocalFree(block);
    formats.clear();
    if (textHooks) textHooks->set(std::string());
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    if (!open || !data) return nullptr;
    Drop(format);
    formats[format] = data;
    if (format == CF_UNICODETEXT && textHooks) textHooks->set(ToUtf8(TextOf(data)));
    return data;
}

HANDLE GetClipboardData(UINT format) {
    if (!open) return nullptr;
    if (format == CF_UNICODETEXT && textHooks) {
        // The desktop's text may have changed since: it is read again each time.
        if (!textHooks->has()) return nullptr;
        HLOCAL block = BlockFromUtf8(textHooks->get());
        if (!block) return nullptr;
        Drop(format);
        formats[format] = block;
        return block;
    }
    auto it = formats.find(format);
    return it == formats.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    if (format == CF_UNICODETEXT && textHooks) return textHooks->has();
    return formats.count(format) != 0;
}

namespace platform::clipboard {

void SetTextHooks(const TextHooks* hooks) {
    textHooks = hooks;
}

void Reset() {
    for (auto& [format, block] : formats)
        LocalFree(block);
    formats.clear();
    open = false;
}

} // namespace platform::clipboard
