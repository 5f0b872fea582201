// A protected blob is "TPD1", a fresh random nonce and the secret box (tag and ciphertext) of the
// bytes. The key file is written whole under a temporary name and linked into place, so two
// processes starting at once agree on one key and no one ever reads half a key.
#include "platform/shell/data_protection.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/shell/registry.h"
#include "platform/win/last_error.h"

namespace {

constexpr char kMagic[4] = {'T', 'P', 'D', '1'};
constexpr size_t kHeader = sizeof(kMagic) + crypto_secretbox_NONCEBYTES;

bool WriteAll(int fd, const unsigned char* data, size_t size) {
    while (size) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads the key when the file is this user's alone and whole. Opening never waits: a pipe or a
// device put in the key's place is refused, not read.
bool ReadKey(const std::string& path, unsigned char (&key)[crypto_secretbox_KEYBYTES]) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0 &&
              st.st_size == off_t(sizeof(key)) && read(fd, key, sizeof(key)) == ssize_t(sizeof(key));
    close(fd);
    return ok;
}

bool MakeKey(const std::string& path) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data()); // mode 0600
    if (fd < 0) return false;
    unsigned char key[crypto_secretbox_KEYBYTES];
    crypto_secretbox_keygen(key);
    bool ok = fchmod(fd, 0600) == 0 && WriteAll(fd, key, sizeof(key)) && fsync(fd) == 0;
    sodium_memzero(key, sizeof(key));
    close(fd);
    // Whoever links first made the key; the other reads it.
    ok = ok && (link(temp.c_str(), path.c_str()) == 0 || errno == EEXIST);
    unlink(temp.c_str());
    return ok;
}

bool LoadKey(unsigned char (&key)[crypto_secretbox_KEYBYTES]) {
    if (sodium_init() < 0) return false;
    const std::string path = platform::protection::KeyFilePath();
    if (ReadKey(path, key)) return true;
    if (access(path.c_str(), F_OK) == 0) return false; // there, but not a key we may trust
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    return MakeKey(path) && ReadKey(path, key);
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

namespace platform::protection {
std::string KeyFilePath() {
    std::string registry = platform::registry::DatabasePath();
    const size_t slash = registry.rfind('/');
    return (slash == std::string::npos ? std::string() : registry.substr(0, slash + 1)) + "protection.key";
}
} // namespace platform::protection

BOOL CryptProtectData(DATA_BLOB* in, LPCWSTR, DATA_BLOB*, void*, void*, DWORD, DATA_BLOB* out) {
    if (!in || !out || (in->cbData && !in->pbData)) return Fail(ERROR_INVALID_PARAMETER);
    out->cbData = 0;
    out->pbData = nullptr;
    unsigned char key[crypto_secretbox_KEYBYTES];
    if (!LoadKey(key)) return Fail(ERROR_ACCESS_DENIED);
    const size_t size = kHeader + crypto_secretbox_MACBYTES + in->cbData;
    auto* blob = static_cast<unsigned char*>(LocalAlloc(0, size));
    if (!blob) {
        sodium_memzero(key, sizeof(key));
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::memcpy(blob, kMagic, sizeof(kMagic));
    unsigned char* nonce = blob + sizeof(kMagic);
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(blob + kHeader, in->pbData, in->cbData, nonce, key);
    sodium_memzero(key, sizeof(key));
    out->cbData = DWORD(size);
    out->pbData = blob;
    return TRUE;
}

BOOL CryptUnprotectData(DATA_BLOB* in, LPWSTR* description, DATA_BLOB*, void*, void*, DWORD, DATA_BLOB* out) {
    if (description) *description = nullptr;
    if (!in || !out || (in->cbData && !in->pbData)) return Fail(ERROR_INVALID_PARAMETER);
    out->cbData = 0;
    out->pbData = nullptr;
    if (in->cbData < kHeader + crypto_secretbox_MACBYTES || std::memcmp(in->pbData, kMagic, sizeof(kMagic)) != 0)
        return Fail(ERROR_INVALID_DATA);
    unsigned char key[crypto_secretbox_KEYBYTES];
    if (!LoadKey(key)) return Fail(ERROR_ACCESS_DENIED);
    const size_t size = in->cbData - kHeader - crypto_secretbox_MACBYTES;
    auto* plain = static_cast<unsigned char*>(LocalAlloc(0, size));
    if (!plain) {
        sodium_memzero(key, sizeof(key));
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const unsigned char* nonce = in->pbData + sizeof(kMagic);
    int rc = crypto_secretbox_open_easy(plain, in->pbData + kHeader, in->cbData - kHeader, nonce, key);
    sodium_memzero(key, sizeof(key));
    if (rc != 0) {
        LocalFree(plain);
        return Fail(ERROR_INVALID_DATA);
    }
    out->cbData = DWORD(size);
    out->pbData = plain;
    return TRUE;
}
