// The program's sign-in screen against a login service whose answers the test sets: only an answer
// that opens a session (a token and a signing key) and names an https address for the service
// signs in, and a registry that cannot be used costs the remembered sign-in, nothing else.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/tests/demo_program_environment.h"
#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/notification.h"
#include "platform/shell/registry.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/test_service.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"

namespace {

namespace headless = platform::headless;

// A look that finds nothing yet looks again after this much virtual time, having given the
// service this much real time (in microseconds) to answer.
constexpr int kRetryMs = 20;
constexpr int kRetryRealUs = 2000;
constexpr int kMostRetries = 5000;

Shell* shell = nullptr;
UINT_PTR timer = 0;
int retries = 0;
bool signedIn = false;
std::u16string said;

oxScene* SceneNamed(const WCHAR* name) {
    return shell->GetRuntime()->FindSceneByName(name);
}

oxBox* MainBox(const WCHAR* id) {
    oxScene* scene = SceneNamed(u"main");
    return scene ? scene->GetBoxById(oxAtoms::Intern(id), false) : nullptr;
}

std::u16string MainValue(const WCHAR* id) {
    oxBox* box = MainBox(id);
    const WCHAR* text = box ? box->GetAttribute(oxAtoms::Intern(u"value")) : nullptr;
    return text ? text : u"";
}

// Waits for the sign-in's outcome: the contact list, or a message other than the one it starts with.
void Watch(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, timer);
    signedIn = SceneNamed(u"contacts") != nullptr;
    said = MainValue(u"message");
    if (!signedIn && (said.empty() || said == u"Signing in\u2026") && ++retries < kMostRetries) {
        usleep(kRetryRealUs);
        timer = SetTimer(nullptr, 0, kRetryMs, Watch);
        return;
    }
    // Every scene closes, the newest first; the last one ends the program.
    oxRuntime* runtime = shell->GetRuntime();
    while (runtime->GetSceneCount())
        runtime->GetSceneAt(runtime->GetSceneCount() - 1)->Close(true);
}

void SignIn(Shell* s) {
    shell = s;
    retries = 0;
    for (auto [id, value] : {std::pair{u"login", u"ann"}, std::pair{u"password", u"weft"}})
        MainBox(id)->SetAttribute(oxAtoms::Intern(u"value"), value, true, false);
    headless::SoftKey(1);
    timer = SetTimer(nullptr, 0, kRetryMs, Watch);
}

class SignInTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.HttpsReady());
        ASSERT_TRUE(environment.Ok());
        headless::UseVirtualClock(0);
    }
    void TearDown() override {
        headless::UseRealClock();
        platform::shell::ResetNotifications();
        platform::shell::ResetShell();
    }

    // Runs the program until the sign-in with this answer has an outcome.
    void Run(const std::string& answer) {
        service.SetAnswer(200, answer);
        signedIn = false;
        said.clear();
        app::SetSceneDriver(SignIn);
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
        app::SetSceneDriver(nullptr);
        shell = nullptr;
        platform::registry::CloseDatabase();
        EXPECT_LT(retries, kMostRetries) << "the sign-in had no outcome";
    }

    std::string Escaped(const std::string& url) {
        std::string out;
        for (char c : url)
            out += c == ':' ? std::string("%3A") : c == '/' ? std::string("%2F") : std::string(1, c);
        return out;
    }

    test::TestService service;
    test::DemoProgramEnvironment environment{service};
};

TEST_F(SignInTest, OnlyAnAnswerThatOpensASessionAtAnHttpsAddressSignsIn) {
    const std::string session = "statusCode=200&token_a=t1&sessionSecret=s1&redirectURL=";
    const struct {
        std::string answer;
        bool signsIn;
        std::u16string message;
    } cases[] = {
        {"statusCode=200", false, u"The service's answer opened no session."},
        {"statusCode=200&token_a=t1&redirectURL=" + Escaped(service.Https("/api/")), false,
         u"The service's answer opened no session."},
        {"statusCode=200&sessionSecret=s1&redirectURL=" + Escaped(service.Https("/api/")), false,
         u"The service's answer opened no session."},
        {session + Escaped(service.Http("/api/")), false, u"The service named an address that is not secure."},
        {session, false, u"The service named an address that is not secure."},
        {session + Escaped(service.Https("/api/")), true, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Run(c.answer);
        EXPECT_EQ(signedIn, c.signsIn);
        EXPECT_EQ(said, c.message);
    }
}

TEST_F(SignInTest, ADamagedRegistryStillSignsIn) {
    platform::registry::CloseDatabase();
    { std::ofstream(platform::registry::DatabasePath()) << std::string(4096, '\x01'); }
    ::testing::internal::CaptureStderr();
    Run("statusCode=200&token_a=t1&sessionSecret=s1&redirectURL=" + Escaped(service.Https("/api/")));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(signedIn) << "said: " << std::string(said.begin(), said.end());
}

} // namespace
