#pragma once
// Pictures named by a URI of another scheme than the resources' are downloaded: the bitmap hands the
// URI and a listener object to the fetch that the program installs (its URI request service, which
// lives above the toolkit), and the listener hands the downloaded bytes, or the error, back to the
// bitmap. The listener outlives a bitmap that goes first: its back pointer is then cleared.
#include <cstdint>
#include <vector>

#include "runtime/script_object.h"

class oxBitmapElement;

// Starts an asynchronous download of `uri`; its end calls the listener's "onDataAvailable" (stream)
// or "onError" (result code). 0 when it started.
using oxUriFetch = int32_t (*)(const WCHAR* uri, NUBO::XObject* listener);

// The fetch in use (null: pictures of other schemes stay without frames); answers the previous one.
oxUriFetch oxSetUriFetch(oxUriFetch fetch);
oxUriFetch oxGetUriFetch();

class oxBitmapDownloadListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    explicit oxBitmapDownloadListener(oxBitmapElement* bitmap) : bitmap_(bitmap) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // The bitmap goes away first.
    void Forget() { bitmap_ = nullptr; }
    // The download ended: the bytes (with result 0) or the error go to the bitmap.
    void Complete(int32_t result, const std::vector<uint8_t>* bytes);

private:
    oxBitmapElement* bitmap_;
};
