#pragma once
// TWString: the runtime's counted string of UTF-16 units. It owns a malloc'd block of exactly
// length + 1 units (no spare capacity); a default string holds no block at all, and readers treat
// that null string and an empty one alike. Copies are deep.
#include <cstdarg>

#include "platform/types.h"

namespace NUBO {

class TWString {
public:
    TWString() = default;
    TWString(const TWString& other);
    TWString(TWString&& other) noexcept : buffer_(other.buffer_), length_(other.length_) {
        other.buffer_ = nullptr;
        other.length_ = 0;
    }
    TWString(const WCHAR* text); // null gives a null string
    TWString(const WCHAR* text, int length);
    TWString(WCHAR unit, int count);                  // null for a unit of 0 or a negative count
    TWString(const char* text, const WCHAR* charset); // decodes zero-terminated 8-bit text
    ~TWString();

    void InitEmpty();
    void Destroy();

    // 1 done, 0 out of memory (the string is then null) or a negative length (unchanged).
    int Assign(const WCHAR* text, int length);
    TWString& operator=(const TWString& other);
    TWString& operator=(TWString&& other) noexcept;
    TWString& operator=(const WCHAR* text);
    TWString& operator=(WCHAR unit); // 0 leaves the string unchanged

    // 1 done (also for nothing to append), 0 for a negative length or no memory (the text is kept).
    int Append(const WCHAR* text, int length);
    int operator+=(const TWString& other);
    int operator+=(const WCHAR* text);
    int operator+=(WCHAR unit); // 0 appends nothing
    int AppendNarrow(const char* text, const WCHAR* charset);

    // Takes a malloc'd block; its length is found with wcslen.
    void Attach(WCHAR* text);
    [[nodiscard]] WCHAR* Detach();

    // A new block of n + 1 units, keeping the first units when asked. 1 done, 0 failed (null).
    int Resize(int n, bool keep);
    void Empty() { Resize(0, false); }

    int GetLength() const { return length_; }
    bool IsEmpty() const { return !buffer_ || !buffer_[0]; }
    WCHAR GetAt(int index) const { return index >= 0 && index < length_ ? buffer_[index] : WCHAR(0); }
    const WCHAR* GetString() const { return buffer_ ? buffer_ : u""; }
    WCHAR* GetBuffer() { return buffer_; } // null for a null string

    int Compare(const WCHAR* text) const; // case-insensitive
    int Find(WCHAR unit, int start) const;
    int FindString(const WCHAR* pattern, int start) const;
    int FindOneOf(const WCHAR* set) const;

    TWString Mid(int start, int count) const;
    TWString MidToEnd(int start) const { return Mid(start, length_ - start); }
    TWString Left(int count) const { return Mid(0, count); }

    void MakeLower();
    int Replace(WCHAR from, WCHAR to);
    int ReplaceAll(const WCHAR* pattern, const WCHAR* replacement);
    int Insert(int index, WCHAR unit);
    int Delete(int index, int count);
    void TrimRight(WCHAR unit);
    void TrimLeft(WCHAR unit);
    void TrimLeft(); // white space
    void StripSpacesAndLower();

    // Replace the contents with formatted text; return the new length.
    int Format(const WCHAR* format, ...);
    int FormatV(const WCHAR* format, va_list args);

private:
    void Adopt(WCHAR* block, int length);
    void Keep(int start, int count); // shrinks to the given slice

    WCHAR* buffer_ = nullptr;
    int length_ = 0;
};

bool WStrIsEmpty(const WCHAR* text);
// Case-insensitive; both null 0, only b null the length of a, only a null minus the length of b.
int WStrCompareNoCase(const WCHAR* a, const WCHAR* b);
// A malloc'd block of n + 1 units with n units of source (when given), terminated; null for a
// negative n or no memory.
WCHAR* AllocWideCopy(const WCHAR* source, int n);
// out becomes text with &, <, > and the double quote written as entities.
void XmlEscape(const WCHAR* text, TWString& out);

} // namespace NUBO
