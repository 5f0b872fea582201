#include "runtime/wide_string.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"
#include "runtime/charset.h"
#include "runtime/format.h"

namespace NUBO {

namespace {

WCHAR* AllocUnits(int n) {
    return static_cast<WCHAR*>(malloc((size_t(n) + 1) * sizeof(WCHAR)));
}

void CopyUnits(WCHAR* dst, const WCHAR* src, int n) {
    if (n > 0) memcpy(dst, src, size_t(n) * sizeof(WCHAR));
}

} // namespace

TWString::TWString(const TWString& other) {
    if (other.buffer_) Assign(other.buffer_, other.length_);
}

TWString::TWString(const WCHAR* text) {
    if (text) Assign(text, int(wcslen(text)));
}

TWString::TWString(const WCHAR* text, int length) {
    Assign(text, length);
}

TWString::TWString(WCHAR unit, int count) {
    if (!unit || count < 0 || !Resize(count, false)) return;
    for (int i = 0; i < count; ++i)
        buffer_[i] = unit;
}

TWString::TWString(const char* text, const WCHAR* charset) {
    TWideConvBuffer units;
    int n = units.Decode(text, -1, charset);
    Assign(units.GetString(), n);
}

TWString::~TWString() {
    Destroy();
}

void TWString::InitEmpty() {
    buffer_ = nullptr;
    length_ = 0;
}

void TWString::Destroy() {
    free(buffer_);
    buffer_ = nullptr;
    length_ = 0;
}

void TWString::Adopt(WCHAR* block, int length) {
    free(buffer_);
    buffer_ = block;
    length_ = length;
}

int TWString::Resize(int n, bool keep) {
    if (buffer_ && n == length_) return 1;
    WCHAR* block = n >= 0 ? AllocUnits(n) : nullptr;
    if (block) {
        block[n] = 0;
        if (keep && length_ > 0) CopyUnits(block, buffer_, n < length_ ? n : length_);
    }
    Adopt(block, block ? n : 0);
    return block ? 1 : 0;
}

// The new block is filled before the old one is freed, so text from this string's own buffer
// may be assigned.
int TWString::Assign(const WCHAR* text, int length) {
    if (!text || length == 0) {
        Empty();
        return buffer_ ? 1 : 0;
    }
    if (length < 0) return 0;
    WCHAR* block = AllocUnits(length);
    if (block) {
        CopyUnits(block, text, length);
        block[length] = 0;
    }
    Adopt(block, block ? length : 0);
    return block ? 1 : 0;
}

TWString& TWString::operator=(const TWString& other) {
    if (this != &other) Assign(other.buffer_, other.length_);
    return *this;
}

TWString& TWString::operator=(TWString&& other) noexcept {
    if (!other.buffer_) {
        Empty(); // a null source assigns the empty text, as a copy does
    } else if (this != &other) {
        Adopt(other.buffer_, other.length_);
        other.buffer_ = nullptr;
        other.length_ = 0;
    }
    return *this;
}

TWString& TWString::operator=(const WCHAR* text) {
    Assign(text, text ? int(wcslen(text)) : 0);
    return *this;
}

TWString& TWString::operator=(WCHAR unit) {
    if (unit) Assign(&unit, 1);
    return *this;
}

// A failed append keeps the text it had: nothing already stored is lost for want of memory.
int TWString::Append(const WCHAR* text, int length) {
    if (!text || length == 0) return 1;
    if (length < 0 || length > INT_MAX - 1 - length_) return 0;
    WCHAR* block = AllocUnits(length_ + length);
    if (!block) return 0;
    CopyUnits(block, buffer_, length_);
    CopyUnits(block + length_, text, length);
    block[length_ + length] = 0;
    Adopt(block, length_ + length);
    return 1;
}

int TWString::operator+=(const TWString& other) {
    return Append(other.buffer_, other.length_);
}

int TWString::operator+=(const WCHAR* text) {
    return Append(text, text ? int(wcslen(text)) : 0);
}

int TWString::operator+=(WCHAR unit) {
    return unit ? Append(&unit, 1) : 1;
}

int TWString::AppendNarrow(const char* text, const WCHAR* charset) {
    TWideConvBuffer units;
    int n = units.Decode(text, -1, charset);
    return Append(units.GetString(), n);
}

void TWString::Attach(WCHAR* text) {
    Adopt(text, text ? int(wcslen(text)) : 0);
}

WCHAR* TWString::Detach() {
    WCHAR* text = buffer_;
    buffer_ = nullptr;
    length_ = 0;
    return text;
}

int TWString::Compare(const WCHAR* text) const {
    return WStrCompareNoCase(buffer_, text);
}

int TWString::Find(WCHAR unit, int start) const {
    if (start < 0 || start >= length_) return -1;
    for (int i = start; i < length_; ++i) {
        if (buffer_[i] == unit) return i;
    }
    return -1;
}

int TWString::FindString(const WCHAR* pattern, int start) const {
    if (!pattern || start < 0 || start >= length_) return -1;
    const WCHAR* found = wcsstr(buffer_ + start, pattern);
    return found ? int(found - buffer_) : -1;
}

int TWString::FindOneOf(const WCHAR* set) const {
    if (!buffer_ || !set) return -1;
    for (int i = 0; i < length_; ++i) {
        if (buffer_[i] && wcschr(set, buffer_[i])) return i;
    }
    return -1;
}

TWString TWString::Mid(int start, int count) const {
    start = start < 0 ? 0 : start > length_ ? length_ : start;
    int rest = length_ - start;
    count = count < 0 ? 0 : count > rest ? rest : count;
    return TWString(buffer_ ? buffer_ + start : nullptr, count);
}

void TWString::Keep(int start, int count) {
    if (start == 0 && count == length_) return;
    if (!count) {
        Empty();
        return;
    }
    WCHAR* block = AllocUnits(count);
    if (!block) { // shrink in place rather than lose the text
        memmove(buffer_, buffer_ + start, size_t(count) * sizeof(WCHAR));
        buffer_[count] = 0;
        length_ = count;
        return;
    }
    CopyUnits(block, buffer_ + start, count);
    block[count] = 0;
    Adopt(block, count);
}

void TWString::MakeLower() {
    for (int i = 0; i < length_; ++i)
        buffer_[i] = towlower(buffer_[i]);
}

int TWString::Replace(WCHAR from, WCHAR to) {
    int count = 0;
    for (int i = 0; i < length_; ++i) {
        if (buffer_[i] == from) {
            buffer_[i] = to;
            ++count;
        }
    }
    return count;
}

int TWString::ReplaceAll(const WCHAR* pattern, const WCHAR* replacement) {
    if (!pattern || !*pattern) return 0;
    int plen = int(wcslen(pattern));
    if (plen > length_) return 0;
    auto matchAt = [&](int i) { return memcmp(buffer_ + i, pattern, size_t(plen) * sizeof(WCHAR)) == 0; };
    int count = 0;
    for (int i = 0; i + plen <= length_;) {
        if (matchAt(i)) {
            ++count;
            i += plen;
        } else {
            ++i;
        }
    }
    if (!count) return 0;
    int rlen = replacement ? int(wcslen(replacement)) : 0;
    long long size = (long long)length_ + (long long)count * (rlen - plen);
    WCHAR* block = size < INT_MAX ? AllocUnits(int(size)) : nullptr;
    if (!block) return 0;
    WCHAR* o = block;
    int i = 0;
    while (i + plen <= length_) {
        if (matchAt(i)) {
            CopyUnits(o, replacement, rlen);
            o += rlen;
            i += plen;
        } else {
            *o++ = buffer_[i++];
        }
    }
    CopyUnits(o, buffer_ + i, length_ - i);
    block[size] = 0;
    Adopt(block, int(size));
    return count;
}

int TWString::Insert(int index, WCHAR unit) {
    if (index < 0 || !unit || length_ == INT_MAX - 1) return length_;
    if (index > length_) index = length_;
    WCHAR* block = AllocUnits(length_ + 1);
    if (!block) return length_;
    CopyUnits(block, buffer_, index);
    block[index] = unit;
    CopyUnits(block + index + 1, buffer_ + index, length_ - index);
    block[length_ + 1] = 0;
    Adopt(block, length_ + 1);
    return length_;
}

int TWString::Delete(int index, int count) {
    if (index < 0 || index >= length_ || count <= 0) return length_;
    if (count > length_ - index) count = length_ - index;
    int newLength = length_ - count;
    WCHAR* block = AllocUnits(newLength);
    if (!block) {
        memmove(buffer_ + index, buffer_ + index + count, size_t(length_ - index - count) * sizeof(WCHAR));
        buffer_[newLength] = 0;
        length_ = newLength;
        return length_;
    }
    CopyUnits(block, buffer_, index);
    CopyUnits(block + index, buffer_ + index + count, length_ - index - count);
    block[newLength] = 0;
    Adopt(block, newLength);
    return length_;
}

void TWString::TrimRight(WCHAR unit) {
    if (!unit) return;
    int n = length_;
    while (n > 0 && buffer_[n - 1] == unit)
        --n;
    Keep(0, n);
}

void TWString::TrimLeft(WCHAR unit) {
    if (!unit) return;
    int i = 0;
    while (i < length_ && buffer_[i] == unit)
        ++i;
    Keep(i, length_ - i);
}

void TWString::TrimLeft() {
    int i = 0;
    while (i < length_ && iswspace(buffer_[i]))
        ++i;
    Keep(i, length_ - i);
}

void TWString::StripSpacesAndLower() {
    int o = 0;
    for (int i = 0; i < length_; ++i) {
        WCHAR c = buffer_[i];
        if (c == u' ') continue;
        if (c >= u'A' && c <= u'Z')
            c = WCHAR(c + 32);
        else if (c > 127)
            c = towlower(c);
        buffer_[o++] = c;
    }
    if (o < length_) {
        buffer_[o] = 0;
        Keep(0, o);
    }
}

int TWString::Format(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatV(format, args);
    va_end(args);
    return n;
}

int TWString::FormatV(const WCHAR* format, va_list args) {
    int estimate = EstimateFormatLength(format, args);
    if (!Resize(estimate, false)) return 0;
    if (estimate > 0) {
        int n = FormatWide(buffer_, estimate + 1, format, args);
        Resize(n, true);
    }
    return length_;
}

bool WStrIsEmpty(const WCHAR* text) {
    return !text || !text[0];
}

int WStrCompareNoCase(const WCHAR* a, const WCHAR* b) {
    if (!a) return b ? -int(wcslen(b)) : 0;
    if (!b) return int(wcslen(a));
    return _wcsicmp(a, b);
}

WCHAR* AllocWideCopy(const WCHAR* source, int n) {
    if (n < 0) return nullptr;
    WCHAR* block = AllocUnits(n);
    if (!block) return nullptr;
    if (source) CopyUnits(block, source, n);
    block[n] = 0;
    return block;
}

void XmlEscape(const WCHAR* text, TWString& out) {
    out = text;
    out.ReplaceAll(u"&", u"&amp;");
    out.ReplaceAll(u"<", u"&lt;");
    out.ReplaceAll(u">", u"&gt;");
    out.ReplaceAll(u"\"", u"&quot;");
}

} // namespace NUBO
