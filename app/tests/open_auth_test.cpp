// The web login client against a local HTTPS login service: the exact requests it sends (the
// service checks the logout signature with its own HMAC computation), every kind of answer, and
// what the listener receives and the object keeps.
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/open_auth.h"
#include "app/tests/host_script.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/test_service.h"

namespace {

class OpenAuthTest : public test::HostScriptTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Ready());
        setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
        setenv("TANDU_LOGIN_URL", service.Https("/auth/").c_str(), 1);
        HostScriptTest::SetUp();
        Run("var answers = [];"
            "var auth = new xOpenAuth();"
            "auth.listener = { onAuthResponse: function (q, r) { answers.push({ q: q, r: r }); } };"
            "function last() { return answers[answers.length - 1].r; }");
    }
    void TearDown() override {
        HostScriptTest::TearDown();
        unsetenv("TANDU_CA_FILE");
        unsetenv("TANDU_LOGIN_URL");
    }
    // Runs `call` (auth.login() or auth.logout()) and waits for its answer.
    bool Exchange(const char* call = "auth.login()") {
        std::string before = Eval("answers.length");
        Run(call);
        return RunUntil("answers.length > " + before);
    }
    XOpenAuth* Native() {
        NUBO::XVariant value = engine.Eval(u"auth");
        NUBO::XObject* object = nullptr;
        if (value.GetXObject(&object) != 0) return nullptr;
        object->Release(); // the script keeps it
        return static_cast<XOpenAuth*>(object);
    }

    test::TestService service;
};

TEST_F(OpenAuthTest, TheLoginFormHoldsTheSetFieldsInTheirOrder) {
    struct Case {
        const char* setup;
        const char* form;
    } cases[] = {
        {"", "cacheflag=3&f=qs"},
        {"auth.devId = 'D&=+ é';", "cacheflag=3&devId=D%26%3D%2B%20%C3%A9&f=qs"},
        {"auth.ASQAnswer = 'ans'; auth.authMethod = 'pw'; auth.clientName = 'Tandu'; auth.clientVersion = '1.0';"
         "auth.forceRateLimit = true; auth.devId = 'dev'; auth.idType = 'mail'; auth.locale = 'ru-RU';"
         "auth.password = 'pässword'; auth.requestId = 'r1'; auth.RLToken = 'rl'; auth.loginId = 'ann@example.org';"
         "auth.securId = 'sid'; auth.tokenType = 'tt'; auth.captchaWord = 'word';",
         "asqAnswer=ans&authMethod=pw&cacheflag=3&clientName=Tandu&clientVersion=1.0&forceRateLimit=true&devId=dev"
         "&f=qs&idType=mail&language=ru-RU&pwd=p%C3%A4ssword&r=r1&rlToken=rl&s=ann%40example.org&securid=sid"
         "&tokenType=tt&word=word"},
        // A context replaces the client's name and version.
        {"auth.context = 'c_1';",
         "asqAnswer=ans&authMethod=pw&cacheflag=3&context=c%5F1&forceRateLimit=true&devId=dev&f=qs&idType=mail"
         "&language=ru-RU&pwd=p%C3%A4ssword&r=r1&rlToken=rl&s=ann%40example.org&securid=sid&tokenType=tt&word=word"},
        // A number written into a text field is sent as its text, a fraction too.
        {"auth.requestId = 1.5;",
         "asqAnswer=ans&authMethod=pw&cacheflag=3&context=c%5F1&forceRateLimit=true&devId=dev&f=qs&idType=mail"
         "&language=ru-RU&pwd=p%C3%A4ssword&r=1.5&rlToken=rl&s=ann%40example.org&securid=sid&tokenType=tt&word=word"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup);
        Run(c.setup);
        ASSERT_TRUE(Exchange());
        test::TestService::LoginRequest request = service.LastLogin();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/auth/clientLogin");
        EXPECT_EQ(request.body, c.form);
        EXPECT_TRUE(request.HasHeader("Content-Type: application/x-www-form-urlencoded")) << request.headers;
        EXPECT_TRUE(request.HasHeader("Cache-Control: no-store,no-cache")) << request.headers;
        EXPECT_EQ(request.headers.find("X-Forwarded-For"), std::string::npos) << "empty fields send no header";
    }
    Run("auth.ipAddress = '10.0.0.7'; auth.userAgent = 'mobileTandu/1.0.20.1 (Windows CE 5.2)';");
    ASSERT_TRUE(Exchange());
    test::TestService::LoginRequest request = service.LastLogin();
    EXPECT_TRUE(request.HasHeader("X-Forwarded-For: 10.0.0.7")) << request.headers;
    EXPECT_TRUE(request.HasHeader("User-Agent: mobileTandu/1.0.20.1 (Windows CE 5.2)")) << request.headers;
}

TEST_F(OpenAuthTest, ASuccessfulLoginIsKeptAndSignsTheLogout) {
    service.SetAnswer(200, "statusCode=200&statusText=OK+done&token_a=abc%2Fdef&hostTime=777"
                           "&sessionSecret=s3cr%C3%A9t&token_expiresIn=3600&userData_loginId=ann"
                           "&userData_displayName=Ann+B&userData_lastAuth=-5&requestId=r1&rlToken=rl2"
                           "&redirectURL=https%3A%2F%2Fx%2F\r\n");
    Run("auth.devId = 'dev'; auth.password = 'pässword'; auth.loginId = 'ann';");
    long before = long(std::time(nullptr));
    ASSERT_TRUE(Exchange());
    long after = long(std::time(nullptr));
    struct Field {
        const char* expression;
        std::string value;
    } fields[] = {
        {"last().requestType", "1"},
        {"last().httpStatusCode", "200"},
        {"last().httpStatusText", "OK"},
        {"last().statusCode", "200"},
        {"last().statusText", "OK done"},
        {"last().authToken", "abc/def"},
        {"last().hostTime", "777"},
        {"last().sessionSecret", "s3crét"},
        {"last().tokenExpiresIn", "3600"},
        {"last().userDataLoginId", "ann"},
        {"last().userDataDisplayName", "Ann+B"},
        {"last().userDataLastAuth", "-5"},
        {"last().requestId", "r1"},
        {"last().rlToken", "rl2"},
        {"last().redirectUrl", "https://x/"},
        {"answers[0].q.password", "pässword"},
        {"answers[0].q.sessionKey == crypto.hmacSHA256Encode('pässword', 's3crét')", "true"},
        {"auth.authToken", "abc/def"},
        {"auth.sessionKey == crypto.hmacSHA256Encode('pässword', 's3crét')", "true"},
        {"auth.hostTime", "777"},
        {"auth.clientTime == last().clientTime", "true"},
    };
    for (const Field& f : fields)
        EXPECT_EQ(Eval(f.expression), f.value) << f.expression;
    long clientTime = std::atol(Eval("auth.clientTime").c_str());
    EXPECT_GE(clientTime, before);
    EXPECT_LE(clientTime, after);

    // The logout: a GET whose signature the service recomputes from the password and the secret.
    service.SetAnswer(200, "statusCode=200&sessionSecret=other&url=https%3A%2F%2Fc%2Fimg");
    ASSERT_TRUE(Exchange("auth.logout()"));
    test::TestService::LoginRequest request = service.LastLogin();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target.substr(0, request.target.find("&sig_sha256=")), "/auth/logout?a=abc%2Fdef&devId=dev&f=qs");
    EXPECT_EQ(request.signature, "ok");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(Eval("last().requestType"), "5");
    EXPECT_EQ(Eval("last().captchaUrl"), "https://c/img") << "only a login's captcha address is completed";
    EXPECT_EQ(Eval("auth.sessionKey == crypto.hmacSHA256Encode('pässword', 's3crét')"), "true")
        << "a logout's secret derives no key";

    // A signature under another key is refused by the service.
    Run("auth.sessionKey = 'not the key';");
    ASSERT_TRUE(Exchange("auth.logout()"));
    EXPECT_EQ(service.LastLogin().signature, "bad");
}

TEST_F(OpenAuthTest, EveryAnswerIsReportedAndOnlyHttp200ChangesTheState) {
    Run("auth.devId = 'dev'; auth.authToken = 'old';");
    struct Case {
        int status;
        std::string body;
        const char* expression; // what the listener received, or what the object keeps
        const char* value;
    } cases[] = {
        {200, "statusCode=330&challenge_context=ctx1&challenge_info=Type+the+word&url=https%3A%2F%2Fc%2Fcaptcha",
         "[last().captchaUrl, last().challengeInfo, auth.context, auth.authToken].join('|')",
         "https://c/captcha?context=ctx1&devId=dev&f=image|Type the word|ctx1|old"},
        {500, "statusCode=200&statusText=Server%2Berror&challenge_context=ctx2&token_a=new",
         "[last().httpStatusCode, last().statusText, auth.context, auth.authToken].join('|')",
         "500|Server error|ctx1|old"},
        {200, "", "[last().statusCode, last().httpStatusCode].join('|')", "0|200"},
        {200, "garbage", "last().statusCode", "0"},
        {200, "=x&statusCode=201&statusCode=202", "last().statusCode", "202"},
        {200, "token_a=%G1&statusCode=7", "[last().authToken, last().statusCode].join('|')", "|7"},
        {200, "statusCode=12xy&statusDetailCode=abc", "[last().statusCode, last().statusDetailCode].join('|')", "12|0"},
        {200, "statusText=" + std::string(1 << 20, 'x'), "last().statusText.length", "1048576"},
    };
    int answered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 80));
        service.SetAnswer(c.status, c.body);
        ASSERT_TRUE(Exchange());
        ++answered;
        EXPECT_EQ(Eval(c.expression), c.value);
    }
    EXPECT_EQ(Eval("answers.length"), std::to_string(answered));
    EXPECT_EQ(Native()->PendingCount(), 0u);
}

TEST_F(OpenAuthTest, ResetDropsPendingRequestsAndTheLoginFields) {
    Run("auth.devId = 'dev'; auth.locale = 'ru-RU'; auth.clientName = 'Tandu'; auth.password = 'pw';"
        "auth.context = 'ctx'; auth.loginId = 'ann';");
    service.Command("hold");
    Run("auth.login();");
    ASSERT_TRUE(test::PumpUntil([&] { return !service.LastLogin().method.empty(); }));
    EXPECT_EQ(Native()->PendingCount(), 1u);
    Run("auth.reset();");
    EXPECT_EQ(Native()->PendingCount(), 0u);
    service.Command("release");
    EXPECT_EQ(Eval("[auth.password, auth.context, auth.loginId, auth.devId, auth.locale].join('|')"), "|||dev|ru-RU");

    // The next login sends what reset kept; the dropped request never answers.
    ASSERT_TRUE(Exchange());
    EXPECT_EQ(service.LastLogin().body, "cacheflag=3&clientName=Tandu&devId=dev&f=qs&language=ru-RU");
    EXPECT_EQ(Eval("answers.length"), "1");
}

TEST_F(OpenAuthTest, AnUnreachableServiceIsReportedAndAPlainAddressRefused) {
    std::string refused = "https://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/auth/";
    setenv("TANDU_LOGIN_URL", refused.c_str(), 1);
    ASSERT_TRUE(Exchange());
    EXPECT_EQ(Eval("last().httpStatusCode"), "12029");

    setenv("TANDU_LOGIN_URL", service.Http("/auth/").c_str(), 1);
    EXPECT_EQ(Eval("auth.login()"), "!error 80070057") << "the password never goes in clear";
}

} // namespace
