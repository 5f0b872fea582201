#pragma once
// Scripts run through the engine against this module's host objects, as scene scripts see them:
// "crypto", "device", and the constructors "XMLHttpRequest", "xOpenAuth", "uriRequest" and
// "domDocument". Tests wait on the message loop until a script expression reads true.
#include <gtest/gtest.h>

#include <string>

#include "app/crypto.h"
#include "app/dom_document.h"
#include "app/mobile_device.h"
#include "app/open_auth.h"
#include "app/uri_request.h"
#include "app/xml_http_request.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/tests/pump.h"
#include "runtime/script_constructors.h"
#include "runtime/startup.h"
#include "runtime/tests/script_test_site.h"

namespace test {

class HostScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(NUBO::Initialize(nullptr), 1);
        crypto = new XCrypto();
        crypto->AddRef();
        device = new XMobileDevice();
        device->AddRef();
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXXmlHttpRequest, &xmlHttpRequest), 0);
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXOpenAuth, &xOpenAuth), 0);
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXUriRequest, &uriRequest), 0);
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXDomDocument, &domDocument), 0);
        site.items = {{u"crypto", static_cast<NUBO::XObject*>(crypto)},
                      {u"device", device},
                      {u"XMLHttpRequest", xmlHttpRequest},
                      {u"xOpenAuth", xOpenAuth},
                      {u"uriRequest", uriRequest},
                      {u"domDocument", domDocument}};
        ASSERT_EQ(engine.Open(&site), S_OK);
    }
    void TearDown() override {
        platform::net::CancelAllBindings();
        EXPECT_EQ(engine.Close(), S_OK);
        for (NUBO::XObject* object : {static_cast<NUBO::XObject*>(crypto), static_cast<NUBO::XObject*>(device),
                                      xmlHttpRequest, xOpenAuth, uriRequest, domDocument}) {
            EXPECT_EQ(object->GetRefCount(), 1) << "the engine still holds a host object";
            object->Release();
        }
        NUBO::Shutdown();
    }

    void Run(const std::string& code) {
        std::u16string wide = platform::WideFromUtf8(code);
        ASSERT_EQ(engine.Run(wide.c_str()), S_OK) << code;
    }
    // The expression's value as text ("true" and "false" for booleans); "!error <hex HRESULT>" when
    // it failed.
    std::string Eval(const std::string& code) {
        std::u16string wide = platform::WideFromUtf8(code);
        NUBO::XVariant value = engine.Eval(wide.c_str());
        if (value.vt == VT_ERROR) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08x", unsigned(value.scode));
            return std::string("!error ") + hex;
        }
        if (value.vt == VT_BOOL) return value.boolVal ? "true" : "false";
        NUBO::TWString text = value.ToString();
        return platform::Utf8FromWide(text.GetString(), size_t(text.GetLength()));
    }
    // Runs the loop until the expression reads true.
    bool RunUntil(const std::string& condition, int boundMs = 20000) {
        return test::PumpUntil([&] { return Eval(condition) == "true"; }, boundMs);
    }

    NUBO::test::ScriptTestSite site;
    NUBO::test::ScriptTestEngine engine;
    XCrypto* crypto = nullptr;
    XMobileDevice* device = nullptr;
    NUBO::XObject* xmlHttpRequest = nullptr;
    NUBO::XObject* xOpenAuth = nullptr;
    NUBO::XObject* uriRequest = nullptr;
    NUBO::XObject* domDocument = nullptr;
};

} // namespace test
