#include "toolkit/markup/xml_parse_session.h"

// The UTF-16 build of expat: XML_Char is a 16-bit unsigned short, the same units as WCHAR.
#define XML_UNICODE
#include <expat.h>

#include <cstdlib>
#include <new>

#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"
#include "toolkit/markup/box_uri.h"

static_assert(sizeof(XML_Char) == sizeof(WCHAR), "markup needs expat's 16-bit build");

using NUBO::TWString;

namespace {

const WCHAR* W(const XML_Char* text) {
    return reinterpret_cast<const WCHAR*>(text);
}
const XML_Char* X(const WCHAR* text) {
    return reinterpret_cast<const XML_Char*>(text);
}

// Reads a whole stream into a malloc'd block; null when the size cannot be read, it is empty or
// too large for expat, or reading fails.
char* ReadWhole(NUBO::XStream* stream, uint32_t* length) {
    int64_t size = 0;
    if (stream->GetSize(&size) != 0 || size <= 0 || size > INT32_MAX) return nullptr;
    char* buffer = static_cast<char*>(std::malloc(size_t(size)));
    if (!buffer) return nullptr;
    uint32_t done = 0;
    while (done < uint32_t(size)) {
        uint32_t got = 0;
        if (stream->Read(buffer + done, uint32_t(size) - done, &got) != 0 || got == 0) break;
        done += got;
    }
    if (done != uint32_t(size)) {
        std::free(buffer);
        return nullptr;
    }
    *length = done;
    return buffer;
}

} // namespace

oxXmlParseSession* oxXmlParseSession::current_ = nullptr;

// expat's callbacks, with access to the session's state.
struct oxXmlParseCallbacks {
    static oxXmlParseSession* SessionOf(void* userData) { return static_cast<oxXmlParseSession*>(userData); }

    static void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
        oxXmlParseSession* session = SessionOf(userData);
        session->OnStartElement(W(name), reinterpret_cast<const WCHAR**>(attributes));
        session->CheckNames();
    }

    static void XMLCALL EndElement(void* userData, const XML_Char*) {
        oxXmlParseSession* session = SessionOf(userData);
        session->OnEndElement();
        session->CheckNames();
    }

    static void XMLCALL CharacterData(void* userData, const XML_Char* text, int length) {
        SessionOf(userData)->OnCharacterData(W(text), length);
    }

    static void XMLCALL ProcessingInstruction(void* userData, const XML_Char* target, const XML_Char* data) {
        oxXmlParseSession* session = SessionOf(userData);
        session->OnProcessingInstruction(W(target), W(data));
        session->CheckNames();
    }

    // An external DTD subset, parameter entity or general entity, read from a file relative to the
    // document that names it. One outside the resources folder fails the document; one that cannot
    // be read is skipped; a malformed one fails the document with its own message and place.
    static int XMLCALL ExternalEntityRef(XML_Parser parser, const XML_Char* context, const XML_Char* base,
                                         const XML_Char* systemId, const XML_Char*) {
        oxXmlParseSession* session = SessionOf(XML_GetUserData(parser));
        if (!systemId) return XML_STATUS_OK;
        TWString path;
        ResolveUriToPath(W(systemId), base ? W(base) : nullptr, path);
        if (!ConfineToResources(path)) {
            TWString message;
            message.Format(kEntityOutsideResources, W(systemId));
            session->Fail(message, int32_t(XML_GetCurrentLineNumber(parser)),
                          int32_t(XML_GetCurrentColumnNumber(parser)), session->activeSource_);
            return XML_STATUS_ERROR;
        }
        XML_Parser entityParser = XML_ExternalEntityParserCreate(parser, context, nullptr);
        if (!entityParser) return XML_STATUS_OK;
        TWString directory = oxUri::GetDirectory(path.GetString());
        XML_SetBase(entityParser, X(directory.GetString()));

        int result = XML_STATUS_OK;
        NUBO::XFileStream* raw = nullptr;
        if (NUBO::XFileStream::Create(&raw) == 0) {
            NUBO::RefPtr<NUBO::XFileStream> stream(raw);
            uint32_t length = 0;
            char* buffer = nullptr;
            if (stream->Open(path.GetString(), u"r", nullptr) == 0) buffer = ReadWhole(stream.get(), &length);
            if (buffer) {
                void* outerActive = session->active_;
                TWString outerSource = session->activeSource_;
                session->active_ = entityParser;
                session->activeSource_ = path;
                if (XML_Parse(entityParser, buffer, int(length), 1) != XML_STATUS_OK) {
                    result = XML_STATUS_ERROR;
                    const XML_LChar* text = XML_ErrorString(XML_GetErrorCode(entityParser));
                    session->Fail(TWString(text ? text : "", u"x-system"),
                                  int32_t(XML_GetCurrentLineNumber(entityParser)),
                                  int32_t(XML_GetCurrentColumnNumber(entityParser)), path);
                }
                session->active_ = outerActive;
                session->activeSource_ = outerSource;
                std::free(buffer);
            }
        }
        XML_ParserFree(entityParser);
        return result;
    }
};

void oxXmlParseSession::Fail(const TWString& text, int32_t line, int32_t column, const TWString& source) {
    if (errorSet_) return;
    errorSet_ = true;
    errorText_ = text;
    errorLine_ = line;
    errorColumn_ = column;
    errorSource_ = source;
}

void oxXmlParseSession::Abort(const WCHAR* message) {
    auto* parser = static_cast<XML_Parser>(active_);
    if (!parser) return;
    Fail(TWString(message), int32_t(XML_GetCurrentLineNumber(parser)), int32_t(XML_GetCurrentColumnNumber(parser)),
         activeSource_);
    XML_StopParser(parser, XML_FALSE);
}

void oxXmlParseSession::CheckNames() {
    switch (oxAtoms::TakeRefusal()) {
    case oxAtoms::Refusal::kTooLong:
        Abort(kNameTooLong);
        break;
    case oxAtoms::Refusal::kExhausted:
        Abort(kTooManyNames);
        break;
    case oxAtoms::Refusal::kNone:
        break;
    }
}

bool oxXmlParseSession::Parse(const void* buffer, uint32_t length, const WCHAR* baseUri) {
    errorText_.Empty();
    errorSource_.Empty();
    errorSet_ = false;
    XML_Parser parser = XML_ParserCreateNS(nullptr, XML_Char(u'|'));
    if (!parser) return false;
    parser_ = active_ = parser;
    activeSource_.Empty();
    outer_ = current_;
    current_ = this;
    uint32_t names = oxAtoms::BeginDocument();

    XML_SetUserData(parser, this);
    XML_SetBase(parser, X(baseUri ? baseUri : u""));
    XML_SetElementHandler(parser, oxXmlParseCallbacks::StartElement, oxXmlParseCallbacks::EndElement);
    XML_SetCharacterDataHandler(parser, oxXmlParseCallbacks::CharacterData);
    XML_SetProcessingInstructionHandler(parser, oxXmlParseCallbacks::ProcessingInstruction);
    XML_SetExternalEntityRefHandler(parser, oxXmlParseCallbacks::ExternalEntityRef);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_ALWAYS);

    // expat takes an int length; a larger document is refused as the memory error it would be.
    bool failed = false;
    XML_Status status = length > uint32_t(INT32_MAX)
                            ? XML_STATUS_ERROR
                            : XML_Parse(parser, static_cast<const char*>(buffer), int(length), 1);
    if (status != XML_STATUS_OK && errorSet_) {
        failed = true; // the failure found first says more than expat's answer that followed it
    } else if (status != XML_STATUS_OK) {
        XML_Error code = length > uint32_t(INT32_MAX) ? XML_ERROR_NO_MEMORY : XML_GetErrorCode(parser);
        const XML_LChar* message = XML_ErrorString(code);
        errorText_ = TWString(message ? message : "", u"x-system");
        errorLine_ = int32_t(XML_GetCurrentLineNumber(parser));
        errorColumn_ = int32_t(XML_GetCurrentColumnNumber(parser));
        failed = true;
    }
    XML_ParserFree(parser);
    parser_ = active_ = nullptr;
    current_ = outer_;
    outer_ = nullptr;
    // A failed document gives back the names it added: its tree goes with it.
    oxAtoms::EndDocument(names, failed);
    return failed;
}

void oxXmlParseSession::GetError(TWString& text, int32_t& line, int32_t& column) const {
    text = errorText_;
    line = errorLine_;
    column = errorColumn_;
}

void oxXmlParseSession::GetCurrentPosition(int32_t& line, int32_t& column) const {
    auto* parser = static_cast<XML_Parser>(parser_);
    line = parser ? int32_t(XML_GetCurrentLineNumber(parser)) : 0;
    column = parser ? int32_t(XML_GetCurrentColumnNumber(parser)) : 0;
}
