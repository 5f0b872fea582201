#pragma once
// Failure reports that the markup loaders and the script host hand to the scene manager, which
// passes them on to listeners and scripts.
#include <cstdint>

#include "platform/types.h"
#include "runtime/wide_string.h"

// Result codes of the reports.
constexpr int32_t kErrorParseOrScript = int32_t(0x80000004);
constexpr int32_t kErrorFileNotFound = int32_t(0x80000005);

// Messages of the reports.
inline constexpr const WCHAR* kScriptErrorText = u"Script error.";
inline constexpr const WCHAR* kFileNotFoundText = u"File not found";
inline constexpr const WCHAR* kNoRootBoxText = u"File not found or invalid scene (no root box)";

class oxErrorReport {
public:
    oxErrorReport(int32_t result, const WCHAR* text) : code(result), message(text) {}
    virtual ~oxErrorReport() = default;
    virtual bool HasLocation() const { return false; }

    int32_t code;
    NUBO::TWString message;
};

// A report that knows where in which file or URI the failure happened.
class oxSourceErrorReport : public oxErrorReport {
public:
    oxSourceErrorReport(int32_t result, const WCHAR* text, const WCHAR* where, int32_t atLine, int32_t atColumn)
        : oxErrorReport(result, text), source(where), line(atLine), column(atColumn) {}
    bool HasLocation() const override { return true; }

    NUBO::TWString source;
    int32_t line;
    int32_t column;
};
