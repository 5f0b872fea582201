// Feeds arbitrary UTF-16 text to the URI parser and the path helpers, checking that every piece the
// parser hands out lies inside its own copy and that the copy before the fragment is a prefix of the
// input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    static int runs = 0;
    if (runs++ % 4096 == 0) {
        // Start over now and then, ids included, so no run sees a table another one used up.
        oxAtoms::Reset();
        oxAtoms::RegisterPredefined();
    }
    std::vector<WCHAR> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, (size / 2) * sizeof(WCHAR));
    const WCHAR* input = text.data();
    size_t length = wcslen(input);

    oxUri uri(input);
    const WCHAR* without = uri.GetWithoutFragment();
    size_t withoutLength = wcslen(without);
    Check(withoutLength <= length && std::memcmp(without, input, withoutLength * sizeof(WCHAR)) == 0);
    for (const WCHAR* piece : {uri.GetAuthority(), uri.GetPath(), uri.GetFragment()}) {
        if (piece) Check(wcslen(piece) <= length);
    }
    if (const WCHAR* fragment = uri.GetFragment()) {
        Check(input[withoutLength] == u'#');
        Check(wcscmp(fragment, input + withoutLength + 1) == 0);
    } else {
        Check(withoutLength == length);
    }

    // Parsing again over the same object replaces its copies.
    Check(uri.Parse(input + length / 2));

    oxUri::SchemeAtom(input);
    oxUri::HasScheme(input);
    NUBO::TWString directory = oxUri::GetDirectory(input);
    Check(size_t(directory.GetLength()) <= length);
    const WCHAR* half = input + length / 2;
    NUBO::TWString joined = oxUri::JoinPath(half, input);
    NUBO::TWString base(half);
    oxUri::Combine(base, joined);
    return 0;
}
