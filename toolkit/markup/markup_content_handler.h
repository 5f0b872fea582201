#pragma once
// The parse session that builds a markup tree. It keeps a stack of open elements and asks the
// element on top to create each child from the child's namespace and tag atoms; attributes go to
// the new child one by one. A child that is refused is skipped with its whole subtree. The stack
// does not own the elements: they belong to the tree their parents build.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "toolkit/base/atoms.h"
#include "toolkit/markup/xml_parse_session.h"
#include "toolkit/style/style_parser.h"

class oxElement;
class oxMarkupLoader;

class oxMarkupContentHandler : public oxXmlParseSession, private oxStyleErrorSink {
public:
    explicit oxMarkupContentHandler(oxMarkupLoader* owner) : owner_(owner) {}

    void OnStartElement(const WCHAR* name, const WCHAR** attributes) override;
    void OnEndElement() override;
    void OnCharacterData(const WCHAR* text, int length) override;
    void OnProcessingInstruction(const WCHAR* target, const WCHAR* data) override;

    // False when the stack could not grow.
    bool Push(oxElement* element);
    // Empties the stack and forgets the last closed element.
    void Reset();
    // A document starts: its depth counts from its first tag.
    void StartDocument() { depth_ = 0; }

    // The element popped by the latest end tag; after a whole document, the one made for its root.
    oxElement* GetLastClosed() const { return lastClosed_; }
    size_t GetDepth() const { return stack_.size(); }
    oxMarkupLoader* GetOwner() const { return owner_; }

    // Splits "namespace-uri|local" into the namespace's atom (0 when unknown, never added) and the
    // interned local name; a name without '|' has namespace 0.
    static void SplitName(const WCHAR* name, oxAtom* ns, oxAtom* local);

private:
    // Style text of an attribute being applied that could not be used becomes a report.
    void OnStyleError(const WCHAR* name, const WCHAR* text, bool knownProperty) override;
    oxElement* Top() const { return stack_.empty() ? nullptr : stack_.Back(); }

    oxMarkupLoader* owner_;
    oxElement* lastClosed_ = nullptr;
    NUBO::PtrVector<oxElement*> stack_;
    int32_t skipDepth_ = 0;
    int32_t depth_ = 0; // open tags of the document, ignored ones included
};
