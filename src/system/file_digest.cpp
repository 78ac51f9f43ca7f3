#include "system/file_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "system/handles.h"

// Our headers target XP as first released; the AES provider's SHA-256 came with XP SP3.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif
#ifndef PROV_RSA_AES
#define PROV_RSA_AES 24
#endif

namespace tidemark {

namespace {

class Sha256 {
public:
    Sha256() {
        if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) provider_ = 0;
        if (provider_ && !CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) hash_ = 0;
    }
    ~Sha256() {
        if (hash_) CryptDestroyHash(hash_);
        if (provider_) CryptReleaseContext(provider_, 0);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool Ready() const { return hash_ != 0; }
    bool Add(const void* data, DWORD size) {
        return size == 0 || CryptHashData(hash_, static_cast<const BYTE*>(data), size, 0) != FALSE;
    }
    std::optional<std::string> Hex() {
        BYTE digest[32];
        DWORD size = sizeof digest;
        if (!CryptGetHashParam(hash_, HP_HASHVAL, digest, &size, 0) || size != sizeof digest) return std::nullopt;
        static const char kDigits[] = "0123456789abcdef";
        std::string text;
        for (BYTE b : digest) {
            text += kDigits[b >> 4];
            text += kDigits[b & 15];
        }
        return text;
    }

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
};

}  // namespace

std::optional<std::string> FileSha256(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    Sha256 hash;
    if (!hash.Ready()) return std::nullopt;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return std::nullopt;
        if (read == 0) break;
        if (!hash.Add(buffer.data(), read)) return std::nullopt;
    }
    return hash.Hex();
}

std::optional<std::string> Sha256Of(const void* data, std::size_t size) {
    Sha256 hash;
    if (!hash.Ready() || size > MAXDWORD || !hash.Add(data, static_cast<DWORD>(size))) return std::nullopt;
    return hash.Hex();
}

}  // namespace tidemark
