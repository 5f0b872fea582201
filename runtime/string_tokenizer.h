#pragma once
// TStringTokenizer: splits a copy of a text at one separator unit, optionally trimming white space
// around each token.
#include "platform/types.h"
#include "runtime/wide_string.h"

namespace NUBO {

class TStringTokenizer {
public:
    // A separator of 0 (or a null text) gives no tokens.
    TStringTokenizer(const WCHAR* text, WCHAR separator, bool trim);
    ~TStringTokenizer();
    TStringTokenizer(const TStringTokenizer&) = delete;
    TStringTokenizer& operator=(const TStringTokenizer&) = delete;

    bool HasMoreTokens() const { return cursor_ && *cursor_; }
    TWString NextToken();

private:
    WCHAR* copy_ = nullptr;
    WCHAR* cursor_ = nullptr;
    WCHAR separator_;
    bool trim_;
};

} // namespace NUBO
