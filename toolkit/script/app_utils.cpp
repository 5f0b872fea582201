#include "toolkit/script/app_utils.h"

#include <iterator>
#include <vector>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/uri.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/factory.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/scene_frame.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;

namespace {

constexpr int kCapsLockKey = 20;

// The native scene of a Scene argument, or null (any other object counts as none); the wrapper is
// held by `held`.
oxScene* ArgScene(XArgList* args, int i, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(script_class::ArgObjectOf(args, i, &Scene::Descriptor));
    return held ? static_cast<Scene*>(held.get())->GetScene() : nullptr;
}

// Runs `dialog` with the scene's focus put aside, as the dialog owns the input meanwhile. The file
// dialog is a modal scene of its own over the others, so they need no disabling here.
template <class Dialog> void InModalFrame(oxScene* scene, Dialog dialog) {
    oxBox* focused = scene->GetFocusedBox();
    scene->SetFocusedBox(nullptr);
    dialog();
    if (focused) scene->SetFocusedBox(focused);
}

// -- methods ---------------------------------------------------------------------------------------

int32_t NoValue(AppUtils*, XArgList*, XVariant*) {
    return 0;
}

int32_t BoxUrlToPath(AppUtils*, XArgList* args, XVariant* out) {
    TWString text = ArgText(args, 0);
    oxUri uri(text.GetString());
    TWString path;
    if (!UriToLocalPath(uri, path)) path = TWString(u"");
    *out = path.GetString() ? path : TWString(u"");
    return 0;
}

int32_t PlaySound(AppUtils*, XArgList* args, XVariant*) {
    const int count = args->GetCount();
    if (count == 1) {
        PlayNamedSound(nullptr, ArgText(args, 0).GetString());
        return 0;
    }
    if (count != 2) return NUBO::XR_TOO_FEW_ARGS;
    RefPtr<XObject> held;
    PlayNamedSound(ArgScene(args, 0, held), ArgText(args, 1).GetString());
    return 0;
}

// The window of the scene's frame, the owner of its dialogs; null when it shows in none.
HWND OwnerWindow(oxScene* scene) {
    auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
    return window && window->GetFrame() ? window->GetFrame()->GetWindow() : nullptr;
}

template <bool Save> int32_t FileDialog(AppUtils*, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxScene* scene = ArgScene(args, 0, held);
    if (!scene) return 0;
    const TWString title = ArgText(args, 1), initialFile = ArgText(args, 2), folder = ArgText(args, 3);
    // "Text|*.txt|All|*.*" in the platform's form: each '|' a NUL, and one more NUL at the end.
    const TWString filterText = ArgText(args, 4);
    std::vector<WCHAR> filter(filterText.GetString(), filterText.GetString() + filterText.GetLength());
    for (WCHAR& c : filter)
        if (c == u'|') c = 0;
    filter.push_back(0);
    filter.push_back(0);
    const TWString extension = Save ? ArgText(args, 5) : TWString(u"");
    const bool multiple = !Save && script_class::ArgBool(args, 5);
    int32_t rc = 0;
    InModalFrame(scene, [&] {
        XObject* paths = nullptr;
        rc = ShowFileDialog(Save, OwnerWindow(scene), title.GetString(), initialFile.GetString(), folder.GetString(),
                            filter.data(), extension.GetString(), multiple, &paths);
        if (paths) script_class::PutObject(out, paths);
    });
    return rc;
}

int32_t NoDialog(AppUtils*, XArgList* args, XVariant*) {
    RefPtr<XObject> held;
    if (oxScene* scene = ArgScene(args, 0, held)) InModalFrame(scene, [] {});
    return 0;
}

int32_t ColorDialog(AppUtils*, XArgList* args, XVariant* out) {
    const uint32_t colour = args->GetArg(1)->ToUInt32();
    RefPtr<XObject> held;
    if (oxScene* scene = ArgScene(args, 0, held)) InModalFrame(scene, [] {});
    *out = XVariant(colour);
    return 0;
}

int32_t EnumFonts(AppUtils*, XArgList*, XVariant*) {
    (void)EnumerateFonts();
    return 0;
}

int32_t TrimWorkingSet(AppUtils*, XArgList* args, XVariant*) {
    (void)script_class::ArgBool(args, 0);
    return 0;
}

int32_t SaveFontOutline(AppUtils*, XArgList*, XVariant* out) {
    *out = true;
    return 0;
}

int32_t HasAutohideBar(AppUtils*, XArgList*, XVariant* out) {
    *out = false; // no side has a bar that hides itself
    return 0;
}

int32_t GetResourceStream(AppUtils*, XArgList* args, XVariant* out) {
    TWString uri = ArgText(args, 0);
    NUBO::XStream* raw = nullptr;
    if (OpenUriStream(uri.GetString(), &raw) != 0 || !raw) return NUBO::XR_FAIL;
    RefPtr<NUBO::XStream> stream(raw);
    out->Clear();
    return NUBO::XStreamToVariant(out, stream.get()) == 0 ? 0 : NUBO::XR_OUT_OF_MEMORY;
}

int32_t MonitorRectFromPoint(AppUtils*, XArgList* args, XVariant* out) {
    Factory::CreateMonitorRectFromPoint(ArgInt(args, 0), ArgInt(args, 1), out);
    return 0;
}

int32_t ShellExecute(AppUtils*, XArgList* args, XVariant*) {
    const TWString path = ArgText(args, 0);
    return ShellOpen(path.GetString()) == 0 ? 0 : NUBO::XR_FAIL;
}

int32_t GetFolderByType(AppUtils*, XArgList* args, XVariant* out) {
    *out = GetTempFolder(ArgInt(args, 0));
    return 0;
}

// -- properties ------------------------------------------------------------------------------------

template <int Value> int32_t Constant(AppUtils*, XVariant* out) {
    *out = Value;
    return 0;
}

int32_t NoValueProperty(AppUtils*, XVariant*) {
    return 0;
}

int32_t GetDesktopWidth(AppUtils*, XVariant* out) {
    *out = int(GetDesktopSize().cx);
    return 0;
}
int32_t GetDesktopHeight(AppUtils*, XVariant* out) {
    *out = int(GetDesktopSize().cy);
    return 0;
}
int32_t GetWorkAreaHeight(AppUtils*, XVariant* out) {
    *out = int(GetWorkAreaSize().cy);
    return 0;
}
int32_t GetWorkAreaWidth(AppUtils*, XVariant* out) {
    *out = int(GetWorkAreaSize().cx);
    return 0;
}
int32_t GetWorkAreaX(AppUtils*, XVariant* out) {
    *out = int(GetWorkAreaOrigin().x);
    return 0;
}
int32_t GetWorkAreaY(AppUtils*, XVariant* out) {
    *out = int(GetWorkAreaOrigin().y);
    return 0;
}

int32_t GetMouseX(AppUtils*, XVariant* out) {
    *out = int(GetCursorPosition().x);
    return 0;
}
int32_t GetMouseY(AppUtils*, XVariant* out) {
    *out = int(GetCursorPosition().y);
    return 0;
}

int32_t GetMouseWheelScrollLines(AppUtils*, XVariant* out) {
    *out = XVariant(uint32_t(GetWheelScrollLines()));
    return 0;
}

int32_t GetCapsLockState(AppUtils*, XVariant* out) {
    *out = IsKeyToggled(kCapsLockKey);
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<0, NoValue>("generateGUID"),
    MethodRow<1, BoxUrlToPath>("boxURLToPath"),
    MethodRow<1, PlaySound>("playSound"),
    MethodRow<2, NoValue>("getString"),
    MethodRow<6, FileDialog<false>>("openFileDialog"),
    MethodRow<6, FileDialog<true>>("saveFileDialog"),
    MethodRow<4, NoDialog>("browseFolderDialog"),
    MethodRow<3, NoDialog>("fontDialog"),
    MethodRow<2, ColorDialog>("colorDialog"),
    MethodRow<0, EnumFonts>("enumFonts"),
    MethodRow<1, TrimWorkingSet>("trimWorkingSet"),
    MethodRow<5, SaveFontOutline>("saveFontOutline"),
    MethodRow<2, HasAutohideBar>("hasAutohideBar"),
    MethodRow<1, GetResourceStream>("getResourceStream"),
    script_class::ObjectMethodRow<2, MonitorRectFromPoint>("monitorRectFromPoint"),
    MethodRow<1, ShellExecute>("shellExecute"),
    MethodRow<1, GetFolderByType>("getFolderByType"),
    PropertyRow<Constant<0>>("TRANSFER_OPERATION_NONE"),
    PropertyRow<Constant<1>>("TRANSFER_OPERATION_COPY"),
    PropertyRow<Constant<2>>("TRANSFER_OPERATION_MOVE"),
    PropertyRow<Constant<4>>("TRANSFER_OPERATION_LINK"),
    PropertyRow<Constant<8>>("TRANSFER_OPERATION_BLOCK"),
    PropertyRow<GetDesktopWidth>("desktopWidth"),
    PropertyRow<GetDesktopHeight>("desktopHeight"),
    PropertyRow<GetWorkAreaHeight>("workAreaHeight"),
    PropertyRow<GetWorkAreaWidth>("workAreaWidth"),
    PropertyRow<GetWorkAreaX>("workAreaX"),
    PropertyRow<GetWorkAreaY>("workAreaY"),
    PropertyRow<NoValueProperty>("accScreenReader"),
    PropertyRow<NoValueProperty>("accHighContrast"),
    PropertyRow<NoValueProperty>("accTheme"),
    PropertyRow<NoValueProperty>("systemFontDiff"),
    PropertyRow<GetMouseX>("mouseX"),
    PropertyRow<GetMouseY>("mouseY"),
    PropertyRow<GetMouseWheelScrollLines>("mouseWheelScrollLines"),
    PropertyRow<GetCapsLockState>("capsLockState"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor AppUtils::Descriptor = {"AppUtils", int(std::size(kMembers)), kMembers, &XObject::Descriptor, 0,
                                               {}};
