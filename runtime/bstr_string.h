#pragma once
// TBstr: a string over an automation BSTR, for text that is handed to COM, with a cached 8-bit copy
// in a named charset. An empty string holds no BSTR at all; every change drops the cached copy.
#include "platform/com/bstr.h"
#include "platform/types.h"

namespace NUBO {

class TBstr {
public:
    TBstr() = default;
    TBstr(const TBstr& other);
    TBstr(TBstr&& other) noexcept : text_(other.text_), narrow_(other.narrow_) {
        other.text_ = nullptr;
        other.narrow_ = nullptr;
    }
    TBstr(const WCHAR* text);
    TBstr(const char* text, const WCHAR* charset);
    ~TBstr();

    TBstr& operator=(const TBstr& other);
    TBstr& operator=(TBstr&& other) noexcept;
    TBstr& operator=(const WCHAR* text);
    // Append results: 1 done (also for nothing to append), 0 out of memory.
    int operator+=(const TBstr& other);
    int operator+=(const WCHAR* text);
    int operator+=(WCHAR unit); // 0 appends nothing

    // 8-bit text in a named charset; an unknown charset assigns or appends nothing.
    int AssignNarrow(const char* text, const WCHAR* charset);
    int AppendNarrow(const char* text, const WCHAR* charset);
    int AppendNarrowN(const char* text, int count, const WCHAR* charset); // count -1: up to the zero byte

    void Attach(BSTR text);
    [[nodiscard]] BSTR Detach();
    void Empty();

    int GetLength() const { return static_cast<int>(SysStringLen(text_)); }
    const WCHAR* GetString() const; // "" for a null string
    // Case-sensitive; a null string and a null text compare by length.
    int Compare(const WCHAR* text) const;
    int Find(WCHAR unit, int start) const;
    int ReverseFind(WCHAR unit) const;
    long ToLong(int radix) const;

    TBstr Mid(int start, int count) const;
    TBstr MidToEnd(int start) const;
    TBstr Left(int count) const;

    int Replace(WCHAR from, WCHAR to);
    void TrimRight();
    int Format(const WCHAR* format, ...);

    // Valid until the next change of the string; "" when the text cannot be encoded.
    const char* GetNarrow(const WCHAR* charset) const;

private:
    int Resize(int length, bool keep);
    int AssignText(const WCHAR* text, int length);
    int AppendText(const WCHAR* text, int length);
    int DecodeNarrow(const char* text, int count, const WCHAR* charset, bool append);
    void DropNarrow() const;

    BSTR text_ = nullptr;
    mutable char* narrow_ = nullptr;
};

// Copies at most size - 1 units and terminates; returns the source length, so a result not below
// size means the copy was cut.
int WStrLCopy(WCHAR* dst, const WCHAR* src, int size);
// Bytes of at most count units of text (count -1: up to the terminator).
int WStrByteLength(const WCHAR* text, int count);
// A new BSTR copy of the text; an empty BSTR for null.
BSTR AllocBstrCopy(const WCHAR* text);

} // namespace NUBO
