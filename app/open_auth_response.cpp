#include "app/open_auth_response.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/crypto.h"
#include "app/field_properties.h"
#include "runtime/time.h"

using NUBO::TBstr;

namespace {

// Decimal digits after an optional sign; anything else ends the number, and no digit gives 0.
int32_t ParseNumber(const TBstr& text) {
    const WCHAR* p = text.GetString();
    bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+') ++p;
    int64_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        value = std::min<int64_t>(value * 10 + (*p - u'0'), int64_t(INT32_MAX) + 1);
    value = negative ? -value : std::min<int64_t>(value, INT32_MAX);
    return int32_t(value);
}

void ReplacePlus(TBstr* text) {
    text->Replace(u'+', u' ');
}

TBstr FromWide(const std::u16string& text) {
    TBstr out;
    if (!text.empty()) out.Attach(SysAllocStringLen(text.data(), UINT(text.size())));
    return out;
}

using namespace field_properties;
using R = XOpenAuthResponse;
const NUBO::XMemberEntry kMembers[] = {
    NumberRow<R, &R::requestType>("requestType"),
    NumberRow<R, &R::httpStatusCode>("httpStatusCode"),
    TextRow<R, &R::httpStatusText>("httpStatusText"),
    NumberRow<R, &R::statusCode>("statusCode"),
    TextRow<R, &R::statusText>("statusText"),
    NumberRow<R, &R::statusDetailCode>("statusDetailCode"),
    TextRow<R, &R::requestId>("requestId"),
    NumberRow<R, &R::tokenExpiresIn>("tokenExpiresIn"),
    TextRow<R, &R::authToken>("authToken"),
    TextRow<R, &R::rlToken>("rlToken"),
    TextRow<R, &R::sessionSecret>("sessionSecret"),
    NumberRow<R, &R::hostTime>("hostTime"),
    NumberRow<R, &R::clientTime>("clientTime"),
    TextRow<R, &R::challengeInfo>("challengeInfo"),
    TextRow<R, &R::challengeContext>("challengeContext"),
    TextRow<R, &R::userDataLoginId>("userDataLoginId"),
    TextRow<R, &R::userDataDisplayName>("userDataDisplayName"),
    NumberRow<R, &R::userDataLastAuth>("userDataLastAuth"),
    TextRow<R, &R::redirectUrl>("redirectUrl"),
    TextRow<R, &R::captchaUrl>("captchaUrl"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XOpenAuthResponse::Descriptor = {"XOpenAuthResponse",        21, kMembers,
                                                        &NUBO::XObject::Descriptor, 0,  {}};

void XOpenAuthResponse::Fill(int32_t type, const TBstr& devId, int32_t status, const TBstr& statusText_,
                             const TBstr& body) {
    requestType = type;
    httpStatusCode = status;
    httpStatusText = statusText_;
    ParseBody(body);
    if (captchaUrl.GetLength() && requestType == 1) {
        captchaUrl += u"?context=";
        captchaUrl += challengeContext;
        captchaUrl += u"&devId=";
        captchaUrl += devId;
        captchaUrl += u"&f=image";
    }
}

void XOpenAuthResponse::ParseBody(const TBstr& body) {
    const WCHAR* text = body.GetString();
    const int length = body.GetLength();
    for (int start = 0; start <= length;) {
        int end = start;
        while (end < length && text[end] != u'&')
            ++end;
        int last = end;
        while (last > start && (text[last - 1] == u' ' || text[last - 1] == u'\t' || text[last - 1] == u'\r' ||
                                text[last - 1] == u'\n'))
            --last;
        int equals = start;
        while (equals < last && text[equals] != u'=')
            ++equals;
        std::u16string value;
        // A piece without "=", or whose value is no valid percent-encoding, is left out.
        if (equals < last &&
            crypto::DecodeURIComponent(std::u16string(text + equals + 1, size_t(last - equals - 1)), &value))
            SetField(FromWide(std::u16string(text + start, size_t(equals - start))), FromWide(value));
        start = end + 1;
    }
}

void XOpenAuthResponse::SetField(const TBstr& key, const TBstr& value) {
    struct TextField {
        const WCHAR* key;
        TBstr XOpenAuthResponse::*field;
        bool plusIsSpace;
    };
    static const TextField kTexts[] = {
        {u"statusText", &R::statusText, true},
        {u"requestId", &R::requestId, false},
        {u"token_a", &R::authToken, false},
        {u"challenge_info", &R::challengeInfo, true},
        {u"challenge_context", &R::challengeContext, false},
        {u"rlToken", &R::rlToken, false},
        {u"sessionSecret", &R::sessionSecret, false},
        {u"userData_loginId", &R::userDataLoginId, false},
        {u"userData_displayName", &R::userDataDisplayName, false},
        {u"redirectURL", &R::redirectUrl, false},
        {u"url", &R::captchaUrl, false},
    };
    struct NumberField {
        const WCHAR* key;
        int32_t XOpenAuthResponse::*field;
    };
    static const NumberField kNumbers[] = {
        {u"statusCode", &R::statusCode},
        {u"statusDetailCode", &R::statusDetailCode},
        {u"token_expiresIn", &R::tokenExpiresIn},
        {u"hostTime", &R::hostTime},
        {u"userData_lastAuth", &R::userDataLastAuth},
    };
    for (const TextField& f : kTexts) {
        if (key.Compare(f.key) != 0) continue;
        this->*f.field = value;
        if (f.plusIsSpace) ReplacePlus(&(this->*f.field));
        return;
    }
    for (const NumberField& f : kNumbers) {
        if (key.Compare(f.key) != 0) continue;
        this->*f.field = ParseNumber(value);
        if (f.field == &R::hostTime) clientTime = int32_t(NUBO::GetUnixSecondsNow());
        return;
    }
}
