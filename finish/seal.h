// Sealing the uninstall record: the seal digests (trust/digest.h) of
// UnInst.cfg and Files.lst, taken of the bytes this run wrote and bound to
// the product's Uninstall key by its name, go into that key: under
// HKEY_LOCAL_MACHINE, where only administrators can change them, or for an
// installation for one user under that user's HKEY_CURRENT_USER. The
// uninstaller obeys nothing else.
#ifndef BRONDALE_FINISH_SEAL_H
#define BRONDALE_FINISH_SEAL_H

#include "finish/installation.h"
#include "trust/digest.h"

// Writes the installation's record out whole from what this run wrote to
// it, and stores its seal digest as "RecordDigest" and the file list's (as
// BeginRecord wrote it) as "FileListDigest" (REG_SZ) in the product's
// Uninstall key. Runs after the last write to the record. A record or list
// that could not be written gets no value, so the uninstaller refuses
// rather than trust it. No product name: nothing is written.
void SealRecord(const Installation& installation);

// True when the product's Uninstall key (key, under root) registers the uninstaller of
// this destination (its UninstallString names DEST\Uninstall\UnInst.exe)
// and held the earlier file list's seal when the program section read that
// list (package/earlier.h): an earlier, sealed installation of this product
// in this destination. Asked before this run writes the key.
bool SealedBefore(short root, const char* key, const char* destination);

#endif
