#include "toolkit/script/transfer_data_class.h"

#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/core/transfer_data.h"
#include "toolkit/script/script_class.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;

TransferDataObject::TransferDataObject(oxTransferData* data) : data_(data) {
    if (data_) data_->AddRef();
}

TransferDataObject::~TransferDataObject() {
    if (data_) data_->Release();
}

namespace {

int32_t GetFormatAt(TransferDataObject* self, XArgList* args, XVariant* out) {
    TWString format;
    if (self->GetData() && self->GetData()->GetFormatAt(ArgInt(args, 0), &format)) *out = format;
    return 0;
}

int32_t GetStreamAt(TransferDataObject* self, XArgList* args, XVariant* out) {
    NUBO::XStream* stream = nullptr;
    TWString format = ArgText(args, 1);
    if (!self->GetData() || !self->GetData()->GetStreamAt(ArgInt(args, 0), format.GetString(), &stream)) return 0;
    NUBO::XStreamToVariant(out, stream);
    stream->Release();
    return 0;
}

int32_t GetStringAt(TransferDataObject* self, XArgList* args, XVariant* out) {
    TWString text, format = ArgText(args, 1);
    if (self->GetData() && self->GetData()->GetStringAt(ArgInt(args, 0), format.GetString(), &text)) *out = text;
    return 0;
}

int32_t AddString(TransferDataObject* self, XArgList* args, XVariant* out) {
    TWString format = ArgText(args, 0), text = ArgText(args, 1);
    *out = self->GetData() && !format.IsEmpty() && !text.IsEmpty() &&
           self->GetData()->AddString(format.GetString(), text.GetString());
    return 0;
}

int32_t AddStream(TransferDataObject* self, XArgList* args, XVariant* out) {
    TWString format = ArgText(args, 0);
    *out = false;
    NUBO::XStream* stream = nullptr;
    if (!self->GetData() || format.IsEmpty() || NUBO::VariantToXStream(&stream, args->GetArg(1)) != 0 || !stream)
        return 0;
    *out = self->GetData()->AddStream(format.GetString(), stream);
    stream->Release();
    return 0;
}

int32_t HasFormat(TransferDataObject* self, XArgList* args, XVariant* out) {
    TWString format = ArgText(args, 0);
    *out = self->GetData() && !format.IsEmpty() && self->GetData()->HasFormat(format.GetString());
    return 0;
}

int32_t GetCount(TransferDataObject* self, XVariant* out) {
    if (!self->GetData()) return NUBO::XR_FAIL;
    *out = self->GetData()->GetCount();
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;

const NUBO::XMemberEntry kMembers[] = {
    MethodRow<1, GetFormatAt>("getFormatAt"),
    MethodRow<2, GetStreamAt>("getStreamAt"),
    MethodRow<2, GetStringAt>("getStringAt"),
    MethodRow<2, AddString>("addString"),
    MethodRow<2, AddStream>("addStream"),
    MethodRow<1, HasFormat>("hasFormat"),
    PropertyRow<GetCount>("count"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor TransferDataObject::Descriptor = {"TransferData", 8, kMembers, &NUBO::XObject::Descriptor, 0, {}};
