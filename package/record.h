// The record of what this run has written: the files it created, the folders
// it created, and the files it moved aside (kept) to replace them. Taking back
// deletes exactly what it wrote and puts every kept file back with its bytes,
// attributes and times; committing deletes the kept files. A path enters the
// record only once this run has created or replaced it. Files that this run
// found already as the package has them, and left in place, are recorded
// apart: neither taking back nor committing touches them.
#ifndef BRONDALE_PACKAGE_RECORD_H
#define BRONDALE_PACKAGE_RECORD_H

#include <cstddef>
#include <cstdint>

#include "base/installed.h"
#include "package/heldfiles.h"

enum EntryKind {
    kEntryFile,       // a file this run created (possibly over a kept one)
    kEntryFolder,     // a folder this run created
    kEntryKept,       // an existing file moved aside under a kept name
    kEntryStale,      // a kept file that an earlier, interrupted run left behind
    kEntryUnchanged,  // a file of the package already in place, left as it was
};

// Forgets the record (and frees its memory).
void WrittenReset();
// Adds a file or a folder; false when memory ran out (nothing was added).
bool WrittenAdd(const char* path, bool folder);
// Adds a kept file: original moved to kept, with its attributes before the
// move. False when memory ran out (nothing was added).
bool WrittenAddKept(const char* original, const char* kept, uint32_t attributes);
// Marks this run's kept copy of original as one that goes at commit although
// original is left without a file (the run means the name to go).
void WrittenKeptGoes(const char* original);
// Adds a kept file left by an earlier run; it is deleted on commit only.
bool WrittenAddStale(const char* kept);
// Adds a file left in place because it already holds the member's bytes
// (size and CRC-32 given, for the list of installed files). False when
// memory ran out (nothing was added).
bool WrittenAddUnchanged(const char* path, uint32_t size, uint32_t crc);
// Takes back in reverse order: deletes the recorded files, puts every kept
// file back under its name with its attributes, then removes the recorded
// folders deepest first where this leaves them empty; the record is then
// forgotten. Every file is reached from its held folder (package/
// heldfiles.h). A kept file whose name has been taken meanwhile stays kept.
void WrittenTakeBack();
// Deletes the kept files (this run's and stale ones) and forgets the record:
// what was written stays and can no longer be taken back. A kept file is
// deleted only while its original name holds a file again; this run's whose
// name is empty goes back there (unless WrittenKeptGoes said otherwise), and
// a stale one stays.
void WrittenCommit();
// Number of recorded entries; entry i with its kind. For a kept entry the
// path is the original's; WrittenKeptName gives the kept name.
size_t WrittenCount();
EntryKind WrittenKind(size_t i);
const char* WrittenEntry(size_t i, bool* folder);
const char* WrittenKeptName(size_t i);
// Size and CRC-32 (zlib's) of the bytes written to entry i (or found in
// place, for an unchanged entry), kept for the uninstaller's list of
// installed files. Both are 0 until set, and for folders; setting an entry
// that does not exist does nothing.
void WrittenSetSum(size_t i, uint32_t size, uint32_t crc);
void WrittenSum(size_t i, uint32_t* size, uint32_t* crc);

#endif
