// File and seal digests through CNG (bcrypt); portable: the stand-in has a
// SHA-256 of its own behind the same calls.
#include "trust/digest.h"

#include <cstring>

#include "platform/win32api.h"

namespace {

void Begin(SealHashing* seal) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    seal->failed = !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
                   !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    seal->algorithm = algorithm;
    seal->hash = hash;
}

// Hashes the rest of the file into seal; false on a read error.
bool AddFile(SealHashing* seal, HANDLE file) {
    unsigned char block[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        SealAdd(seal, block, got);
    }
}

// keyPath null: a plain SHA-256 of the file.
bool DigestOfFile(const char* keyPath, const char* folder, const char* path, char text[kDigestTextSize]) {
    text[0] = '\0';
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SealHashing seal = {};
    if (keyPath)
        SealBegin(&seal, keyPath, folder);
    else
        Begin(&seal);
    if (!AddFile(&seal, file))
        seal.failed = true;
    CloseHandle(file);
    return SealEnd(&seal, text);
}

}  // namespace

void SealBegin(SealHashing* seal, const char* keyPath, const char* folder) {
    Begin(seal);
    SealAdd(seal, keyPath, strlen(keyPath) + 1);
    if (folder)
        SealAdd(seal, folder, strlen(folder) + 1);
}

void SealAdd(SealHashing* seal, const void* bytes, size_t size) {
    if (!seal->hash)
        seal->failed = true;
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    while (!seal->failed && size > 0) {
        ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        seal->failed = !BCRYPT_SUCCESS(BCryptHashData(seal->hash, const_cast<PUCHAR>(at), piece, 0));
        at += piece;
        size -= piece;
    }
}

bool SealEnd(SealHashing* seal, char text[kDigestTextSize]) {
    text[0] = '\0';
    unsigned char sum[32];
    bool ok = seal->hash && !seal->failed && BCRYPT_SUCCESS(BCryptFinishHash(seal->hash, sum, sizeof sum, 0));
    if (seal->hash)
        BCryptDestroyHash(seal->hash);
    if (seal->algorithm)
        BCryptCloseAlgorithmProvider(seal->algorithm, 0);
    seal->hash = nullptr;
    seal->algorithm = nullptr;
    seal->failed = true;
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

bool FileDigest(const char* path, char text[kDigestTextSize]) { return DigestOfFile(nullptr, nullptr, path, text); }

bool BytesDigest(const void* bytes, size_t size, char text[kDigestTextSize]) {
    SealHashing hashing = {};
    Begin(&hashing);
    SealAdd(&hashing, bytes, size);
    return SealEnd(&hashing, text);
}

bool SealDigest(const char* keyPath, const void* bytes, size_t size, char text[kDigestTextSize], const char* folder) {
    SealHashing seal = {};
    SealBegin(&seal, keyPath, folder);
    SealAdd(&seal, bytes, size);
    return SealEnd(&seal, text);
}

bool SealFileDigest(const char* keyPath, const char* path, char text[kDigestTextSize], const char* folder) {
    return DigestOfFile(keyPath, folder, path, text);
}
