// The uninstall record as this run writes it, kept in memory as INI text
// (base/ini.h) beside the file that the profile functions write, so that the
// seal is taken of bytes this run wrote and not of a file read back later.
#ifndef BRONDALE_FINISH_RECORDCOPY_H
#define BRONDALE_FINISH_RECORDCOPY_H

#include "trust/digest.h"

// Empties the copy: the record has just been created empty.
void CopyReset();
// Sets key in section of the copy to value, as a profile write would: a
// key already there keeps its place. Memory that cannot be had spoils the
// copy, which then seals nothing.
void CopySet(const char* section, const char* key, const char* value);

// Writes the copy as the whole record file at recordPath (each section in
// the order it was first written, "key=value" lines ending in CR LF),
// opened as itself from its held folder (package/heldfiles.h), and puts the
// seal digest of exactly those bytes for keyPath and the installation
// folder folder (trust/digest.h) into digest. False, with digest "", when
// the copy is spoiled or the file cannot be written.
bool WriteSealedRecord(const char* recordPath, const char* keyPath, const char* folder, char digest[kDigestTextSize]);

#endif
