// Feeds arbitrary UTF-16 text to the notification bubble's reading of an HTML body as plain text,
// checking that the text never grows (tags and entities only shrink, white space only collapses)
// and that no entity decodes to a NUL that would cut the text short.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/shell/notification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    std::vector<WCHAR> html(size / 2 + 1, 0);
    std::memcpy(html.data(), data, size / 2 * 2);
    const std::u16string text = platform::shell::PlainTextFromHtml(html.data());
    size_t length = 0;
    while (html[length])
        ++length;
    if (text.size() > length) abort();
    for (char16_t c : text)
        if (c == 0) abort();
    return 0;
}
