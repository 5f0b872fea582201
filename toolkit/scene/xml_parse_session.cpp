#include "toolkit/scene/xml_parse_session.h"

// The UTF-16 build of expat: XML_Char is a 16-bit unsigned short, the same units as WCHAR.
#define XML_UNICODE
#include <expat.h>

#include <cstdlib>
#include <new>

#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/uri.h"
#include "toolkit/scene/box_uri.h"

static_assert(sizeof(XML_Char) == sizeof(WCHAR), "markup needs expat's 16-bit build");

using NUBO::TWString;

namespace {

const WCHAR* W(const XML_Char* text) {
    return reinterpret_cast<const WCHAR*>(text);
}
const XML_Char* X(const WCHAR* text) {
    return reinterpret_cast<const XML_Char*>(text);
}

oxXmlParseSession* SessionOf(void* userData) {
    return static_cast<oxXmlParseSession*>(userData);
}

void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    SessionOf(userData)->OnStartElement(W(name), reinterpret_cast<const WCHAR**>(attributes));
}

void XMLCALL EndElement(void* userData, const XML_Char*) {
    SessionOf(userData)->OnEndElement();
}

void XMLCALL CharacterData(void* userData, const XML_Char* text, int length) {
    SessionOf(userData)->OnCharacterData(W(text), length);
}

void XMLCALL ProcessingInstruction(void* userData, const XML_Char* target, const XML_Char* data) {
    SessionOf(userData)->OnProcessingInstruction(W(target), W(data));
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

// An external DTD subset or parameter entity, read from a file relative to the document. A file
// that cannot be read is skipped; a malformed one fails the whole document.
int XMLCALL ExternalEntityRef(XML_Parser parser, const XML_Char* context, const XML_Char* base,
                              const XML_Char* systemId, const XML_Char*) {
    if (!systemId) return XML_STATUS_OK;
    XML_Parser entityParser = XML_ExternalEntityParserCreate(parser, context, nullptr);
    if (!entityParser) return XML_STATUS_OK;

    TWString path;
    ResolveUriToPath(W(systemId), base ? W(base) : nullptr, path);
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
            result =
                XML_Parse(entityParser, buffer, int(length), 1) == XML_STATUS_OK ? XML_STATUS_OK : XML_STATUS_ERROR;
            std::free(buffer);
        }
    }
    XML_ParserFree(entityParser);
    return result;
}

} // namespace

bool oxXmlParseSession::Parse(const void* buffer, uint32_t length, const WCHAR* baseUri) {
    errorText_.Empty();
    XML_Parser parser = XML_ParserCreateNS(nullptr, XML_Char(u'|'));
    if (!parser) return false;
    parser_ = parser;

    XML_SetUserData(parser, this);
    XML_SetBase(parser, X(baseUri ? baseUri : u""));
    XML_SetElementHandler(parser, StartElement, EndElement);
    XML_SetCharacterDataHandler(parser, CharacterData);
    XML_SetProcessingInstructionHandler(parser, ProcessingInstruction);
    XML_SetExternalEntityRefHandler(parser, ExternalEntityRef);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_ALWAYS);

    // expat takes an int length; a larger document is refused as the memory error it would be.
    bool failed = false;
    XML_Status status = length > uint32_t(INT32_MAX)
                            ? XML_STATUS_ERROR
                            : XML_Parse(parser, static_cast<const char*>(buffer), int(length), 1);
    if (status != XML_STATUS_OK) {
        XML_Error code = length > uint32_t(INT32_MAX) ? XML_ERROR_NO_MEMORY : XML_GetErrorCode(parser);
        const XML_LChar* message = XML_ErrorString(code);
        errorText_ = TWString(message ? message : "", u"x-system");
        errorLine_ = int32_t(XML_GetCurrentLineNumber(parser));
        errorColumn_ = int32_t(XML_GetCurrentColumnNumber(parser));
        failed = true;
    }
    XML_ParserFree(parser);
    parser_ = nullptr;
    return failed;
}

void oxXmlParseSession::GetError(TWString& text, int32_t& line, int32_t& column) const {
    text = errorText_;
    line = errorLine_;
    column = errorColumn_;
}
