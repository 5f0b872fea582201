#include "toolkit/markup/markup_loader.h"

#include <cstdlib>
#include <new>

#include "runtime/stream.h"
#include "toolkit/base/error_report.h"
#include "toolkit/base/uri.h"
#include "toolkit/markup/markup_content_handler.h"

using NUBO::TWString;

namespace {

// Small documents are read on the stack.
constexpr int64_t kInlineDocumentBytes = 256;

// Reads exactly `size` bytes; false on a read error or an early end.
bool ReadAll(NUBO::XStream* stream, char* buffer, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
        uint32_t got = 0;
        if (stream->Read(buffer + done, size - done, &got) != 0 || got == 0) return false;
        done += got;
    }
    return true;
}

} // namespace

oxMarkupLoader::~oxMarkupLoader() {
    delete handler_;
}

bool oxMarkupLoader::EnsureContentHandler() {
    if (!handler_) handler_ = new (std::nothrow) oxMarkupContentHandler(this);
    return handler_ != nullptr;
}

void oxMarkupLoader::Reset() {
    documentUri_.Empty();
    styleReports_.clear();
    if (handler_) handler_->Reset();
}

oxElement* oxMarkupLoader::Load(const WCHAR* uri, NUBO::XStream* stream, oxElement* container) {
    failed_ = true;
    styleReports_.clear();
    documentUri_ = uri;
    errorSource_.Empty();
    if (!EnsureContentHandler()) {
        errorCode_ = kErrorParseOrScript;
        return nullptr;
    }
    if (container) (void)handler_->Push(container);

    int64_t size = 0;
    if (uri && stream && stream->GetSize(&size) == 0 && size >= 0 && size <= INT32_MAX) {
        char inlineBuffer[kInlineDocumentBytes];
        char* buffer = size <= kInlineDocumentBytes ? inlineBuffer : static_cast<char*>(std::malloc(size_t(size)));
        if (buffer && ReadAll(stream, buffer, uint32_t(size))) {
            busy_ = true;
            handler_->StartDocument();
            TWString base = oxUri::GetDirectory(uri);
            failed_ = handler_->Parse(buffer, uint32_t(size), base.GetString());
            busy_ = false;
        }
        if (buffer != inlineBuffer) std::free(buffer);
    }
    if (!failed_) return handler_->GetLastClosed();

    handler_->GetError(errorText_, errorLine_, errorColumn_);
    errorSource_ = handler_->GetErrorSource();
    errorCode_ = kErrorParseOrScript;
    return nullptr;
}

void oxMarkupLoader::AddStyleReport(const WCHAR* message, int32_t line, int32_t column) {
    styleReports_.emplace_back(kErrorParseOrScript, message, documentUri_.GetString(), line, column);
}

TWString FormatMarkupError(const oxSourceErrorReport& report) {
    TWString text;
    text.Format(kMarkupErrorFormat, report.message.GetString(), report.source.GetString(), int(report.line),
                int(report.column));
    return text;
}
