#include "toolkit/library/bitmap_download.h"

#include "graphics/image/image_decoder.h"
#include "platform/com/stream.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_variant.h"
#include "toolkit/library/bitmap_element.h"

namespace {

oxUriFetch g_fetch = nullptr;

// The whole content of a downloaded stream; false when it cannot be read or is larger than a picture
// may be.
bool ReadAll(IStream* stream, std::vector<uint8_t>* out) {
    uint8_t buffer[16384];
    for (;;) {
        ULONG read = 0;
        if (FAILED(stream->Read(buffer, sizeof buffer, &read))) return false;
        if (read == 0) return true;
        if (int64_t(out->size()) + read > kMaxDecodeBytes) return false;
        out->insert(out->end(), buffer, buffer + read);
    }
}

int32_t OnDataAvailable(NUBO::XObject* object, int argc, NUBO::XArgList* args, NUBO::XVariant*) {
    if (!object) return 10;
    if (argc < 1) return 12;
    auto* self = static_cast<oxBitmapDownloadListener*>(object);
    auto keep = NUBO::RefPtr<oxBitmapDownloadListener>::ref(self);
    const VARIANT* arg = args->GetArg(0);
    IStream* stream = nullptr;
    if (arg && arg->vt == VT_UNKNOWN && arg->punkVal)
        arg->punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
    std::vector<uint8_t> bytes;
    const bool read = stream && ReadAll(stream, &bytes);
    if (stream) stream->Release();
    self->Complete(read ? 0 : 18, read ? &bytes : nullptr);
    return 0;
}

int32_t OnError(NUBO::XObject* object, int argc, NUBO::XArgList* args, NUBO::XVariant*) {
    if (!object) return 10;
    if (argc < 1) return 12;
    auto* self = static_cast<oxBitmapDownloadListener*>(object);
    auto keep = NUBO::RefPtr<oxBitmapDownloadListener>::ref(self);
    const int32_t code = args->GetArg(0)->ToInt32();
    self->Complete(code ? code : 18, nullptr);
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("onDataAvailable", OnDataAvailable),
    NUBO::XMethod("onError", OnError),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor oxBitmapDownloadListener::Descriptor = {
    "BitmapDownloadListener", 3, kMembers, &NUBO::XObject::Descriptor, 0, {}};

oxUriFetch oxSetUriFetch(oxUriFetch fetch) {
    oxUriFetch old = g_fetch;
    g_fetch = fetch;
    return old;
}

oxUriFetch oxGetUriFetch() {
    return g_fetch;
}

void oxBitmapDownloadListener::Complete(int32_t result, const std::vector<uint8_t>* bytes) {
    oxBitmapElement* bitmap = bitmap_;
    bitmap_ = nullptr;
    if (bitmap) bitmap->OnLoaded(result, bytes ? bytes->data() : nullptr, bytes ? bytes->size() : 0);
}
