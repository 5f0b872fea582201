// Feeds arbitrary bytes, read as UTF-8, to the login service's answer parser and to the
// percent-decoding it uses, checking that a text that decodes is the one encoding gives back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/crypto.h"
#include "app/open_auth_response.h"
#include "platform/shell/path_map.h"
#include "toolkit/script/script_class.h"

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::u16string text = platform::WideFromUtf8(std::string(reinterpret_cast<const char*>(data), size));

    NUBO::XObject* made = nullptr;
    if (script_class::CreateInstance<XOpenAuthResponse>(&made) != 0) return 0;
    auto* response = static_cast<XOpenAuthResponse*>(made);
    NUBO::TBstr body;
    if (!text.empty()) body.Attach(SysAllocStringLen(text.data(), UINT(text.size())));
    response->Fill(1, NUBO::TBstr(u"dev"), 200, NUBO::TBstr(u"OK"), body);
    response->Release();

    std::u16string decoded, encoded, again;
    if (crypto::DecodeURIComponent(text, &decoded) && crypto::EncodeURIComponent(decoded, &encoded)) {
        Check(crypto::DecodeURIComponent(encoded, &again));
        // The two noncharacters come back from an escape as U+FFFD.
        for (char16_t& c : decoded)
            if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
        Check(again == decoded);
    }
    return 0;
}
