// SHA-256 digests that seal the uninstall record and the file list, through
// Windows CNG. A seal digest covers the name of the Uninstall key that holds
// it before the bytes: stored under another product's key, it never checks.
// The installer stores them in that key, which only administrators can
// change; the uninstaller obeys a record only while its digests still match.
#ifndef BRONDALE_TRUST_DIGEST_H
#define BRONDALE_TRUST_DIGEST_H

#include <cstddef>

// 64 hexadecimal digits and the terminator.
const size_t kDigestTextSize = 65;

// Names of the two values of the Uninstall key (REG_SZ, the digest's text).
const char kRecordDigestValue[] = "RecordDigest";
const char kFileListDigestValue[] = "FileListDigest";

// Puts the SHA-256 of the bytes of the file at path into text as 64
// lower-case hexadecimal digits. False, with text "", when the file cannot be
// read or the hash cannot be had.
bool FileDigest(const char* path, char text[kDigestTextSize]);
// The same for size bytes in memory: what is hashed is what the caller goes
// on to use, with no second read. False, with text "", when the hash cannot
// be had.
bool BytesDigest(const void* data, size_t size, char text[kDigestTextSize]);

// A seal digest being taken piece by piece, for bytes that are written in
// pieces; the handles are CNG's.
struct SealHashing {
    void* algorithm;
    void* hash;
    bool failed;
};
// Starts a seal digest for the Uninstall key path keyPath (the path below
// HKEY_LOCAL_MACHINE, as the record's [reg] 1 names it) and the
// installation folder folder (as the key's UninstallString names it): the
// characters of each and one zero byte after each go first, so a record
// copied beside another folder, or under another product's key, never
// checks. A null folder leaves it out (the seals of earlier versions). A
// failure shows only at SealEnd.
void SealBegin(SealHashing* seal, const char* keyPath, const char* folder = nullptr);
void SealAdd(SealHashing* seal, const void* bytes, size_t size);
// Ends the digest into text (64 lower-case hexadecimal digits) and releases
// it. False, with text "", when any step failed. Safe on a seal that was
// never begun (all zero).
bool SealEnd(SealHashing* seal, char text[kDigestTextSize]);

// The seal digest of bytes for keyPath and folder in one step.
bool SealDigest(const char* keyPath, const void* bytes, size_t size, char text[kDigestTextSize],
                const char* folder = nullptr);
// The seal digest of the file at path for keyPath and folder; false, with
// text "", when the file cannot be read.
bool SealFileDigest(const char* keyPath, const char* path, char text[kDigestTextSize], const char* folder = nullptr);

#endif
