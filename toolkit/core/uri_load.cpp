#include "toolkit/core/uri_load.h"

#include <new>

#include "runtime/script_object.h"
#include "runtime/script_variant.h"

namespace {

oxUriLoader g_loader = nullptr;

} // namespace

oxUriLoadListener* oxUriLoadListener::Create(oxEventTarget* target) {
    return new (std::nothrow) oxUriLoadListener(target);
}

oxUriLoadListener::~oxUriLoadListener() {
    if (load_) load_->Release();
}

void oxUriLoadListener::Release() {
    if (--refCount_ == 0) delete this;
}

void oxUriLoadListener::SetLoad(NUBO::XObject* load) {
    if (load) load->AddRef();
    NUBO::XObject* old = load_;
    load_ = load;
    if (old) old->Release();
}

void oxUriLoadListener::Forget() {
    target_ = nullptr;
    NUBO::XObject* load = load_;
    load_ = nullptr;
    if (!load) return;
    // The abort ends the load at once, and its end finds no target.
    AddRef();
    NUBO::XArgList none;
    NUBO::XVariant result;
    (void)load->InvokeMethodByName(u"abort", &none, &result);
    load->Release();
    Release();
}

oxUriLoader oxSetUriLoader(oxUriLoader loader) {
    oxUriLoader old = g_loader;
    g_loader = loader;
    return old;
}

oxUriLoader oxGetUriLoader() {
    return g_loader;
}
