#include "runtime/string_tokenizer.h"

#include <cstdlib>

#include "platform/crt/wide.h"

namespace NUBO {

TStringTokenizer::TStringTokenizer(const WCHAR* text, WCHAR separator, bool trim) : separator_(separator), trim_(trim) {
    if (text && separator) copy_ = cursor_ = _wcsdup(text);
}

TStringTokenizer::~TStringTokenizer() {
    free(copy_);
}

TWString TStringTokenizer::NextToken() {
    if (!cursor_ || !*cursor_) return TWString();
    const WCHAR* start = cursor_;
    const WCHAR* end;
    for (;; ++cursor_) {
        if (*cursor_ == separator_) {
            end = cursor_++;
            if (trim_) {
                while (iswspace(*cursor_))
                    ++cursor_;
            }
            break;
        }
        if (!cursor_[1]) {
            end = ++cursor_;
            break;
        }
    }
    if (trim_) {
        while (start < end && iswspace(*start))
            ++start;
        while (end > start && iswspace(end[-1]))
            --end;
    }
    return end > start ? TWString(start, int(end - start)) : TWString();
}

} // namespace NUBO
