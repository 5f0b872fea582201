#include "toolkit/base/uri.h"

#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"
#include "runtime/file_stream.h"
#include "runtime/wide_string.h"

namespace {

constexpr size_t kMaxSchemeUnits = 15;
constexpr size_t kSchemeWindow = 10; // a scheme's ':' stands at one of the first positions

bool IsAsciiLetter(WCHAR c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Schemes outside the vocabulary get atom 0 rather than a new atom: every URI a document names
// would otherwise take an id for good.
oxAtom FindScheme(const WCHAR* text, size_t length) {
    WCHAR name[kMaxSchemeUnits + 1];
    if (length > kMaxSchemeUnits) length = kMaxSchemeUnits;
    std::memcpy(name, text, length * sizeof(WCHAR));
    name[length] = 0;
    return oxAtoms::Find(name);
}

// A copy of `length` units into the inline buffer, or into a new heap block when it is too small.
// Null when that block cannot be had.
WCHAR* CopyInto(WCHAR* inlineBuffer, WCHAR** heap, const WCHAR* text, size_t length) {
    WCHAR* to = inlineBuffer;
    if (length >= oxUri::kInlineUnits) {
        to = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
        if (!to) return nullptr;
        *heap = to;
    }
    if (length) std::memcpy(to, text, length * sizeof(WCHAR));
    to[length] = 0;
    return to;
}

} // namespace

oxUri::oxUri(const WCHAR* text) {
    if (text && *text) Parse(text);
}

oxUri::~oxUri() {
    Reset();
}

void oxUri::Reset() {
    std::free(heapText_);
    std::free(heapWithout_);
    heapText_ = heapWithout_ = nullptr;
    inlineText_[0] = inlineWithout_[0] = 0;
    text_ = inlineText_;
    withoutFragment_ = inlineWithout_;
    scheme_ = 0;
    authority_ = path_ = fragment_ = rest_ = nullptr;
}

bool oxUri::Parse(const WCHAR* input) {
    Reset();
    if (!input) return true;
    size_t n = wcslen(input);
    text_ = CopyInto(inlineText_, &heapText_, input, n);
    if (!text_) {
        text_ = inlineText_;
        return false;
    }
    WCHAR* t = text_;

    // In a drive path a '#' may be part of a folder name: only one in the file name marks a fragment.
    size_t fragmentFrom = 0;
    if (n >= 3 && IsAsciiLetter(t[0]) && t[1] == u':' && (t[2] == u'/' || t[2] == u'\\')) {
        const WCHAR* lastBackslash = wcsrchr(t, u'\\');
        if (lastBackslash) fragmentFrom = size_t(lastBackslash - t) + 1;
    }

    size_t start = 0, end = n;
    bool hasScheme = false, skippedSlashes = false;
    for (size_t i = 0; i < n; ++i) {
        WCHAR c = t[i];
        if (!hasScheme && c == u':' && t[i + 1] == u'/') {
            // An empty name is no scheme; any other is one, atom or not.
            hasScheme = i > start;
            scheme_ = FindScheme(t + start, i - start);
            start = i + 1;
        } else if (hasScheme && !skippedSlashes && c == u'/' && t[i + 1] == u'/') {
            // Only the "//" that opens the authority; later ones belong to the path.
            skippedSlashes = true;
            start = i + 2;
            ++i;
        } else if (c == u'#' && i >= fragmentFrom) {
            if (start < i) rest_ = t + start;
            t[i] = 0;
            fragment_ = t + i + 1;
            end = i;
            break;
        }
    }

    // The input before its fragment, so that callers can compare it with scene URIs.
    withoutFragment_ = CopyInto(inlineWithout_, &heapWithout_, input, end);
    if (!withoutFragment_) {
        Reset();
        return false;
    }

    if (!rest_) {
        if (start >= end) return true;
        rest_ = t + start;
    }
    authority_ = rest_;
    if (WCHAR* slash = wcschr(rest_, u'/')) {
        *slash = 0;
        path_ = slash + 1;
    }
    if (scheme_ == kAtomEe && path_) {
        // ee://provider/protocol/name: the path starts at the name.
        if (WCHAR* slash = wcschr(path_, u'/')) path_ = slash + 1;
    }
    return true;
}

oxAtom oxUri::SchemeAtom(const WCHAR* text) {
    if (!text) return 0;
    for (size_t i = 0; i < kSchemeWindow && text[i]; ++i) {
        if (text[i] == u':' && text[i + 1] == u'/') return FindScheme(text, i);
    }
    return 0;
}

bool oxUri::HasScheme(const WCHAR* text) {
    if (!text) return false;
    for (size_t i = 0; i < kSchemeWindow && text[i]; ++i) {
        if (text[i] == u':' && (text[i + 1] == u'/' || text[i + 1] == u'\\')) return true;
    }
    return false;
}

NUBO::TWString oxUri::GetDirectory(const WCHAR* text) {
    NUBO::TWString out;
    if (!text) return out;
    const WCHAR* slash = wcsrchr(text, u'/');
    const WCHAR* backslash = wcsrchr(text, u'\\');
    const WCHAR* last = !slash || (backslash && backslash > slash) ? backslash : slash;
    if (last) out.Assign(text, int(last - text));
    return out;
}

NUBO::TWString oxUri::JoinPath(const WCHAR* base, const WCHAR* relative) {
    NUBO::TWString out(base);
    if (!out.IsEmpty() && out.GetAt(out.GetLength() - 1) != u'/') out += u'/';
    out += relative;
    return out;
}

void oxUri::Combine(NUBO::TWString& base, const NUBO::TWString& relative) {
    base = NUBO::CombinePath(base.GetString(), relative.GetString());
}
