// The record of what one section extraction has written: the files it opened
// for writing and the folders it created. A failed section takes back exactly
// these, so nothing that was in the target before is ever deleted.
#ifndef BRONDALE_PACKAGE_RECORD_H
#define BRONDALE_PACKAGE_RECORD_H

#include <cstddef>
#include <cstdint>

// Forgets the record (and frees its memory).
void ZapisaneReset();
// Adds a file or a folder; false when memory ran out (nothing was added).
bool ZapisaneDodaj(const char* path, bool folder);
// Deletes the recorded files, then removes the recorded folders deepest first
// where this leaves them empty; the record is then forgotten.
void ZapisaneCofnij();
// Number of recorded entries; entry i with its kind.
size_t ZapisaneIle();
const char* ZapisaneWpis(size_t i, bool* folder);
// Size and CRC-32 (zlib's) of the bytes written to entry i, kept for the
// uninstaller's list of installed files. Both are 0 until set, and for
// folders; setting an entry that does not exist does nothing.
void ZapisaneUstawSume(size_t i, uint32_t size, uint32_t crc);
void ZapisaneSuma(size_t i, uint32_t* size, uint32_t* crc);

#endif
