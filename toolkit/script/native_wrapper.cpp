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

// FIXME: HandleBox gets its members once handle boxes exist; until then scripts can hold, compare
// and test them. The other classes have theirs in their own files.
XClassDescriptor HandleBox = {"HandleBox", 1, kNoMembers, &Box, 0, {}};

} // namespace wrapper_class
