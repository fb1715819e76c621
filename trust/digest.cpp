// File and memory digests through CNG (bcrypt); portable: the stand-in has a
// SHA-256 of its own behind the same calls.
#include "trust/digest.h"

#include "platform/win32api.h"

namespace {

// Hashes the whole file into the hash object; false on a read error.
bool HashFile(HANDLE file, BCRYPT_HASH_HANDLE hash) {
    unsigned char block[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash, block, got, 0)))
            return false;
    }
}

// Hashes size bytes of data, in pieces a ULONG can count.
bool HashBytes(const void* data, size_t size, BCRYPT_HASH_HANDLE hash) {
    const unsigned char* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<unsigned char*>(at), piece, 0)))
            return false;
        at += piece;
        size -= piece;
    }
    return true;
}

// One SHA-256 over whatever feed puts into the hash object, as text.
template <typename Feed> bool Digest(Feed feed, char text[kDigestTextSize]) {
    text[0] = '\0';
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char sum[32];
    bool ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
              BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) && feed(hash) &&
              BCRYPT_SUCCESS(BCryptFinishHash(hash, sum, sizeof sum, 0));
    if (hash)
        BCryptDestroyHash(hash);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok)
        return false;
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        text[2 * i] = digits[sum[i] >> 4];
        text[2 * i + 1] = digits[sum[i] & 15];
    }
    text[64] = '\0';
    return true;
}

} // namespace

bool FileDigest(const char* path, char text[kDigestTextSize]) {
    text[0] = '\0';
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = Digest([file](BCRYPT_HASH_HANDLE hash) { return HashFile(file, hash); }, text);
    CloseHandle(file);
    return ok;
}

bool BytesDigest(const void* data, size_t size, char text[kDigestTextSize]) {
    return Digest([data, size](BCRYPT_HASH_HANDLE hash) { return HashBytes(data, size, hash); }, text);
}
