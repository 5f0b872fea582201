#pragma once
// XCrypto: the global host object "crypto", through which scene scripts base64-encode, sign with
// HMAC-SHA256 and percent-encode URI components to talk to web services. It keeps no state. The
// encoding functions below serve the web login client too.
#include <cstdint>
#include <string>

#include "runtime/script_object.h"

class XCrypto : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XCrypto"

    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

protected:
    ~XCrypto() override = default;
};

namespace crypto {

// The text's UTF-8 bytes, percent-encoded: letters, digits and -.!~*'() stay, every other byte is
// "%" and two upper-case hex digits. An unpaired surrogate encodes as U+FFFD.
std::u16string PercentEncode(const std::u16string& text);
// encodeURIComponent: the same, but an unpaired surrogate fails (false).
bool EncodeURIComponent(const std::u16string& text, std::u16string* out);
// decodeURIComponent: false on a malformed escape or sequence.
bool DecodeURIComponent(const std::u16string& text, std::u16string* out);
// Base64 of the HMAC-SHA256 of the message's UTF-8 bytes under the key's UTF-8 bytes.
std::u16string HmacSha256Base64(const std::u16string& key, const std::u16string& message);

} // namespace crypto
