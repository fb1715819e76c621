// The record of what one section extraction has written: the files it opened
// for writing and the folders it created. A failed section takes back exactly
// these, so nothing that was in the target before is ever deleted.
#ifndef BRONDALE_PACKAGE_RECORD_H
#define BRONDALE_PACKAGE_RECORD_H

#include <cstddef>

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

#endif
