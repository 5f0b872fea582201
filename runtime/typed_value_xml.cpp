#include "runtime/typed_value_xml.h"

#include <cstdio>

#include "platform/crt/wide.h"
#include "runtime/result_codes.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"
#include "runtime/wide_string.h"

namespace NUBO {

namespace {

const WCHAR* ElementName(int kind) {
    switch (kind) {
    case XVK_BOOL:
        return u"bool";
    case XVK_UINT8:
        return u"uint08";
    case XVK_INT8:
        return u"int08";
    case XVK_INT16:
        return u"int16";
    case XVK_INT32:
        return u"int32";
    case XVK_UINT16:
        return u"uint16";
    case XVK_UINT32:
        return u"uint32";
    case XVK_INT64:
        return u"int64";
    case XVK_UINT64:
        return u"uint64";
    case XVK_STRING:
        return u"string";
    case XVK_DOUBLE:
        return u"double";
    case XVK_DATE:
        return u"time";
    case XVK_OBJECT:
        return u"compound";
    default:
        return nullptr;
    }
}

int32_t FormatReal(double d, TWString* out) {
    char text[400];
    int n = std::snprintf(text, sizeof text, "%f", d);
    if (n < 0 || n >= static_cast<int>(sizeof text)) return XR_FAIL;
    WCHAR wide[sizeof text];
    for (int i = 0; i <= n; ++i)
        wide[i] = static_cast<unsigned char>(text[i]);
    return out->Assign(wide, n) ? XR_SUCCESS : XR_OUT_OF_MEMORY;
}

// Plain text when it has nothing to escape, a CDATA section when it can hold it, else entities.
int32_t StringText(const WCHAR* s, TWString* out) {
    bool special = false;
    for (const WCHAR* p = s; *p && !special; ++p)
        special = *p == u'<' || *p == u'>' || *p == u'&' || *p == u'\'' || *p == u'"';
    if (!special) {
        *out = s;
        return XR_SUCCESS;
    }
    if (!wcsstr(s, u"]]>")) {
        *out = u"<![CDATA[";
        int ok = (*out += s) && (*out += u"]]>");
        return ok ? XR_SUCCESS : XR_OUT_OF_MEMORY;
    }
    XmlEscape(s, *out);
    out->ReplaceAll(u"'", u"&apos;");
    return XR_SUCCESS;
}

int32_t ValueText(const XVariant& v, int kind, TWString* text) {
    switch (kind) {
    case XVK_BOOL:
        *text = v.boolVal ? u"true" : u"false";
        return XR_SUCCESS;
    case XVK_STRING:
        return StringText(v.GetStringPtr(), text);
    case XVK_DOUBLE:
        return FormatReal(v.dblVal, text);
    case XVK_DATE: {
        double t = 0;
        int32_t rc = v.GetDate(&t);
        return rc == XR_SUCCESS ? FormatReal(t, text) : rc;
    }
    case XVK_OBJECT:
        return WriteObjectXml(v, text);
    default:
        return v.GetString(text);
    }
}

int32_t Append(TWString* out, const WCHAR* a, const WCHAR* b = u"", const WCHAR* c = u"", const WCHAR* d = u"") {
    return (*out += a) && (*out += b) && (*out += c) && (*out += d) ? XR_SUCCESS : XR_OUT_OF_MEMORY;
}

} // namespace

int32_t WriteTypedValue(const VARIANT& value, const WCHAR* attributes, TWString* out) {
    const XVariant& v = static_cast<const XVariant&>(value);
    int kind = v.GetKind();
    const WCHAR* element = ElementName(kind);
    if (!element) return XR_FAIL;
    TWString text;
    int32_t rc = ValueText(v, kind, &text);
    if (rc != XR_SUCCESS) return rc;
    TWString xml;
    rc = Append(&xml, u"<", element, attributes ? attributes : u"", u">");
    if (rc == XR_SUCCESS) rc = Append(&xml, text.GetString(), u"</", element, u">");
    if (rc == XR_SUCCESS) *out = static_cast<TWString&&>(xml);
    return rc;
}

int32_t WriteObjectXml(const VARIANT& value, TWString* out) {
    XObject* object = nullptr;
    int32_t rc = static_cast<const XVariant&>(value).GetXObject(&object);
    if (rc != XR_SUCCESS) return rc;
    if (!object) return 4;
    XVariant xml;
    rc = XObject::CallMethod0(object, u"getXmlString", &xml);
    object->Release();
    if (rc != XR_SUCCESS) return rc;
    return xml.GetString(out);
}

int32_t WriteTypedArrayXml(const VARIANT* values, int count, TWString* out) {
    TWString xml(u"<array>");
    for (int i = 0; i < count; ++i) {
        TWString item;
        int32_t rc = VariantKindOf(values[i].vt) == XVK_OBJECT ? WriteObjectXml(values[i], &item)
                                                               : WriteTypedValue(values[i], u"", &item);
        if (rc == XR_SUCCESS) rc = Append(&xml, item.GetString());
        if (rc != XR_SUCCESS) return rc;
    }
    int32_t rc = Append(&xml, u"</array>");
    if (rc == XR_SUCCESS) *out = static_cast<TWString&&>(xml);
    return rc;
}

int32_t WriteTypedDictionaryXml(const TWString* keys, const VARIANT* values, int count, TWString* out) {
    TWString xml(u"<dictionary>");
    for (int i = 0; i < count; ++i) {
        TWString attributes;
        int32_t rc = Append(&attributes, u" key=\"", keys[i].GetString(), u"\"");
        TWString item;
        if (rc == XR_SUCCESS) rc = WriteTypedValue(values[i], attributes.GetString(), &item);
        if (rc == XR_SUCCESS) rc = Append(&xml, item.GetString());
        if (rc != XR_SUCCESS) return rc;
    }
    int32_t rc = Append(&xml, u"</dictionary>");
    if (rc == XR_SUCCESS) *out = static_cast<TWString&&>(xml);
    return rc;
}

} // namespace NUBO
