#pragma once
// XOpenAuthResponse: one answer of the login service, parsed from its form-encoded body. Scripts
// receive it with its request in "onAuthResponse" and read (or write) every field.
#include <cstdint>

#include "runtime/bstr_string.h"
#include "runtime/script_object.h"

class XOpenAuthResponse : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XOpenAuthResponse"

    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Takes the exchange's outcome: the request's type and devId, the HTTP status, its text and
    // the body. A captcha address of a clientLogin answer gets the context and devId appended.
    void Fill(int32_t type, const NUBO::TBstr& devId, int32_t status, const NUBO::TBstr& statusText,
              const NUBO::TBstr& body);
    // Cuts the body at "&" into key=value pairs and stores the known keys; a repeated key keeps its
    // last value.
    void ParseBody(const NUBO::TBstr& body);
    // One pair; unknown keys are ignored.
    void SetField(const NUBO::TBstr& key, const NUBO::TBstr& value);

    // The fields, read and written by scripts through the properties of the same names.
    int32_t requestType = 0;
    int32_t httpStatusCode = 0;
    NUBO::TBstr httpStatusText;
    int32_t statusCode = 0;
    NUBO::TBstr statusText;
    int32_t statusDetailCode = 0;
    NUBO::TBstr requestId;
    int32_t tokenExpiresIn = 0;
    NUBO::TBstr authToken, rlToken, sessionSecret;
    int32_t hostTime = 0, clientTime = 0;
    NUBO::TBstr captchaUrl, challengeInfo, challengeContext, userDataLoginId, userDataDisplayName;
    int32_t userDataLastAuth = 0;
    NUBO::TBstr redirectUrl;
    // Derived from the password and the sessionSecret of a login answer; not seen by scripts.
    NUBO::TBstr derivedSessionKey;

protected:
    ~XOpenAuthResponse() override = default;
};
