#pragma once
// XOpenAuthRequest: one exchange of the web login client with the login service. It copies the
// fields it needs from XOpenAuth, builds the form-encoded parameters (signed for logout), sends
// them over HTTPS through its own XXmlHttpRequest, and, when the answer is complete, parses it
// into an XOpenAuthResponse for its listener. XOpenAuthXmlHttpListener leads the transport's
// ready-state callbacks back to the request.
#include <cstdint>
#include <string>

#include "runtime/bstr_string.h"
#include "runtime/script_object.h"

class XXmlHttpRequest;
class XOpenAuthXmlHttpListener;

// The request types.
constexpr int32_t kOpenAuthClientLogin = 1;
constexpr int32_t kOpenAuthLogout = 5;

class XOpenAuthRequest : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XOpenAuthRequest"

    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // The exchanges; 0, or the first failing code (the request then stays unanswered).
    int32_t ClientLogin();
    int32_t Logout();
    // The transport says its state changed: at state 4 the answer goes to the listener.
    void OnReadyStateChanged();
    // Lets go of the transport: no answer comes any more.
    void Drop();
    void SetListener(NUBO::XObject* listener);

    // The fields, copied from XOpenAuth and seen by scripts under the same names.
    int32_t requestType = 0;
    NUBO::TBstr devId, loginId, locale, tokenType, requestId, password, securId, asqAnswer, captchaWord, context,
        authMethod, idType, rlToken, clientName, clientVersion;
    bool forceRateLimit = false;
    NUBO::TBstr authToken, sessionKey, userAgent, ipAddress;

protected:
    ~XOpenAuthRequest() override;

private:
    int32_t Send(const WCHAR* method, const std::u16string& url, const WCHAR* body);

    NUBO::XObject* listener_ = nullptr;                 // counted
    XXmlHttpRequest* transport_ = nullptr;              // counted
    XOpenAuthXmlHttpListener* readyListener_ = nullptr; // counted
};

// The transport's handler: its "onReadyStateChanged" runs the owning request's handling.
class XOpenAuthXmlHttpListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XOpenAuthXmlHttpListener"

    explicit XOpenAuthXmlHttpListener(XOpenAuthRequest* owner) : owner_(owner) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    XOpenAuthRequest* Owner() const { return owner_; }
    void Forget() { owner_ = nullptr; }

protected:
    ~XOpenAuthXmlHttpListener() override = default;

private:
    XOpenAuthRequest* owner_; // not counted: the request holds this listener through its transport
};

namespace open_auth {
// The login service's base address: TANDU_LOGIN_URL, else kDefaultServiceUrl; always ending in
// "/". Empty when the setting is no https URL: the password never travels in clear.
std::u16string ServiceBase();
inline constexpr const char* kDefaultServiceUrl = "https://127.0.0.1:8443/auth/";
// key=value appended with the value percent-encoded ("&" first when `target` holds something);
// an empty value appends nothing.
void AppendParam(const WCHAR* key, const NUBO::TBstr& value, std::u16string* target);
} // namespace open_auth
