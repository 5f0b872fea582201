#include "toolkit/script/app_utils.h"

#include <iterator>

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/task_bar.h"
#include "platform/win/beep.h"
#include "platform/win/sound.h"
#include "platform/win/input.h"
#include "platform/win/system_params.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_array.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/uri.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/box_uri.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/factory.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgInt;
using script_class::ArgText;

namespace {

constexpr int VK_CAPITAL_KEY = 20;

// The native scene of a Scene argument, or null (any other object counts as none); the wrapper is
// held by `held`.
oxScene* ArgScene(XArgList* args, int i, RefPtr<XObject>& held) {
    held = RefPtr<XObject>(script_class::ArgObjectOf(args, i, &Scene::Descriptor));
    return held ? static_cast<Scene*>(held.get())->GetScene() : nullptr;
}

// Runs `dialog` with the scene's focus put aside, as a platform dialog owns the input meanwhile.
// The dialogs of this platform answer at once, so no other scene can be reached while they run.
template <class Dialog> void InModalFrame(oxScene* scene, Dialog dialog) {
    oxBox* focused = scene->GetFocusedBox();
    scene->SetFocusedBox(nullptr);
    dialog();
    if (focused) scene->SetFocusedBox(focused);
}

void PutEmptyArray(XVariant* out) {
    XObject* array = nullptr;
    if (NUBO::CreateXArray(&array) == 0) script_class::PutObject(out, array);
}

// The beeps of the system sound names (any case); anything else is a sound file. The scene, when
// given, resolves a relative file name.
void PlayNamedSound(oxScene* scene, const TWString& name) {
    struct Named {
        const WCHAR* name;
        UINT beep;
    };
    static const Named kNames[] = {{u"syssoundasterisk", 0x40},
                                   {u"syssoundexclamation", 0x30},
                                   {u"syssoundhand", 0x10},
                                   {u"syssoundquestion", 0x20}};
    const WCHAR* text = name.GetString() ? name.GetString() : u"";
    if (!*text) {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    for (const Named& named : kNames) {
        if (_wcsicmp(text, named.name) == 0) {
            MessageBeep(named.beep);
            return;
        }
    }
    TWString path(text);
    if (scene && !oxUri::HasScheme(text)) {
        // A name relative to the scene lies in the resources folder, as a box path does.
        TWString resolved;
        if (ResolveUriToPath(text, scene->GetBase().GetString(), resolved) && !resolved.IsEmpty()) {
            path = resolved;
            if (path.GetString()[0] != u'\\' && !oxUri::HasScheme(path.GetString())) {
                path = TWString(u"box://");
                path += resolved;
            }
        }
    }
    oxUri uri(path.GetString());
    TWString file;
    if (UriToLocalPath(uri, file) && !file.IsEmpty()) path = file;
    // Played by its file name rather than from a buffer read from the stream: the sound player of
    // the desktop services is not here yet.
    PlaySoundW(path.GetString(), nullptr, SND_FILENAME | SND_ASYNC);
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
        PlayNamedSound(nullptr, ArgText(args, 0));
        return 0;
    }
    if (count != 2) return NUBO::XR_TOO_FEW_ARGS;
    RefPtr<XObject> held;
    PlayNamedSound(ArgScene(args, 0, held), ArgText(args, 1));
    return 0;
}

int32_t FileDialog(AppUtils*, XArgList* args, XVariant* out) {
    RefPtr<XObject> held;
    oxScene* scene = ArgScene(args, 0, held);
    if (!scene) return 0;
    InModalFrame(scene, [&] {
        // FIXME: the file dialog of the desktop services runs here once it exists; until then the
        // dialog answers as cancelled.
        PutEmptyArray(out);
    });
    return 0;
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
    (void)ArgInt(args, 0), (void)ArgInt(args, 1);
    // The device has one monitor: the screen.
    Factory::CreateRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), out);
    return 0;
}

int32_t ShellExecute(AppUtils*, XArgList* args, XVariant*) {
    TWString path = ArgText(args, 0);
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.lpFile = path.GetString();
    return ShellExecuteEx(&info) ? 0 : NUBO::XR_FAIL;
}

int32_t GetFolderByType(AppUtils*, XArgList* args, XVariant* out) {
    WCHAR folder[128] = {};
    if (ArgInt(args, 0) != 0 || GetTempPathW(128, folder) == 0) folder[0] = 0;
    *out = TWString(folder);
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
    *out = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    return 0;
}
int32_t GetDesktopHeight(AppUtils*, XVariant* out) {
    *out = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return 0;
}

RECT WorkArea() {
    RECT work{0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}
int32_t GetWorkAreaHeight(AppUtils*, XVariant* out) {
    const RECT work = WorkArea();
    *out = int(work.bottom - work.top);
    return 0;
}
int32_t GetWorkAreaWidth(AppUtils*, XVariant* out) {
    const RECT work = WorkArea();
    *out = int(work.right - work.left);
    return 0;
}
int32_t GetWorkAreaX(AppUtils*, XVariant* out) {
    *out = int(WorkArea().left);
    return 0;
}
int32_t GetWorkAreaY(AppUtils*, XVariant* out) {
    *out = int(WorkArea().top);
    return 0;
}

int32_t GetMouseX(AppUtils*, XVariant* out) {
    POINT p{0, 0};
    GetCursorPos(&p);
    *out = int(p.x);
    return 0;
}
int32_t GetMouseY(AppUtils*, XVariant* out) {
    POINT p{0, 0};
    GetCursorPos(&p);
    *out = int(p.y);
    return 0;
}

int32_t GetWheelScrollLines(AppUtils*, XVariant* out) {
    UINT lines = 0;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    *out = XVariant(uint32_t(lines));
    return 0;
}

int32_t GetCapsLockState(AppUtils*, XVariant* out) {
    *out = (GetKeyState(VK_CAPITAL_KEY) & 1) != 0;
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<0, NoValue>("generateGUID"),
    MethodRow<1, BoxUrlToPath>("boxURLToPath"),
    MethodRow<1, PlaySound>("playSound"),
    MethodRow<2, NoValue>("getString"),
    MethodRow<6, FileDialog>("openFileDialog"),
    MethodRow<6, FileDialog>("saveFileDialog"),
    MethodRow<4, NoDialog>("browseFolderDialog"),
    MethodRow<3, NoDialog>("fontDialog"),
    MethodRow<2, ColorDialog>("colorDialog"),
    MethodRow<0, NoValue>("enumFonts"),
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
    PropertyRow<GetWheelScrollLines>("mouseWheelScrollLines"),
    PropertyRow<GetCapsLockState>("capsLockState"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor AppUtils::Descriptor = {"AppUtils", int(std::size(kMembers)), kMembers, &XObject::Descriptor, 0,
                                               {}};
