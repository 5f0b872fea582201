#pragma once
// XOpenAuth: `new xOpenAuth()` in scripts, the web login client. Scripts fill in the account and
// client fields, set a listener and call login or logout; each call becomes one XOpenAuthRequest
// sent to the login service. When its answer comes, the object keeps what a successful login
// gives (token, session key, times, the challenge context) and calls the listener's
// "onAuthResponse" with the request and the parsed response.
#include <cstdint>

#include "runtime/bstr_string.h"
#include "runtime/list.h"
#include "runtime/script_object.h"

class XOpenAuthRequest;

class XOpenAuth : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XOpenAuth"

    XOpenAuth() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Start a request; 0, or the first failing code (the request then stays pending until reset).
    int32_t Login();
    int32_t Logout();
    // Drops the pending requests (their answers never come) and clears the per-login fields.
    void Reset();
    void SetListener(NUBO::XObject* listener);
    // The answer to one of this object's requests; `response` is its XOpenAuthResponse.
    void HandleResponse(XOpenAuthRequest* request, NUBO::XObject* response);

    size_t PendingCount() const { return pending_.GetCount(); }

    // The fields, seen by scripts under the same names (asqAnswer as "ASQAnswer", rlToken as
    // "RLToken").
    NUBO::TBstr devId, loginId, locale, tokenType, requestId, password, securId, asqAnswer, captchaWord, context,
        authMethod, idType, rlToken, clientName, clientVersion, userAgent, ipAddress, authToken, sessionKey;
    bool forceRateLimit = false;
    int32_t hostTime = 0;
    int32_t clientTime = 0;

protected:
    ~XOpenAuth() override;

private:
    // Makes a request with a listener leading back here and lists it as pending; null when memory
    // ran out (`rc` then says so).
    XOpenAuthRequest* NewRequest(int32_t* rc);
    // Sends a new request with this object's fields: the client's address, agent and devId, then
    // what `copy` takes; `run` is the exchange.
    int32_t Start(void (*copy)(const XOpenAuth& from, XOpenAuthRequest* to), int32_t (XOpenAuthRequest::*run)());

    NUBO::TPtrList pending_{10}; // XOpenAuthRequest, one reference each
    NUBO::XObject* listener_ = nullptr;
};

// The request's listener, leading its answer back to the XOpenAuth that made it.
class XOpenAuthResponseListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XOpenAuthResponseListener"

    explicit XOpenAuthResponseListener(XOpenAuth* owner) : owner_(owner) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    XOpenAuth* Owner() const { return owner_; }

protected:
    ~XOpenAuthResponseListener() override = default;

private:
    XOpenAuth* owner_; // not counted: the owner drops its pending requests before it goes
};

// The create-instance function of "xOpenAuth".
int32_t CreateXOpenAuth(NUBO::XObject** out);
