#include "toolkit/script/native_wrapper.h"

#include "toolkit/script/script_wrapper_cache.h"

using NUBO::XClassDescriptor;
using NUBO::XObject;

namespace {

const NUBO::XMemberEntry kNoMembers[] = {NUBO::XMemberEnd()};

} // namespace

oxNativeWrapper::~oxNativeWrapper() {
    if (cache_) cache_->OnWrapperDestroyed(this);
}

namespace wrapper_class {


} // namespace wrapper_class
