#pragma once
// Script arguments as native values: text views that borrow a string argument instead of copying
// it, and the native object behind an object argument.
#include <cstdint>

#include "platform/com/variant.h"
#include "runtime/bstr_string.h"
#include "runtime/wide_string.h"

namespace NUBO {

class XObject;

// A string argument is borrowed as it stands; any other value is converted to its text (a value
// that has none reads as empty). The view must not outlive the argument.
class XArgString {
public:
    explicit XArgString(const VARIANT* arg);
    ~XArgString();
    XArgString(const XArgString&) = delete;
    XArgString& operator=(const XArgString&) = delete;

    const TWString& Get() const { return text; }
    const WCHAR* GetString() const { return text.GetString(); }
    int GetLength() const { return text.GetLength(); }
    operator const WCHAR*() const { return text.GetString(); }

private:
    TWString text;
    bool borrowed = false;
};

class XArgBstr {
public:
    explicit XArgBstr(const VARIANT* arg);
    ~XArgBstr();
    XArgBstr(const XArgBstr&) = delete;
    XArgBstr& operator=(const XArgBstr&) = delete;

    const TBstr& Get() const { return text; }
    const WCHAR* GetString() const { return text.GetString(); }
    int GetLength() const { return text.GetLength(); }

private:
    TBstr text;
    bool borrowed = false;
};

// The native object of a VT_DISPATCH or VT_UNKNOWN argument with a counted reference, else null.
// Returns 0, or the failure of the conversion (the out pointer is then null).
int32_t VariantToXObject(XObject** out, const VARIANT* arg);

} // namespace NUBO
