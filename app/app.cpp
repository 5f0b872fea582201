#include "app/app.h"

#include <new>
#include <vector>

#include "app/notifier.h"
#include "app/win_main.h"
#include "platform/crt/wide.h"
#include "platform/shell/data_protection.h"
#include "platform/shell/files.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/picture_picker.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/system_params.h"
#include "runtime/result_codes.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"

using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

constexpr const WCHAR* kVersion = u"1.0.20.1";
constexpr const WCHAR* kProductName = u"Tandu";
constexpr const WCHAR* kProductId = u"mobileTandu";
constexpr const WCHAR* kDevKey = u"qT4nWz8RkeLs2VbH";
constexpr const WCHAR* kLocale = u"ru-RU";
constexpr const WCHAR* kBuildName = u"weftlyMobileTandu";
constexpr DWORD kPathUnits = 260;
constexpr DWORD kPickerFlags = 0x20002; // thumbnail view, DRM forward-locked files hidden
constexpr DWORD kSmallBuffer = 256;

// "Windows CE 5.2" on the device; " " when the platform does not say.
TWString PlatformText() {
    TWString name, version;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (GetVersionExW(&info)) {
        if (info.dwPlatformId == VER_PLATFORM_WIN32_CE) name = u"Windows CE";
        if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) name = u"Windows NT";
        version.Format(u"%d.%d", int(info.dwMajorVersion), int(info.dwMinorVersion));
    }
    TWString text(name);
    text += u" ";
    text += version;
    return text;
}

int32_t DebugLog(App*, XArgList* args, XVariant*) {
    (void)args->GetArg(0)->ToString();
    return 0;
}

int32_t PictureThumbnailGrid(App*, XArgList* args, XVariant* out) {
    WCHAR file[kPathUnits] = {};
    OPENFILENAMEEX info{};
    info.lStructSize = sizeof(info);
    info.hwndOwner = reinterpret_cast<HWND>(uintptr_t(uint32_t(args->GetArg(0)->ToInt32())));
    info.lpstrFilter = u"All Files (*.*)\0*.*\0";
    info.lpstrFile = file;
    info.nMaxFile = kPathUnits;
    info.lpstrTitle = u"Thumbnail View";
    info.ExFlags = kPickerFlags;
    if (GetOpenFileNameEx(&info)) *out = file;
    return 0;
}

int32_t ProtectString(App*, XArgList* args, XVariant* out) {
    NUBO::XArgString text(args->GetArg(0));
    const int size = WideCharToMultiByte(CP_ACP, 0, text.GetString(), text.GetLength(), nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(size_t(size) + 1, 0); // with the NUL that unprotectString reads up to
    if (size) WideCharToMultiByte(CP_ACP, 0, text.GetString(), text.GetLength(), bytes.data(), size, nullptr, nullptr);
    DATA_BLOB in{DWORD(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())}, sealed{0, nullptr};
    if (CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &sealed)) {
        NUBO::XStream* stream = nullptr;
        if (NUBO::XStream::Create(&stream) == 0) {
            uint32_t written = 0;
            if (stream->Write(sealed.pbData, sealed.cbData, &written) == 0 && stream->Seek(0, 0) == 0)
                out->SetObject(stream);
            stream->Release();
        }
    }
    LocalFree(sealed.pbData);
    return 0;
}

int32_t UnprotectString(App*, XArgList* args, XVariant* out) {
    NUBO::XStream* stream = nullptr;
    if (NUBO::VariantToXStream(&stream, args->GetArg(0)) != 0 || !stream) return 0;
    int64_t size = 0;
    stream->GetSize(&size);
    const uint32_t length = uint32_t(size);
    BYTE local[kSmallBuffer];
    std::vector<BYTE> heap;
    BYTE* buffer = local;
    if (length > kSmallBuffer) {
        heap.resize(length);
        buffer = heap.data();
    }
    uint32_t read = 0;
    if (length && (stream->Seek(0, 0) != 0 || stream->Read(buffer, length, &read) != 0)) read = 0;
    stream->Release();
    DATA_BLOB in{read, buffer}, plain{0, nullptr};
    if (CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &plain)) {
        const auto* text = reinterpret_cast<const char*>(plain.pbData);
        int n = 0;
        while (DWORD(n) < plain.cbData && text[n])
            ++n;
        TWString result;
        const int units = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
        if (units > 0 && result.Resize(units, false)) {
            MultiByteToWideChar(CP_ACP, 0, text, n, result.GetBuffer(), units);
            result.GetBuffer()[units] = 0;
        }
        *out = result.IsEmpty() ? TWString(u"") : result;
    }
    LocalFree(plain.pbData);
    return 0;
}

int32_t NewNotification(App* self, XArgList* args, XVariant*) {
    NUBO::XArgString kind(args->GetArg(4));
    const int32_t duration = args->GetArg(3)->ToInt32();
    NUBO::XArgString buddyId(args->GetArg(2));
    NUBO::XArgString message(args->GetArg(1));
    XObject* scene = script_class::ArgObjectOf(args, 0, &Scene::Descriptor);
    if (XNotifier* notifier = self->EnsureNotifier(); notifier && scene)
        notifier->Add(static_cast<Scene*>(scene), message.GetString(), buddyId.GetString(), duration, kind.GetString());
    if (scene) scene->Release();
    return 0;
}

int32_t Minimize(App*, XArgList*, XVariant*) {
    if (HWND main = FindWindowW(nullptr, kMainWindowTitle)) ShowWindow(main, SW_MINIMIZE);
    return 0;
}

int32_t DismissNotifications(App* self, XArgList*, XVariant*) {
    if (XNotifier* notifier = self->GetNotifier()) notifier->DismissAll();
    return 0;
}

int32_t OverrideBackButton(App*, XArgList* args, XVariant*) {
    HWND window = reinterpret_cast<HWND>(uintptr_t(args->GetArg(0)->ToUInt32()));
    const bool override = args->GetArg(1)->ToBool();
    if (HWND bar = SHFindMenuBar(window)) {
        const WORD both = SHMBOF_NODEFAULT | SHMBOF_NOTIFY;
        SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(both, override ? both : 0));
    }
    return 0;
}

template <const WCHAR* const* Text> int32_t Constant(App*, XVariant* out) {
    *out = *Text;
    return 0;
}
constexpr const WCHAR* const* kVersionText = &kVersion;
constexpr const WCHAR* const* kProductNameText = &kProductName;
constexpr const WCHAR* const* kProductIdText = &kProductId;
constexpr const WCHAR* const* kDevKeyText = &kDevKey;
constexpr const WCHAR* const* kLocaleText = &kLocale;
constexpr const WCHAR* const* kBuildNameText = &kBuildName;

int32_t UserAgent(App*, XVariant* out) {
    TWString text(kProductId);
    text += u"/";
    text += kVersion;
    text += u" (";
    text += PlatformText();
    text += u")";
    *out = text;
    return 0;
}

int32_t Platform(App*, XVariant* out) {
    *out = PlatformText();
    return 0;
}

int32_t Path(App*, XVariant* out) {
    WCHAR path[kPathUnits + 1] = {};
    GetModuleFileNameW(nullptr, path, kPathUnits);
    const WCHAR* slash = wcsrchr(path, u'\\');
    *out = slash ? TWString(path, int(slash - path)) : TWString(path);
    return 0;
}

int32_t SetAppIcon(App* self, const VARIANT& value) {
    const int32_t status = XVariant(value).ToInt32();
    if (XNotifier* notifier = self->EnsureNotifier()) notifier->SetStatus(status);
    return 0;
}

using script_class::MethodRow;
using script_class::PropertyRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<1, DebugLog>("debugLog"),
    MethodRow<1, PictureThumbnailGrid>("pictureThumbnailGrid"),
    MethodRow<1, ProtectString>("protectString"),
    MethodRow<1, UnprotectString>("unprotectString"),
    MethodRow<5, NewNotification>("newNotification"),
    MethodRow<0, Minimize>("minimize"),
    MethodRow<0, DismissNotifications>("dismissNotifications"),
    MethodRow<2, OverrideBackButton>("overrideBackButton"),
    PropertyRow<Constant<kVersionText>>("version"),
    PropertyRow<Constant<kProductNameText>>("productName"),
    PropertyRow<Constant<kProductIdText>>("productId"),
    PropertyRow<UserAgent>("userAgent"),
    PropertyRow<Constant<kDevKeyText>>("devKey"),
    NUBO::XProperty("appIcon", nullptr, script_class::Setter<App, SetAppIcon>),
    PropertyRow<Platform>("platform"),
    PropertyRow<Constant<kLocaleText>>("locale"),
    PropertyRow<Constant<kBuildNameText>>("buildName"),
    PropertyRow<Path>("path"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor App::Descriptor = {"App", 19, kMembers, &XObject::Descriptor, 0, {}};

App::~App() {
    delete notifier_;
}

XNotifier* App::EnsureNotifier() {
    if (!notifier_) notifier_ = CreateNotifier();
    return notifier_;
}
