#pragma once
// Typed-value XML: a self-describing text form of script values in which every value carries its
// type as the element name ("<int32>5</int32>", "<string>a</string>"); arrays and dictionaries
// write their values in order inside "<array>" and "<dictionary>".
#include <cstdint>

#include "platform/com/variant.h"

namespace NUBO {

class TWString;

// One value as "<type attributes>text</type>", replacing `out`. An object is written as a
// "compound" element holding its own XML. Empty, null and variant arrays cannot be written (1);
// a failed conversion returns its code. On failure `out` is left as it was.
int32_t WriteTypedValue(const VARIANT& value, const WCHAR* attributes, TWString* out);
// The XML of an object value: its method "getXmlString" called without arguments. 4 for a null object.
int32_t WriteObjectXml(const VARIANT& value, TWString* out);
// "<array>", each value (objects without an element of their own), "</array>".
int32_t WriteTypedArrayXml(const VARIANT* values, int count, TWString* out);
// "<dictionary>", each value with the attribute key="..." (the key as it stands), "</dictionary>".
int32_t WriteTypedDictionaryXml(const TWString* keys, const VARIANT* values, int count, TWString* out);

} // namespace NUBO
