#include "toolkit/scene/tests/toolkit_test_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/shell/path_map.h"
#include "runtime/charset.h"
#include "runtime/result_codes.h"
#include "toolkit/markup/box_uri.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace toolkit_test {
namespace {

std::string ArgText(XVariant* arg) {
    if (arg->vt == VT_DISPATCH || arg->vt == VT_UNKNOWN) {
        XObject* object = arg->ToXObject();
        std::string name = object ? object->GetClassDescriptor()->name : "null";
        if (object) object->Release();
        return "[" + name + "]";
    }
    if (arg->vt == VT_I4) return std::to_string(arg->lVal);
    NUBO::TWString text = arg->ToString();
    return Utf8(text.GetString());
}

template <int kArgs> int32_t Record(XObject* object, const char* name, XArgList* args) {
    auto* self = static_cast<RecordingListener*>(object);
    std::string line = std::string(name) + "(";
    for (int i = 0; i < kArgs; ++i)
        line += (i ? ", " : "") + ArgText(args->GetArg(i));
    self->calls.push_back(line + ")");
    return 0;
}

int32_t OnSceneLoadingError(XObject* o, int, XArgList* a, XVariant*) {
    return Record<4>(o, "onSceneLoadingError", a);
}
int32_t OnSceneOpen(XObject* o, int, XArgList* a, XVariant*) {
    return Record<1>(o, "onSceneOpen", a);
}
int32_t BeforeSceneClose(XObject* o, int, XArgList* a, XVariant*) {
    return Record<1>(o, "beforeSceneClose", a);
}
int32_t OnSceneClosed(XObject* o, int, XArgList* a, XVariant*) {
    return Record<1>(o, "onSceneClosed", a);
}
int32_t OnFinalSceneClose(XObject* o, int, XArgList* a, XVariant*) {
    return Record<0>(o, "onFinalSceneClose", a);
}
int32_t LoadingError(XObject* o, int, XArgList* a, XVariant*) {
    return Record<1>(o, "loadingError", a);
}
int32_t LoadingComplete(XObject* o, int, XArgList* a, XVariant*) {
    return Record<0>(o, "loadingComplete", a);
}

const NUBO::XMemberEntry kListenerMembers[] = {
    NUBO::XMethod("beforeSceneClose", BeforeSceneClose), NUBO::XMethod("loadingComplete", LoadingComplete),
    NUBO::XMethod("loadingError", LoadingError),         NUBO::XMethod("onFinalSceneClose", OnFinalSceneClose),
    NUBO::XMethod("onSceneClosed", OnSceneClosed),       NUBO::XMethod("onSceneLoadingError", OnSceneLoadingError),
    NUBO::XMethod("onSceneOpen", OnSceneOpen),           NUBO::XMemberEnd(),
};

int32_t Tick(XObject* object, int, XArgList*, XVariant* result) {
    auto* probe = static_cast<Probe*>(object);
    ++probe->ticks;
    if (probe->onTick) probe->onTick(probe);
    if (probe->limit && probe->ticks >= probe->limit) return NUBO::XR_FAIL;
    *result = probe->ticks;
    return 0;
}

const NUBO::XMemberEntry kProbeMembers[] = {
    NUBO::XMethod("tick", Tick),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor RecordingListener::Descriptor = {"RecordingListener",  8, kListenerMembers,
                                                        &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor Probe::Descriptor = {"Probe", 2, kProbeMembers, &XObject::Descriptor, 0, {}};

std::string Utf8(const WCHAR* text) {
    if (!text) return "";
    return platform::Utf8FromWide(text, std::char_traits<char16_t>::length(text));
}

std::u16string Wide(const std::string& text) {
    return platform::WideFromUtf8(text);
}

void ToolkitTest::SetUp() {
    app = new oxApplication();
    app->AddRef();
    ASSERT_EQ(app->Init(), 1);
    listener = new RecordingListener();
    listener->AddRef();
    ASSERT_EQ(app->GetShell()->AddListener(listener), 0);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Inside the resources folder, the only place from which markup loads its scripts.
    folder = (std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources" /
              ("toolkit_scene_" + std::to_string(getpid()) + "_" + info->name()))
                 .string();
    std::filesystem::create_directories(folder);
}

void ToolkitTest::TearDown() {
    if (app) {
        app->Shutdown();
        app->Release();
    }
    if (listener) {
        EXPECT_EQ(listener->GetRefCount(), 1) << "the runtime keeps its listener";
        listener->Release();
    }
    EXPECT_EQ(oxApplication::GetStartCount(), 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    for (const std::string& made : boxFolders)
        std::filesystem::remove_all(made, ignored);
}

std::u16string ToolkitTest::WriteFile(const std::string& name, const std::string& content) {
    std::string path = folder + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    std::u16string device = platform::DevicePathFromHost(path);
    EXPECT_FALSE(device.empty());
    return device;
}

std::u16string ToolkitTest::WriteBoxFile(const std::string& path, const std::string& content) {
    std::u16string uri = u"box://" + Wide(path);
    NUBO::TWString local;
    ResolveUriToPath(uri.c_str(), nullptr, local);
    std::string host = platform::HostPathFromDevice(local.GetString());
    std::filesystem::path parent = std::filesystem::path(host).parent_path();
    if (!std::filesystem::exists(parent)) boxFolders.push_back(parent.string());
    std::filesystem::create_directories(parent);
    // Written beside its place and renamed over it: tests running at the same time may read it.
    const std::string temp = host + "." + std::to_string(getpid());
    std::ofstream(temp, std::ios::binary) << content;
    std::error_code ignored;
    std::filesystem::rename(temp, host, ignored);
    return uri;
}

std::string ToolkitTest::SceneMarkup(const std::string& inner) {
    return "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\">\n" + inner + "</vbox>\n";
}

} // namespace toolkit_test
