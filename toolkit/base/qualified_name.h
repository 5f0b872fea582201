#pragma once
// A name of the form prefix:name as written in markup (element and attribute names, command and key
// names): the prefix and the local part as atoms, plus the local part's text.
#include "platform/types.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/shared_string.h"

namespace NUBO {
class TWString;
}

class oxQualifiedName {
public:
    oxQualifiedName() = default;
    oxQualifiedName(const oxQualifiedName& other) = default;
    explicit oxQualifiedName(const WCHAR* text) { Parse(text); }
    oxQualifiedName& operator=(const oxQualifiedName& other) = default;
    ~oxQualifiedName() = default;

    // Splits at the first ':' when something follows it and the part before it is letters and
    // digits only; otherwise the whole text is the local part and the prefix stays as it was.
    // Null text clears the name.
    void Parse(const WCHAR* text);
    void Set(const WCHAR* text) { Parse(text); }
    // prefix:local, or the local part alone without a prefix.
    void ToString(NUBO::TWString& out) const;

    oxAtom GetPrefix() const { return prefix_; }
    oxAtom GetName() const { return name_; }
    const WCHAR* GetText() const { return text_.GetString(); }

private:
    oxAtom prefix_ = 0;
    oxAtom name_ = 0;
    oxSharedString text_;
};
