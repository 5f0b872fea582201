#include "app/uri_callback.h"

#include <new>

#include "app/uri_request.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/markup/box_uri.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

int32_t OnDataAvailable(XObject* object, int argc, XArgList* args, XVariant*) {
    if (!object) return NUBO::XR_INVALID;
    if (argc < 1) return NUBO::XR_TOO_FEW_ARGS;
    auto* self = static_cast<XUriCallback*>(object);
    auto keep = NUBO::RefPtr<XUriCallback>::ref(self); // the target may drop the last other hold
    NUBO::XStream* stream = nullptr;
    (void)NUBO::VariantToXStream(&stream, args->GetArg(0));
    NUBO::RefPtr<NUBO::XStream> held(stream);
    self->Complete(0, stream);
    return 0;
}

// The request reports a failed download here; the target hears it as the load's end, without a stream.
int32_t OnError(XObject* object, int argc, XArgList* args, XVariant*) {
    if (!object) return NUBO::XR_INVALID;
    if (argc < 1) return NUBO::XR_TOO_FEW_ARGS;
    auto* self = static_cast<XUriCallback*>(object);
    auto keep = NUBO::RefPtr<XUriCallback>::ref(self);
    const int32_t code = args->GetArg(0)->ToInt32();
    self->Complete(code ? code : NUBO::XR_FAIL, nullptr);
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("onDataAvailable", OnDataAvailable),
    NUBO::XMethod("onError", OnError),
    NUBO::XMemberEnd(),
};

// The file URL the request reads a settled device path by: '/' separators, '%' escaped.
NUBO::TWString FileUrl(const NUBO::TWString& path) {
    NUBO::TWString url(u"file://");
    for (const WCHAR* c = path.GetString(); c && *c; ++c) {
        if (*c == u'%')
            url += u"%25";
        else
            url += *c == u'\\' ? u'/' : *c;
    }
    return url;
}

} // namespace

NUBO::XClassDescriptor XUriCallback::Descriptor = {"XUriCallback", 3, kMembers, &XObject::Descriptor, 0, {}};

XUriCallback::XUriCallback(oxUriLoadListener* listener) : listener_(listener) {
    if (listener_) listener_->AddRef();
}

XUriCallback::~XUriCallback() {
    if (listener_) listener_->Release();
}

void XUriCallback::Complete(int32_t result, NUBO::XStream* stream) {
    oxUriLoadListener* listener = listener_;
    listener_ = nullptr;
    if (!listener) return;
    listener->SetLoad(nullptr); // ended: nothing left to abort
    if (oxEventTarget* target = listener->GetTarget()) {
        oxUrlEvent event(kAtomUrlLoadComplete, nullptr, result, nullptr, 0);
        event.stream = stream;
        target->HandleEvent(&event);
    }
    listener->Release();
}

int32_t OpenUriAsync(const WCHAR* url, oxUriLoadListener* listener) {
    if (!url || !listener) return NUBO::XR_INVALID;
    NUBO::TWString address(url);
    oxUri uri(url);
    if (uri.GetScheme() == kAtomBox || uri.GetScheme() == kAtomEe) {
        // The resources' own schemes name files, read only from the folders scenes may read.
        NUBO::TWString path;
        UriToLocalPath(uri, path);
        if (!ConfineSceneFile(path)) return NUBO::XR_FAIL;
        address = FileUrl(path);
    }
    XObject* made = nullptr;
    if (CreateXUriRequest(&made) != 0 || !made) return NUBO::XR_OUT_OF_MEMORY;
    NUBO::RefPtr<XObject> request(made);
    auto* callback = new (std::nothrow) XUriCallback(listener);
    if (!callback) return NUBO::XR_OUT_OF_MEMORY;
    callback->AddRef();
    NUBO::RefPtr<XObject> hold(callback);
    const int32_t rc = static_cast<XUriRequest*>(made)->OpenStream(address.GetString(), callback);
    // Kept so that a target that goes before the download ends can stop it.
    if (rc == 0) listener->SetLoad(request.get());
    return rc;
}
