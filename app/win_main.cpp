#include "app/win_main.h"

#include <cstdio>

#include "app/app.h"
#include "app/crypto.h"
#include "app/dom_document.h"
#include "app/key_value_storage.h"
#include "app/mobile_device.h"
#include "app/open_auth.h"
#include "app/script_function.h"
#include "app/shell_listener.h"
#include "app/timer.h"
#include "app/uri_callback.h"
#include "app/uri_request.h"
#include "app/xml_http_request.h"
#include "platform/com/class_registry.h"
#include "platform/crt/wide.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/files.h"
#include "platform/win/font.h"
#include "platform/win/gdi.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "runtime/live_array.h"
#include "runtime/script_array.h"
#include "runtime/script_constructors.h"
#include "runtime/script_dictionary.h"
#include "runtime/startup.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/app_utils.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

using NUBO::TWString;
using NUBO::XObject;
using NUBO::XVariant;

namespace app {
namespace {

constexpr UINT kFirstKeyMessage = 0x100;
constexpr UINT kLastKeyMessage = 0x108;
constexpr DWORD kModulePathUnits = 260;
constexpr int kScreenDpi = 96;

int runBoundSeconds = 0;
StepLog stepLog = nullptr;
SceneDriver sceneDriver = nullptr;
SceneDriver sceneSetup = nullptr;

void Step(const char* step) {
    if (stepLog) stepLog(step);
}

// Made by plain allocation with one reference and no Initialize, as the main function makes its
// host objects; null when memory is short.
template <class T, class... Args> T* MakeHostObject(Args... args) {
    T* object = new (std::nothrow) T(args...);
    if (object) object->AddRef();
    return object;
}

XObject* MakeConstructor(int32_t (*create)(XObject**)) {
    XObject* constructor = nullptr;
    if (NUBO::CreateScriptObjectConstructor(create, &constructor) != 0) return nullptr;
    return constructor;
}

// Adds (or removes) every "*.ttf" of the resources folder beside the program as a private font.
void ChangeResourceFonts(bool adding) {
    WCHAR path[kModulePathUnits + 1] = {};
    GetModuleFileNameW(nullptr, path, kModulePathUnits);
    const WCHAR* slash = wcsrchr(path, u'\\');
    TWString folder(path, slash ? int(slash - path) : 0);
    folder += u"\\resources";
    TWString pattern(folder);
    pattern += u"\\*.ttf";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.GetString(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        TWString file(folder);
        file += u'\\';
        file += found.cFileName;
        if (adding)
            AddFontResourceW(file.GetString());
        else
            RemoveFontResourceW(file.GetString());
    } while (FindNextFileW(find, &found));
    FindClose(find);
    SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

// The run bound ends the program whatever scenes are open: it closes them one a turn, the last
// opened first, as Back presses would, so that a dialog's modal loop unwinds before the scene
// that asked is closed.
constexpr UINT kBoundStepMs = 10;
Shell* boundShell = nullptr;
UINT_PTR boundTimer = 0;

void RunBoundReached(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    boundTimer = 0;
    oxRuntime* runtime = boundShell ? boundShell->GetRuntime() : nullptr;
    const int count = runtime ? runtime->GetSceneCount() : 0;
    if (count == 0) return;
    if (count > 1) boundTimer = SetTimer(nullptr, 0, kBoundStepMs, RunBoundReached);
    // Forced: a bound that a scene could refuse would not end the run.
    runtime->GetSceneAt(count - 1)->Close(true);
}

void RunMessageLoop(Shell* shell) {
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) break;
        if (got < 0) continue;
        XVariant handled(false);
        if (msg.message >= kFirstKeyMessage && msg.message <= kLastKeyMessage)
            shell->PreTranslateAccelerator(msg.hwnd, msg.message, msg.wParam, msg.lParam, &handled);
        if (!handled.ToBool()) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace

void SetRunBound(int seconds) {
    runBoundSeconds = seconds > 0 ? seconds : 0;
}

void SetStepLog(StepLog log) {
    stepLog = log;
}

void SetSceneDriver(SceneDriver driver) {
    sceneDriver = driver;
}

void SetSceneSetup(SceneDriver setup) {
    sceneSetup = setup;
}

} // namespace app

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int status = 0;
    using namespace app;
    if (HWND running = FindWindowW(nullptr, kMainWindowTitle)) {
        Step("handover");
        return SetForegroundWindow(running) == 1 ? 0 : 1;
    }
    NUBO::Initialize(nullptr);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Step("runtime");

    oxApplication* application = new (std::nothrow) oxApplication();
    if (application) application->AddRef();
    if (application && application->Init()) {
        Step("toolkit");
        Shell* shell = application->GetShell();
        if (!shell) {
            application->Shutdown();
        } else {
            shell->AddRef();
            ShellListener* listener = nullptr;
            if (CreateShellListener(instance, &listener) == 0) shell->AddListener(listener);
            Step("listener");

            XVariant out;
            XObject* device = MakeHostObject<XMobileDevice>();
            XObject* appObject = MakeHostObject<App>();
            XObject* crypto = MakeHostObject<XCrypto>();
            shell->AddDOMObject(TWString(u"device"), device, &out);
            shell->AddDOMObject(TWString(u"app"), appObject, &out);
            shell->AddDOMObject(TWString(u"crypto"), crypto, &out);

            XScriptFunction* setTimeout = MakeHostObject<XScriptFunction>(u"setTimeoutObject");
            shell->AddNamedObject(TWString(u"setTimeoutObject"), setTimeout);

            XObject* xArray = MakeConstructor(NUBO::CreateXArray);
            XObject* xDictionary = MakeConstructor(NUBO::CreateXDictionary);
            XObject* uriRequest = MakeConstructor(CreateXUriRequest);
            XObject* liveArray = MakeConstructor(NUBO::CreateXLiveArray);
            XObject* xmlHttpRequest = MakeConstructor(CreateXXmlHttpRequest);
            XObject* domDocument = MakeConstructor(CreateXDomDocument);
            XObject* keyValueStorage = MakeConstructor(CreateXKeyValueStorage);
            XObject* xOpenAuth = MakeConstructor(CreateXOpenAuth);
            XObject* appUtils = MakeHostObject<AppUtils>();
            shell->AddNamedObject(TWString(u"appUtils"), appUtils);
            shell->AddNamedObject(TWString(u"xArray"), xArray);
            shell->AddNamedObject(TWString(u"xDictionary"), xDictionary);
            shell->AddNamedObject(TWString(u"uriRequest"), uriRequest);
            oxSetUriLoader(&OpenUriAsync);
            shell->AddNamedObject(TWString(u"liveArray"), liveArray);
            shell->AddNamedObject(TWString(u"XMLHttpRequest"), xmlHttpRequest);
            shell->AddNamedObject(TWString(u"domDocument"), domDocument);
            shell->AddNamedObject(TWString(u"keyValueStorage"), keyValueStorage);
            shell->AddNamedObject(TWString(u"xOpenAuth"), xOpenAuth);
            Step("host objects");

            ChangeResourceFonts(true);
            HDC screen = GetDC(nullptr);
            int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : -1;
            if (screen) ReleaseDC(nullptr, screen);
            float scale = dpi != -1 && dpi > kScreenDpi ? 1.3f : 1.0f;
            shell->SetUiScale(XVariant(int(scale * 100)));

            XVariant scene;
            if (sceneSetup) sceneSetup(shell);
            if (shell->OpenScene(TWString(u"main.box"), nullptr, TWString(u"main"), nullptr, nullptr, false, &scene) ==
                0) {
                Step("scene");
                if (runBoundSeconds) {
                    boundShell = shell;
                    boundTimer = SetTimer(nullptr, 0, UINT(runBoundSeconds) * 1000, RunBoundReached);
                }
                if (sceneDriver) sceneDriver(shell);
                RunMessageLoop(shell);
                if (boundTimer) KillTimer(nullptr, boundTimer);
                boundTimer = 0;
                boundShell = nullptr;
                Step("loop ended");
            } else if (shell->GetRuntime() && shell->GetRuntime()->GetOpenedSceneCount() > 0) {
                Step("scene closed while it opened"); // its own doing: the program is done
            } else {
                // Without its first scene the program has nothing to show: say so and fail.
                std::fprintf(stderr, "tandu: the first scene main.box could not be opened\n");
                status = 1;
            }

            // Downloads and timers still pending hold script objects: they go while the engines
            // are there to take them back.
            platform::net::CancelAllBindings();
            Timer::CancelAll();

            if (!(scene.vt == VT_I4 && scene.lVal == 0)) {
                if (XObject* object = scene.ToXObject()) { // counted
                    scene.Clear();
                    shell->CloseScene(object);
                    object->Release();
                }
            }
            scene = 0;
            if (listener) shell->RemoveListener(listener);
            shell->Release();
            ChangeResourceFonts(false);
            scene.Clear();
            for (XObject* object : {appUtils, xOpenAuth, keyValueStorage, domDocument, xmlHttpRequest, liveArray,
                                    uriRequest, xDictionary, xArray, static_cast<XObject*>(setTimeout), crypto,
                                    appObject, device, static_cast<XObject*>(listener)})
                if (object) object->Release();
            Step("host objects released");
            application->Shutdown();
            Step("toolkit stopped");
        }
    }
    CoUninitialize();
    NUBO::Shutdown();
    if (application) application->Release();
    Step("exit");
    return status;
}
