// The package format, shared by the installer (which reads it) and the packing
// tool (which writes it). Everything both sides must agree on lives here and
// nowhere else: the signature, the section magic, the checksum, the scramble
// key and the rule for member paths.
//
//  installer file
//  +--------------------------------+ 0
//  | installer program (+ padding)  |   never interpreted
//  +--------------------------------+ >= kPackageStart (135300)
//  | signature, 6 bytes             |
//  +--------------------------------+
//  | Lang section                   |   language files, plain
//  | Install section                |   configuration, licence, uninstaller; scrambled
//  | program section                |   the product's files, plain
//  +--------------------------------+   (nothing behind it is read)
//
//  one section (integers little-endian, unsigned 32-bit)
//  +0   magic "GZC"                 3 bytes
//  +3   stored checksum             4
//  +7   option word                 4   written 0, never interpreted
//  +11  member count N              4   path list included, N >= 1
//  +15  offset table, N+1 entries   4*(N+1)  entry i = start of member i from +0,
//                                            entry 0 = 19+4N, entry N = section length
//  +19+4N members 0..N-1            each one complete gzip stream (RFC 1952)
//
//  member 0 is the path list: N-1 lines ended by CR LF, line k naming member k
//  relative to the target folder, with backslashes between folders. It is
//  never scrambled; in the Install section every other member is XORed, after
//  decompression, with the 29-byte scramble key (restarting at 0 per member).
//  The checksum sums every byte written for the section (path list first)
//  modulo 0xFFFFFFFF.
#ifndef BRONDALE_BASE_FORMAT_H
#define BRONDALE_BASE_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// The package starts no earlier than this offset of the installer file.
const uint32_t kPackageStart = 135300;

// The signature, stored one higher per byte so that the plain signature never
// stands in the installer program itself. Its first byte does not recur among
// the other five and no plain byte is 0xFF.
const unsigned char kSignatureShifted[6] = {0xC8, 0x2E, 0x92, 0x5B, 0xE4, 0x7A};
const size_t kSignatureSize = sizeof kSignatureShifted;
static_assert(kSignatureSize == 6, "the signature is six bytes");

// Plain signature byte j, computed at run time.
inline unsigned char SignatureByte(size_t j) {
    const volatile unsigned char* shifted = kSignatureShifted;
    return static_cast<unsigned char>(shifted[j] - 1);
}

// One byte through the signature matcher, as the installer's locator runs
// it (positions 5 down to 0 each get a look at the byte): state s counts the
// bytes matched so far and becomes s + 1 on the next signature byte, 1 on a
// byte equal to the first signature byte, else 0. 6 means found.
inline unsigned short MatchSignatureByte(unsigned short state, unsigned char byte) {
    if (state < kSignatureSize && byte == SignatureByte(state))
        return static_cast<unsigned short>(state + 1);
    return byte == SignatureByte(0) ? 1 : 0;
}

const char kSectionMagic[3] = {'G', 'Z', 'C'};
const size_t kSectionHeaderSize = 15;  // magic, checksum, option word, member count
const size_t kSectionFixedSize = 19;   // header plus the last offset-table entry
static_assert(sizeof kSectionMagic + 4 + 4 + 4 == kSectionHeaderSize, "section header layout");

// What is wrong with a section's header or offset table.
enum SectionProblem {
    kSectionSound,
    kSectionNoMagic,        // no "GZC" where the section starts
    kSectionNoMembers,      // member count 0
    kSectionTableTooLarge,  // the offset table does not fit the file (or 32 bits)
    kSectionFirstMember,    // entry 0 is not the end of the table
    kSectionPastEnd,        // the last entry lies past the end of the file
    kSectionMemberSize,     // a member shorter than the smallest gzip stream
};

// Smallest gzip stream: 10-byte header, an empty deflate block, 8-byte trailer.
const uint32_t kMinMemberSize = 20;

// Paths in fixed buffers: 259 characters and the terminating zero; a
// folder's path at most 247 (what CreateDirectory takes).
const size_t kMaxPath = 259;
const size_t kMaxFolderPath = 247;

// Texts the scramble key is derived from: the installer's name and its
// vendor registry path.
const char kInstallerName[] = "Brondale";
const char kVendorRegistryPath[] = "Software\\Varkel\\Brondale";
static_assert(sizeof kInstallerName - 1 == 8, "installer name length");
static_assert(sizeof kVendorRegistryPath - 1 == 24, "vendor path length");

const size_t kScrambleKeySize = 29;

// Fills key[0..28] from the two texts; no key byte is zero, so every byte of
// a scrambled member changes.
inline void ScrambleKey(const char* registryPath, const char* name, unsigned char key[kScrambleKeySize]) {
    size_t pathLength = strlen(registryPath), nameLength = strlen(name);
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < kScrambleKeySize; ++i) {
        h ^= static_cast<unsigned char>(registryPath[i % pathLength]);
        h *= 16777619u;
        h ^= static_cast<unsigned char>(name[(i * 5) % nameLength]);
        h *= 16777619u;
        unsigned char b = static_cast<unsigned char>(h >> 13);
        key[i] = b != 0 ? b : 0xA5;
    }
}

// XORs a block of a member with the key; *position is the member's key
// position, carried from block to block and starting at 0 for each member.
inline void ScrambleBlock(unsigned char* data, size_t size, const unsigned char key[kScrambleKeySize],
                          size_t* position) {
    size_t p = *position;
    for (size_t i = 0; i < size; ++i) {
        data[i] ^= key[p];
        if (++p == kScrambleKeySize)
            p = 0;
    }
    *position = p;
}

// The running checksum: adding a byte b gives (S + b) mod 0xFFFFFFFF. The sum
// is additive, so a block may be summed first and folded in once.
const uint64_t kChecksumModulus = 0xFFFFFFFFu;

inline uint64_t ChecksumAdd(uint64_t sum, const unsigned char* data, size_t size) {
    // 255 * 2^32 bytes would still fit; fold well before that.
    const size_t kChunk = size_t(1) << 24;
    while (size > 0) {
        size_t n = size < kChunk ? size : kChunk;
        uint64_t block = 0;
        for (size_t i = 0; i < n; ++i)
            block += data[i];
        sum = (sum + block) % kChecksumModulus;
        data += n;
        size -= n;
    }
    return sum;
}

// Little-endian integers, as the package and the program file store them.
inline uint16_t ReadLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline void WriteLe16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// Checks the fixed header of a section that has available bytes from its
// start; fills the stored checksum and the member count, and the size of the
// offset table in bytes (N + 1 entries), which stays within 32 bits.
inline SectionProblem CheckSectionHeader(const unsigned char head[kSectionHeaderSize], uint64_t available,
                                         uint32_t* stored, uint32_t* count, uint32_t* tableBytes) {
    if (memcmp(head, kSectionMagic, sizeof kSectionMagic) != 0)
        return kSectionNoMagic;
    *stored = ReadLe32(head + 3);
    *count = ReadLe32(head + 11);
    uint64_t bytes = 4 * (static_cast<uint64_t>(*count) + 1);
    if (*count == 0)
        return kSectionNoMembers;
    if (kSectionHeaderSize + bytes > available || bytes > UINT32_MAX)
        return kSectionTableTooLarge;
    *tableBytes = static_cast<uint32_t>(bytes);
    return kSectionSound;
}

// Checks the N + 1 offsets of a section that has available bytes: the first
// member starts right after the table, members follow each other, each at
// least a smallest gzip stream, and the last ends inside the file. *member
// is the member at fault for kSectionMemberSize.
inline SectionProblem CheckOffsetTable(const uint32_t* offsets, uint32_t count, uint64_t available, uint32_t* member) {
    if (offsets[0] != kSectionFixedSize + 4 * static_cast<uint64_t>(count))
        return kSectionFirstMember;
    if (offsets[count] > available)
        return kSectionPastEnd;
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i + 1] < offsets[i] || offsets[i + 1] - offsets[i] < kMinMemberSize) {
            *member = i;
            return kSectionMemberSize;
        }
    }
    return kSectionSound;
}

// The rule for a path-list line: a relative path that stays inside the target
// folder and names an ordinary file there. Refused: an empty line or
// component, a leading backslash, a drive or stream (any ':'), a forward
// slash, control characters, the characters Windows forbids in names, a
// component "." or ".." or one ending in a dot or a blank, and the reserved
// device names with or without an extension.
inline bool IsReservedDeviceName(const char* component, size_t length) {
    size_t base = 0;
    while (base < length && component[base] != '.')
        ++base;
    while (base > 0 && component[base - 1] == ' ')
        --base;
    char upper[8];
    if (base < 3 || base > 7)
        return false;
    for (size_t i = 0; i < base; ++i) {
        char c = component[i];
        upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    upper[base] = '\0';
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : kNames)
        if (strcmp(upper, name) == 0)
            return true;
    if (base == 4 && (memcmp(upper, "COM", 3) == 0 || memcmp(upper, "LPT", 3) == 0))
        return upper[3] >= '0' && upper[3] <= '9';
    return false;
}

inline bool IsSafeMemberPath(const char* line, size_t length) {
    if (length == 0 || length > kMaxPath)
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        unsigned char c = i < length ? static_cast<unsigned char>(line[i]) : '\\';
        if (c < 0x20 || c == 0x7F || c == '/' || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
            c == '*')
            return false;
        if (c != '\\')
            continue;
        size_t n = i - start;
        if (n == 0)
            return false;
        char last = line[i - 1];
        if (last == '.' || last == ' ')
            return false;
        if (IsReservedDeviceName(line + start, n))
            return false;
        start = i + 1;
    }
    return true;
}

#endif
