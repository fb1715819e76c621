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

// Hashes what feed puts into the hash object and writes the digest's text.
template <typename Feed>
bool Digest(Feed feed, char text[kDigestTextSize]) {
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
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return Digest(
        [bytes, size](BCRYPT_HASH_HANDLE hash) {
            for (size_t done = 0; done < size;) {
                ULONG n = size - done > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size - done);
                if (!BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(bytes + done), n, 0)))
                    return false;
                done += n;
            }
            return true;
        },
        text);
}
