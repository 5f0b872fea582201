#include "runtime/script_args.h"

#include "runtime/result_codes.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"

namespace NUBO {

XArgString::XArgString(const VARIANT* arg) {
    if (!arg) return;
    if (arg->vt == VT_BSTR) {
        if (arg->bstrVal) {
            // Borrowed: handed back before the string could free it.
            text.Attach(arg->bstrVal);
            borrowed = true;
        }
        return;
    }
    static_cast<const XVariant*>(arg)->GetString(&text);
}

XArgString::~XArgString() {
    if (borrowed) (void)text.Detach();
}

XArgBstr::XArgBstr(const VARIANT* arg) {
    if (!arg) return;
    if (arg->vt == VT_BSTR) {
        if (arg->bstrVal) {
            text.Attach(arg->bstrVal);
            borrowed = true;
        }
        return;
    }
    TWString converted;
    static_cast<const XVariant*>(arg)->GetString(&converted);
    text = converted.GetString();
}

XArgBstr::~XArgBstr() {
    if (borrowed) (void)text.Detach();
}

int32_t VariantToXObject(XObject** out, const VARIANT* arg) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!arg || (arg->vt != VT_DISPATCH && arg->vt != VT_UNKNOWN) || !arg->punkVal) return XR_SUCCESS;
    int32_t rc = XObject::FromUnknown(arg->punkVal, out);
    if (rc != XR_SUCCESS) *out = nullptr;
    return rc;
}

} // namespace NUBO
