#include "app/crypto.h"

#include <new>

#include "platform/com/bstr.h"
#include "platform/shell/path_map.h"
#include "runtime/base64.h"
#include "runtime/hmac.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/sha256.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgBstr;
using NUBO::XArgList;
using NUBO::XVariant;

namespace crypto {
namespace {

constexpr char kUnreserved[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-.!~*'()";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsUnreserved(char16_t c) {
    for (const char* p = kUnreserved; *p; ++p)
        if (c == char16_t(*p)) return true;
    return false;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The byte of the escape "%XY" at `at`, or -1.
int EscapedByte(const std::u16string& text, size_t at) {
    if (at + 2 >= text.size()) return -1;
    if (text[at] != u'%') return -1;
    int high = HexValue(text[at + 1]);
    int low = HexValue(text[at + 2]);
    return high < 0 || low < 0 ? -1 : high << 4 | low;
}

// Standard UTF-8, a surrogate pair as one 4-byte sequence, as the services compute it; the runtime
// library's converter would write each half of a pair on its own.
std::string Utf8(const std::u16string& text) {
    return platform::Utf8FromWide(text.data(), text.size());
}

} // namespace

std::u16string PercentEncode(const std::u16string& text) {
    std::u16string out;
    for (unsigned char byte : Utf8(text)) {
        if (IsUnreserved(byte)) {
            out += char16_t(byte);
        } else {
            out += u'%';
            out += char16_t(kHexDigits[byte >> 4]);
            out += char16_t(kHexDigits[byte & 15]);
        }
    }
    return out;
}

bool EncodeURIComponent(const std::u16string& text, std::u16string* out) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            return false;
        }
    }
    *out = PercentEncode(text);
    return true;
}

bool DecodeURIComponent(const std::u16string& text, std::u16string* out) {
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    std::u16string decoded;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            // Characters other than escapes are copied whole: copying their UTF-8 bytes one by one
            // as characters would garble every non-ASCII one.
            decoded += text[i++];
            continue;
        }
        int lead = EscapedByte(text, i);
        if (lead < 0) return false;
        i += 3;
        if (lead < 0x80) {
            decoded += char16_t(lead);
            continue;
        }
        if (!(lead & 0x40)) return false;
        int length = 0;
        while (length < 8 && (lead & (0x80 >> length)))
            ++length;
        if (length > 6) return false;
        uint32_t value = uint32_t(lead) & (0xFFu >> (length + 1));
        for (int k = 1; k < length; ++k) {
            int next = EscapedByte(text, i);
            if (next < 0 || (next & 0xC0) != 0x80) return false;
            value = value << 6 | uint32_t(next & 0x3F);
            i += 3;
        }
        if (value < kSmallest[length] || value == 0xFFFE || value == 0xFFFF) {
            value = 0xFFFD;
        } else if (value > 0x10FFFF) {
            return false;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            decoded += char16_t(0xD800 | (value >> 10));
            decoded += char16_t(0xDC00 | (value & 0x3FF));
        } else {
            decoded += char16_t(value);
        }
    }
    *out = std::move(decoded);
    return true;
}

std::u16string HmacSha256Base64(const std::u16string& key, const std::u16string& message) {
    std::string keyBytes = Utf8(key);
    std::string messageBytes = Utf8(message);
    NUBO::TSha256Digest digest;
    NUBO::THmac hmac(&digest, keyBytes.data(), keyBytes.size());
    hmac.Update(messageBytes.data(), messageBytes.size());
    uint8_t mac[64];
    int length = hmac.Final(mac, sizeof mac);
    WCHAR text[89];
    size_t n = NUBO::Base64Encode(mac, size_t(length), text, 89);
    return std::u16string(text, n);
}

} // namespace crypto

namespace {

std::u16string ArgText(XArgList* args, int i) {
    XArgBstr text(args->GetArg(i));
    return std::u16string(text.GetString(), size_t(text.GetLength()));
}

// Text results keep every unit, a zero unit too.
int32_t PutText(XVariant* out, const std::u16string& text) {
    BSTR value = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!value) return NUBO::XR_OUT_OF_MEMORY;
    out->Clear();
    out->vt = VT_BSTR;
    out->bstrVal = value;
    return 0;
}

int32_t Base64EncodeBody(XCrypto*, XArgList* args, XVariant* out) {
    std::u16string text = ArgText(args, 0);
    // One byte a character: its Latin-1 value, and "?" for characters beyond Latin-1.
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        bytes[i] = text[i] <= 0xFF ? char(text[i]) : '?';
    std::u16string encoded((bytes.size() + 2) / 3 * 4 + 1, u'\0');
    size_t n = NUBO::Base64Encode(bytes.data(), bytes.size(), encoded.data(), encoded.size());
    encoded.resize(n);
    return PutText(out, encoded);
}

int32_t HmacBody(XCrypto*, XArgList* args, XVariant* out) {
    return PutText(out, crypto::HmacSha256Base64(ArgText(args, 0), ArgText(args, 1)));
}

int32_t EncodeBody(XCrypto*, XArgList* args, XVariant* out) {
    std::u16string encoded;
    if (!crypto::EncodeURIComponent(ArgText(args, 0), &encoded)) return NUBO::XR_FAIL;
    return PutText(out, encoded);
}

int32_t DecodeBody(XCrypto*, XArgList* args, XVariant* out) {
    std::u16string decoded;
    if (!crypto::DecodeURIComponent(ArgText(args, 0), &decoded)) return NUBO::XR_FAIL;
    return PutText(out, decoded);
}

using script_class::MethodRow;
const NUBO::XMemberEntry kMembers[] = {
    MethodRow<1, Base64EncodeBody>("base64Encode"),
    MethodRow<2, HmacBody>("hmacSHA256Encode"),
    MethodRow<1, EncodeBody>("encodeURIComponent"),
    MethodRow<1, DecodeBody>("decodeURIComponent"),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor XCrypto::Descriptor = {"XCrypto", 5, kMembers, &NUBO::XObject::Descriptor, 0, {}};
