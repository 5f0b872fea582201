#include "app/shell_listener.h"

#include <new>

#include "platform/win/message_queue.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XVariant;

namespace {

int32_t Ignore(ShellListener*, XArgList*, XVariant*) {
    return 0;
}

int32_t FinalSceneClosed(ShellListener*, XArgList*, XVariant*) {
    PostQuitMessage(0);
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("onSceneLoadingError", script_class::Method<ShellListener, 4, Ignore>),
    NUBO::XMethod("onSceneOpen", script_class::Method<ShellListener, 1, Ignore>),
    NUBO::XMethod("beforeSceneClose", script_class::Method<ShellListener, 1, Ignore>),
    NUBO::XMethod("onSceneClosed", script_class::Method<ShellListener, 1, Ignore>),
    NUBO::XMethod("onFinalSceneClose", script_class::Method<ShellListener, 0, FinalSceneClosed>),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor ShellListener::Descriptor = {"ShellListener", 6, kMembers, &NUBO::XObject::Descriptor, 0, {}};

int32_t CreateShellListener(HINSTANCE instance, ShellListener** out) {
    return script_class::CreateInstance<ShellListener>(out, instance);
}
