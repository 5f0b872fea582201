#include "toolkit/markup/markup_content_handler.h"

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"
#include "toolkit/base/element.h"
#include "toolkit/core/box.h"
#include "toolkit/markup/markup_loader.h"

using NUBO::TWString;

namespace {

constexpr WCHAR kNamespaceSeparator = u'|';

// An element's attributes are kept in small sorted buckets; more than this on one element would cost
// time that grows with the square of their number, and no scene needs nearly so many.
constexpr int kMaxAttributes = 4096;
constexpr const WCHAR* kTooManyAttributes = u"Too many attributes on one element (more than %d)";

// The tree built from a document is walked by recursion (layout, painting, hit tests): a document
// nesting deeper than boxes may is refused where it goes too deep.
constexpr int kMaxElementDepth = oxBox::kMaxDepth;
constexpr const WCHAR* kNestedTooDeeply = u"Elements nested too deeply (more than %d levels)";

bool TooManyAttributes(oxXmlParseSession* session) {
    TWString message;
    message.Format(kTooManyAttributes, kMaxAttributes);
    session->Abort(message.GetString());
    return true;
}

oxAtom InternRange(const WCHAR* from, const WCHAR* to) {
    TWString name(from, int(to - from));
    return oxAtoms::Intern(name.GetString());
}

} // namespace

void oxMarkupContentHandler::SplitName(const WCHAR* name, oxAtom* ns, oxAtom* local) {
    const WCHAR* bar = wcschr(name, kNamespaceSeparator);
    if (!bar) {
        *ns = 0;
        *local = oxAtoms::Intern(name);
        return;
    }
    // Find() refuses over-long names itself; namespace URIs are never added to the table.
    TWString uri(name, int(bar - name));
    *ns = oxAtoms::Find(uri.GetString());
    *local = oxAtoms::Intern(bar + 1);
}

bool oxMarkupContentHandler::Push(oxElement* element) {
    return stack_.PushBack(element) != 0;
}

void oxMarkupContentHandler::Reset() {
    stack_.Clear();
    lastClosed_ = nullptr;
    skipDepth_ = 0;
    depth_ = 0;
}

void oxMarkupContentHandler::OnStartElement(const WCHAR* name, const WCHAR** attributes) {
    if (!name || !attributes) return;
    if (++depth_ > kMaxElementDepth) {
        TWString message;
        message.Format(kNestedTooDeeply, kMaxElementDepth);
        Abort(message.GetString());
        return;
    }
    if (skipDepth_ > 0) {
        ++skipDepth_;
        return;
    }
    oxElement* top = Top();
    if (!top) return;

    int pairs = 0;
    while (attributes[2 * pairs])
        ++pairs;
    if (pairs > kMaxAttributes && TooManyAttributes(this)) {
        skipDepth_ = 1;
        return;
    }
    oxAtom ns = 0, tag = 0;
    SplitName(name, &ns, &tag);
    oxElement* child = nullptr;
    if (top->CreateChildElement(ns, tag, &child) != 0 || !child || !Push(child)) {
        // The tag and its whole subtree are ignored; a child made but not stacked stays its parent's.
        skipDepth_ = 1;
        return;
    }
    oxStyleErrorSink* previous = SetStyleErrorSink(this);
    for (const WCHAR** pair = attributes; pair[0]; pair += 2) {
        oxAtom attributeNs = 0, attribute = 0;
        SplitName(pair[0], &attributeNs, &attribute);
        (void)child->SetMarkupAttribute(attributeNs, attribute, pair[1]);
    }
    SetStyleErrorSink(previous);
}

void oxMarkupContentHandler::OnStyleError(const WCHAR* name, const WCHAR* text, bool knownProperty) {
    int32_t line = 0, column = 0;
    GetCurrentPosition(line, column);
    TWString message;
    if (knownProperty)
        message.Format(kBadStyleValueFormat, text ? text : u"", name ? name : u"");
    else
        message.Format(kUnknownStylePropertyFormat, name ? name : u"");
    owner_->AddStyleReport(message.GetString(), line, column);
}

void oxMarkupContentHandler::OnEndElement() {
    if (depth_ > 0) --depth_;
    if (skipDepth_ > 0) {
        --skipDepth_;
        return;
    }
    lastClosed_ = Top();
    if (lastClosed_) {
        stack_.PopBack();
        lastClosed_->EndElement();
    }
}

void oxMarkupContentHandler::OnCharacterData(const WCHAR* text, int length) {
    // Text inside an ignored subtree still goes to the nearest accepted ancestor.
    if (text && Top()) (void)Top()->AddText(text, length);
}

void oxMarkupContentHandler::OnProcessingInstruction(const WCHAR* target, const WCHAR* data) {
    oxAtom targetAtom = oxAtoms::Intern(target);
    oxElement* top = Top();
    if (!top || !data || targetAtom == kAtomWeftly || targetAtom == kAtomAccTheme) return;
    oxElement* child = nullptr;
    (void)top->CreateChildElement(0, targetAtom, &child);
    if (!child) return;

    // name="value" pairs; an '=' or '"' that does not complete a pair, and text after the last
    // complete pair, are ignored.
    const WCHAR* from = data;
    for (int pairs = 0;; ++pairs) {
        const WCHAR* equals = wcschr(from, u'=');
        if (!equals) break;
        const WCHAR* open = wcschr(equals + 1, u'"');
        if (!open) break;
        const WCHAR* close = wcschr(open + 1, u'"');
        if (!close) break;
        if (pairs == kMaxAttributes && TooManyAttributes(this)) break;
        const WCHAR* nameStart = from;
        while (nameStart < equals && iswspace(*nameStart))
            ++nameStart;
        oxAtom attribute = InternRange(nameStart, equals);
        TWString value(open + 1, int(close - open - 1));
        (void)child->SetMarkupAttribute(0, attribute, value.GetString());
        from = close + 1;
    }
    child->EndElement();
}
