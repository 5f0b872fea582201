#pragma once
// The script classes of style values. StyleVariant is a detached copy of one style value and
// StyleRect of the four sides of a four-sides value: changing them changes no box. StyleProxy is a
// box's `s`: setting a style property by name on it sets that property on the box.
#include <cstdint>

#include "runtime/script_object.h"
#include "toolkit/style/style_value.h"

class oxBox;

class StyleVariant : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "StyleVariant"

    explicit StyleVariant(const oxStyleValue& held) : value(held) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    oxStyleValue value;
};

class StyleRect : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "StyleRect"

    StyleRect() = default;
    explicit StyleRect(const oxStyleRectValue& sides);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    oxStyleRectValue sides; // top, right, bottom, left
};

class StyleProxy : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "StyleProxy"

    explicit StyleProxy(oxBox* box) : box_(box) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    oxBox* GetBox() const { return box_; }
    void ForgetBox() { box_ = nullptr; }

    // Every style property name is a member: reads give a null StyleVariant, stores set the
    // property on the box from the value's text.
    int32_t GetPropertyByName(const WCHAR* name, NUBO::XVariant* result) override;
    int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value) override;
    int32_t HasDynamicProperty(const WCHAR* name, bool* out) override;

private:
    oxBox* box_; // not counted; cleared when the box goes
};

// A new StyleVariant holding a copy of the value, with one reference; null when memory ran out.
StyleVariant* MakeStyleVariant(const oxStyleValue& value);
