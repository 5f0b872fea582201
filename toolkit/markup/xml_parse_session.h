#pragma once
// One run of expat over a buffer that holds a whole document. The session turns expat's callbacks
// into four virtual operations, reads external entities (DTD subsets, parameter and general
// entities) from files relative to the document, and keeps the message, file, line and column of a
// failed parse. Names arrive as "namespace-uri|local-name" when they stand in a namespace, bare
// otherwise. External entities are read only from inside the resources folder.
#include <cstdint>

#include "platform/types.h"
#include "runtime/wide_string.h"

// The texts of the failures the toolkit itself finds in a document.
inline constexpr const WCHAR* kEntityOutsideResources = u"External entity outside the resources folder: %s";
inline constexpr const WCHAR* kNameTooLong = u"Name too long";
inline constexpr const WCHAR* kTooManyNames = u"Too many names";

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
    // The external entity the error stands in; empty when it stands in the document itself.
    const NUBO::TWString& GetErrorSource() const { return errorSource_; }

    // Stops the running parse: it fails with `message` at the line and column being read.
    void Abort(const WCHAR* message);
    // The session whose parse runs innermost (loads nest), or null.
    static oxXmlParseSession* Current() { return current_; }
    // Where the parse stands now (the start of the tag being handled); 0, 0 outside a parse.
    void GetCurrentPosition(int32_t& line, int32_t& column) const;

    // `attributes` holds name/value pairs ending with a null name.
    virtual void OnStartElement(const WCHAR* name, const WCHAR** attributes) = 0;
    virtual void OnEndElement() = 0;
    virtual void OnCharacterData(const WCHAR* text, int length) = 0;
    virtual void OnProcessingInstruction(const WCHAR* target, const WCHAR* data) = 0;

private:
    friend struct oxXmlParseCallbacks;

    // Keeps the first failure found; expat's own answer for the document comes after it.
    void Fail(const NUBO::TWString& text, int32_t line, int32_t column, const NUBO::TWString& source);
    // A name the last callback could not intern ends the parse.
    void CheckNames();

    void* parser_ = nullptr;      // expat's handle, only while Parse runs
    void* active_ = nullptr;      // the parser reading now: an external entity's while it is read
    NUBO::TWString activeSource_; // that entity's path; empty for the document
    bool errorSet_ = false;
    NUBO::TWString errorText_;
    NUBO::TWString errorSource_;
    int32_t errorLine_ = 0;
    int32_t errorColumn_ = 0;
    oxXmlParseSession* outer_ = nullptr;
    static oxXmlParseSession* current_;
};
