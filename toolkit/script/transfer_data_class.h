#pragma once
// The TransferData script class: the script face of the data a drag carries (oxTransferData). Each
// object holds one reference on its data; a drag event hands out a new one on every read.
#include "runtime/script_object.h"

class oxTransferData;

class TransferDataObject : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "TransferData"

    // Takes a reference on the data (which may be null: the object then answers as without one).
    explicit TransferDataObject(oxTransferData* data);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    oxTransferData* GetData() const { return data_; }

protected:
    ~TransferDataObject() override;

private:
    oxTransferData* data_;
};
