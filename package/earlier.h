// The earlier installation's file list as the program section consults it
// and the finish merges it: DEST\UnInstall\Files.lst of an earlier
// installation of this product, read once and trusted only while its digest
// is the one the product's Uninstall key holds. It only names candidates: a
// file is left in place only after its bytes on disk were compared with the
// member's.
#ifndef BRONDALE_PACKAGE_EARLIER_H
#define BRONDALE_PACKAGE_EARLIER_H

#include "base/installed.h"

#include <cstddef>
#include <cstdint>

#include "trust/digest.h"

// ASCII letters compare without case, as Windows names do.
int CompareNames(const char* a, const char* b);
// Parses one file-list line "size crc path" (its end already cut off) in
// place, as the uninstaller does: false for a malformed line or a path that
// breaks the member path rule.
bool ParseListLine(char* line, uint32_t* size, uint32_t* crc, const char** relative);
// True when the record at recordPath lists productKey (the product's
// Uninstall key) in [reg]: an earlier installation of the same product.
bool SameProduct(const char* recordPath, const char* productKey);

// True when the product's Uninstall key productKey below root registers the
// uninstaller of an installation into destination (the same folder, without
// regard to case or a trailing backslash); only administrators, or for an
// installation for one user that user, can write that key.
bool RegistersUninstallerOf(short root, const char* productKey, const char* destination);

// A list larger than this is not read: everything is then replaced, and
// nothing of it is merged into the new list.
const uint32_t kEarlierListLimit = 64u << 20;

// One file of the earlier list.
struct EarlierFile {
    uint32_t size;
    uint32_t crc;
    const char* relative;  // into the list's bytes
};

// The earlier installation as the program section found it before this run
// wrote anything, kept for the finish, which merges the list into the new
// one: the list is read and checked once per run, never again.
struct EarlierInstallation {
    // The FileListDigest value the product's key held, "" unless it has the
    // length of a digest: the earlier installation's seal.
    char seal[kDigestTextSize];
    // This product's list was there and read, but its digest is not the seal.
    bool listChanged;
    // The list's files in its order (null when no list is trusted), their
    // number, the list's bytes they point into, and the same files sorted by
    // name, without case, for EarlierFind.
    EarlierFile* files;
    size_t count;
    char* text;
    const EarlierFile** byName;
};

// Forgets any list read before, then reads the seal and destination's
// earlier list (through the held tree): the list is trusted when the
// earlier record there lists productKey and the list's seal digest for that
// key and the folder the key registers is the seal (or, for a list sealed
// by an earlier version, the digest for the key alone). Returns the
// number of files it now holds; 0 when there is no list to trust (logged).
size_t EarlierRead(const char* destination, const char* productKey, short root = kLocalMachineRoot);
// What the last EarlierRead found.
const EarlierInstallation* EarlierFound();
// The size and CRC-32 that the list held gives for relative (compared
// without case); false when it names no such file.
bool EarlierFind(const char* relative, uint32_t* size, uint32_t* crc);
// Frees the list held and forgets the seal.
void EarlierForget();

#endif
