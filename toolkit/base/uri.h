#pragma once
// A URI or file path as scenes, libraries, resources and data sources name them, split into scheme,
// authority, path and fragment. The scheme is an atom so callers switch on it: `box` names files
// under the resources folder with the authority as the package, `ee` built-in data-source
// protocols, `file` plain files. Parsing works on a private copy cut in place; inputs of up to 259
// units stay in inline buffers, longer ones move to the heap.
#include <cstddef>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

namespace NUBO {
class TWString;
}

class oxUri {
public:
    static constexpr size_t kInlineUnits = 260;

    oxUri() = default;
    explicit oxUri(const WCHAR* text);
    oxUri(const oxUri&) = delete;
    oxUri& operator=(const oxUri&) = delete;
    virtual ~oxUri();

    // Replaces what the URI held. False when memory for a long input ran out (the URI is then empty).
    bool Parse(const WCHAR* text);

    oxAtom GetScheme() const { return scheme_; }
    // Null when absent.
    const WCHAR* GetAuthority() const { return authority_; }
    const WCHAR* GetPath() const { return path_; }
    const WCHAR* GetFragment() const { return fragment_; }
    // The input up to its fragment marker; "" before anything was parsed.
    const WCHAR* GetWithoutFragment() const { return withoutFragment_; }

    // The atom of the text before a ":/" standing at one of the first 10 positions; else 0.
    static oxAtom SchemeAtom(const WCHAR* text);
    // A ':' followed by '/' or '\' at one of the first 10 positions.
    static bool HasScheme(const WCHAR* text);
    // The part before the last '/' or '\'; empty when there is none.
    static NUBO::TWString GetDirectory(const WCHAR* text);
    // base + '/' (unless the base is empty or ends in '/') + relative.
    static NUBO::TWString JoinPath(const WCHAR* base, const WCHAR* relative);
    // base becomes base joined to relative with the file-system separator '\'.
    static void Combine(NUBO::TWString& base, const NUBO::TWString& relative);

private:
    void Reset();

    WCHAR inlineText_[kInlineUnits] = {};
    WCHAR* heapText_ = nullptr;
    WCHAR* text_ = inlineText_;
    WCHAR inlineWithout_[kInlineUnits] = {};
    WCHAR* heapWithout_ = nullptr;
    WCHAR* withoutFragment_ = inlineWithout_;
    oxAtom scheme_ = 0;
    WCHAR* authority_ = nullptr;
    WCHAR* path_ = nullptr;
    WCHAR* fragment_ = nullptr;
    WCHAR* rest_ = nullptr;
};
