#include "runtime/bstr_string.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <new>
#include <utility>

#include "platform/crt/wide.h"
#include "runtime/allocator.h"
#include "runtime/charset.h"
#include "runtime/format.h"

namespace NUBO {

namespace {

const WCHAR kEmptyText[] = u"";
const char kEmptyNarrow[] = "";

} // namespace

TBstr::TBstr(const TBstr& other) {
    AssignText(other.text_, other.GetLength());
}

TBstr::TBstr(const WCHAR* text) {
    if (text) AssignText(text, static_cast<int>(wcslen(text)));
}

TBstr::TBstr(const char* text, const WCHAR* charset) {
    DecodeNarrow(text, -1, charset, false);
}

TBstr::~TBstr() {
    Empty();
}

TBstr& TBstr::operator=(const TBstr& other) {
    if (this != &other) AssignText(other.text_, other.GetLength());
    return *this;
}

TBstr& TBstr::operator=(TBstr&& other) noexcept {
    if (this != &other) {
        Empty();
        std::swap(text_, other.text_);
        std::swap(narrow_, other.narrow_);
    }
    return *this;
}

TBstr& TBstr::operator=(const WCHAR* text) {
    AssignText(text, text ? static_cast<int>(wcslen(text)) : 0);
    return *this;
}

int TBstr::operator+=(const TBstr& other) {
    return AppendText(other.text_, other.GetLength());
}

int TBstr::operator+=(const WCHAR* text) {
    return AppendText(text, text ? static_cast<int>(wcslen(text)) : 0);
}

int TBstr::operator+=(WCHAR unit) {
    return unit ? AppendText(&unit, 1) : 1;
}

int TBstr::AssignNarrow(const char* text, const WCHAR* charset) {
    return DecodeNarrow(text, -1, charset, false);
}

int TBstr::AppendNarrow(const char* text, const WCHAR* charset) {
    return DecodeNarrow(text, -1, charset, true);
}

int TBstr::AppendNarrowN(const char* text, int count, const WCHAR* charset) {
    return DecodeNarrow(text, count, charset, true);
}

void TBstr::Attach(BSTR text) {
    DropNarrow();
    if (text != text_) SysFreeString(text_);
    text_ = text;
}

BSTR TBstr::Detach() {
    DropNarrow();
    BSTR text = text_;
    text_ = nullptr;
    return text;
}

void TBstr::Empty() {
    DropNarrow();
    SysFreeString(text_);
    text_ = nullptr;
}

const WCHAR* TBstr::GetString() const {
    return text_ ? text_ : kEmptyText;
}

int TBstr::Compare(const WCHAR* text) const {
    if (!text_ || !text) {
        if (!text_ && !text) return 0;
        return text_ ? GetLength() : -static_cast<int>(wcslen(text));
    }
    return wcscmp(text_, text);
}

int TBstr::Find(WCHAR unit, int start) const {
    const int length = GetLength();
    if (start < 0 || start >= length) return -1;
    for (int i = start; i < length; ++i)
        if (text_[i] == unit) return i;
    return -1;
}

int TBstr::ReverseFind(WCHAR unit) const {
    for (int i = GetLength() - 1; i >= 0; --i)
        if (text_[i] == unit) return i;
    return -1;
}

long TBstr::ToLong(int radix) const {
    return text_ ? wcstol(text_, nullptr, radix) : 0;
}

TBstr TBstr::Mid(int start, int count) const {
    const int length = GetLength();
    start = std::clamp(start, 0, length);
    count = std::clamp(count, 0, length - start);
    TBstr slice;
    slice.AssignText(GetString() + start, count);
    return slice;
}

TBstr TBstr::MidToEnd(int start) const {
    return Mid(start, GetLength() - start);
}

TBstr TBstr::Left(int count) const {
    return Mid(0, count);
}

int TBstr::Replace(WCHAR from, WCHAR to) {
    DropNarrow();
    int replaced = 0;
    const int length = GetLength();
    for (int i = 0; i < length; ++i) {
        if (text_[i] == from) {
            text_[i] = to;
            ++replaced;
        }
    }
    return replaced;
}

void TBstr::TrimRight() {
    DropNarrow();
    int length = GetLength();
    while (length > 0 && iswspace(text_[length - 1]))
        --length;
    Resize(length, true);
}

int TBstr::Format(const WCHAR* format, ...) {
    DropNarrow();
    if (!format) {
        Empty();
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int estimate = EstimateFormatLength(format, args);
    int length = 0;
    // Formatted straight into the BSTR; unlike TWString, text that does not fit the estimate is
    // not kept: the string becomes empty.
    if (Resize(estimate, false) && estimate > 0) {
        length = _vsnwprintf(text_, size_t(estimate) + 1, format, args);
        if (length < 0) length = 0;
        Resize(length, true);
    }
    va_end(args);
    return GetLength();
}

const char* TBstr::GetNarrow(const WCHAR* charset) const {
    if (!text_) return kEmptyNarrow;
    const int length = GetLength();
    if (length > (INT_MAX - 1) / 3) return kEmptyNarrow;
    const int size = 3 * length + 1;
    if (!narrow_) {
        narrow_ = new (std::nothrow) char[size];
        if (!narrow_) return kEmptyNarrow;
    }
    const int written = EncodeCharset(charset, text_, length + 1, narrow_, size);
    if (written <= 0 || written > size) return kEmptyNarrow; // the terminator always counts
    return narrow_;
}

int TBstr::Resize(int length, bool keep) {
    const int old = GetLength();
    if (length == old) return 1;
    BSTR fresh = nullptr;
    if (length >= 1) {
        fresh = SysAllocStringLen(nullptr, static_cast<UINT>(length));
        if (fresh && keep && old > 0) std::copy_n(text_, std::min(length, old), fresh);
    }
    SysFreeString(text_);
    text_ = fresh;
    return length < 1 || fresh ? 1 : 0;
}

int TBstr::AssignText(const WCHAR* text, int length) {
    DropNarrow();
    if (text && length < 0) return 0;
    if (!text || length == 0) {
        Empty();
        return 1;
    }
    // Copy before freeing: the text may be a part of this string.
    BSTR fresh = SysAllocStringLen(text, static_cast<UINT>(length));
    SysFreeString(text_);
    text_ = fresh;
    return fresh ? 1 : 0;
}

int TBstr::AppendText(const WCHAR* text, int length) {
    if (!text || length == 0) return 1;
    if (length < 0) return 0;
    DropNarrow();
    const int old = GetLength();
    if (length > INT32_MAX / 2 - old) return 0;
    BSTR fresh = SysAllocStringLen(nullptr, static_cast<UINT>(old + length));
    if (!fresh) return 0;
    std::copy_n(GetString(), old, fresh);
    std::copy_n(text, length, fresh + old);
    SysFreeString(text_);
    text_ = fresh;
    return 1;
}

int TBstr::DecodeNarrow(const char* text, int count, const WCHAR* charset, bool append) {
    TWideConvBuffer units(MemRealloc, MemFree); // long texts take the runtime's heap
    const int length = text ? units.Decode(text, count, charset) : 0;
    return append ? AppendText(units.GetString(), length) : AssignText(units.GetString(), length);
}

void TBstr::DropNarrow() const {
    delete[] narrow_;
    narrow_ = nullptr;
}

int WStrLCopy(WCHAR* dst, const WCHAR* src, int size) {
    const int length = src ? static_cast<int>(wcslen(src)) : 0;
    if (dst && size > 0) {
        const int n = std::min(length, size - 1);
        std::copy_n(src ? src : kEmptyText, n, dst);
        dst[n] = 0;
    }
    return length;
}

int WStrByteLength(const WCHAR* text, int count) {
    if (!text) return 0;
    const size_t units = count < 0 ? wcslen(text) : wcsnlen(text, static_cast<size_t>(count));
    return static_cast<int>(units * sizeof(WCHAR));
}

BSTR AllocBstrCopy(const WCHAR* text) {
    return SysAllocString(text ? text : kEmptyText);
}

} // namespace NUBO
