#pragma once
// The owning VARIANT of every script call, read back through kind codes and the invariant-locale
// conversions; and the argument list of script-visible methods, which holds a call's arguments
// last first (the order of DISPPARAMS) and answers a missing one with a default value.
#include <cstdint>

#include "platform/com/variant.h"

namespace NUBO {

class TWString;
class XObject;

// Kind codes of values, by which readers choose a conversion.
enum XVariantKind : int {
    XVK_EMPTY = 0,
    XVK_BOOL = 1,
    XVK_UINT8 = 2,
    XVK_INT8 = 3,
    XVK_INT16 = 4,
    XVK_INT32 = 5,
    XVK_STRING = 6,
    XVK_OBJECT = 9,
    XVK_VARIANT_ARRAY = 10,
    XVK_DATE = 12,
    XVK_VARIANT = 13,
    XVK_UINT16 = 14,
    XVK_UINT32 = 15,
    XVK_INT64 = 16,  // carried in a signed byte array
    XVK_UINT64 = 17, // carried in an unsigned byte array
    XVK_DOUBLE = 18,
    XVK_NULL = 19,
};

int VariantKindOf(VARTYPE vt);
VARTYPE VarTypeOfKind(int kind); // VT_EMPTY for a kind that has no type

// Layout-identical to VARIANT, so arrays of it are lent to and taken from automation calls.
class XVariant : public VARIANT {
public:
    XVariant() { vt = VT_EMPTY; }
    XVariant(const XVariant& other);
    XVariant(const VARIANT& other);
    XVariant(const WCHAR* text);
    XVariant(const TWString& text);
    XVariant(bool b);
    XVariant(int n);
    XVariant(unsigned n);
    XVariant(XObject* object);
    ~XVariant() { VariantClear(this); }

    XVariant& operator=(const XVariant& other);
    XVariant& operator=(const VARIANT& other);
    XVariant& operator=(const WCHAR* text);
    XVariant& operator=(const TWString& text);
    XVariant& operator=(bool b);
    XVariant& operator=(int n);
    XVariant& operator=(unsigned n);
    XVariant& operator=(XObject* object);

    void Clear() { VariantClear(this); }
    void SetDouble(double d);
    void SetInt8(signed char n);
    void SetUInt16(uint16_t n);
    // VT_UNKNOWN of the object's IUnknown; a null object or a failed query gives a null pointer.
    void SetObject(XObject* object);
    void SetRefObject(XObject* object) { SetObject(object); }

    int GetKind() const { return VariantKindOf(vt); }
    // Converts into `out` (VT_EMPTY on entry) through VariantChangeTypeEx with the invariant
    // locale. Byte arrays are refused as source and as target (E_FAIL). Returns a result code.
    int32_t ChangeType(int kind, VARIANT* out) const;

    int32_t GetBool(bool* out) const;
    bool ToBool() const;
    int32_t GetInt32(int32_t* out) const;
    int32_t ToInt32() const;
    int32_t GetUInt32(uint32_t* out) const;
    uint32_t ToUInt32() const;
    int32_t GetDouble(double* out) const;
    double ToDouble() const;
    // Booleans read "1"/"0"; other values convert through the invariant locale ("12.5").
    int32_t GetString(TWString* out) const;
    TWString ToString() const;
    // The string itself for VT_BSTR, else "": no conversion, no copy.
    const WCHAR* GetStringPtr() const;
    // The native object behind an object value, with a reference the caller releases; 17 when the
    // value is no object.
    int32_t GetXObject(XObject** out) const;
    XObject* ToXObject() const;
    // Seconds since 1970-01-01 UTC of a VT_DATE value; 1 for other types.
    int32_t GetDate(double* out) const;
    double ToDate() const;

    static bool Equals(const VARIANT& a, const VARIANT& b);
};
static_assert(sizeof(XVariant) == sizeof(VARIANT), "XVariant arrays are lent as VARIANT arrays");

// SetObject of the object a holder holds; 10 for a null out variant.
template <class Holder> int32_t XVariantFromHolder(const Holder& holder, XVariant* out) {
    if (!out) return 10;
    out->SetObject(holder.get());
    return 0;
}

// The two 32-bit words at byte offsets 4 and 8 of a locked byte array (kinds 16 and 17); E_FAIL
// for another kind, a null array or out pointer, or an array too short to hold them.
HRESULT SafeArrayReadWords(SAFEARRAY* array, uint32_t* words, int kind);

class XArgList {
public:
    static constexpr int kInlineSlots = 9;

    XArgList();
    ~XArgList();
    XArgList(const XArgList&) = delete;
    XArgList& operator=(const XArgList&) = delete;

    // Argument i (0 = the first as the script wrote it), or the default value when there is none.
    XVariant* GetArg(int i);
    int GetCount() const { return count; }
    // Appends in script order; ignored on a full list.
    void PushArg(const VARIANT& v);
    // Clears, then holds n empty arguments to fill through GetArg.
    void Reset(int n);
    void Clear();
    // Lends the caller's rgvarg array of n arguments; ignored while attached.
    void Attach(VARIANT* array, int n);
    void Detach();
    // The rgvarg pointer of an outgoing DISPPARAMS of GetCount() arguments, or null.
    VARIANT* FirstArgSlot();

    void SetDefaultString(const WCHAR* text);
    void SetDefaultBool(bool b);
    void SetDefaultInt32(int n);
    void SetDefault(const VARIANT& v);

private:
    bool attached = false;
    int count = 0;
    int capacity = kInlineSlots;
    XVariant* slots;
    // Kept in the list, so that a call costs no allocation.
    XVariant defaultValue;
    // Plain VARIANTs: only the slots in use hold anything, and Clear empties those.
    VARIANT inlineSlots[kInlineSlots];
};

} // namespace NUBO
