#include "runtime/hmac.h"

#include <cstring>

#include "runtime/message_digest.h"

namespace NUBO {

THmac::THmac(TMessageDigest* d, const void* key, size_t keyLength) : digest(d) {
    uint8_t shortKey[64] = {};
    if (keyLength > 64) {
        digest->Update(key, keyLength);
        keyLength = size_t(digest->Final(shortKey));
    } else if (keyLength) {
        std::memcpy(shortKey, key, keyLength);
    }
    for (int i = 0; i < 64; ++i) {
        innerPad[i] = shortKey[i] ^ 0x36;
        outerPad[i] = shortKey[i] ^ 0x5C;
    }
}

void THmac::Update(const void* bytes, size_t count) {
    if (!started) {
        digest->Update(innerPad, sizeof innerPad);
        started = true;
    }
    digest->Update(bytes, count);
}

int THmac::Final(uint8_t* out, size_t outSize) {
    int size = digest->GetDigestSize();
    if (!out || outSize < size_t(size)) return 0;
    // A MAC of nothing still starts with the inner pad.
    if (!started) Update(nullptr, 0);
    digest->Final(out);
    digest->Update(outerPad, sizeof outerPad);
    digest->Update(out, size_t(size));
    started = false;
    return digest->Final(out);
}

} // namespace NUBO
