#pragma once
// Line breaking and display order of the text that DrawTextW draws. Module-internal.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform::detail {
class FontInstance;
}

namespace platform::text {

// The advance of each UTF-16 unit: a surrogate pair's glyph counts on its first unit.
std::vector<int> UnitAdvances(platform::detail::FontInstance* font, const WCHAR* text, size_t count);

// One line in display order.
struct VisualLine {
    std::u32string chars;
    std::vector<int> advances; // one per character
    int width = 0;
    int mark = -1; // index in `chars` of the character the prefix underlines, or -1
};

// Units [start, end) of the text as a line in display order, with "..." after them when
// `ellipsis`. `markUnit` is the unit to underline (SIZE_MAX for none).
VisualLine ReorderLine(const WCHAR* text, const std::vector<int>& advances, size_t start, size_t end, bool rtl,
                       size_t markUnit, bool ellipsis = false, int dotAdvance = 0);

struct TextBlock {
    std::vector<VisualLine> lines;
};

// Splits the text into lines as DrawTextW does for `format` within a frame of the given size:
// CR/LF breaks, word breaking, character breaking of over-long words, end ellipsis and '&'
// prefixes.
TextBlock LayOut(platform::detail::FontInstance* font, const WCHAR* text, size_t count, int width, int height,
                 UINT format);

} // namespace platform::text
