// CNG hashing and random bytes: a SHA-256 of the stand-in's own behind the
// BCrypt hash calls, getrandom or a test's counter behind BCryptGenRandom.
// Calls no other file of the stand-in.
#include "posix/win32_posix.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <sys/random.h>
#include <sys/types.h>

namespace {

const NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000Du);
const NTSTATUS kStatusNotFound = static_cast<NTSTATUS>(0xC0000225u);
const NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023u);

// SHA-256 (FIPS 180-4).
struct Sha256 {
    uint32_t h[8];
    unsigned char block[64];
    size_t used;
    uint64_t bits;
};

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void Compress(Sha256* s) {
    // clang-format off
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    // clang-format on
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = static_cast<uint32_t>(s->block[4 * i]) << 24 | static_cast<uint32_t>(s->block[4 * i + 1]) << 16 |
               static_cast<uint32_t>(s->block[4 * i + 2]) << 8 | s->block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = s->h[0], b = s->h[1], c = s->h[2], d = s->h[3], e = s->h[4], f = s->h[5], g = s->h[6], h = s->h[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
        uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    uint32_t add[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i)
        s->h[i] += add[i];
}

void Add(Sha256* s, const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        s->block[s->used++] = data[i];
        if (s->used == 64) {
            Compress(s);
            s->used = 0;
        }
    }
    s->bits += static_cast<uint64_t>(size) * 8;
}

int sha256Algorithm;  // the address is the algorithm handle

struct RandomCounter {
    bool on;
    uint64_t next;
};

RandomCounter* Counter() {
    static RandomCounter counter = {false, 0};
    return &counter;
}

}  // namespace

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR, ULONG) {
    if (wcscmp(id, BCRYPT_SHA256_ALGORITHM) != 0)
        return kStatusNotFound;
    *algorithm = &sha256Algorithm;
    return 0;
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG) {
    return algorithm == &sha256Algorithm ? 0 : kStatusInvalidParameter;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR, ULONG, PUCHAR, ULONG, ULONG) {
    if (algorithm != &sha256Algorithm)
        return kStatusInvalidParameter;
    Sha256* s = new Sha256{{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
                            0x5be0cd19},
                           {},
                           0,
                           0};
    *hash = s;
    return 0;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG) {
    Add(static_cast<Sha256*>(hash), input, size);
    return 0;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG) {
    if (size != 32)
        return kStatusBufferTooSmall;
    Sha256* s = static_cast<Sha256*>(hash);
    uint64_t bits = s->bits;
    unsigned char pad = 0x80, zero = 0;
    Add(s, &pad, 1);
    while (s->used != 56)
        Add(s, &zero, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Add(s, length, 8);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            output[4 * i + j] = static_cast<unsigned char>(s->h[i] >> (24 - 8 * j));
    return 0;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) {
    delete static_cast<Sha256*>(hash);
    return 0;
}

NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size, ULONG flags) {
    if (algorithm != nullptr || flags != BCRYPT_USE_SYSTEM_PREFERRED_RNG)
        return kStatusInvalidParameter;
    RandomCounter* counter = Counter();
    if (counter->on) {
        for (ULONG i = 0; i < size; ++i)
            buffer[i] = static_cast<unsigned char>(counter->next >> (56 - 8 * (i % 8)));
        ++counter->next;
        return 0;
    }
    for (ULONG got = 0; got < size;) {
        ssize_t n = getrandom(buffer + got, size - got, 0);
        if (n <= 0)
            return kStatusInvalidParameter;
        got += static_cast<ULONG>(n);
    }
    return 0;
}

void PosixSetRandomCounter(bool on, uint64_t first) {
    Counter()->on = on;
    Counter()->next = first;
}
