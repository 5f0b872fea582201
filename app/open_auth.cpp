#include "app/open_auth.h"

#include "app/field_properties.h"
#include "app/open_auth_request.h"
#include "app/open_auth_response.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

int32_t ResetBody(XOpenAuth* self, XArgList*, XVariant*) {
    self->Reset();
    return 0;
}
int32_t LoginBody(XOpenAuth* self, XArgList*, XVariant*) {
    return self->Login();
}
int32_t LogoutBody(XOpenAuth* self, XArgList*, XVariant*) {
    return self->Logout();
}

int32_t OnAuthResponseBody(XOpenAuthResponseListener* self, XArgList* args, XVariant*) {
    XObject* request = script_class::ArgObjectOf(args, 0, &XOpenAuthRequest::Descriptor);
    XObject* response = script_class::ArgObject(args, 1);
    if (self->Owner() && request) self->Owner()->HandleResponse(static_cast<XOpenAuthRequest*>(request), response);
    if (request) request->Release();
    if (response) response->Release();
    return 0;
}

const NUBO::XMemberEntry kListenerMembers[] = {
    script_class::MethodRow<2, OnAuthResponseBody>("onAuthResponse"),
    NUBO::XMemberEnd(),
};

using namespace field_properties;
using A = XOpenAuth;
const NUBO::XMemberEntry kMembers[] = {
    TextRow<A, &A::devId>("devId"),
    TextRow<A, &A::loginId>("loginId"),
    TextRow<A, &A::locale>("locale"),
    TextRow<A, &A::tokenType>("tokenType"),
    TextRow<A, &A::requestId>("requestId"),
    TextRow<A, &A::password>("password"),
    TextRow<A, &A::securId>("securId"),
    TextRow<A, &A::asqAnswer>("ASQAnswer"),
    TextRow<A, &A::captchaWord>("captchaWord"),
    TextRow<A, &A::context>("context"),
    TextRow<A, &A::authMethod>("authMethod"),
    TextRow<A, &A::idType>("idType"),
    TextRow<A, &A::rlToken>("RLToken"),
    TextRow<A, &A::clientName>("clientName"),
    TextRow<A, &A::clientVersion>("clientVersion"),
    FlagRow<A, &A::forceRateLimit>("forceRateLimit"),
    TextRow<A, &A::authToken>("authToken"),
    TextRow<A, &A::sessionKey>("sessionKey"),
    TextRow<A, &A::ipAddress>("ipAddress"),
    TextRow<A, &A::userAgent>("userAgent"),
    ObjectSetterRow<A, &A::SetListener>("listener"),
    NumberRow<A, &A::hostTime>("hostTime"),
    NumberRow<A, &A::clientTime>("clientTime"),
    script_class::MethodRow<0, ResetBody>("reset"),
    script_class::MethodRow<0, LoginBody>("login"),
    script_class::MethodRow<0, LogoutBody>("logout"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XOpenAuth::Descriptor = {"XOpenAuth", 27, kMembers, &XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor XOpenAuthResponseListener::Descriptor = {"XOpenAuthResponseListener", 2, kListenerMembers,
                                                                &XObject::Descriptor,        0, {}};

XOpenAuth::~XOpenAuth() {
    Reset();
    SetListener(nullptr);
}

void XOpenAuth::SetListener(XObject* listener) {
    if (listener) listener->AddRef();
    if (listener_) listener_->Release();
    listener_ = listener;
}

XOpenAuthRequest* XOpenAuth::NewRequest(int32_t* rc) {
    XObject* made = nullptr;
    if ((*rc = script_class::CreateInstance<XOpenAuthRequest>(&made)) != 0) return nullptr;
    auto* request = static_cast<XOpenAuthRequest*>(made);
    XObject* listener = nullptr;
    if ((*rc = script_class::CreateInstance<XOpenAuthResponseListener>(&listener, this)) != 0) {
        request->Release();
        return nullptr;
    }
    request->SetListener(listener);
    listener->Release();
    if (!pending_.AddTail(request)) {
        request->Release();
        *rc = NUBO::XR_OUT_OF_MEMORY;
        return nullptr;
    }
    request->AddRef(); // the list's
    return request;
}

int32_t XOpenAuth::Login() {
    return Start(
        [](const XOpenAuth& from, XOpenAuthRequest* to) {
            to->loginId = from.loginId;
            to->locale = from.locale;
            to->tokenType = from.tokenType;
            to->requestId = from.requestId;
            to->password = from.password;
            to->securId = from.securId;
            to->asqAnswer = from.asqAnswer;
            to->captchaWord = from.captchaWord;
            to->context = from.context;
            to->authMethod = from.authMethod;
            to->idType = from.idType;
            to->rlToken = from.rlToken;
            to->clientName = from.clientName;
            to->clientVersion = from.clientVersion;
            to->forceRateLimit = from.forceRateLimit;
        },
        &XOpenAuthRequest::ClientLogin);
}

int32_t XOpenAuth::Logout() {
    return Start(
        [](const XOpenAuth& from, XOpenAuthRequest* to) {
            to->authToken = from.authToken;
            to->locale = from.locale;
            to->sessionKey = from.sessionKey;
        },
        &XOpenAuthRequest::Logout);
}

int32_t XOpenAuth::Start(void (*copy)(const XOpenAuth& from, XOpenAuthRequest* to),
                         int32_t (XOpenAuthRequest::*run)()) {
    int32_t rc = 0;
    XOpenAuthRequest* request = NewRequest(&rc);
    if (!request) return rc;
    request->ipAddress = ipAddress;
    request->userAgent = userAgent;
    request->devId = devId;
    copy(*this, request);
    rc = (request->*run)();
    request->Release();
    return rc;
}

void XOpenAuth::Reset() {
    while (NUBO::TList::Node* node = pending_.GetHead()) {
        auto* request = static_cast<XOpenAuthRequest*>(node->value);
        pending_.RemoveNode(node);
        // Also a request that something else still holds never answers now.
        request->Drop();
        request->Release();
    }
    loginId.Empty();
    requestId.Empty();
    password.Empty();
    securId.Empty();
    asqAnswer.Empty();
    captchaWord.Empty();
    context.Empty();
    rlToken.Empty();
    authToken.Empty();
    sessionKey.Empty();
    forceRateLimit = false;
}

void XOpenAuth::HandleResponse(XOpenAuthRequest* request, XObject* response) {
    auto keep = NUBO::RefPtr<XOpenAuth>::ref(this); // the script listener may drop the last other hold
    bool listed = false;
    for (NUBO::TList::Node* node = pending_.GetHead(); node; node = node->next) {
        if (node->value == request) {
            pending_.RemoveNode(node);
            listed = true;
            break;
        }
    }
    if (NUBO::XObject::IsKindOf(response, &XOpenAuthResponse::Descriptor)) {
        auto* answer = static_cast<XOpenAuthResponse*>(response);
        if (answer->httpStatusCode == 200) {
            if (answer->challengeContext.GetLength()) context = answer->challengeContext;
            if (answer->statusCode == 200 && answer->requestType == kOpenAuthClientLogin) {
                authToken = answer->authToken;
                sessionKey = answer->derivedSessionKey;
                hostTime = answer->hostTime;
                clientTime = answer->clientTime;
            }
        }
        if (listener_)
            XObject::CallMethod2NoResult(listener_, u"onAuthResponse", XVariant(static_cast<XObject*>(request)),
                                         XVariant(response));
    }
    if (listed) request->Release();
}

int32_t CreateXOpenAuth(XObject** out) {
    return script_class::CreateInstance<XOpenAuth>(out);
}
