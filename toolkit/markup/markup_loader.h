#pragma once
// Reads a markup document from a stream into memory and builds its tree under a container element.
// Answers the element made for the document's root tag, or leaves an error (code, text, line,
// column) in its fields. The runtime keeps one loader per nesting level of loads.
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "runtime/wide_string.h"
#include "toolkit/base/error_report.h"

class oxElement;
class oxMarkupContentHandler;
class oxSourceErrorReport;
namespace NUBO {
class XStream;
}

// How a failed load reads in the debug output: message, source, line, column.
inline constexpr const WCHAR* kMarkupErrorFormat = u"%s. File:%s. Line#%d Column#%d";
// Style text in markup that could not be used; the rest of the document loads on.
inline constexpr const WCHAR* kUnknownStylePropertyFormat = u"Unknown style property \"%s\"";
inline constexpr const WCHAR* kBadStyleValueFormat = u"Invalid value \"%s\" for style property \"%s\"";

class oxMarkupLoader {
public:
    oxMarkupLoader() = default;
    oxMarkupLoader(const oxMarkupLoader&) = delete;
    oxMarkupLoader& operator=(const oxMarkupLoader&) = delete;
    ~oxMarkupLoader();

    // The element made for the root tag, or null (see IsFailed: a document whose root the container
    // refused parses without failing).
    oxElement* Load(const WCHAR* uri, NUBO::XStream* stream, oxElement* container);
    void Reset();
    // False when the handler could not be made.
    bool EnsureContentHandler();

    bool IsBusy() const { return busy_; }
    bool IsFailed() const { return failed_; }
    const NUBO::TWString& GetDocumentUri() const { return documentUri_; }
    int32_t GetErrorCode() const { return errorCode_; }
    const NUBO::TWString& GetErrorText() const { return errorText_; }
    int32_t GetErrorLine() const { return errorLine_; }
    int32_t GetErrorColumn() const { return errorColumn_; }
    // The file the error stands in: the external entity that failed, or else the document URI.
    const NUBO::TWString& GetErrorSource() const { return errorSource_.IsEmpty() ? documentUri_ : errorSource_; }
    // Style attributes of the last document whose text could not be used, in document order.
    const std::vector<oxSourceErrorReport>& GetStyleReports() const { return styleReports_; }
    void AddStyleReport(const WCHAR* message, int32_t line, int32_t column);

private:
    bool busy_ = false;
    NUBO::TWString documentUri_;
    bool failed_ = false;
    int32_t errorCode_ = 0;
    NUBO::TWString errorText_;
    int32_t errorLine_ = 0;
    int32_t errorColumn_ = 0;
    NUBO::TWString errorSource_;
    oxMarkupContentHandler* handler_ = nullptr;
    std::vector<oxSourceErrorReport> styleReports_;
};

NUBO::TWString FormatMarkupError(const oxSourceErrorReport& report);
