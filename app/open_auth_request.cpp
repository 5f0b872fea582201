#include "app/open_auth_request.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/crypto.h"
#include "app/field_properties.h"
#include "app/open_auth_response.h"
#include "app/xml_http_request.h"
#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "toolkit/script/script_class.h"

using NUBO::TBstr;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace open_auth {

std::u16string ServiceBase() {
    const char* setting = std::getenv("TANDU_LOGIN_URL");
    std::string base = setting && *setting ? setting : kDefaultServiceUrl;
    if (base.compare(0, 8, "https://") != 0) {
        std::fprintf(stderr, "tandu: TANDU_LOGIN_URL must be an https address; no login request is sent\n");
        return {};
    }
    if (base.back() != '/') base += '/';
    return platform::WideFromUtf8(base);
}

void AppendParam(const WCHAR* key, const TBstr& value, std::u16string* target) {
    if (value.GetLength() == 0) return;
    if (!target->empty()) *target += u'&';
    *target += key;
    *target += u'=';
    *target += crypto::PercentEncode(std::u16string(value.GetString(), size_t(value.GetLength())));
}

} // namespace open_auth

namespace {

using open_auth::AppendParam;

std::u16string Wide(const TBstr& text) {
    return std::u16string(text.GetString(), size_t(text.GetLength()));
}

int32_t OnReadyStateChangedBody(XOpenAuthXmlHttpListener* self, XArgList*, XVariant*) {
    if (XOpenAuthRequest* owner = self->Owner()) owner->OnReadyStateChanged();
    return 0;
}

const NUBO::XMemberEntry kListenerMembers[] = {
    script_class::MethodRow<0, OnReadyStateChangedBody>("onReadyStateChanged"),
    NUBO::XMemberEnd(),
};

using namespace field_properties;
using Q = XOpenAuthRequest;
const NUBO::XMemberEntry kMembers[] = {
    TextRow<Q, &Q::devId>("devId"),
    TextRow<Q, &Q::loginId>("loginId"),
    TextRow<Q, &Q::locale>("locale"),
    TextRow<Q, &Q::tokenType>("tokenType"),
    TextRow<Q, &Q::requestId>("requestId"),
    TextRow<Q, &Q::password>("password"),
    TextRow<Q, &Q::securId>("securId"),
    TextRow<Q, &Q::asqAnswer>("asqAnswer"),
    TextRow<Q, &Q::captchaWord>("captchaWord"),
    TextRow<Q, &Q::context>("context"),
    TextRow<Q, &Q::authMethod>("authMethod"),
    TextRow<Q, &Q::idType>("idType"),
    TextRow<Q, &Q::rlToken>("rlToken"),
    TextRow<Q, &Q::clientName>("clientName"),
    TextRow<Q, &Q::clientVersion>("clientVersion"),
    FlagRow<Q, &Q::forceRateLimit>("forceRateLimit"),
    TextRow<Q, &Q::authToken>("authToken"),
    TextRow<Q, &Q::sessionKey>("sessionKey"),
    TextRow<Q, &Q::ipAddress>("ipAddress"),
    TextRow<Q, &Q::userAgent>("userAgent"),
    ObjectSetterRow<Q, &Q::SetListener>("listener"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XOpenAuthRequest::Descriptor = {"XOpenAuthRequest", 22, kMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor XOpenAuthXmlHttpListener::Descriptor = {"XOpenAuthXmlHttpListener", 2, kListenerMembers,
                                                               &XObject::Descriptor,       0, {}};

XOpenAuthRequest::~XOpenAuthRequest() {
    Drop();
    if (listener_) listener_->Release();
}

void XOpenAuthRequest::SetListener(XObject* listener) {
    if (listener) listener->AddRef();
    if (listener_) listener_->Release();
    listener_ = listener;
}

void XOpenAuthRequest::Drop() {
    if (readyListener_) {
        readyListener_->Forget();
        readyListener_->Release();
        readyListener_ = nullptr;
    }
    if (transport_) {
        transport_->Release();
        transport_ = nullptr;
    }
}

int32_t XOpenAuthRequest::ClientLogin() {
    requestType = kOpenAuthClientLogin;
    std::u16string base = open_auth::ServiceBase();
    if (base.empty()) return NUBO::XR_INVALID;
    std::u16string form;
    AppendParam(u"asqAnswer", asqAnswer, &form);
    AppendParam(u"authMethod", authMethod, &form);
    AppendParam(u"cacheflag", TBstr(u"3"), &form);
    AppendParam(u"context", context, &form);
    if (context.GetLength() == 0) {
        AppendParam(u"clientName", clientName, &form);
        AppendParam(u"clientVersion", clientVersion, &form);
    }
    if (forceRateLimit) AppendParam(u"forceRateLimit", TBstr(u"true"), &form);
    AppendParam(u"devId", devId, &form);
    AppendParam(u"f", TBstr(u"qs"), &form);
    AppendParam(u"idType", idType, &form);
    AppendParam(u"language", locale, &form);
    AppendParam(u"pwd", password, &form);
    AppendParam(u"r", requestId, &form);
    AppendParam(u"rlToken", rlToken, &form);
    AppendParam(u"s", loginId, &form);
    AppendParam(u"securid", securId, &form);
    AppendParam(u"tokenType", tokenType, &form);
    AppendParam(u"word", captchaWord, &form);
    return Send(u"POST", base + u"clientLogin", form.c_str());
}

int32_t XOpenAuthRequest::Logout() {
    requestType = kOpenAuthLogout;
    std::u16string base = open_auth::ServiceBase();
    if (base.empty()) return NUBO::XR_INVALID;
    std::u16string url = base + u"logout";
    std::u16string query;
    AppendParam(u"a", authToken, &query);
    AppendParam(u"devId", devId, &query);
    AppendParam(u"f", TBstr(u"qs"), &query);
    // The signature covers the URL and the query as they stand, each percent-encoded once more.
    std::u16string signed_ = u"GET&" + crypto::PercentEncode(url) + u"&" + crypto::PercentEncode(query);
    std::u16string signature = crypto::HmacSha256Base64(Wide(sessionKey), signed_);
    AppendParam(u"sig_sha256", TBstr(signature.c_str()), &query);
    return Send(u"GET", url + u"?" + query, u"");
}

int32_t XOpenAuthRequest::Send(const WCHAR* method, const std::u16string& url, const WCHAR* body) {
    Drop();
    XObject* made = nullptr;
    int32_t rc = CreateXXmlHttpRequest(&made);
    if (rc != 0) return rc;
    transport_ = static_cast<XXmlHttpRequest*>(made);
    readyListener_ = new (std::nothrow) XOpenAuthXmlHttpListener(this);
    if (!readyListener_) return NUBO::XR_OUT_OF_MEMORY;
    readyListener_->AddRef();

    if ((rc = transport_->Open(method, url.c_str())) != 0) return rc;
    if ((rc = transport_->SetRequestHeader(u"Content-Type", u"application/x-www-form-urlencoded")) != 0) return rc;
    if ((rc = transport_->SetRequestHeader(u"Cache-Control", u"no-store,no-cache")) != 0) return rc;
    if ((rc = transport_->SetRequestHeader(u"X-Forwarded-For", ipAddress.GetString())) != 0) return rc;
    if ((rc = transport_->SetRequestHeader(u"User-Agent", userAgent.GetString())) != 0) return rc;
    if ((rc = transport_->SetHandler(readyListener_)) != 0) return rc;
    return transport_->Send(XVariant(body));
}

void XOpenAuthRequest::OnReadyStateChanged() {
    auto keep = NUBO::RefPtr<XOpenAuthRequest>::ref(this); // the listeners may drop the last other hold
    if (!transport_) return;
    XVariant state;
    if (transport_->GetReadyState(&state) != 0 || state.ToUInt32() != 4) return;
    XObject* made = nullptr;
    if (script_class::CreateInstance<XOpenAuthResponse>(&made) != 0) return;
    auto* response = static_cast<XOpenAuthResponse*>(made);
    XVariant status, statusText, body;
    if (transport_->GetStatus(&status) == 0 && transport_->GetStatusText(&statusText) == 0 &&
        transport_->GetResponseText(&body) == 0) {
        response->Fill(requestType, devId, status.ToInt32(), TBstr(statusText.ToString().GetString()),
                       TBstr(body.ToString().GetString()));
        if (requestType == kOpenAuthClientLogin && response->sessionSecret.GetLength()) {
            std::u16string key = crypto::HmacSha256Base64(Wide(password), Wide(response->sessionSecret));
            sessionKey = key.c_str();
            response->derivedSessionKey = key.c_str();
        }
        if (listener_)
            XObject::CallMethod2NoResult(listener_, u"onAuthResponse", XVariant(static_cast<XObject*>(this)),
                                         XVariant(static_cast<XObject*>(response)));
    }
    response->Release();
}
