// Simple (one unit to one unit) case mapping over the Basic Multilingual Plane.
//
// One table of ranges pairs upper-case units with their lower-case forms: a range maps
// [first, last] to [first + delta, last + delta], either every unit (stride 1) or every other
// unit (stride 2, the alternating upper/lower pairs of the Latin, Cyrillic and Coptic blocks).
// Most pairs map both ways; a few map one way only (the Kelvin sign lowers to 'k' but 'k' raises
// to 'K'; final sigma raises to capital sigma). Two sorted views of the table are built at compile
// time and searched by bisection, with ASCII answered first.
#include "platform/crt/wide.h"

#include <algorithm>
#include <array>

namespace {

enum Dir : uint8_t { Both = 3, LowerOnly = 1, UpperOnly = 2 };

struct CaseRange {
    char16_t first, last; // upper-case side
    int32_t delta;        // lower = upper + delta
    uint8_t stride;
    uint8_t dir;
};

constexpr CaseRange kRanges[] = {
    // Latin
    {0x0041, 0x005A, 32, 1, Both},
    {0x00C0, 0x00D6, 32, 1, Both},
    {0x00D8, 0x00DE, 32, 1, Both},
    {0x039C, 0x039C, 0x00B5 - 0x039C, 1, UpperOnly}, // micro sign
    {0x0100, 0x012E, 1, 2, Both},
    {0x0130, 0x0130, 0x0069 - 0x0130, 1, LowerOnly},
    {0x0049, 0x0049, 0x0131 - 0x0049, 1, UpperOnly}, // dotless i
    {0x0132, 0x0136, 1, 2, Both},
    {0x0139, 0x0147, 1, 2, Both},
    {0x014A, 0x0176, 1, 2, Both},
    {0x0178, 0x0178, 0x00FF - 0x0178, 1, Both},
    {0x0179, 0x017D, 1, 2, Both},
    {0x0053, 0x0053, 0x017F - 0x0053, 1, UpperOnly}, // long s
    {0x0243, 0x0243, 0x0180 - 0x0243, 1, Both},
    {0x0181, 0x0181, 0x0253 - 0x0181, 1, Both},
    {0x0182, 0x0184, 1, 2, Both},
    {0x0186, 0x0186, 0x0254 - 0x0186, 1, Both},
    {0x0187, 0x0187, 1, 1, Both},
    {0x0189, 0x018A, 0x0256 - 0x0189, 1, Both},
    {0x018B, 0x018B, 1, 1, Both},
    {0x018E, 0x018E, 0x01DD - 0x018E, 1, Both},
    {0x018F, 0x018F, 0x0259 - 0x018F, 1, Both},
    {0x0190, 0x0190, 0x025B - 0x0190, 1, Both},
    {0x0191, 0x0191, 1, 1, Both},
    {0x0193, 0x0193, 0x0260 - 0x0193, 1, Both},
    {0x0194, 0x0194, 0x0263 - 0x0194, 1, Both},
    {0x01F6, 0x01F6, 0x0195 - 0x01F6, 1, Both},
    {0x0196, 0x0196, 0x0269 - 0x0196, 1, Both},
    {0x0197, 0x0197, 0x0268 - 0x0197, 1, Both},
    {0x0198, 0x0198, 1, 1, Both},
    {0x023D, 0x023D, 0x019A - 0x023D, 1, Both},
    {0x019C, 0x019C, 0x026F - 0x019C, 1, Both},
    {0x019D, 0x019D, 0x0272 - 0x019D, 1, Both},
    {0x0220, 0x0220, 0x019E - 0x0220, 1, Both},
    {0x019F, 0x019F, 0x0275 - 0x019F, 1, Both},
    {0x01A0, 0x01A4, 1, 2, Both},
    {0x01A6, 0x01A6, 0x0280 - 0x01A6, 1, Both},
    {0x01A7, 0x01A7, 1, 1, Both},
    {0x01A9, 0x01A9, 0x0283 - 0x01A9, 1, Both},
    {0x01AC, 0x01AC, 1, 1, Both},
    {0x01AE, 0x01AE, 0x0288 - 0x01AE, 1, Both},
    {0x01AF, 0x01AF, 1, 1, Both},
    {0x01B1, 0x01B2, 0x028A - 0x01B1, 1, Both},
    {0x01B3, 0x01B5, 1, 2, Both},
    {0x01B7, 0x01B7, 0x0292 - 0x01B7, 1, Both},
    {0x01B8, 0x01B8, 1, 1, Both},
    {0x01BC, 0x01BC, 1, 1, Both},
    {0x01F7, 0x01F7, 0x01BF - 0x01F7, 1, Both},
    // The DŽ, LJ, NJ and DZ digraphs: capital, title case and small forms.
    {0x01C4, 0x01C4, 2, 1, Both},
    {0x01C5, 0x01C5, 1, 1, LowerOnly},
    {0x01C4, 0x01C4, 1, 1, UpperOnly},
    {0x01C7, 0x01C7, 2, 1, Both},
    {0x01C8, 0x01C8, 1, 1, LowerOnly},
    {0x01C7, 0x01C7, 1, 1, UpperOnly},
    {0x01CA, 0x01CA, 2, 1, Both},
    {0x01CB, 0x01CB, 1, 1, LowerOnly},
    {0x01CA, 0x01CA, 1, 1, UpperOnly},
    {0x01CD, 0x01DB, 1, 2, Both},
    {0x01DE, 0x01EE, 1, 2, Both},
    {0x01F1, 0x01F1, 2, 1, Both},
    {0x01F2, 0x01F2, 1, 1, LowerOnly},
    {0x01F1, 0x01F1, 1, 1, UpperOnly},
    {0x01F4, 0x01F4, 1, 1, Both},
    {0x01F8, 0x021E, 1, 2, Both},
    {0x0222, 0x0232, 1, 2, Both},
    {0x023A, 0x023A, 0x2C65 - 0x023A, 1, Both},
    {0x023B, 0x023B, 1, 1, Both},
    {0x023E, 0x023E, 0x2C66 - 0x023E, 1, Both},
    {0x2C7E, 0x2C7F, 0x023F - 0x2C7E, 1, Both},
    {0x0241, 0x0241, 1, 1, Both},
    {0x0244, 0x0244, 0x0289 - 0x0244, 1, Both},
    {0x0245, 0x0245, 0x028C - 0x0245, 1, Both},
    {0x0246, 0x024E, 1, 2, Both},
    // IPA letters whose capitals live in later blocks
    {0x2C6F, 0x2C6F, 0x0250 - 0x2C6F, 1, Both},
    {0x2C6D, 0x2C6D, 0x0251 - 0x2C6D, 1, Both},
    {0x2C70, 0x2C70, 0x0252 - 0x2C70, 1, Both},
    {0xA7AB, 0xA7AB, 0x025C - 0xA7AB, 1, Both},
    {0xA7AC, 0xA7AC, 0x0261 - 0xA7AC, 1, Both},
    {0xA78D, 0xA78D, 0x0265 - 0xA78D, 1, Both},
    {0xA7AA, 0xA7AA, 0x0266 - 0xA7AA, 1, Both},
    {0xA7AE, 0xA7AE, 0x026A - 0xA7AE, 1, Both},
    {0x2C62, 0x2C62, 0x026B - 0x2C62, 1, Both},
    {0xA7AD, 0xA7AD, 0x026C - 0xA7AD, 1, Both},
    {0x2C6E, 0x2C6E, 0x0271 - 0x2C6E, 1, Both},
    {0x2C64, 0x2C64, 0x027D - 0x2C64, 1, Both},
    {0xA7C5, 0xA7C5, 0x0282 - 0xA7C5, 1, Both},
    {0xA7B1, 0xA7B1, 0x0287 - 0xA7B1, 1, Both},
    {0xA7B2, 0xA7B2, 0x029D - 0xA7B2, 1, Both},
    {0xA7B0, 0xA7B0, 0x029E - 0xA7B0, 1, Both},
    // Greek and Coptic
    {0x0399, 0x0399, 0x0345 - 0x0399, 1, UpperOnly}, // ypogegrammeni
    {0x0370, 0x0372, 1, 2, Both},
    {0x0376, 0x0376, 1, 1, Both},
    {0x03FD, 0x03FF, 0x037B - 0x03FD, 1, Both},
    {0x037F, 0x037F, 0x03F3 - 0x037F, 1, Both},
    {0x0386, 0x0386, 38, 1, Both},
    {0x0388, 0x038A, 37, 1, Both},
    {0x038C, 0x038C, 64, 1, Both},
    {0x038E, 0x038F, 63, 1, Both},
    {0x0391, 0x03A1, 32, 1, Both},
    {0x03A3, 0x03AB, 32, 1, Both},
    {0x03A3, 0x03A3, 0x03C2 - 0x03A3, 1, UpperOnly}, // final sigma
    {0x03CF, 0x03CF, 8, 1, Both},
    {0x0392, 0x0392, 0x03D0 - 0x0392, 1, UpperOnly},
    {0x0398, 0x0398, 0x03D1 - 0x0398, 1, UpperOnly},
    {0x03A6, 0x03A6, 0x03D5 - 0x03A6, 1, UpperOnly},
    {0x03A0, 0x03A0, 0x03D6 - 0x03A0, 1, UpperOnly},
    {0x03D8, 0x03EE, 1, 2, Both},
    {0x039A, 0x039A, 0x03F0 - 0x039A, 1, UpperOnly},
    {0x03A1, 0x03A1, 0x03F1 - 0x03A1, 1, UpperOnly},
    {0x03F9, 0x03F9, 0x03F2 - 0x03F9, 1, Both},
    {0x03F4, 0x03F4, 0x03B8 - 0x03F4, 1, LowerOnly},
    {0x0395, 0x0395, 0x03F5 - 0x0395, 1, UpperOnly},
    {0x03F7, 0x03F7, 1, 1, Both},
    {0x03FA, 0x03FA, 1, 1, Both},
    // Cyrillic
    {0x0400, 0x040F, 80, 1, Both},
    {0x0410, 0x042F, 32, 1, Both},
    {0x0460, 0x0480, 1, 2, Both},
    {0x048A, 0x04BE, 1, 2, Both},
    {0x04C0, 0x04C0, 15, 1, Both},
    {0x04C1, 0x04CD, 1, 2, Both},
    {0x04D0, 0x052E, 1, 2, Both},
    {0x0412, 0x0412, 0x1C80 - 0x0412, 1, UpperOnly}, // old-style variant letters
    {0x0414, 0x0414, 0x1C81 - 0x0414, 1, UpperOnly},
    {0x041E, 0x041E, 0x1C82 - 0x041E, 1, UpperOnly},
    {0x0421, 0x0422, 0x1C83 - 0x0421, 1, UpperOnly},
    {0x0422, 0x0422, 0x1C85 - 0x0422, 1, UpperOnly},
    {0x042A, 0x042A, 0x1C86 - 0x042A, 1, UpperOnly},
    {0x0462, 0x0462, 0x1C87 - 0x0462, 1, UpperOnly},
    {0xA64A, 0xA64A, 0x1C88 - 0xA64A, 1, UpperOnly},
    {0xA640, 0xA66C, 1, 2, Both},
    {0xA680, 0xA69A, 1, 2, Both},
    // Armenian, Georgian, Cherokee
    {0x0531, 0x0556, 48, 1, Both},
    {0x10A0, 0x10C5, 0x2D00 - 0x10A0, 1, Both},
    {0x10C7, 0x10C7, 0x2D27 - 0x10C7, 1, Both},
    {0x10CD, 0x10CD, 0x2D2D - 0x10CD, 1, Both},
    {0x1C90, 0x1CBA, 0x10D0 - 0x1C90, 1, Both},
    {0x1CBD, 0x1CBF, 0x10FD - 0x1CBD, 1, Both},
    {0x13A0, 0x13EF, 0xAB70 - 0x13A0, 1, Both},
    {0x13F0, 0x13F5, 8, 1, Both},
    // Phonetic extensions
    {0xA77D, 0xA77D, 0x1D79 - 0xA77D, 1, Both},
    {0x2C63, 0x2C63, 0x1D7D - 0x2C63, 1, Both},
    {0xA7C6, 0xA7C6, 0x1D8E - 0xA7C6, 1, Both},
    // Latin Extended Additional
    {0x1E00, 0x1E94, 1, 2, Both},
    {0x1E60, 0x1E60, 0x1E9B - 0x1E60, 1, UpperOnly},
    {0x1E9E, 0x1E9E, 0x00DF - 0x1E9E, 1, LowerOnly}, // capital sharp s
    {0x1EA0, 0x1EFE, 1, 2, Both},
    // Greek Extended
    {0x1F08, 0x1F0F, -8, 1, Both},
    {0x1F18, 0x1F1D, -8, 1, Both},
    {0x1F28, 0x1F2F, -8, 1, Both},
    {0x1F38, 0x1F3F, -8, 1, Both},
    {0x1F48, 0x1F4D, -8, 1, Both},
    {0x1F59, 0x1F5F, -8, 2, Both},
    {0x1F68, 0x1F6F, -8, 1, Both},
    {0x1F88, 0x1F8F, -8, 1, Both},
    {0x1F98, 0x1F9F, -8, 1, Both},
    {0x1FA8, 0x1FAF, -8, 1, Both},
    {0x1FB8, 0x1FB9, -8, 1, Both},
    {0x1FBA, 0x1FBB, -74, 1, Both},
    {0x1FBC, 0x1FBC, -9, 1, Both},
    {0x0399, 0x0399, 0x1FBE - 0x0399, 1, UpperOnly},
    {0x1FC8, 0x1FCB, -86, 1, Both},
    {0x1FCC, 0x1FCC, -9, 1, Both},
    {0x1FD8, 0x1FD9, -8, 1, Both},
    {0x1FDA, 0x1FDB, -100, 1, Both},
    {0x1FE8, 0x1FE9, -8, 1, Both},
    {0x1FEA, 0x1FEB, -112, 1, Both},
    {0x1FEC, 0x1FEC, -7, 1, Both},
    {0x1FF8, 0x1FF9, -128, 1, Both},
    {0x1FFA, 0x1FFB, -126, 1, Both},
    {0x1FFC, 0x1FFC, -9, 1, Both},
    // Letterlike symbols, number forms, enclosed letters
    {0x2126, 0x2126, 0x03C9 - 0x2126, 1, LowerOnly}, // ohm sign
    {0x212A, 0x212A, 0x006B - 0x212A, 1, LowerOnly}, // kelvin sign
    {0x212B, 0x212B, 0x00E5 - 0x212B, 1, LowerOnly}, // angstrom sign
    {0x2132, 0x2132, 0x214E - 0x2132, 1, Both},
    {0x2160, 0x216F, 16, 1, Both},
    {0x2183, 0x2183, 1, 1, Both},
    {0x24B6, 0x24CF, 26, 1, Both},
    // Glagolitic, Latin Extended-C, Coptic
    {0x2C00, 0x2C2F, 48, 1, Both},
    {0x2C60, 0x2C60, 1, 1, Both},
    {0x2C67, 0x2C6B, 1, 2, Both},
    {0x2C72, 0x2C72, 1, 1, Both},
    {0x2C75, 0x2C75, 1, 1, Both},
    {0x2C80, 0x2CE2, 1, 2, Both},
    {0x2CEB, 0x2CED, 1, 2, Both},
    {0x2CF2, 0x2CF2, 1, 1, Both},
    // Latin Extended-D
    {0xA722, 0xA72E, 1, 2, Both},
    {0xA732, 0xA76E, 1, 2, Both},
    {0xA779, 0xA77B, 1, 2, Both},
    {0xA77E, 0xA786, 1, 2, Both},
    {0xA78B, 0xA78B, 1, 1, Both},
    {0xA790, 0xA792, 1, 2, Both},
    {0xA796, 0xA7A8, 1, 2, Both},
    {0xA7B3, 0xA7B3, 0xAB53 - 0xA7B3, 1, Both},
    {0xA7B4, 0xA7C2, 1, 2, Both},
    {0xA7C4, 0xA7C4, 0xA794 - 0xA7C4, 1, Both},
    {0xA7C7, 0xA7C9, 1, 2, Both},
    {0xA7D0, 0xA7D0, 1, 1, Both},
    {0xA7D6, 0xA7D8, 1, 2, Both},
    {0xA7F5, 0xA7F5, 1, 1, Both},
    // Fullwidth forms
    {0xFF21, 0xFF3A, 32, 1, Both},
};

// One side of the table as sorted, non-overlapping intervals.
struct Span {
    char16_t first, last;
    int32_t delta; // added to map from this side to the other
    uint8_t stride;
};

template <bool kLowerSide> constexpr auto BuildIndex() {
    constexpr uint8_t want = kLowerSide ? UpperOnly : LowerOnly;
    constexpr size_t count = [] {
        size_t n = 0;
        for (const CaseRange& r : kRanges)
            n += (r.dir & want) != 0;
        return n;
    }();
    std::array<Span, count> spans{};
    size_t i = 0;
    for (const CaseRange& r : kRanges) {
        if (!(r.dir & want)) continue;
        if (kLowerSide)
            spans[i++] = {char16_t(r.first + r.delta), char16_t(r.last + r.delta), -r.delta, r.stride};
        else
            spans[i++] = {r.first, r.last, r.delta, r.stride};
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
    return spans;
}

constexpr auto kByUpper = BuildIndex<false>(); // serves towlower
constexpr auto kByLower = BuildIndex<true>();  // serves towupper

template <size_t N> constexpr bool Disjoint(const std::array<Span, N>& spans) {
    for (size_t i = 0; i < N; ++i) {
        if (spans[i].first > spans[i].last || (i > 0 && spans[i - 1].last >= spans[i].first)) return false;
    }
    return true;
}
static_assert(Disjoint(kByUpper), "a unit has two lower-case forms");
static_assert(Disjoint(kByLower), "a unit has two upper-case forms");

template <size_t N> WCHAR Map(const std::array<Span, N>& spans, WCHAR c) {
    auto it = std::upper_bound(spans.begin(), spans.end(), c, [](WCHAR v, const Span& s) { return v < s.first; });
    if (it == spans.begin()) return c;
    const Span& s = *--it;
    if (c > s.last || (c - s.first) % s.stride != 0) return c;
    return WCHAR(c + s.delta);
}

} // namespace

WCHAR towlower(WCHAR c) {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? WCHAR(c + 32) : c;
    return Map(kByUpper, c);
}

WCHAR towupper(WCHAR c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? WCHAR(c - 32) : c;
    return Map(kByLower, c);
}
