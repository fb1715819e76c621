// SHA-256 digests of the uninstall record and the file list, through Windows
// CNG. The installer stores them in the product's Uninstall key, which only
// administrators can change; the uninstaller obeys a record only while its
// digests still match.
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
// The same for size bytes in memory (bytes read once, then checked).
bool BytesDigest(const void* data, size_t size, char text[kDigestTextSize]);

#endif
