#pragma once
// One run of expat over a buffer that holds a whole document. The session turns expat's callbacks
// into four virtual operations, reads external entities (DTD subsets, parameter entities) from
// files relative to the document, and keeps the message, line and column of a failed parse.
// Names arrive as "namespace-uri|local-name" when they stand in a namespace, bare otherwise.
#include <cstdint>

#include "platform/types.h"
#include "runtime/wide_string.h"

class oxXmlParseSession {
public:
    oxXmlParseSession() = default;
    oxXmlParseSession(const oxXmlParseSession&) = delete;
    oxXmlParseSession& operator=(const oxXmlParseSession&) = delete;
    virtual ~oxXmlParseSession() = default;

    // True when the parse failed (see GetError), false when it succeeded or no parser could be
    // made. The buffer is parsed as the final piece; expat detects UTF-8 or UTF-16.
    bool Parse(const void* buffer, uint32_t length, const WCHAR* baseUri);
    void GetError(NUBO::TWString& text, int32_t& line, int32_t& column) const;

    // `attributes` holds name/value pairs ending with a null name.
    virtual void OnStartElement(const WCHAR* name, const WCHAR** attributes) = 0;
    virtual void OnEndElement() = 0;
    virtual void OnCharacterData(const WCHAR* text, int length) = 0;
    virtual void OnProcessingInstruction(const WCHAR* target, const WCHAR* data) = 0;

private:
    void* parser_ = nullptr; // expat's handle, only while Parse runs
    NUBO::TWString errorText_;
    int32_t errorLine_ = 0;
    int32_t errorColumn_ = 0;
};
