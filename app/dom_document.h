#pragma once
// XDomDocument: `new domDocument()` in scripts. `load` parses a stream (typically the one a
// uriRequest listener received) into a fresh platform document; the other members read that
// document and hand its nodes to scripts as the platform's own objects, which keep their tree
// alive after the next load.
#include <cstdint>

#include "runtime/script_object.h"

struct IXMLDOMDocument;

// Holds one platform document; a load makes a new holder and lets go of the previous one.
class XDomDocumentHolder : public NUBO::XObject {
public:
    XDomDocumentHolder() = default;
    IXMLDOMDocument* document = nullptr;

protected:
    ~XDomDocumentHolder() override;
};

class XDomDocument : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XDomDocument"

    XDomDocument() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // 10 when the value is no stream, 18 when memory is short, the platform's failure, else 0 when
    // the stream parsed and 75 when it did not.
    int32_t Load(const VARIANT* source, bool validate);
    // The current platform document, or null before the first load (members then answer 1).
    IXMLDOMDocument* Document() const;

protected:
    ~XDomDocument() override;

private:
    XDomDocumentHolder* holder_ = nullptr;
};

// The create-instance function of "domDocument".
int32_t CreateXDomDocument(NUBO::XObject** out);
