#pragma once
// oxElement: the base of every node the markup loader makes (boxes, libraries, resources, commands,
// reactions, scripts). The loader builds the tree only through these virtual operations, so it never
// needs to know the kinds.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

namespace NUBO {
class TWString;
}

// Answers of the element operations besides 0 (done).
constexpr int32_t kElementNotHandled = int32_t(0x80000001);   // attribute or child tag not handled by this kind
constexpr int32_t kElementNotSupported = int32_t(0x80000003); // operation not supported by this kind

class oxElement {
public:
    oxElement() = default;
    oxElement(oxAtom ns, oxAtom tag) : namespace_(ns), tag_(tag) {}
    oxElement(const oxElement&) = delete;
    oxElement& operator=(const oxElement&) = delete;
    virtual ~oxElement() = default;

    virtual void SetId(oxAtom id);
    // `id` is interned and stored; anything else is not handled.
    virtual int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value);
    // `direct` asks a box to make a box child at once where it can (see oxBox).
    virtual int32_t CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct);
    virtual int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out);
    // No kind takes character data, so markup text is ignored.
    virtual int32_t AddText(const WCHAR* text, int length);
    // The end tag was seen: forgets the element's open-element base.
    virtual void EndElement();
    // A copy of the element, or null when the kind cannot be copied.
    virtual oxElement* Clone();
    virtual bool IsBox() const { return false; }

    oxAtom GetNamespace() const { return namespace_; }
    oxAtom GetTag() const { return tag_; }
    oxAtom GetId() const { return id_; }

    // The open-element base map: the base directory of the library whose markup opened an element,
    // kept only while that element is open. Entering replaces an earlier entry of the element.
    static void EnterOpenElementBase(const oxElement* element, const WCHAR* base);
    // The element's base directory, or null when it has no entry.
    static const NUBO::TWString* FindOpenElementBase(const oxElement* element);
    static void ForgetOpenElementBase(const oxElement* element);

protected:
    oxAtom namespace_ = 0;
    oxAtom tag_ = 0;
    oxAtom id_ = 0;
};
