// The earlier installation's file list as the program section consults it:
// DEST\UnInstall\Files.lst of an earlier installation of this product, read
// once and trusted only while its digest is the one the product's Uninstall
// key holds. It only names candidates: a file is left in place only after
// its bytes on disk were compared with the member's.
#ifndef BRONDALE_PACKAGE_EARLIER_H
#define BRONDALE_PACKAGE_EARLIER_H

#include <cstddef>
#include <cstdint>

// ASCII letters compare without case, as Windows names do.
int CompareNames(const char* a, const char* b);
// Parses one file-list line "size crc path" (its end already cut off) in
// place, as the uninstaller does: false for a malformed line or a path that
// breaks the member path rule.
bool ParseListLine(char* line, uint32_t* size, uint32_t* crc, const char** relative);
// True when the record at recordPath lists productKey (the product's
// Uninstall key) in [reg]: an earlier installation of the same product.
bool SameProduct(const char* recordPath, const char* productKey);

// A list larger than this is not read: everything is then replaced.
const uint32_t kEarlierListLimit = 8u << 20;

// Forgets any list read before, then reads destination's earlier list when
// the earlier record there lists productKey and the list's SHA-256 is the
// FileListDigest value of productKey under HKEY_LOCAL_MACHINE. Returns the
// number of files it now holds; 0 when there is no list to trust (logged).
size_t EarlierRead(const char* destination, const char* productKey);
// The size and CRC-32 that the list held gives for relative (compared
// without case); false when it names no such file.
bool EarlierFind(const char* relative, uint32_t* size, uint32_t* crc);
// Frees the list held.
void EarlierForget();

#endif
