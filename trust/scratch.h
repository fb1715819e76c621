// The scratch folder itself (TEMP\Brondale and 16 random hexadecimal
// digits): always one this run created, with the protected descriptor of
// trust/folder.h, held open with its Lang and Install folders (trust/held.h)
// until the end of the run, then emptied without following a link.
#ifndef BRONDALE_TRUST_SCRATCH_H
#define BRONDALE_TRUST_SCRATCH_H

#include "base/scratch.h"
#include "platform/win32api.h"

// Chooses the scratch folder name from the system's random generator,
// creates that folder in temp (a temporary folder ending in a backslash:
// trust/tempfolder.h says which) with the protected descriptor and holds
// it (a folder held before, by an earlier call, is let go first), storing
// its path in tmp_dir. A name that exists already is never used: another
// random name is tried, at most kScratchNames names in all. Returns true
// when the folder is made and held; false, with tmp_dir empty, when temp is
// empty or so long that the scratch paths would pass 259 characters, every
// name tried was taken, or what the name opened on was not the folder just
// made.
bool CreateScratchFolder(const char* temp);
// The same with the start-up's convention: true means stop (no scratch
// folder), false go on.
bool ustawtmp(const char* temp);

// Creates Lang and Install in the scratch folder (protected like it), holds
// them and records them under keys 8 and 9.
void GetCfg();
// True when GetCfg made and holds both: a run without them ends (nothing it
// would read there could be trusted).
bool ScratchFoldersHeld();

// Empties the scratch folder at shutdown, removes Lang and Install and lets
// every held folder go; the emptied scratch folder itself stays. Does
// nothing but let go (false) when no folder was chosen, or when a folder
// this run does not hold is no longer a plain folder (a link put in its
// place); links inside are removed as links, never followed.
bool EmptyScratch();

// Appends name to path (a buffer of 260 bytes ending in a backslash), creates
// that folder and records it under key of the scratch settings file. With
// held, the folder stays open there (trust/held.h) for the caller to let go;
// otherwise it is let go at once.
void AddToReg(char* path, ScratchKey key, const char* name, HANDLE* held = nullptr);

#endif
