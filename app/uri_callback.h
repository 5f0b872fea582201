#pragma once
// Asynchronous loading of URIs for the toolkit: OpenUriAsync downloads a URL through a URI request
// whose listener, an XUriCallback, turns the end of the download into a "urlLoadComplete" event for
// the target of the toolkit's listener. box:// and ee:// URIs load the resources' files they name.
#include <cstdint>

#include "platform/types.h"
#include "runtime/script_object.h"

class oxUriLoadListener;
namespace NUBO {
class XStream;
}

class XUriCallback : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XUriCallback"

    explicit XUriCallback(oxUriLoadListener* listener);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // The download ended: 0 and its content, or the failure's result code and no stream. The
    // listener's target hears it once; later calls do nothing.
    void Complete(int32_t result, NUBO::XStream* stream);

protected:
    ~XUriCallback() override;

private:
    oxUriLoadListener* listener_;
};

// Starts downloading `url` for the listener: 0 when it started, 18 when the request or the callback
// cannot be made, else the start's failure (a box:// or ee:// file outside the folders scenes may
// read is refused with 1). The listener keeps the request, so that forgetting it aborts the download.
int32_t OpenUriAsync(const WCHAR* url, oxUriLoadListener* listener);
